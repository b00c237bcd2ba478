// The editor's spine: start-up (service objects in their fixed order, the sky box and the
// machine model behind the loading screen, the first log line), the message handler, one
// iteration of the main loop, and the orderly teardown. Both the windowed editor and the
// scripted runner drive the editor through these functions.
#pragma once

#include "app/shell.h"

namespace morva {
struct WindowEvent;
}

// Builds the services and loads the start-up models into `s`, drawing loading screens on
// `window`. Returns false when the window was asked to close during the loads; the caller
// then tears down and ends (the close request is not lost).
bool StartEditor(ShellState& s, morva::Window* window);

// The loading screen: pumps one message, then draws "Loading... a,b,c,d" in blue at the
// centre of a plain screen and swaps. The loader calls it during the start-up loads.
void DrawLoading(int a, int b, float c, float d);

// Handles one window message: the wheel changes Zoom; returns true for a close request.
bool WndProc(const morva::WindowEvent& event);

// One pass of the main loop: handles one pending message or, when none is pending, draws
// one frame (reported through `drewFrame` when given). Returns false when the loop must end.
bool EditorIteration(ShellState& s, bool* drewFrame = nullptr);

// Releases the services while the context is current (texture manager after freeing its
// textures, input, text renderer, then the others) and the save path. The window stays.
void StopEditor(ShellState& s);

// The whole windowed editor: opens the "Morva" window, starts, loops, tears down.
// Returns 0 after a close request, 1 when no window could be opened.
int RunEditor();
