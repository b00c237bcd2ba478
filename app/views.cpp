#include "app/views.h"

#include <algorithm>
#include <cmath>

#include "app/camera.h"

namespace {

// Half the vertical field of view is 45 degrees: a sphere of radius r fills the view's
// height from r / sin(45) away; a little more leaves a margin.
constexpr float kFrameMargin = 1.8f;
constexpr float kSinHalfFov = 0.70710678f;

}  // namespace

void AimCamera(CameraState& cam, float* zoom, const cMath::vector4& target, float distance, float pitch,
               float yaw) {
    cam.camPitch = pitch;
    cam.camYaw = yaw;
    cam.rotating = false;
    cam.panning = false;
    // The view axis in the scene: the rotation's third row, negated.
    const cMath::Matrix4x4 r = RotationMatrix(cam);
    const float dx = -r.m[2], dy = -r.m[6], dz = -r.m[10];
    float z = std::min(kZoomMax, distance);
    // The orbit centre may not sink below its lowest height: move it back up the axis.
    const float lowest = -kCamYMax;
    if (dy < 0.0f && target.y - (distance - z) * dy < lowest) {
        z = std::max(kZoomMin, distance - (lowest - target.y) / -dy);
    }
    const float back = distance - z;
    cam.camX = -(target.x - back * dx);
    cam.camY = -(target.y - back * dy);
    cam.camZ = -(target.z - back * dz);
    *zoom = z;
    ClampCamera(cam);
}

void HomeView(CameraState& cam, float* zoom) {
    AimCamera(cam, zoom, cMath::vector4(0.0f, 0.0f, 0.9f, 1.0f), 3.7f, 50.0f, 0.0f);
}

void TopView(CameraState& cam, float* zoom) {
    AimCamera(cam, zoom, cMath::vector4(0.0f, 0.0f, 0.35f, 1.0f), 2.7f, 90.0f, 0.0f);
}

void FrameView(CameraState& cam, float* zoom, const cMath::vector4& lo, const cMath::vector4& hi) {
    const cMath::vector4 centre((lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f, 1.0f);
    const cMath::vector4 e = hi - lo;
    const float radius = 0.5f * std::sqrt(e.x * e.x + e.y * e.y + e.z * e.z);
    const float distance = std::max(0.2f, radius / kSinHalfFov * kFrameMargin);
    const float pitch = std::min(85.0f, std::max(25.0f, cam.camPitch));
    AimCamera(cam, zoom, centre, distance, pitch, cam.camYaw);
}
