// Quadtree building (Push, Optimize, MergeData) and ray queries.
#include "model/quadtree.h"

#include <algorithm>
#include <cmath>

namespace {

// Slightly more than 1/64, so that a quadrant nominally 1/64 wide is refused despite rounding.
constexpr float kFloorFraction = (1.0f / 64.0f) * 1.001f;

uint64_t triangle_tests = 0;

struct Quadrant {
    cMath::vector4 lo, hi;
};

// Quadrant q of the box lo-hi, y never split.
Quadrant QuadrantBox(const cMath::vector4& lo, const cMath::vector4& hi, int q) {
    const float cx = (hi.x + lo.x) / 2.0f;
    const float cz = (hi.z + lo.z) / 2.0f;
    switch (q) {
    case 0: return {cMath::vector4(lo.x, lo.y, lo.z, 0.0f), cMath::vector4(cx, hi.y, cz, 0.0f)};
    case 1: return {cMath::vector4(cx, lo.y, cz, 0.0f), cMath::vector4(hi.x, hi.y, hi.z, 0.0f)};
    case 2: return {cMath::vector4(cx, lo.y, lo.z, 0.0f), cMath::vector4(hi.x, hi.y, cz, 0.0f)};
    default: return {cMath::vector4(lo.x, lo.y, cz, 0.0f), cMath::vector4(cx, hi.y, hi.z, 0.0f)};
    }
}

bool InsideXZ(const cMath::vector4& p, const cMath::vector4& lo, const cMath::vector4& hi) {
    return lo.x <= p.x && p.x <= hi.x && lo.z <= p.z && p.z <= hi.z;
}

// Candidate rule shared by the node's triangles and its children: t is taken when it is a
// hit, lies beyond `lower`, and is the first or a nearer one.
inline void TakeCandidate(float t, float lower, float& best) {
    if (t != -1.0f && t > lower && (best == lower || t < best)) best = t;
}

// Whether the ray o + t d with t > lower may meet the node's box, widened by a margin that
// covers the rounding of the triangle test, and where it enters it (`entry`: no accepted
// hit in the box has a smaller parameter). Never false for a box holding an accepted hit.
bool RayMayReachBox(const float* o, const float* d, const cMath::vector4& lo, const cMath::vector4& hi,
                    float lower, double& entry) {
    const double lows[3] = {lo.x, lo.y, lo.z};
    const double highs[3] = {hi.x, hi.y, hi.z};
    double extent = 0.0;
    double magnitude = 0.0;
    for (int a = 0; a < 3; ++a) {
        extent += highs[a] - lows[a];
        magnitude = std::max({magnitude, std::fabs(lows[a]), std::fabs(highs[a]), std::fabs(double(o[a]))});
    }
    const double margin = 1e-2 * extent + 1e-5 * magnitude + 1e-30;
    double tmin = -INFINITY;
    double tmax = INFINITY;
    for (int a = 0; a < 3; ++a) {
        const double l = lows[a] - margin;
        const double h = highs[a] + margin;
        if (d[a] == 0.0f) {
            if (o[a] < l || o[a] > h) return false;
            continue;
        }
        double t0 = (l - o[a]) / d[a];
        double t1 = (h - o[a]) / d[a];
        if (t0 > t1) std::swap(t0, t1);
        tmin = std::max(tmin, t0);
        tmax = std::min(tmax, t1);
    }
    entry = tmin;
    // A NaN origin or direction makes every comparison false: nothing can be hit then.
    return tmin <= tmax && tmax >= double(lower);
}

// Tests the node's own triangles, then the children the ray may reach, nearest entry first;
// a child entered beyond the best hit so far cannot improve it and ends the search. The
// result is the smallest accepted hit, as testing every triangle in turn gives.
void SearchNode(const OuadTree& node, const cMath::vector4* positions, const float* o, const float* d,
                float lower, float& best, bool prune) {
    triangle_tests += node.faces.size();
    for (const TriangleRun& run : node.faces.runs) {
        const tiangle_face* t = node.triangles + run.first;
        for (const tiangle_face* end = t + run.count; t < end; ++t) {
            const float t_hit = intersect_triangle(o, d, &positions[t->pos0].x, &positions[t->pos1].x,
                                                   &positions[t->pos2].x);
            TakeCandidate(t_hit, lower, best);
        }
    }
    struct Entry {
        double t;
        const OuadTree* child;
    } entries[4];
    int count = 0;
    for (const auto& child : node.children) {
        double entry = 0.0;
        if (!child || (prune && !RayMayReachBox(o, d, *child->bbox_min, *child->bbox_max, lower, entry))) continue;
        int i = count++;
        for (; i > 0 && entries[i - 1].t > entry; --i) entries[i] = entries[i - 1];
        entries[i] = Entry{entry, child.get()};
    }
    for (int i = 0; i < count; ++i) {
        if (prune && best != lower && entries[i].t > double(best)) break;
        SearchNode(*entries[i].child, positions, o, d, lower, best, prune);
    }
}

// Largest magnitude of a coordinate of the box, the origin or the direction for which the
// pruning holds: beyond it the products inside the ray test overflow and a test may report
// an infinite or meaningless parameter that no box bounds. (Far beyond any real model.)
constexpr float kPrunedSearchLimit = 1e12f;

bool WithinPrunedSearchLimit(float v) { return std::fabs(v) <= kPrunedSearchLimit; }

bool MayPrune(const OuadTree& root, const float* o, const float* d) {
    const cMath::vector4& lo = *root.bbox_min;
    const cMath::vector4& hi = *root.bbox_max;
    const float values[12] = {lo.x, lo.y, lo.z, hi.x, hi.y, hi.z, o[0], o[1], o[2], d[0], d[1], d[2]};
    for (float v : values) {
        if (!WithinPrunedSearchLimit(v)) return false;
    }
    return true;
}

// The first quadrant (order 0, 1, 2, 3) of the node that IsTriangleInBBox accepts for the
// triangle, or -1: the same comparisons on the same values as building each quadrant's box
// and testing it in turn, with the centre lines and widths computed once.
int FirstAcceptingQuadrant(const OuadTree& node, const cMath::vector4& a, const cMath::vector4& b,
                           const cMath::vector4& c) {
    const cMath::vector4& lo = *node.bbox_min;
    const cMath::vector4& hi = *node.bbox_max;
    const float cx = (hi.x + lo.x) / 2.0f;
    const float cz = (hi.z + lo.z) / 2.0f;
    const bool above_lo_x = lo.x <= a.x && lo.x <= b.x && lo.x <= c.x;
    const bool below_hi_x = a.x <= hi.x && b.x <= hi.x && c.x <= hi.x;
    const bool above_lo_z = lo.z <= a.z && lo.z <= b.z && lo.z <= c.z;
    const bool below_hi_z = a.z <= hi.z && b.z <= hi.z && c.z <= hi.z;
    const bool low_x = above_lo_x && a.x <= cx && b.x <= cx && c.x <= cx && std::fabs(lo.x - cx) > node.floor_x;
    const bool high_x = below_hi_x && cx <= a.x && cx <= b.x && cx <= c.x && std::fabs(cx - hi.x) > node.floor_x;
    const bool low_z = above_lo_z && a.z <= cz && b.z <= cz && c.z <= cz && std::fabs(lo.z - cz) > node.floor_z;
    const bool high_z = below_hi_z && cz <= a.z && cz <= b.z && cz <= c.z && std::fabs(cz - hi.z) > node.floor_z;
    if (low_x && low_z) return 0;
    if (high_x && high_z) return 1;
    if (high_x && low_z) return 2;
    if (low_x && high_z) return 3;
    return -1;
}

// Whether the triangle's corners lie on, or within rounding of, one line while two of its
// edges have length. The ray test's determinant for such a triangle is pure rounding, so it
// may report a hit parameter anywhere along the ray, far outside the triangle's box. (With a
// zero edge the determinant is exactly zero and the triangle is never hit.)
bool IsSliver(const cMath::vector4& a, const cMath::vector4& b, const cMath::vector4& c) {
    const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                         e1[0] * e2[1] - e1[1] * e2[0]};
    const double lengths = (e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]) *
                           (e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2]);
    const double area = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    // The sine of the angle at the first corner below 1/1000 (NaN corners count as slivers).
    return lengths > 0.0 ? !(area > 1e-6 * lengths) : std::isnan(lengths);
}

}  // namespace

void TriangleList::push_back(uint32_t index) {
    if (!runs.empty() && runs.back().first + runs.back().count == index && runs.back().count < 0xFFFFFFFFu) {
        ++runs.back().count;
    } else {
        runs.push_back(TriangleRun{index, 1});
    }
    ++total;
}

void TriangleList::append(const TriangleList& other) {
    for (const TriangleRun& run : other.runs) {
        if (!runs.empty() && runs.back().first + runs.back().count == run.first &&
            uint64_t(runs.back().count) + run.count <= 0xFFFFFFFFu) {
            runs.back().count += run.count;
        } else {
            runs.push_back(run);
        }
    }
    total += other.total;
}

uint32_t TriangleList::operator[](size_t k) const {
    for (const TriangleRun& run : runs) {
        if (k < run.count) return run.first + uint32_t(k);
        k -= run.count;
    }
    return 0xFFFFFFFFu;
}

float DOT(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void SUB(float* result, const float* a, const float* b) {
    result[0] = a[0] - b[0];
    result[1] = a[1] - b[1];
    result[2] = a[2] - b[2];
}

void CROSS(float* result, const float* a, const float* b) {
    const float x = a[1] * b[2] - a[2] * b[1];
    const float y = a[2] * b[0] - a[0] * b[2];
    const float z = a[0] * b[1] - a[1] * b[0];
    result[0] = x;
    result[1] = y;
    result[2] = z;
}

float intersect_triangle(const float* o, const float* d, const float* a, const float* b, const float* c) {
    float e1[3], e2[3], p[3], s[3], q[3];
    SUB(e1, b, a);
    SUB(e2, c, a);
    CROSS(p, d, e2);
    const float det = DOT(e1, p);
    if (det > -1e-6f && det < 1e-6f) return -1.0f;
    const float inv = 1.0f / det;
    SUB(s, o, a);
    const float u = DOT(s, p) * inv;
    if (u < 0.0f || u > 1.0f) return -1.0f;
    CROSS(q, s, e1);
    const float v = DOT(d, q) * inv;
    if (v < 0.0f || u + v > 1.0f) return -1.0f;
    return DOT(e2, q) * inv;
}

void OuadTree::GiveBBox(cMath::vector4* box) {
    bbox_min = &box[0];
    bbox_max = &box[1];
    floor_x = std::fabs(box[1].x - box[0].x) * kFloorFraction;
    floor_z = std::fabs(box[1].z - box[0].z) * kFloorFraction;
}

bool OuadTree::IsTriangleInBBox(const tiangle_face* t, const cMath::vector4* positions,
                                const cMath::vector4& lo, const cMath::vector4& hi) const {
    if (!(std::fabs(lo.x - hi.x) > floor_x) || !(std::fabs(lo.z - hi.z) > floor_z)) return false;
    return InsideXZ(positions[t->pos0], lo, hi) && InsideXZ(positions[t->pos1], lo, hi) &&
           InsideXZ(positions[t->pos2], lo, hi);
}

void OuadTree::Push(const tiangle_face* triangle, const cMath::vector4* positions) {
    // A tree whose array was not given takes the first triangle pushed as its start (callers
    // push a model's triangles in array order).
    if (triangles == nullptr) triangles = triangle;
    const uint32_t index = uint32_t(triangle - triangles);
    const cMath::vector4& a = positions[triangle->pos0];
    const cMath::vector4& b = positions[triangle->pos1];
    const cMath::vector4& c = positions[triangle->pos2];
    OuadTree* node = this;
    // No quadrant bounds where a sliver's rounding-born hits may lie: every query through
    // this node tests it first, wherever it is placed.
    if (IsSliver(a, b, c)) slivers.push_back(index);
    // Descends iteratively: each level either hands the triangle to a quadrant or keeps it.
    for (;;) {
        const int chosen = node->depth < kQuadTreeMaxDepth ? FirstAcceptingQuadrant(*node, a, b, c) : -1;
        if (chosen < 0) {
            node->faces.push_back(index);
            return;
        }
        std::unique_ptr<OuadTree>& child = node->children[chosen];
        if (!child) {
            const Quadrant box = QuadrantBox(*node->bbox_min, *node->bbox_max, chosen);
            child = std::make_unique<OuadTree>();
            child->own_bounds[0] = box.lo;
            child->own_bounds[1] = box.hi;
            child->bbox_min = &child->own_bounds[0];
            child->bbox_max = &child->own_bounds[1];
            child->floor_x = node->floor_x;
            child->floor_z = node->floor_z;
            child->depth = node->depth + 1;
            child->triangles = node->triangles;
        }
        node = child.get();
    }
}

unsigned OuadTree::CountTriangles() const {
    unsigned n = unsigned(faces.size());
    for (const auto& child : children) {
        if (child) n += child->CountTriangles();
    }
    return n;
}

void OuadTree::MergeData() {
    for (auto& child : children) {
        if (!child) continue;
        child->MergeData();
        faces.append(child->faces);
        child.reset();
    }
}

void OuadTree::Optimize() {
    if (CountTriangles() < kQuadTreeCollapseBelow) {
        MergeData();
        faces.shrink_to_fit();
        return;
    }
    faces.shrink_to_fit();
    for (auto& child : children) {
        if (child) child->Optimize();
    }
}

float OuadTree::TestIntersection(const cMath::vector4* positions, const float* o, const float* d,
                                 bool flag) const {
    const float lower = flag ? -1.0f : 0.0f;
    float best = lower;
    triangle_tests += slivers.size();
    for (uint32_t index : slivers) {
        const tiangle_face& t = triangles[index];
        TakeCandidate(intersect_triangle(o, d, &positions[t.pos0].x, &positions[t.pos1].x, &positions[t.pos2].x),
                      lower, best);
    }
    SearchNode(*this, positions, o, d, lower, best, bbox_min == nullptr || MayPrune(*this, o, d));
    return best;
}

void OuadTree::Clear() {
    for (auto& child : children) child.reset();
    faces.clear();
    faces.shrink_to_fit();
    slivers.clear();
    slivers.shrink_to_fit();
}

uint64_t QuadTreeTriangleTests() { return triangle_tests; }

unsigned CountTreeNodes(const OuadTree& node) {
    unsigned n = 1;
    for (const auto& child : node.children) {
        if (child) n += CountTreeNodes(*child);
    }
    return n;
}

unsigned TreeDepth(const OuadTree& node) {
    unsigned deepest = 0;
    for (const auto& child : node.children) {
        if (child) deepest = std::max(deepest, TreeDepth(*child));
    }
    return deepest + 1;
}
