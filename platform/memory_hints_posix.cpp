// Memory hints on Linux: transparent huge pages through madvise.
#include "platform/memory_hints.h"

#include <sys/mman.h>

#include <cstdint>

namespace files {

void AdviseHugePages(void* begin, size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(begin);
    const uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (start + bytes) & ~(kHuge - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

}  // namespace files
