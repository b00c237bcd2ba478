#include "project/pick_ray.h"

#include "model/cloadobj.h"

#include <algorithm>
#include <cmath>

namespace {

uint64_t triangle_tests = 0;

// Slack around boxes in the fitted frame, far above double rounding of numbers near 1.
constexpr double kBoxSlack = 1e-9;
// A triangle whose plane the ray meets at a sine below this (relative to the lengths of
// the ray and the edges) counts as parallel: no hit.
constexpr double kParallel = 1e-13;

double Dot(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Cross(double* r, const double* a, const double* b) {
    r[0] = a[1] * b[2] - a[2] * b[1];
    r[1] = a[2] * b[0] - a[0] * b[2];
    r[2] = a[0] * b[1] - a[1] * b[0];
}

// Inverse of a column-major 4x4 matrix by elimination with partial pivoting.
bool Invert(const double* m, double* out) {
    double a[4][8];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m[c * 4 + r];
            a[r][c + 4] = r == c ? 1.0 : 0.0;
        }
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        }
        if (!(std::fabs(a[pivot][c]) > 0.0) || !std::isfinite(a[pivot][c])) return false;
        if (pivot != c) std::swap(a[pivot], a[c]);
        const double k = 1.0 / a[c][c];
        for (double& v : a[c]) v *= k;
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (int j = 0; j < 8; ++j) a[r][j] -= f * a[c][j];
        }
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out[c * 4 + r] = a[r][c + 4];
    }
    return true;
}

// The rotation of the drawing transform, Rx * Ry * Rz, in double (row-major 3x3).
void Rotation(const cMath::vector4& degrees, double r[3][3]) {
    const double k = 3.14159265358979323846 / 180.0;
    const double cx = std::cos(degrees.x * k), sx = std::sin(degrees.x * k);
    const double cy = std::cos(degrees.y * k), sy = std::sin(degrees.y * k);
    const double cz = std::cos(degrees.z * k), sz = std::sin(degrees.z * k);
    const double rx[3][3] = {{1, 0, 0}, {0, cx, -sx}, {0, sx, cx}};
    const double ry[3][3] = {{cy, 0, sy}, {0, 1, 0}, {-sy, 0, cy}};
    const double rz[3][3] = {{cz, -sz, 0}, {sz, cz, 0}, {0, 0, 1}};
    double rxy[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rxy[i][j] = rx[i][0] * ry[0][j] + rx[i][1] * ry[1][j] + rx[i][2] * ry[2][j];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = rxy[i][0] * rz[0][j] + rxy[i][1] * rz[1][j] + rxy[i][2] * rz[2][j];
}

// The scene ray in the object's own coordinates, then shifted by `centre` and divided by
// `unit`: own = R^T * S^-1 * (scene - T). False for an object that cannot be inverted.
bool RayInFrame(const project::pObject& o, const PickRay& ray, const double* centre, double unit, double* origin,
                double* direction) {
    const double scale[3] = {o.scale.x, o.scale.y, o.scale.z};
    for (double s : scale) {
        if (!(s != 0.0) || !std::isfinite(s)) return false;
    }
    const double shift[3] = {double(o.move.x) + o.position.x, double(o.move.y) + o.position.y,
                             double(o.move.z) - o.position.z};
    double r[3][3];
    Rotation(o.rotate, r);
    double p[3], d[3];
    for (int a = 0; a < 3; ++a) {
        p[a] = (ray.origin[a] - shift[a]) / scale[a];
        d[a] = ray.direction[a] / scale[a];
    }
    for (int a = 0; a < 3; ++a) {  // R^T
        origin[a] = ((r[0][a] * p[0] + r[1][a] * p[1] + r[2][a] * p[2]) - centre[a]) / unit;
        direction[a] = (r[0][a] * d[0] + r[1][a] * d[1] + r[2][a] * d[2]) / unit;
    }
    for (int a = 0; a < 3; ++a) {
        if (!std::isfinite(origin[a]) || !std::isfinite(direction[a])) return false;
    }
    return true;
}

// The part [t0, t1] of [lo_t, hi_t] in which origin + t * direction lies in the box.
bool ClipToBox(const double* o, const double* d, const double* lo, const double* hi, double* t0, double* t1) {
    for (int a = 0; a < 3; ++a) {
        if (d[a] == 0.0) {
            if (o[a] < lo[a] || o[a] > hi[a]) return false;
            continue;
        }
        double enter = (lo[a] - o[a]) / d[a];
        double leave = (hi[a] - o[a]) / d[a];
        if (enter > leave) std::swap(enter, leave);
        *t0 = std::max(*t0, enter);
        *t1 = std::min(*t1, leave);
        if (!(*t0 <= *t1)) return false;
    }
    return true;
}

// Moller-Trumbore in double, no back-face culling; the hit parameter or -1.
double TriangleHit(const double* o, const double* d, const double* a, const double* b, const double* c) {
    double e1[3], e2[3], p[3], s[3], q[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = b[k] - a[k];
        e2[k] = c[k] - a[k];
        s[k] = o[k] - a[k];
    }
    Cross(p, d, e2);
    const double det = Dot(e1, p);
    const double size = std::sqrt(Dot(d, d) * Dot(e1, e1) * Dot(e2, e2));
    if (!(std::fabs(det) > kParallel * size)) return -1.0;
    const double inv = 1.0 / det;
    const double u = Dot(s, p) * inv;
    if (u < 0.0 || u > 1.0) return -1.0;
    Cross(q, s, e1);
    const double v = Dot(d, q) * inv;
    if (v < 0.0 || u + v > 1.0) return -1.0;
    return Dot(e2, q) * inv;
}

// A model's triangles searched through its quadtree along the segment o + u * d, u in
// [0, 1], all in the fitted frame (file units minus `centre`, divided by `unit`).
struct TreeSearch {
    const cloadobj_conteiner* model;
    const double* centre;
    double unit;
    const double* o;
    const double* d;
    double best = -1.0;

    void Corner(uint32_t index, double* out) const {
        const cMath::vector4& p = model->positions[index];
        out[0] = (double(p.x) - centre[0]) / unit;
        out[1] = (double(p.y) - centre[1]) / unit;
        out[2] = (double(p.z) - centre[2]) / unit;
    }

    void Triangle(const tiangle_face& f) {
        const size_t n = model->positions.size();
        if (f.pos0 >= n || f.pos1 >= n || f.pos2 >= n) return;
        double a[3], b[3], c[3];
        Corner(f.pos0, a);
        Corner(f.pos1, b);
        Corner(f.pos2, c);
        ++triangle_tests;
        const double u = TriangleHit(o, d, a, b, c);
        if (u >= 0.0 && u <= 1.0 && (best < 0.0 || u < best)) best = u;
    }

    bool Reaches(const OuadTree& node) const {
        if (node.bbox_min == nullptr || node.bbox_max == nullptr) return true;
        const cMath::vector4& l = *node.bbox_min;
        const cMath::vector4& h = *node.bbox_max;
        const double lo3[3] = {l.x, l.y, l.z}, hi3[3] = {h.x, h.y, h.z};
        double lo[3], hi[3];
        for (int a = 0; a < 3; ++a) {
            lo[a] = (lo3[a] - centre[a]) / unit - kBoxSlack;
            hi[a] = (hi3[a] - centre[a]) / unit + kBoxSlack;
        }
        double t0 = 0.0, t1 = best < 0.0 ? 1.0 : best;
        return ClipToBox(o, d, lo, hi, &t0, &t1);
    }

    void Search(const OuadTree& node) {
        for (size_t k = 0; k < node.faces.size(); ++k) Triangle(node.Face(k));
        for (const auto& child : node.children) {
            if (child && Reaches(*child)) Search(*child);
        }
    }
};

double ModelHit(const project::pObject& o, const PickRay& ray) {
    if (!IsUsableModel(o) || o.model->triangles.empty()) return -1.0;
    const cMath::vector4& l = o.model->bbox[0];
    const cMath::vector4& h = o.model->bbox[1];
    const double lo3[3] = {l.x, l.y, l.z}, hi3[3] = {h.x, h.y, h.z};
    double centre[3], unit = 0.0;
    for (int a = 0; a < 3; ++a) {
        centre[a] = (lo3[a] + hi3[a]) / 2.0;
        unit = std::max(unit, (hi3[a] - lo3[a]) / 2.0);
    }
    if (!(unit > 0.0) || !std::isfinite(unit)) unit = 1.0;
    double origin[3], direction[3];
    if (!RayInFrame(o, ray, centre, unit, origin, direction)) return -1.0;
    // From where the ray enters the box to where it leaves it (or the near and far planes).
    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = (lo3[a] - centre[a]) / unit - kBoxSlack;
        hi[a] = (hi3[a] - centre[a]) / unit + kBoxSlack;
    }
    double t0 = 0.0, t1 = 1.0;
    if (!ClipToBox(origin, direction, lo, hi, &t0, &t1)) return -1.0;
    double o3[3], d3[3];
    for (int a = 0; a < 3; ++a) {
        o3[a] = origin[a] + t0 * direction[a];
        d3[a] = (t1 - t0) * direction[a];
    }
    TreeSearch search{o.model, centre, unit, o3, d3};
    search.Search(o.model->tree);
    return search.best < 0.0 ? -1.0 : t0 + search.best * (t1 - t0);
}

// The image's base square: y = 0 of its own coordinates, x and z in [-1, 1], edges included.
double ImageHit(const project::pObject& o, const PickRay& ray) {
    const double centre[3] = {0, 0, 0};
    double p[3], d[3];
    if (!RayInFrame(o, ray, centre, 1.0, p, d) || d[1] == 0.0) return -1.0;
    const double t = -p[1] / d[1];
    const double x = p[0] + d[0] * t, z = p[2] + d[2] * t;
    if (!(x >= -1.0 && x <= 1.0 && z >= -1.0 && z <= 1.0)) return -1.0;
    return t >= 0.0 && t <= 1.0 ? t : -1.0;
}

}  // namespace

bool CursorRay(const cMath::Matrix4x4& modelview, const cMath::Matrix4x4& projection, const float* cursor,
               PickRay* ray) {
    double pm[16], inv[16];
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += double(projection.m[k * 4 + r]) * modelview.m[c * 4 + k];
            pm[c * 4 + r] = sum;
        }
    }
    if (!Invert(pm, inv)) return false;
    double ends[2][3];
    for (int e = 0; e < 2; ++e) {
        const double in[4] = {cursor[0], cursor[1], e == 0 ? -1.0 : 1.0, 1.0};
        double out[4];
        for (int r = 0; r < 4; ++r) {
            out[r] = inv[r] * in[0] + inv[4 + r] * in[1] + inv[8 + r] * in[2] + inv[12 + r] * in[3];
        }
        if (out[3] == 0.0 || !std::isfinite(out[3])) return false;
        for (int a = 0; a < 3; ++a) ends[e][a] = out[a] / out[3];
    }
    for (int a = 0; a < 3; ++a) {
        ray->origin[a] = ends[0][a];
        ray->direction[a] = ends[1][a] - ends[0][a];
    }
    return true;
}

double PickObjectHit(const project::pObject& o, const PickRay& ray) {
    if (o.type == 1) return ModelHit(o, ray);
    if (o.type == 0) return ImageHit(o, ray);
    return -1.0;
}

PickResult PickNearest(const std::vector<project::pObject>& objects, const PickRay& ray) {
    PickResult result;
    for (size_t i = 0; i < objects.size(); ++i) {
        const double t = PickObjectHit(objects[i], ray);
        if (t >= 0.0 && (result.index == -1 || t < result.t)) {
            result.index = int(i);
            result.t = t;
        }
    }
    return result;
}

uint64_t PickTriangleTests() { return triangle_tests; }
