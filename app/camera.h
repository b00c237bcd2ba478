// The orbit camera: how the middle and right drags, W A S D and the Delete key change the
// camera within one frame, the limits applied afterwards, and the rotation, view and
// projection matrices built from the camera. The movement directions are the project's
// view steps from the previous frame, so moving always follows the current view.
// It never draws and never reads the wheel (the message handler owns Zoom).
#pragma once

#include "app/shell.h"

class Cinput;
class project;

// Start view: pitch 0, yaw -90, translation (-1, -1, -2), no drag.
void InitCamera(CameraState& cam);

// One frame of camera input, after the input update and cursor fetch: pan (right button)
// and turn (middle button) while the cursor is in the client area, then W, A, S, D and
// Delete, then the limits. `steps` may be null (before the first frame has ended).
void ApplyCameraInput(CameraState& cam, Cinput& input, const cMath::vector4* steps,
                      project* proj);

// Clamps the translation and pitch to their limits; yaw is never limited.
void ClampCamera(CameraState& cam);

// Zoom after one wheel message (delta 120 per notch, positive = away from the user).
float ZoomAfterWheel(float zoom, int delta);

// Perspective of 90 degrees vertical, the given aspect, near 0.01, far 1000.
cMath::Matrix4x4 ProjectionMatrix(float aspect);
// R = Rx(pitch) * Ry(yaw).
cMath::Matrix4x4 RotationMatrix(const CameraState& cam);
// V = T(0, 0, -zoom) * R * T(camX, camY, camZ).
cMath::Matrix4x4 ViewMatrix(const CameraState& cam, float zoom, const cMath::Matrix4x4& R);

// Column-major helpers.
cMath::Matrix4x4 MultiplyMatrix(const cMath::Matrix4x4& a, const cMath::Matrix4x4& b);
cMath::Matrix4x4 TranslationMatrix(float x, float y, float z);
