#include "project/project.h"

#include "model/cloadobj.h"

#include <algorithm>
#include <cmath>

namespace {

// The picking cursor arrives in coordinates of the 1016 x 736 client area; the scene is
// drawn into a 1024 x 768 viewport anchored at the client's bottom-left corner.
constexpr float kCursorScaleX = 1016.0f / 1024.0f;
constexpr float kCursorShiftX = 8.0f / 1024.0f;
constexpr float kCursorScaleY = 736.0f / 768.0f;
constexpr float kCursorShiftY = 32.0f / 768.0f;

// Column-major 4x4 product r = a * b (r must not alias a or b).
void Multiply(float* r, const float* a, const float* b) {
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            r[c * 4 + row] = a[row] * b[c * 4] + a[4 + row] * b[c * 4 + 1] + a[8 + row] * b[c * 4 + 2] +
                             a[12 + row] * b[c * 4 + 3];
        }
    }
}

// The rotation GL applies for an angle in degrees about a unit axis (0 = x, 1 = y, 2 = z).
cMath::Matrix4x4 AxisRotation(float degrees, int axis) {
    const double radians = double(degrees) * 3.14159265358979323846 / 180.0;
    const float c = float(std::cos(radians));
    const float s = float(std::sin(radians));
    cMath::Matrix4x4 r;
    const int a = (axis + 1) % 3;  // the two coordinates the rotation mixes, in right-handed order
    const int b = (axis + 2) % 3;
    r.m[a * 4 + a] = c;
    r.m[a * 4 + b] = s;
    r.m[b * 4 + a] = -s;
    r.m[b * 4 + b] = c;
    return r;
}

// Could the ray origin + t * dir, t > 0, meet the box? A generous margin keeps every
// triangle hit that the exact test would report; NaN inputs are never rejected.
bool RayMayHitBox(const float* o, const float* d, const cMath::vector4& lo, const cMath::vector4& hi) {
    const float lo3[3] = {lo.x, lo.y, lo.z};
    const float hi3[3] = {hi.x, hi.y, hi.z};
    float reach = 0.0f;
    for (int a = 0; a < 3; ++a) {
        const float values[4] = {o[a], d[a], lo3[a], hi3[a]};
        for (float v : values) {
            if (!std::isfinite(v)) return true;
            reach = std::max(reach, std::fabs(v));
        }
    }
    // Far above the rounding of the triangle test, whose inputs are of size `reach`.
    const float margin = reach * 1e-4f + 1e-6f;
    float t_enter = 0.0f;
    float t_leave = INFINITY;
    for (int a = 0; a < 3; ++a) {
        const float low = lo3[a] - margin;
        const float high = hi3[a] + margin;
        if (d[a] == 0.0f) {
            if (o[a] < low || o[a] > high) return false;
            continue;
        }
        float t0 = (low - o[a]) / d[a];
        float t1 = (high - o[a]) / d[a];
        if (t0 > t1) std::swap(t0, t1);
        t_enter = std::max(t_enter, t0);
        t_leave = std::min(t_leave, t1);
        if (t_enter > t_leave) return false;
    }
    return true;
}

// The object-space points under the cursor at two depths: the same as two calls of
// cMath::glhUnProjectf, with the matrix product and inversion made once. A point whose
// unprojection fails keeps its value.
void UnprojectDepths(const float* cursor, float depth0, float depth1, float* modelview, float* projection,
                     float* out0, float* out1) {
    float a[16], inv[16];
    cMath::MultiplyMatrices4by4OpenGL_FLOAT(a, projection, modelview);
    if (!cMath::glhInvertMatrixf2(a, inv)) return;
    const float depths[2] = {depth0, depth1};
    float* outs[2] = {out0, out1};
    for (int i = 0; i < 2; ++i) {
        const float in[4] = {cursor[0], cursor[1], depths[i], 1.0f};
        float o[4];
        cMath::MultiplyMatrixByVector4by4OpenGL_FLOAT(o, inv, in);
        if (o[3] == 0.0f) continue;
        const float k = 1.0f / o[3];
        outs[i][0] = o[0] * k;
        outs[i][1] = o[1] * k;
        outs[i][2] = o[2] * k;
    }
}

// Ray parameter where the ray meets the image's base square (y = 0, x and z in
// [-1, 1], edges included), or -1 when it misses; NaN always misses.
float ImageHit(const float* o, const float* d) {
    const float s = -o[1] / d[1];
    const float hx = o[0] + d[0] * s;
    const float hz = o[2] + d[2] * s;
    if (!(hx >= -1.0f && hx <= 1.0f && hz >= -1.0f && hz <= 1.0f)) return -1.0f;
    return s;
}

// Depth in front of the eye of the object-space point o + t * d under modelview m.
float ViewDepth(const cMath::Matrix4x4& m, const float* o, const float* d, float t) {
    const float p[3] = {o[0] + d[0] * t, o[1] + d[1] * t, o[2] + d[2] * t};
    return -(m.m[2] * p[0] + m.m[6] * p[1] + m.m[10] * p[2] + m.m[14]);
}

}  // namespace

cMath::Matrix4x4 ObjectTransform(const project::pObject& o, float halo) {
    cMath::Matrix4x4 rx = AxisRotation(o.rotate.x, 0);
    cMath::Matrix4x4 ry = AxisRotation(o.rotate.y, 1);
    cMath::Matrix4x4 rz = AxisRotation(o.rotate.z, 2);
    cMath::Matrix4x4 rxy, r;
    Multiply(rxy.m, rx.m, ry.m);
    Multiply(r.m, rxy.m, rz.m);
    const float sc[3] = {o.scale.x * halo, o.scale.y * halo, o.scale.z * halo};
    cMath::Matrix4x4 m;
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) m.m[c * 4 + row] = sc[row] * r.m[c * 4 + row];
        m.m[c * 4 + 3] = 0.0f;
    }
    m.m[12] = o.move.x + o.position.x;
    m.m[13] = o.move.y + o.position.y;
    m.m[14] = o.move.z - o.position.z;
    m.m[15] = 1.0f;
    return m;
}

int project::SelectOBJ(cMath::Matrix4x4* modelview, cMath::Matrix4x4* projection, float* cursor, bool commit) {
    cursor[0] = cursor[0] * kCursorScaleX - kCursorShiftX;
    cursor[1] = cursor[1] * kCursorScaleY - kCursorShiftY;

    float best = -1.0f;
    int found = -1;
    for (size_t i = 0; i < objects.size(); ++i) {
        // The placement rule's move and scale are stored back whatever the ray finds.
        pObject& o = objects[i];
        cMath::vector4 lo, hi;
        if (!ReferenceBox(o, &lo, &hi)) continue;
        ApplyPlacementRule(lo, hi, o.size, &o.move, &o.scale);

        cMath::Matrix4x4 object = ObjectTransform(o, 1.0f);
        cMath::Matrix4x4 m;
        Multiply(m.m, modelview->m, object.m);
        float near_point[3] = {0, 0, 0};
        float far_point[3] = {0, 0, 0};
        UnprojectDepths(cursor, 1.0f, 5.0f, m.m, projection->m, near_point, far_point);
        float d[3] = {far_point[0] - near_point[0], far_point[1] - near_point[1], far_point[2] - near_point[2]};

        // The ray runs from the far plane toward the eye; a hit counts by its depth in
        // front of the eye, so the object nearest to the viewer is the one under the cursor.
        float t = -1.0f;
        if (o.type == 1) {
            if (loader != nullptr && RayMayHitBox(near_point, d, lo, hi)) {
                t = loader->IntersectLine(o.model, near_point, d, false);
            }
        } else {
            t = ImageHit(near_point, d);
        }
        if (t > 0.0f) {
            const float depth = ViewDepth(m, near_point, d, t);
            if (depth > 0.0f && (found == -1 || depth < best)) {
                found = int(i);
                best = depth;
            }
        }
    }
    if (commit) selected = found;
    hovered = found;
    return found;
}

cMath::vector4* project::GetVecors(cMath::Matrix4x4* modelview, cMath::Matrix4x4* projection) {
    cMath::vector4 q(0, 0, 0, 0);
    float* c = modelview->m;
    float* p = projection->m;
    cMath::glhUnProjectf(0.0f, 0.0f, 0.0f, c, p, &q.x);
    cMath::glhUnProjectf(0.0f, 0.0f, 100.0f, c, p, &view_steps[1].x);
    cMath::glhUnProjectf(-1.0f, 0.0f, 0.0f, c, p, &view_steps[2].x);
    cMath::glhUnProjectf(1.0f, 0.0f, 0.0f, c, p, &view_steps[3].x);
    cMath::glhUnProjectf(0.0f, -1.0f, 0.0f, c, p, &view_steps[4].x);
    view_steps[1] = (q - view_steps[1]) * 0.3f;
    view_steps[0] = -view_steps[1];
    view_steps[2] = (q - view_steps[2]) * 0.3f;
    view_steps[3] = (q - view_steps[3]) * 0.3f;
    view_steps[4] = (q - view_steps[4]) * 0.3f;
    return view_steps;
}

// The project's own ray tests are the loader's: the same single-precision arithmetic.
void project::SUB(float* out, float* a, float* b) { ::SUB(out, a, b); }

void project::CROSS(float* out, float* a, float* b) { ::CROSS(out, a, b); }

float project::DOT(float* a, float* b) { return ::DOT(a, b); }

float project::intersect_triangle(float* o, float* d, float* r0, float* r1, float* r2) {
    return ::intersect_triangle(o, d, r0, r1, r2);
}
