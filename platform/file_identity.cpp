// Which file a path names, through the file layer (the one place whose file code differs
// between systems).
#include "platform/file_identity.h"

#include "platform/files.h"

std::string CanonicalPath(const std::string& path) { return files::CanonicalPath(path); }

std::string FileIdentity(const std::string& path) { return files::FileIdentity(path); }
