#include "project/shadow_scissor.h"

#include <algorithm>
#include <cmath>

namespace {

// Clip coordinates below this w count as reaching the eye plane.
constexpr float kMinClipW = 1e-6f;
constexpr int kRectMargin = 2;

void Transform(const cMath::Matrix4x4& m, const float p[4], float out[4]) {
    for (int row = 0; row < 4; ++row) {
        out[row] = m.m[row] * p[0] + m.m[4 + row] * p[1] + m.m[8 + row] * p[2] + m.m[12 + row] * p[3];
    }
}

// The eight corners of the box lo..hi through `m` (w = 1 in, x y z w out).
void BoxCorners(const cMath::Matrix4x4& m, const float lo[3], const float hi[3], float out[8][4]) {
    for (int c = 0; c < 8; ++c) {
        const float p[4] = {(c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1], (c & 4) ? hi[2] : lo[2], 1.0f};
        Transform(m, p, out[c]);
    }
}

}  // namespace

float LowestWorldY(const cMath::Matrix4x4& object, const cMath::vector4& lo, const cMath::vector4& hi) {
    const float l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    float corners[8][4];
    BoxCorners(object, l, h, corners);
    float lowest = corners[0][1];
    for (const auto& c : corners) lowest = std::min(lowest, c[1]);
    return lowest;
}

ShadowReach ShadowVolumeReach(const cMath::Matrix4x4& object, const cMath::Matrix4x4& view,
                              const cMath::Matrix4x4& projection, const int viewport[4], const cMath::vector4& lo,
                              const cMath::vector4& hi, float drop, float floor_y, ShadowRect& rect) {
    // The volume's world box: the placed object box with the drop, as an axis-aligned box.
    const float l[3] = {lo.x, lo.y - drop, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    float placed[8][4];
    BoxCorners(object, l, h, placed);
    float wlo[3], whi[3];
    for (int k = 0; k < 3; ++k) {
        wlo[k] = whi[k] = placed[0][k];
        for (const auto& c : placed) {
            wlo[k] = std::min(wlo[k], c[k]);
            whi[k] = std::max(whi[k], c[k]);
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (!std::isfinite(wlo[k]) || !std::isfinite(whi[k])) return ShadowReach::kEverywhere;
    }
    // Below the lowest surface the volume holds no drawn point.
    if (floor_y > wlo[1]) wlo[1] = floor_y;
    if (wlo[1] > whi[1]) return ShadowReach::kNothing;
    const cMath::Matrix4x4 identity;
    float eye[8][4], clip[8][4];
    BoxCorners(identity, wlo, whi, eye);
    unsigned outside_all = 0x3F;
    float xmin = 1e30f, xmax = -1e30f, ymin = 1e30f, ymax = -1e30f;
    bool behind_eye = false;
    for (int c = 0; c < 8; ++c) {
        float v[4];
        Transform(view, eye[c], v);
        Transform(projection, v, clip[c]);
        const float x = clip[c][0], y = clip[c][1], z = clip[c][2], w = clip[c][3];
        const unsigned outside = (x < -w ? 1u : 0u) | (x > w ? 2u : 0u) | (y < -w ? 4u : 0u) | (y > w ? 8u : 0u) |
                                 (z < -w ? 16u : 0u) | (z > w ? 32u : 0u);
        outside_all &= outside;
        if (!(w > kMinClipW)) {
            behind_eye = true;
            continue;
        }
        xmin = std::min(xmin, x / w);
        xmax = std::max(xmax, x / w);
        ymin = std::min(ymin, y / w);
        ymax = std::max(ymax, y / w);
    }
    // Every corner beyond one clip plane: the whole box is clipped away.
    if (outside_all != 0) return ShadowReach::kNothing;
    if (behind_eye) return ShadowReach::kEverywhere;
    // Far outside the viewport only the side matters (and the pixel numbers stay small).
    xmin = std::max(xmin, -2.0f);
    ymin = std::max(ymin, -2.0f);
    xmax = std::min(xmax, 2.0f);
    ymax = std::min(ymax, 2.0f);
    const float sx = float(viewport[2]) * 0.5f, sy = float(viewport[3]) * 0.5f;
    const int x0 = std::max(viewport[0], int(std::floor(float(viewport[0]) + (xmin + 1.0f) * sx)) - kRectMargin);
    const int x1 = std::min(viewport[0] + viewport[2], int(std::ceil(float(viewport[0]) + (xmax + 1.0f) * sx)) + kRectMargin);
    const int y0 = std::max(viewport[1], int(std::floor(float(viewport[1]) + (ymin + 1.0f) * sy)) - kRectMargin);
    const int y1 = std::min(viewport[1] + viewport[3], int(std::ceil(float(viewport[1]) + (ymax + 1.0f) * sy)) + kRectMargin);
    if (x1 <= x0 || y1 <= y0) return ShadowReach::kNothing;
    rect = ShadowRect{x0, y0, x1 - x0, y1 - y0};
    return ShadowReach::kRectangle;
}
