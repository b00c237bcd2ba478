// Shared by the window layers: the key and button table by virtual-key code with its
// "pressed since the last query" marks, the record of every press and release in the order
// they happened (so a click shorter than a frame is never lost), the characters typed, and
// the queue of messages waiting to be taken.
// It knows nothing of GLFW, Win32 or EGL; each layer feeds it from its own events or setters.
#pragma once

#include "platform/window.h"

#include <atomic>
#include <cstdint>
#include <deque>

namespace morva {

struct WindowInputState {
    static constexpr int kCodes = 256;
    // Transitions and characters nobody takes are dropped from the oldest on beyond these.
    static constexpr size_t kMaxTransitions = 1024;
    static constexpr size_t kMaxTypedChars = 256;
    bool down[kCodes] = {};
    bool pressedSinceQuery[kCodes] = {};
    std::deque<KeyTransition> transitions;
    std::deque<uint32_t> typed;
    std::deque<WindowEvent> events;
    // Counts everything that may change a frame (transitions, characters, messages, cursor
    // moves, exposure); atomic so a headless poster on another thread can wake the editor.
    std::atomic<uint64_t> serial{0};
    std::atomic<uint64_t> serialLooked{0};  // the count the last WindowInputSerial returned
};

// The input state of a layer's window, null for null; each layer defines it. The input
// functions of window.h that both layers share are defined on top of it.
WindowInputState* InputStateOf(Window* window);

// Counts one input happening that feeds no record (a cursor move, the window exposed).
void NoteInput(WindowInputState& state);

// Records a press or release of a virtual-key code; codes outside 0..255 are ignored. A
// change of state is also appended to the transitions with the cursor at that moment (a
// repeated press while the key is down, as auto-repeat sends, is not a new press).
void RecordKey(WindowInputState& state, int virtualKey, bool down, WindowPoint cursor);

// Down now or pressed since the last query of this code; the query clears the mark.
bool QueryKey(WindowInputState& state, int virtualKey);

// Down now; clears nothing.
bool KeyHeld(const WindowInputState& state, int virtualKey);

// Takes the oldest transition of this code not taken yet. False when none is waiting.
bool TakeTransition(WindowInputState& state, int virtualKey, KeyTransition* transition);

// Drops every transition of this code not taken yet.
void DiscardTransitions(WindowInputState& state, int virtualKey);

// The modifier bits of the keys held now.
int HeldModifiers(const WindowInputState& state);

// Appends a typed character (a Unicode code point) / takes the oldest one.
void RecordTypedChar(WindowInputState& state, uint32_t codePoint);
bool TakeTypedChar(WindowInputState& state, uint32_t* codePoint);

// Appends a message / takes the oldest one. TakeEvent returns false when none is queued.
void QueueEvent(WindowInputState& state, const WindowEvent& event);
bool TakeEvent(WindowInputState& state, WindowEvent* event);

}  // namespace morva
