// One frame of the editor, in the fixed order of passes: input fetch, camera input and the
// Delete key, frame set-up, sky box, machine and project objects, the two stencil shadow
// passes with the darkening quad, the interface overlay, picking, view steps and the swap.
// Each pass sets the GL state it needs at its start.
#pragma once

#include "app/shell.h"

// Draws one whole frame and swaps it to hDC.
void DrawFrame(ShellState& s);

// The individual passes, in frame order (DrawFrame calls them all).
void FetchFrameInput();
void SetUpFramePass(ShellState& s);
void DrawSkyBoxPass(const ShellState& s);
void DrawScenePass(const ShellState& s);
void DrawShadowPass(const ShellState& s);
void SetOverlayState(const ShellState& s);
void PickingPass(ShellState& s);
