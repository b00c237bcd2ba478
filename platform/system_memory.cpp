#include "platform/system_memory.h"

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <malloc.h>
#include <sys/resource.h>
#endif

namespace {

#if !defined(_WIN32)
// A "Name:   value kB" line of a /proc file, in bytes; false when the line is missing.
bool ReadProcFigure(const char* file, const char* name, uint64_t* bytes) {
    std::FILE* f = std::fopen(file, "re");
    if (f == nullptr) return false;
    char line[256];
    const size_t length = std::strlen(name);
    bool found = false;
    while (!found && std::fgets(line, sizeof line, f) != nullptr) {
        unsigned long long kib = 0;
        if (std::strncmp(line, name, length) == 0 && std::sscanf(line + length, " %llu", &kib) == 1) {
            *bytes = uint64_t(kib) * 1024;
            found = true;
        }
    }
    std::fclose(f);
    return found;
}
#endif

}  // namespace

uint64_t AvailableMemoryBytes() {
    uint64_t available = UINT64_MAX;
#if defined(_WIN32)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status)) {
        available = status.ullAvailPhys + status.ullAvailPageFile / 2;
        if (status.ullAvailVirtual < available) available = status.ullAvailVirtual;
    }
#else
    uint64_t figure = 0;
    if (ReadProcFigure("/proc/meminfo", "MemAvailable:", &figure)) available = figure;
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        uint64_t used = 0;
        ReadProcFigure("/proc/self/status", "VmSize:", &used);
        const uint64_t cap = uint64_t(limit.rlim_cur);
        const uint64_t room = used < cap ? cap - used : 0;
        if (room < available) available = room;
    }
#endif
    return available;
}

void ReturnFreedMemory() {
#if defined(__GLIBC__)
    ::malloc_trim(0);
#endif
}
