#include "platform/window_input.h"

namespace morva {
namespace {

bool IsValidCode(int virtualKey) {
    return virtualKey >= 0 && virtualKey < WindowInputState::kCodes;
}

}  // namespace

void NoteInput(WindowInputState& state) { state.serial.fetch_add(1); }

uint64_t WindowInputSerial(Window* window) {
    WindowInputState* state = InputStateOf(window);
    if (!state) return 0;
    const uint64_t serial = state->serial.load();
    state->serialLooked.store(serial);
    return serial;
}

void RecordKey(WindowInputState& state, int virtualKey, bool down, WindowPoint cursor) {
    if (!IsValidCode(virtualKey)) return;
    const bool changed = state.down[virtualKey] != down;
    state.down[virtualKey] = down;
    if (down) state.pressedSinceQuery[virtualKey] = true;
    if (!changed) return;
    state.transitions.push_back({virtualKey, down, HeldModifiers(state), cursor});
    NoteInput(state);
    while (state.transitions.size() > WindowInputState::kMaxTransitions) state.transitions.pop_front();
}

bool QueryKey(WindowInputState& state, int virtualKey) {
    if (!IsValidCode(virtualKey)) return false;
    const bool result = state.down[virtualKey] || state.pressedSinceQuery[virtualKey];
    state.pressedSinceQuery[virtualKey] = false;
    return result;
}

bool KeyHeld(const WindowInputState& state, int virtualKey) {
    return IsValidCode(virtualKey) && state.down[virtualKey];
}

bool TakeTransition(WindowInputState& state, int virtualKey, KeyTransition* transition) {
    for (auto it = state.transitions.begin(); it != state.transitions.end(); ++it) {
        if (it->virtualKey != virtualKey) continue;
        if (transition) *transition = *it;
        state.transitions.erase(it);
        return true;
    }
    return false;
}

void DiscardTransitions(WindowInputState& state, int virtualKey) {
    while (TakeTransition(state, virtualKey, nullptr)) {
    }
}

int HeldModifiers(const WindowInputState& state) {
    int modifiers = 0;
    if (state.down[kVkShift]) modifiers |= kModShift;
    if (state.down[kVkControl]) modifiers |= kModCtrl;
    if (state.down[kVkAlt]) modifiers |= kModAlt;
    return modifiers;
}

void RecordTypedChar(WindowInputState& state, uint32_t codePoint) {
    state.typed.push_back(codePoint);
    NoteInput(state);
    while (state.typed.size() > WindowInputState::kMaxTypedChars) state.typed.pop_front();
}

bool TakeTypedChar(WindowInputState& state, uint32_t* codePoint) {
    if (state.typed.empty()) return false;
    if (codePoint) *codePoint = state.typed.front();
    state.typed.pop_front();
    return true;
}

bool TakeKeyTransition(Window* window, int virtualKey, KeyTransition* transition) {
    WindowInputState* state = InputStateOf(window);
    return state && TakeTransition(*state, virtualKey, transition);
}

void DiscardKeyTransitions(Window* window, int virtualKey) {
    if (WindowInputState* state = InputStateOf(window)) DiscardTransitions(*state, virtualKey);
}

bool IsKeyHeld(Window* window, int virtualKey) {
    const WindowInputState* state = InputStateOf(window);
    return state && KeyHeld(*state, virtualKey);
}

bool TakeTypedChar(Window* window, uint32_t* codePoint) {
    WindowInputState* state = InputStateOf(window);
    return state && TakeTypedChar(*state, codePoint);
}

void QueueEvent(WindowInputState& state, const WindowEvent& event) {
    state.events.push_back(event);
    NoteInput(state);
}

bool TakeEvent(WindowInputState& state, WindowEvent* event) {
    if (state.events.empty()) return false;
    if (event) *event = state.events.front();
    state.events.pop_front();
    return true;
}

}  // namespace morva
