// Memory hints on Windows: large pages need a privilege ordinary users lack and must be
// asked for when memory is allocated, so the hint is not given there. Scratch blocks come
// from VirtualAlloc.
#include "platform/memory_hints.h"

#include <windows.h>

namespace files {

void AdviseHugePages(void*, size_t) {}

namespace {

constexpr size_t kSystemBlockFrom = size_t(1) << 20;

}  // namespace

void* AllocateScratch(size_t bytes) {
    if (bytes < kSystemBlockFrom) return ::operator new(bytes);
    void* block = VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void FreeScratch(void* block, size_t bytes) {
    if (block == nullptr) return;
    if (bytes < kSystemBlockFrom) {
        ::operator delete(block);
        return;
    }
    VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace files
