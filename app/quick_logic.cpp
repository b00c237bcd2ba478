#include "app/quick_logic.h"

#include <cmath>
#include <cstdlib>

#include "platform/window.h"

void StartKeyRepeat(KeyRepeat& r, int key, int factor, uint64_t now_ms) {
    r.key = key;
    r.factor = factor;
    r.pressed_ms = now_ms;
    r.repeats = 0;
}

int DueRepeats(KeyRepeat& r, bool held, uint64_t now_ms) {
    if (r.key == 0) return 0;
    if (!held) {
        r.key = 0;
        return 0;
    }
    if (now_ms < r.pressed_ms + kRepeatDelayMs) return 0;
    const uint64_t due = (now_ms - r.pressed_ms - kRepeatDelayMs) / kRepeatIntervalMs + 1;
    if (due <= r.repeats) return 0;
    uint64_t n = due - r.repeats;
    // Repeats skipped over a long frame are dropped, not saved up.
    r.repeats = due;
    if (n > uint64_t(kMaxRepeatsPerFrame)) n = kMaxRepeatsPerFrame;
    return int(n);
}

bool NudgeRowOfKey(int key, int* row, int* sign) {
    switch (key) {
        case morva::kVkLeft: *row = 0; *sign = -1; return true;
        case morva::kVkRight: *row = 0; *sign = 1; return true;
        case morva::kVkPageUp: *row = 1; *sign = 1; return true;
        case morva::kVkPageDown: *row = 1; *sign = -1; return true;
        case morva::kVkUp: *row = 2; *sign = 1; return true;
        case morva::kVkDown: *row = 2; *sign = -1; return true;
        default: return false;
    }
}

char ValueFieldChar(uint32_t c) {
    if (c >= '0' && c <= '9') return char(c);
    if (c == '-' || c == '+' || c == '.') return char(c);
    if (c == ',') return '.';
    return 0;
}

bool ParseTypedValue(const std::string& text, int mode, float* value) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0, points = 0;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            ++digits;
        } else if (text[i] == '.' && points == 0) {
            ++points;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    const double v = std::strtod(text.c_str(), nullptr);
    const double scene = mode == 1 ? v : v * 0.02;
    if (!std::isfinite(scene) || std::fabs(scene) > 1e30) return false;
    *value = float(scene);
    return true;
}
