// Hints to the system about how large blocks of memory will be used (hints only: a system
// that has no such hint ignores the call, and nothing depends on it being followed), and
// large scratch blocks taken straight from the system.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace files {

// Asks for large pages for the whole 2 MiB pages inside [begin, begin + bytes): a model's
// big arrays are then walked with fewer page-table misses.
void AdviseHugePages(void* begin, size_t bytes);

// Scratch memory for a large array that lives only while one piece of work runs. Blocks of
// 1 MiB and more come straight from the system and go back to it when freed, whichever
// thread used them: the C library keeps what a second thread frees for that thread's later
// use, resident and unused. Such a block asks for huge pages before it is first touched
// (fresh memory costs a fault per page touched). Smaller blocks come from the usual heap.
// AllocateScratch throws std::bad_alloc when the memory is not there.
void* AllocateScratch(size_t bytes);
void FreeScratch(void* block, size_t bytes);

template <typename T>
struct ScratchAllocator {
    using value_type = T;

    ScratchAllocator() = default;
    template <typename U>
    ScratchAllocator(const ScratchAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(AllocateScratch(n * sizeof(T)));
    }
    void deallocate(T* block, size_t n) { FreeScratch(block, n * sizeof(T)); }
    // An element made without a value is left as `new T` leaves it: scratch arrays of plain
    // values that are written in full before they are read skip a pass over fresh memory.
    template <typename U>
    void construct(U* element) {
        ::new (static_cast<void*>(element)) U;
    }
    template <typename U, typename... Args>
    void construct(U* element, Args&&... args) {
        ::new (static_cast<void*>(element)) U(static_cast<Args&&>(args)...);
    }
    friend bool operator==(const ScratchAllocator&, const ScratchAllocator&) { return true; }
    friend bool operator!=(const ScratchAllocator&, const ScratchAllocator&) { return false; }
};

// A vector in scratch memory; note that vector(n) and resize(n) leave plain values unset.
template <typename T>
using ScratchVector = std::vector<T, ScratchAllocator<T>>;

}  // namespace files
