// Which file a path names: its canonical spelling, and an identity that also changes when
// the file is rewritten. Loads compare identities so that records naming one file (in any
// spelling) share one loaded copy. Reads only the file system's metadata, never a file.
#pragma once

#include <string>

// The absolute path with every ".", ".." and symbolic link resolved; the path unchanged
// when it cannot be resolved (a missing file).
std::string CanonicalPath(const std::string& path);

// The canonical path with the file's size and modification time, for a regular file;
// empty for anything else (missing, a folder, a device, a pipe).
std::string FileIdentity(const std::string& path);
