#include "app/camera.h"

#include <cmath>

#include "app/undo.h"
#include "platform/cinput.h"
#include "project/project.h"

namespace {

constexpr float kDegToRad = 0.01745329f;

float Clamp(float v, float lo, float hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}

void AddStep(CameraState& cam, const cMath::vector4& step, float factor) {
    cam.camX += step.x * factor;
    cam.camY += step.y * factor;
    cam.camZ += step.z * factor;
}

void ApplyPan(CameraState& cam, const POINT& p, const cMath::vector4* steps) {
    const int dx = p.x - cam.panAnchor[0];
    const int dy = p.y - cam.panAnchor[1];
    if (steps) {
        AddStep(cam, steps[2], float(dx));
        AddStep(cam, steps[4], -float(dy));
    }
    cam.panAnchor[0] = p.x;
    cam.panAnchor[1] = p.y;
}

void ApplyTurn(CameraState& cam, const POINT& p) {
    cam.camYaw += float(p.x - cam.rotAnchor[0]);
    cam.camPitch += float(p.y - cam.rotAnchor[1]);
    cam.rotAnchor[0] = p.x;
    cam.rotAnchor[1] = p.y;
}

void PanInput(CameraState& cam, Cinput& input, const cMath::vector4* steps) {
    if (input.GetKey(morva::kVkRightButton)) {
        POINT p = *input.GetPos();
        if (!cam.panning) {
            cam.panAnchor[0] = p.x;
            cam.panAnchor[1] = p.y;
            cam.panning = true;
        } else {
            ApplyPan(cam, p, steps);
        }
    } else if (cam.panning) {
        ApplyPan(cam, *input.GetPos(), steps);
        cam.panning = false;
    }
}

void TurnInput(CameraState& cam, Cinput& input) {
    if (input.GetKey(morva::kVkMiddleButton)) {
        POINT p = *input.GetPos();
        if (!cam.rotating) {
            cam.rotAnchor[0] = p.x;
            cam.rotAnchor[1] = p.y;
            cam.rotating = true;
        } else {
            ApplyTurn(cam, p);
        }
    } else if (cam.rotating) {
        ApplyTurn(cam, *input.GetPos());
        cam.rotating = false;
    }
}

}  // namespace

void InitCamera(CameraState& cam) { cam = CameraState(); }

void ApplyCameraInput(CameraState& cam, Cinput& input, const cMath::vector4* steps,
                      project* proj) {
    // The cursor and client rectangle were fetched at the start of the frame.
    if (input.PointInRect(input.clientRect.get(), input.cursorPos.get())) {
        PanInput(cam, input, steps);
        TurnInput(cam, input);
    }
    // With Ctrl held the letters are shortcuts (Ctrl+S saves): the view does not step.
    if (morva::IsKeyHeld(input.wnd, morva::kVkControl)) steps = nullptr;
    if (input.GetKey(morva::kVkA) && steps) AddStep(cam, steps[2], 1.0f);
    if (input.GetKey(morva::kVkD) && steps) AddStep(cam, steps[3], 1.0f);
    if (input.GetKey(morva::kVkW) && steps) AddStep(cam, steps[0], 1.0f);
    if (input.GetKey(morva::kVkS) && steps) AddStep(cam, steps[1], 1.0f);
    if (input.GetKey(morva::kVkDelete) && proj) {
        BeginStep(gHistory, *proj, "Delete");
        proj->DeleteOBJ(proj->GetSelected());
        CommitStep(gHistory, *proj);
    }
    ClampCamera(cam);
}

void ClampCamera(CameraState& cam) {
    cam.camX = Clamp(cam.camX, kCamXMin, kCamXMax);
    cam.camZ = Clamp(cam.camZ, kCamZMin, kCamZMax);
    cam.camY = Clamp(cam.camY, kCamYMin, kCamYMax);
    cam.camPitch = Clamp(cam.camPitch, kCamPitchMin, kCamPitchMax);
}

float ZoomAfterWheel(float zoom, int delta) {
    zoom -= float(delta) * 0.001f;
    return Clamp(zoom, kZoomMin, kZoomMax);
}

cMath::Matrix4x4 MultiplyMatrix(const cMath::Matrix4x4& a, const cMath::Matrix4x4& b) {
    cMath::Matrix4x4 r(0.0f);
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            float s = 0.0f;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    }
    return r;
}

cMath::Matrix4x4 TranslationMatrix(float x, float y, float z) {
    cMath::Matrix4x4 t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return t;
}

cMath::Matrix4x4 ProjectionMatrix(float aspect) {
    // The same matrix gluPerspective(90, aspect, 0.01, 1000) multiplies in.
    const double fovy = 90.0, zNear = 0.01, zFar = 1000.0;
    const double f = 1.0 / std::tan(fovy * 3.14159265358979323846 / 360.0);
    cMath::Matrix4x4 p(0.0f);
    p.m[0] = float(f / aspect);
    p.m[5] = float(f);
    p.m[10] = float((zFar + zNear) / (zNear - zFar));
    p.m[11] = -1.0f;
    p.m[14] = float(2.0 * zFar * zNear / (zNear - zFar));
    return p;
}

cMath::Matrix4x4 RotationMatrix(const CameraState& cam) {
    cMath::Matrix4x4 rx =
        cMath::mat4x4_cast(cMath::Quaterion(cMath::vector4(cam.camPitch * kDegToRad, 0.0f, 0.0f, 0.0f)));
    cMath::Matrix4x4 ry =
        cMath::mat4x4_cast(cMath::Quaterion(cMath::vector4(0.0f, cam.camYaw * kDegToRad, 0.0f, 0.0f)));
    return MultiplyMatrix(rx, ry);
}

cMath::Matrix4x4 ViewMatrix(const CameraState& cam, float zoom, const cMath::Matrix4x4& R) {
    cMath::Matrix4x4 v = MultiplyMatrix(TranslationMatrix(0.0f, 0.0f, -zoom), R);
    return MultiplyMatrix(v, TranslationMatrix(cam.camX, cam.camY, cam.camZ));
}
