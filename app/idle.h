// When the editor draws: a frame follows any input (a key or button, a typed character, a
// cursor move, a window message), continues while a button or key is held (drags, W A S D),
// and for two frames after anything changed (the frame that takes a click shows the state
// before it; a hover found by the picking pass shows in the next frame), and when the banner
// has to disappear. Otherwise the editor waits for the next window event, with a short
// timeout, instead of drawing: an idle editor costs nothing.
// It never draws; the main loop asks it and the frame reports to it.
#pragma once

#include <cstdint>

struct ShellState;

// Frames drawn after the last change before the editor may rest.
constexpr int kSettleFrames = 2;
// Longest wait for input before the editor looks again (hover changes without an event).
constexpr double kIdleWaitSeconds = 0.1;

struct IdleState {
    bool waitWhenIdle = false;  // the windowed editor rests; scripts and tests draw every pass
    uint64_t seenInput = 0;     // the window's input count at the last frame
    int quietFrames = 0;        // frames drawn since the last change
    int hovered = -1;           // the picking result of the last frame
    int selected = -1;
};

// Whether the next pass of the loop must draw a frame (at `now` seconds of the shell clock).
bool FrameWanted(const ShellState& s, double now);

// How long the loop may wait for input now.
double IdleWaitSeconds(const ShellState& s, double now);

// Called by the frame at its start (the input it sees) and after its picking pass.
void NoteFrameInput(ShellState& s);
void NoteFramePicking(ShellState& s, int hovered, int selected);
