#include "platform/window_input.h"

namespace morva {
namespace {

bool IsValidCode(int virtualKey) {
    return virtualKey >= 0 && virtualKey < WindowInputState::kCodes;
}

}  // namespace

void RecordKey(WindowInputState& state, int virtualKey, bool down) {
    if (!IsValidCode(virtualKey)) return;
    state.down[virtualKey] = down;
    if (down) state.pressedSinceQuery[virtualKey] = true;
}

bool QueryKey(WindowInputState& state, int virtualKey) {
    if (!IsValidCode(virtualKey)) return false;
    const bool result = state.down[virtualKey] || state.pressedSinceQuery[virtualKey];
    state.pressedSinceQuery[virtualKey] = false;
    return result;
}

void QueueEvent(WindowInputState& state, const WindowEvent& event) {
    state.events.push_back(event);
}

bool TakeEvent(WindowInputState& state, WindowEvent* event) {
    if (state.events.empty()) return false;
    if (event) *event = state.events.front();
    state.events.pop_front();
    return true;
}

}  // namespace morva
