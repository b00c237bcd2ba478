// Ready-made camera views: Home (the whole work area seen from the machine's front), Top
// (straight down on the work area) and Frame (the selected object filling the view). Each
// sets the orbit camera's angles, translation and distance so that the eye looks at a
// target from a given distance; the camera's own limits still apply.
// It never reads input and never draws.
#pragma once

#include "app/shell.h"

// Looks at `target` from `distance` scene units with the given angles (degrees): the eye
// sits on the view axis through the target, and the orbit centre is moved along that axis
// so that it stays within the camera's limits where it can.
void AimCamera(CameraState& cam, float* zoom, const cMath::vector4& target, float distance, float pitch,
               float yaw);

// Home: the whole work area and the machine's front. Top: straight down, front at the bottom.
void HomeView(CameraState& cam, float* zoom);
void TopView(CameraState& cam, float* zoom);

// Frames the scene box lo..hi keeping the camera's turn (its tilt is brought into 25..85
// degrees so the object is seen from above).
void FrameView(CameraState& cam, float* zoom, const cMath::vector4& lo, const cMath::vector4& hi);
