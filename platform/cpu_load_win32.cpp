// Idle cores on Windows: not measured; every core but the caller's counts as idle.
#include "platform/cpu_load.h"

#include <thread>

namespace cpu {

unsigned IdleCoresNow() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 1 ? cores - 1 : 0u;
}

}  // namespace cpu
