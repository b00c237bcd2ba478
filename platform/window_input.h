// Shared by both window layers: the key and button table by virtual-key code with its
// "pressed since the last query" marks, and the queue of messages waiting to be taken.
// It knows nothing of GLFW or EGL; each layer feeds it from its own events or setters.
#pragma once

#include "platform/window.h"

#include <deque>

namespace morva {

struct WindowInputState {
    static constexpr int kCodes = 256;
    bool down[kCodes] = {};
    bool pressedSinceQuery[kCodes] = {};
    std::deque<WindowEvent> events;
};

// Records a press or release of a virtual-key code; codes outside 0..255 are ignored.
void RecordKey(WindowInputState& state, int virtualKey, bool down);

// Down now or pressed since the last query of this code; the query clears the mark.
bool QueryKey(WindowInputState& state, int virtualKey);

// Appends a message / takes the oldest one. TakeEvent returns false when none is queued.
void QueueEvent(WindowInputState& state, const WindowEvent& event);
bool TakeEvent(WindowInputState& state, WindowEvent* event);

}  // namespace morva
