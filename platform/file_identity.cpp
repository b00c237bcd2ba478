#include "platform/file_identity.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) return path;
#if defined(_WIN32)
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    return (n > 0 && n < MAX_PATH) ? std::string(full, n) : path;
#else
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string canonical(resolved);
    std::free(resolved);
    return canonical;
#endif
}

std::string FileIdentity(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
#if defined(_WIN32)
    const long long nanoseconds = 0;
#else
    const long long nanoseconds = info.st_mtim.tv_nsec;
#endif
    return CanonicalPath(path) + '\n' + std::to_string(static_cast<long long>(info.st_size)) + ' ' +
           std::to_string(static_cast<long long>(info.st_mtime)) + '.' + std::to_string(nanoseconds);
}
