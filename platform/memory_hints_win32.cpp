// Memory hints on Windows: large pages need a privilege ordinary users lack and must be
// asked for when memory is allocated, so the hint is not given there.
#include "platform/memory_hints.h"

namespace files {

void AdviseHugePages(void*, size_t) {}

}  // namespace files
