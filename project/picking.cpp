#include "project/project.h"

#include "model/cloadobj.h"
#include "project/pick_ray.h"

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

    // The placement rule's move and scale are stored back whatever the ray finds.
    for (pObject& o : objects) {
        cMath::vector4 lo, hi;
        if (ReferenceBox(o, &lo, &hi)) ApplyPlacementRule(lo, hi, o.size, &o.move, &o.scale);
    }
    // The ray runs from the eye side; the object whose surface it meets first is the one
    // the user sees under the cursor.
    PickRay ray;
    const int found = CursorRay(*modelview, *projection, cursor, &ray) ? PickNearest(objects, ray).index : -1;
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
