// Memory figures of the running system, and handing freed memory back to it. Owns nothing
// and keeps no state; it never allocates on behalf of others. Loads ask it before a large
// hand-over to the GL driver, and the loader calls ReturnFreedMemory after releasing a model.
#pragma once

#include <cstdint>

// Bytes this process can still obtain: the smaller of the memory the system reports as
// available and the room left under the process's address-space limit (when one is set).
// UINT64_MAX when neither figure can be read.
uint64_t AvailableMemoryBytes();

// Gives freed heap pages back to the system, so that resident memory falls after a large
// release. Best effort; does nothing where the C library offers no such call.
void ReturnFreedMemory();
