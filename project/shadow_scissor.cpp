#include "project/shadow_scissor.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

bool ShadowVolumeWorldBox(const cMath::Matrix4x4& object, const cMath::vector4& lo, const cMath::vector4& hi,
                          float drop, float floor_y, WorldBox& box) {
    // The placed object box with the drop, as an axis-aligned box.
    const float l[3] = {lo.x, lo.y - drop, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    float placed[8][4];
    BoxCorners(object, l, h, placed);
    bool finite = true;
    for (int k = 0; k < 3; ++k) {
        box.lo[k] = box.hi[k] = placed[0][k];
        for (const auto& c : placed) {
            box.lo[k] = std::min(box.lo[k], c[k]);
            box.hi[k] = std::max(box.hi[k], c[k]);
        }
        finite = finite && std::isfinite(box.lo[k]) && std::isfinite(box.hi[k]);
    }
    if (!finite) {
        for (int k = 0; k < 3; ++k) {
            box.lo[k] = -std::numeric_limits<float>::infinity();
            box.hi[k] = std::numeric_limits<float>::infinity();
        }
        return true;
    }
    // Below the lowest surface the volume holds no drawn point.
    if (floor_y > box.lo[1]) box.lo[1] = floor_y;
    return box.lo[1] <= box.hi[1];
}

ShadowReach ShadowVolumeReach(const cMath::Matrix4x4& object, const cMath::Matrix4x4& view,
                              const cMath::Matrix4x4& projection, const int viewport[4], const cMath::vector4& lo,
                              const cMath::vector4& hi, float drop, float floor_y, ShadowRect& rect) {
    WorldBox box;
    if (!ShadowVolumeWorldBox(object, lo, hi, drop, floor_y, box)) return ShadowReach::kNothing;
    if (!std::isfinite(box.lo[0]) || !std::isfinite(box.hi[0])) return ShadowReach::kEverywhere;
    const float* wlo = box.lo;
    const float* whi = box.hi;
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

namespace {

// The inverse of a column-major 4x4 matrix (cofactors over the determinant); false when
// the matrix has none.
bool Invert(const double m[16], double inv[16]) {
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (!(std::fabs(det) > 0.0) || !std::isfinite(det)) return false;
    for (int i = 0; i < 16; ++i) inv[i] /= det;
    return true;
}

// Steps of the stored depth a pixel's depth may be off by, on each side (rounding of the
// scene's depth and the one-unit polygon offset the volumes are drawn with, with room).
constexpr double kDepthSlackSteps = 8.0;
// Boxes are widened by this share of their size (and at least kBoxSlack) against the
// rounding of the volumes' own vertices.
constexpr float kBoxSlackShare = 1e-3f;
constexpr float kBoxSlack = 1e-4f;
// The boxes are looked up through a grid over their extent in x and z.
constexpr int kGridCells = 32;
// A point whose depth is so uncertain that it spans more cells tests every box instead.
constexpr int kMostCellsPerPoint = 16;

// Boxes by the cells of a grid over x and z that they overlap; boxes without bounds are
// looked at for every point.
struct BoxGrid {
    float x0 = 0, z0 = 0, cell_x = 1, cell_z = 1;
    std::vector<std::vector<uint32_t>> cells;
    std::vector<uint32_t> everywhere;

    explicit BoxGrid(const std::vector<WorldBox>& boxes) {
        float lo[2] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()};
        float hi[2] = {-lo[0], -lo[1]};
        for (const WorldBox& b : boxes) {
            if (!Bounded(b)) continue;
            lo[0] = std::min(lo[0], b.lo[0]);
            lo[1] = std::min(lo[1], b.lo[2]);
            hi[0] = std::max(hi[0], b.hi[0]);
            hi[1] = std::max(hi[1], b.hi[2]);
        }
        cells.resize(size_t(kGridCells) * kGridCells);
        if (lo[0] <= hi[0]) {
            x0 = lo[0];
            z0 = lo[1];
            cell_x = std::max((hi[0] - lo[0]) / float(kGridCells), 1e-6f);
            cell_z = std::max((hi[1] - lo[1]) / float(kGridCells), 1e-6f);
        }
        for (uint32_t i = 0; i < boxes.size(); ++i) {
            const WorldBox& b = boxes[i];
            if (!Bounded(b)) {
                everywhere.push_back(i);
                continue;
            }
            for (int cz = Cell(b.lo[2], z0, cell_z); cz <= Cell(b.hi[2], z0, cell_z); ++cz) {
                for (int cx = Cell(b.lo[0], x0, cell_x); cx <= Cell(b.hi[0], x0, cell_x); ++cx) {
                    cells[size_t(cz) * kGridCells + size_t(cx)].push_back(i);
                }
            }
        }
    }
    static bool Bounded(const WorldBox& b) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(b.lo[k]) || !std::isfinite(b.hi[k])) return false;
        }
        return true;
    }
    static int Cell(double v, double origin, double size) {
        const double c = std::floor((v - origin) / size);
        return c < 0.0 ? 0 : c >= kGridCells ? kGridCells - 1 : int(c);
    }
};

// The pixel rectangles as they grow: column and row ranges per box.
struct PixelRanges {
    std::vector<int> c0, c1, r0, r1;
    explicit PixelRanges(size_t n) : c0(n, INT32_MAX), c1(n, -1), r0(n, INT32_MAX), r1(n, -1) {}
    void Add(uint32_t i, int c, int r) {
        c0[i] = std::min(c0[i], c);
        c1[i] = std::max(c1[i], c);
        r0[i] = std::min(r0[i], r);
        r1[i] = std::max(r1[i], r);
    }
};

bool Overlaps(const WorldBox& b, const double lo[3], const double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        if (!(double(b.lo[k]) <= hi[k] && double(b.hi[k]) >= lo[k])) return false;
    }
    return true;
}

bool Contains(const WorldBox& b, const double lo[3], const double hi[3]) {
    for (int k = 0; k < 3; ++k) {
        if (!(double(b.lo[k]) <= lo[k] && double(b.hi[k]) >= hi[k])) return false;
    }
    return true;
}

// Pixels are looked at in tiles of this many pixels a side: a tile whose points all lie
// in a box, or all outside it, is settled at once.
constexpr int kTile = 8;

// Window to world for the picture: the inverse of projection times view, in double
// precision, applied to normalised device coordinates.
struct Unprojection {
    double inv[16];
    bool valid = false;
    int w = 0, h = 0;
    double depth_slack = 0.0;

    explicit Unprojection(const DepthPicture& picture) : w(picture.viewport[2]), h(picture.viewport[3]) {
        double pv[16];
        for (int c = 0; c < 4; ++c) {
            for (int r = 0; r < 4; ++r) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k) {
                    sum += double(picture.projection.m[k * 4 + r]) * double(picture.view.m[c * 4 + k]);
                }
                pv[c * 4 + r] = sum;
            }
        }
        valid = Invert(pv, inv);
        const int bits = std::max(1, std::min(picture.depth_bits, 32));
        depth_slack = kDepthSlackSteps / (std::ldexp(1.0, bits) - 1.0);
    }
    // Widens lo..hi by the world point of pixel (c, r) at window depth d; false when the
    // point lies at or behind the eye.
    bool Add(double c, double r, double d, double lo[3], double hi[3]) const {
        const double x = (c + 0.5) / double(w) * 2.0 - 1.0;
        const double y = (r + 0.5) / double(h) * 2.0 - 1.0;
        const double z = d * 2.0 - 1.0;
        double p[4];
        for (int k = 0; k < 4; ++k) p[k] = inv[k] * x + inv[4 + k] * y + inv[8 + k] * z + inv[12 + k];
        if (!(p[3] > 0.0)) return false;
        for (int k = 0; k < 3; ++k) {
            const double v = p[k] / p[3];
            lo[k] = std::min(lo[k], v);
            hi[k] = std::max(hi[k], v);
        }
        return true;
    }
    // The world box of pixels c0..c1 x r0..r1 at window depths d0..d1 widened by the
    // slack (a projective map takes the box's corners to the corners of the hull of its
    // image); false when it reaches the eye or is not finite.
    bool Span(int c0, int c1, int r0, int r1, double d0, double d1, double lo[3], double hi[3]) const {
        for (int k = 0; k < 3; ++k) {
            lo[k] = HUGE_VAL;
            hi[k] = -HUGE_VAL;
        }
        d0 = std::max(0.0, d0 - depth_slack);
        d1 = std::min(1.0, d1 + depth_slack);
        for (int corner = 0; corner < 8; ++corner) {
            if (!Add((corner & 1) ? c1 : c0, (corner & 2) ? r1 : r0, (corner & 4) ? d1 : d0, lo, hi)) return false;
        }
        return std::isfinite(lo[0] + lo[1] + lo[2] + hi[0] + hi[1] + hi[2]);
    }
};

// The boxes a world box lo..hi may overlap, appended to `out`.
void Candidates(const BoxGrid& grid, size_t n, const double lo[3], const double hi[3], std::vector<uint32_t>& out) {
    out.clear();
    const int cx0 = BoxGrid::Cell(lo[0], grid.x0, grid.cell_x), cx1 = BoxGrid::Cell(hi[0], grid.x0, grid.cell_x);
    const int cz0 = BoxGrid::Cell(lo[2], grid.z0, grid.cell_z), cz1 = BoxGrid::Cell(hi[2], grid.z0, grid.cell_z);
    if ((cx1 - cx0 + 1) * (cz1 - cz0 + 1) > kMostCellsPerPoint) {
        for (uint32_t i = 0; i < n; ++i) out.push_back(i);
        return;
    }
    out.insert(out.end(), grid.everywhere.begin(), grid.everywhere.end());
    for (int cz = cz0; cz <= cz1; ++cz) {
        for (int cx = cx0; cx <= cx1; ++cx) {
            const std::vector<uint32_t>& cell = grid.cells[size_t(cz) * kGridCells + size_t(cx)];
            out.insert(out.end(), cell.begin(), cell.end());
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

// The drawn pixels of one tile: their extent and depths.
struct TilePixels {
    int c0 = INT32_MAX, c1 = -1, r0 = INT32_MAX, r1 = -1;
    float d0 = 1.0f, d1 = 0.0f;
};

TilePixels DrawnPixels(const DepthPicture& picture, int w, int tc0, int tc1, int tr0, int tr1) {
    TilePixels t;
    for (int r = tr0; r <= tr1; ++r) {
        const float* row = picture.depth.data() + size_t(r) * size_t(w);
        for (int c = tc0; c <= tc1; ++c) {
            const float d = row[c];
            if (!(d < 1.0f)) continue;  // nothing drawn here
            t.c0 = std::min(t.c0, c);
            t.c1 = std::max(t.c1, c);
            t.r0 = std::min(t.r0, r);
            t.r1 = std::max(t.r1, r);
            t.d0 = std::min(t.d0, d);
            t.d1 = std::max(t.d1, d);
        }
    }
    return t;
}

// Settles the boxes `open` pixel by pixel over the drawn pixels of a tile.
void AddPixelByPixel(const DepthPicture& picture, const Unprojection& un, const std::vector<WorldBox>& boxes,
                     const std::vector<uint32_t>& open, const TilePixels& t, PixelRanges& ranges) {
    for (int r = t.r0; r <= t.r1; ++r) {
        const float* row = picture.depth.data() + size_t(r) * size_t(un.w);
        for (int c = t.c0; c <= t.c1; ++c) {
            if (!(row[c] < 1.0f)) continue;
            double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
            const bool known = un.valid && un.Span(c, c, r, r, row[c], row[c], lo, hi);
            for (const uint32_t i : open) {
                if (!known || Overlaps(boxes[i], lo, hi)) ranges.Add(i, c, r);
            }
        }
    }
}

}  // namespace

std::vector<ShadowRect> PixelsInsideBoxes(const DepthPicture& picture, const std::vector<WorldBox>& given) {
    const size_t n = given.size();
    std::vector<ShadowRect> rects(n);
    const int vx = picture.viewport[0], vy = picture.viewport[1];
    const int w = picture.viewport[2], h = picture.viewport[3];
    if (n == 0 || w <= 0 || h <= 0 || picture.depth.size() < size_t(w) * size_t(h)) return rects;
    std::vector<WorldBox> boxes(given);
    for (WorldBox& b : boxes) {
        for (int k = 0; k < 3; ++k) {
            const float slack = std::max(kBoxSlack, kBoxSlackShare * (b.hi[k] - b.lo[k]));
            b.lo[k] -= slack;
            b.hi[k] += slack;
        }
    }
    const Unprojection un(picture);
    const BoxGrid grid(boxes);
    PixelRanges ranges(n);
    std::vector<uint32_t> candidates, open;
    std::vector<uint32_t> every(n);
    for (uint32_t i = 0; i < n; ++i) every[i] = i;
    for (int tr = 0; tr < h; tr += kTile) {
        for (int tc = 0; tc < w; tc += kTile) {
            const TilePixels t = DrawnPixels(picture, w, tc, std::min(w, tc + kTile) - 1, tr, std::min(h, tr + kTile) - 1);
            if (t.c1 < 0) continue;
            double lo[3], hi[3];
            if (!un.valid || !un.Span(t.c0, t.c1, t.r0, t.r1, t.d0, t.d1, lo, hi)) {
                // No world box for the whole tile: every box, pixel by pixel.
                AddPixelByPixel(picture, un, boxes, every, t, ranges);
                continue;
            }
            Candidates(grid, n, lo, hi, candidates);
            open.clear();
            for (const uint32_t i : candidates) {
                if (!Overlaps(boxes[i], lo, hi)) continue;
                if (Contains(boxes[i], lo, hi)) {
                    ranges.Add(i, t.c0, t.r0);
                    ranges.Add(i, t.c1, t.r1);
                } else {
                    open.push_back(i);
                }
            }
            if (!open.empty()) AddPixelByPixel(picture, un, boxes, open, t, ranges);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        if (ranges.c1[i] < 0) continue;
        const int x0 = std::max(vx, vx + ranges.c0[i] - kRectMargin);
        const int x1 = std::min(vx + w, vx + ranges.c1[i] + 1 + kRectMargin);
        const int y0 = std::max(vy, vy + ranges.r0[i] - kRectMargin);
        const int y1 = std::min(vy + h, vy + ranges.r1[i] + 1 + kRectMargin);
        rects[i] = ShadowRect{x0, y0, x1 - x0, y1 - y0};
    }
    return rects;
}
