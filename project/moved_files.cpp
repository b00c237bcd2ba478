// The bounded search for moved model and image files (see moved_files.h).
#include "project/moved_files.h"

#include "platform/files.h"

#include <algorithm>
#include <vector>

namespace {

// The entry of `folder` named `name`: that very name when it is there with the wanted kind
// (folder or regular file), else the first name in sorted order equal to it but for letter
// case. Empty when there is none.
std::string MatchInFolder(const std::string& folder, const std::string& name, bool want_folder) {
    auto is_wanted = [&](const std::string& entry) {
        const std::string path = files::JoinPath(folder, entry);
        return want_folder ? files::IsFolder(path.c_str()) : files::IsRegularFile(path);
    };
    if (is_wanted(name)) return name;
    std::vector<std::string> names;
    if (!files::ListFolder(folder.empty() ? "." : folder, kMovedFileMaxNames, names)) return std::string();
    std::sort(names.begin(), names.end());
    for (const std::string& entry : names) {
        if (entry != name && files::SameNameIgnoringCase(entry, name) && is_wanted(entry)) return entry;
    }
    return std::string();
}

// Follows `parts` from `folder` down, part by part; true when the last one is a regular file.
bool FollowParts(const std::string& folder, const std::vector<std::string>& parts, MovedFile* found) {
    std::string at = folder;
    std::string relative;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string entry = MatchInFolder(at, parts[i], i + 1 < parts.size());
        if (entry.empty()) return false;
        at = files::JoinPath(at, entry);
        relative = relative.empty() ? entry : relative + "/" + entry;
    }
    found->path = at;
    found->relative = relative;
    return true;
}

}  // namespace

bool FindMovedFile(const std::string& stored, const std::string& project_folder, MovedFile* found) {
    std::vector<std::string> parts = files::StoredPathParts(stored);
    if (parts.size() > kMovedFileMaxParts) parts.erase(parts.begin(), parts.end() - kMovedFileMaxParts);
    for (size_t first = 0; first < parts.size(); ++first) {
        const std::vector<std::string> tail(parts.begin() + first, parts.end());
        if (std::find(tail.begin(), tail.end(), "..") != tail.end()) continue;
        if (FollowParts(project_folder, tail, found)) return true;
    }
    return false;
}
