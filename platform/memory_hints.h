// Hints to the system about how large blocks of memory will be used. Hints only: a system
// that has no such hint ignores the call, and nothing depends on it being followed.
#pragma once

#include <cstddef>

namespace files {

// Asks for large pages for the whole 2 MiB pages inside [begin, begin + bytes): a model's
// big arrays are then walked with fewer page-table misses.
void AdviseHugePages(void* begin, size_t bytes);

}  // namespace files
