// Throttling of the progress calls made during a model load. Plain arithmetic on a
// millisecond tick count; it never reads a clock itself.
#pragma once

#include <cstdint>

// Milliseconds between two progress calls.
constexpr uint32_t kProgressInterval = 50;

// A progress call is due when deadline + 50 is before `now` (unsigned milliseconds, strict).
// When due, the deadline moves on by exactly 50, not to `now`, so after a stall several
// checks in a row are due until the deadline has caught up.
inline bool ProgressDue(uint32_t& deadline, uint32_t now) {
    if (!(deadline + kProgressInterval < now)) return false;
    deadline += kProgressInterval;
    return true;
}
