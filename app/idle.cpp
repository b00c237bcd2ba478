#include "app/idle.h"

#include <algorithm>

#include "app/shell.h"
#include "platform/window.h"

namespace {

// Any key or button held down keeps the frames coming (drags and held movement keys).
bool AnyKeyHeld(morva::Window* window) {
    for (int code = 1; code < 256; ++code) {
        if (morva::IsKeyHeld(window, code)) return true;
    }
    return false;
}

}  // namespace

bool FrameWanted(const ShellState& s, double now) {
    if (!s.idle.waitWhenIdle) return true;
    if (s.idle.quietFrames < kSettleFrames) return true;
    if (morva::WindowInputSerial(s.window) != s.idle.seenInput) return true;
    if (AnyKeyHeld(s.window)) return true;
    const double bannerLeft = BannerSecondsLeft(s.banner, now);
    return !s.banner.lines.empty() && bannerLeft <= 0.0;
}

double IdleWaitSeconds(const ShellState& s, double now) {
    const double bannerLeft = BannerSecondsLeft(s.banner, now);
    if (s.banner.lines.empty()) return kIdleWaitSeconds;
    return std::max(0.0, std::min(kIdleWaitSeconds, bannerLeft));
}

void NoteFrameInput(ShellState& s) {
    const uint64_t input = morva::WindowInputSerial(s.window);
    const bool changed = input != s.idle.seenInput || AnyKeyHeld(s.window);
    s.idle.seenInput = input;
    s.idle.quietFrames = changed ? 0 : std::min(s.idle.quietFrames + 1, kSettleFrames);
}

void NoteFramePicking(ShellState& s, int hovered, int selected) {
    if (hovered != s.idle.hovered || selected != s.idle.selected) s.idle.quietFrames = 0;
    s.idle.hovered = hovered;
    s.idle.selected = selected;
}
