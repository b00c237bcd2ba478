// Idle cores on Linux: the processors online less the tasks ready to run at this moment
// (the fourth field of /proc/loadavg, "running/total", counts the caller too).
#include "platform/cpu_load.h"

#include <unistd.h>

#include <cstdio>

namespace cpu {

unsigned IdleCoresNow() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    const unsigned cores = online > 0 ? unsigned(online) : 1u;
    std::FILE* f = std::fopen("/proc/loadavg", "r");
    if (f == nullptr) return cores - 1;
    double averages[3];
    unsigned running = 0, total = 0;
    const int got = std::fscanf(f, "%lf %lf %lf %u/%u", &averages[0], &averages[1], &averages[2], &running, &total);
    std::fclose(f);
    if (got != 5 || running == 0) return cores - 1;
    return running >= cores ? 0u : cores - running;
}

}  // namespace cpu
