// Test helpers: the camera matrices the editor builds each frame and the conversion of a
// scene point to the cursor position (normalised client coordinates) that lies over it.
#pragma once

#include "math/Cmath.h"

#include <cmath>

namespace project_test {

struct Camera {
    float pitch = 0, yaw = -90;
    float x = -1, y = -1, z = -2;
    float zoom = 2;
};

// Column-major product a * b.
inline cMath::Matrix4x4 Mul(const cMath::Matrix4x4& a, const cMath::Matrix4x4& b) {
    cMath::Matrix4x4 r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = s;
        }
    return r;
}

inline cMath::Matrix4x4 Translation(float x, float y, float z) {
    cMath::Matrix4x4 t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    return t;
}

// 90 degree vertical field of view, 1024 / 768 aspect, planes 0.01 and 1000.
inline cMath::Matrix4x4 Projection() {
    const float n = 0.01f, f = 1000.0f, aspect = 1024.0f / 768.0f;
    cMath::Matrix4x4 p(0.0f);
    p.m[0] = 1.0f / aspect;
    p.m[5] = 1.0f;
    p.m[10] = (f + n) / (n - f);
    p.m[11] = -1.0f;
    p.m[14] = 2.0f * f * n / (n - f);
    return p;
}

// V = T(0, 0, -zoom) * Rx(pitch) * Ry(yaw) * T(camera translation).
inline cMath::Matrix4x4 View(const Camera& c) {
    const float k = 0.01745329f;
    const cMath::Matrix4x4 rx = cMath::mat4x4_cast(cMath::Quaterion(cMath::vector4(c.pitch * k, 0, 0)));
    const cMath::Matrix4x4 ry = cMath::mat4x4_cast(cMath::Quaterion(cMath::vector4(0, c.yaw * k, 0)));
    return Mul(Mul(Translation(0, 0, -c.zoom), Mul(rx, ry)), Translation(c.x, c.y, c.z));
}

// Viewport coordinates (-1 .. 1 over the 1024 x 768 drawing) of a scene point.
inline bool ToViewport(const cMath::Matrix4x4& v, const cMath::Matrix4x4& p, float x, float y, float z,
                       float* vx, float* vy) {
    const cMath::Matrix4x4 pv = Mul(p, v);
    const float cx = pv.m[0] * x + pv.m[4] * y + pv.m[8] * z + pv.m[12];
    const float cy = pv.m[1] * x + pv.m[5] * y + pv.m[9] * z + pv.m[13];
    const float cw = pv.m[3] * x + pv.m[7] * y + pv.m[11] * z + pv.m[15];
    if (cw <= 0) return false;
    *vx = cx / cw;
    *vy = cy / cw;
    return std::fabs(*vx) <= 1 && std::fabs(*vy) <= 1;
}

// The cursor (normalised coordinates of the 1016 x 736 client area, anchored at the
// drawing's bottom-left corner) that lies over a viewport position.
inline void ViewportToCursor(float vx, float vy, float* cursor) {
    const float px = (vx + 1.0f) * 0.5f * 1024.0f;  // drawing pixels from the left
    const float py = (vy + 1.0f) * 0.5f * 768.0f;   // drawing pixels from the bottom
    cursor[0] = px / 1016.0f * 2.0f - 1.0f;
    cursor[1] = py / 736.0f * 2.0f - 1.0f;
}

// The cursor over a scene point; false when the point is off screen or behind the eye.
inline bool CursorOver(const cMath::Matrix4x4& v, const cMath::Matrix4x4& p, float x, float y, float z,
                       float* cursor) {
    float vx, vy;
    if (!ToViewport(v, p, x, y, z, &vx, &vy)) return false;
    ViewportToCursor(vx, vy, cursor);
    return true;
}

// A camera looking down on the work area from above its middle.
inline Camera TopCamera() {
    Camera c;
    c.pitch = 80;
    c.yaw = 0;
    c.x = 0;
    c.y = -2.5f;
    c.z = 0;
    c.zoom = 1;
    return c;
}

}  // namespace project_test
