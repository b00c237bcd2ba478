// Memory hints on Linux: transparent huge pages through madvise; scratch blocks through
// anonymous mappings.
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

namespace {

constexpr size_t kSystemBlockFrom = size_t(1) << 20;

}  // namespace

void* AllocateScratch(size_t bytes) {
    if (bytes < kSystemBlockFrom) return ::operator new(bytes);
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    AdviseHugePages(block, bytes);
    return block;
}

void FreeScratch(void* block, size_t bytes) {
    if (block == nullptr) return;
    if (bytes < kSystemBlockFrom) {
        ::operator delete(block);
        return;
    }
    munmap(block, bytes);
}

}  // namespace files
