#include "tools/assets/shapes.h"

#include <cmath>

namespace morva_assets {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Two unit directions perpendicular to `axis` and to each other.
void Basis(Vec3 axis, Vec3& b1, Vec3& b2) {
    Vec3 helper = std::fabs(axis.z) < 0.9 ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
    b1 = Normalized(Cross(helper, axis));
    b2 = Normalized(Cross(axis, b1));
}

Vec2 PlanarUv(Vec3 p, Vec3 n, double uv_mm) {
    if (std::fabs(n.z) >= std::fabs(n.x) && std::fabs(n.z) >= std::fabs(n.y)) return {p.x / uv_mm, p.y / uv_mm};
    if (std::fabs(n.x) >= std::fabs(n.y)) return {p.y / uv_mm, p.z / uv_mm};
    return {p.x / uv_mm, p.z / uv_mm};
}

}  // namespace

void AddBox(Mesh& mesh, Vec3 lo, Vec3 hi, double chamfer, double uv_mm) {
    const Vec3 c = (lo + hi) * 0.5;
    const Vec3 h = (hi - lo) * 0.5;
    const double ch = std::fmax(0.0, std::fmin(chamfer, std::fmin(h.x, std::fmin(h.y, h.z)) * 0.9));
    // Point on face `axis` (0 x, 1 y, 2 z) of the corner with signs s.
    auto point = [&](int axis, const int s[3]) {
        double v[3];
        const double half[3] = {h.x, h.y, h.z};
        for (int k = 0; k < 3; ++k) v[k] = s[k] * (k == axis ? half[k] : half[k] - ch);
        return c + Vec3{v[0], v[1], v[2]};
    };
    auto corner = [&](Vec3 p, Vec3 n) { return Corner{p, PlanarUv(p, n, uv_mm), n}; };
    const Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // Faces.
    for (int a = 0; a < 3; ++a) {
        for (int sa = -1; sa <= 1; sa += 2) {
            const int b = (a + 1) % 3, d = (a + 2) % 3;
            Vec3 q[4];
            const int sb[4] = {-1, 1, 1, -1}, sd[4] = {-1, -1, 1, 1};
            for (int i = 0; i < 4; ++i) {
                int s[3];
                s[a] = sa;
                s[b] = sb[i];
                s[d] = sd[i];
                q[i] = point(a, s);
            }
            const Vec3 n = axes[a] * sa;
            mesh.AddTriangle(corner(q[0], n), corner(q[1], n), corner(q[2], n), n);
            mesh.AddTriangle(corner(q[0], n), corner(q[2], n), corner(q[3], n), n);
        }
    }
    if (ch <= 0) return;
    // Edge strips between two faces, and the corner triangles.
    for (int a = 0; a < 3; ++a) {
        const int b = (a + 1) % 3, d = (a + 2) % 3;
        for (int sa = -1; sa <= 1; sa += 2) {
            for (int sb = -1; sb <= 1; sb += 2) {
                int s0[3], s1[3];
                s0[a] = s1[a] = sa;
                s0[b] = s1[b] = sb;
                s0[d] = -1;
                s1[d] = 1;
                const Vec3 n = Normalized(axes[a] * sa + axes[b] * sb);
                const Vec3 p0 = point(a, s0), p1 = point(a, s1), p2 = point(b, s1), p3 = point(b, s0);
                mesh.AddTriangle(corner(p0, n), corner(p1, n), corner(p2, n), n);
                mesh.AddTriangle(corner(p0, n), corner(p2, n), corner(p3, n), n);
            }
        }
    }
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2)
            for (int sz = -1; sz <= 1; sz += 2) {
                const int s[3] = {sx, sy, sz};
                const Vec3 n = Normalized(Vec3{double(sx), double(sy), double(sz)});
                mesh.AddTriangle(corner(point(0, s), n), corner(point(1, s), n), corner(point(2, s), n), n);
            }
}

std::vector<Vec2> ChamferedRect(double w, double h, double chamfer) {
    const double x = w / 2, y = h / 2, c = chamfer;
    if (c <= 0) return {{-x, -y}, {x, -y}, {x, y}, {-x, y}};
    return {{-x + c, -y}, {x - c, -y}, {x, -y + c}, {x, y - c}, {x - c, y}, {-x + c, y}, {-x, y - c}, {-x, -y + c}};
}

Profile SlotProfile(double w, double h) {
    // Walk the outline counter-clockwise; each side has one slot per 20 mm, 6 mm wide and
    // 5 mm deep, with corners chamfered by 1 mm.
    Profile p;
    const double x = w / 2, y = h / 2, c = 1.0, half_slot = 3.0, depth = 5.0;
    auto side = [&](Vec2 from, Vec2 to, Vec2 inward) {
        const double len = std::hypot(to.u - from.u, to.v - from.v);
        const Vec2 dir{(to.u - from.u) / len, (to.v - from.v) / len};
        const int slots = int(std::lround(len / 20.0));
        for (int i = 0; i < slots; ++i) {
            const double mid = (i + 0.5) * len / slots;
            auto at = [&](double t, double d) {
                return Vec2{from.u + dir.u * t + inward.u * d, from.v + dir.v * t + inward.v * d};
            };
            p.outline.push_back(at(mid - half_slot, 0));
            p.outline.push_back(at(mid - half_slot, depth));
            p.outline.push_back(at(mid + half_slot, depth));
            p.outline.push_back(at(mid + half_slot, 0));
        }
    };
    p.outline.push_back({-x + c, -y});
    side({-x, -y}, {x, -y}, {0, 1});
    p.outline.push_back({x - c, -y});
    p.outline.push_back({x, -y + c});
    side({x, -y}, {x, y}, {-1, 0});
    p.outline.push_back({x, y - c});
    p.outline.push_back({x - c, y});
    side({x, y}, {-x, y}, {0, -1});
    p.outline.push_back({-x + c, y});
    p.outline.push_back({-x, y - c});
    side({-x, y}, {-x, -y}, {1, 0});
    p.outline.push_back({-x, -y + c});
    p.cap = ChamferedRect(w, h, c);
    return p;
}

void AddExtrusion(Mesh& mesh, const Profile& profile, Vec3 origin, Vec3 p_dir, Vec3 q_dir, Vec3 axis,
                  double length, bool caps) {
    auto at = [&](Vec2 pq, double t) { return origin + p_dir * pq.u + q_dir * pq.v + axis * t; };
    const auto& o = profile.outline;
    for (size_t i = 0; i < o.size(); ++i) {
        const Vec2 a = o[i], b = o[(i + 1) % o.size()];
        const double du = b.u - a.u, dv = b.v - a.v;
        const Vec3 n = Normalized(p_dir * dv - q_dir * du);
        const double u0 = 0, u1 = std::hypot(du, dv) / 100.0, v1 = length / 100.0;
        mesh.AddQuad(at(a, 0), at(b, 0), at(b, length), at(a, length), n, {u0, 0}, {u1, 0}, {u1, v1}, {u0, v1});
    }
    if (!caps || profile.cap.size() < 3) return;
    for (int end = 0; end < 2; ++end) {
        const double t = end ? length : 0.0;
        const Vec3 n = axis * (end ? 1.0 : -1.0);
        const auto& cap = profile.cap;
        for (size_t i = 1; i + 1 < cap.size(); ++i) {
            mesh.AddTriangle({at(cap[0], t), {cap[0].u / 100, cap[0].v / 100}, n},
                             {at(cap[i], t), {cap[i].u / 100, cap[i].v / 100}, n},
                             {at(cap[i + 1], t), {cap[i + 1].u / 100, cap[i + 1].v / 100}, n}, n);
        }
    }
}

void AddCone(Mesh& mesh, Vec3 base, Vec3 axis, double r0, double r1, double length, int segments, bool cap_start,
             bool cap_end) {
    axis = Normalized(axis);
    Vec3 b1, b2;
    Basis(axis, b1, b2);
    const Vec3 top = base + axis * length;
    const double slope = (r0 - r1) / length;  // normal tilt along the axis
    for (int i = 0; i < segments; ++i) {
        const double a0 = 2 * kPi * i / segments, a1 = 2 * kPi * (i + 1) / segments;
        const Vec3 d0 = b1 * std::cos(a0) + b2 * std::sin(a0), d1 = b1 * std::cos(a1) + b2 * std::sin(a1);
        const Vec3 n0 = Normalized(d0 + axis * slope), n1 = Normalized(d1 + axis * slope);
        const double u0 = double(i) / segments, u1 = double(i + 1) / segments;
        const Corner p0{base + d0 * r0, {u0, 0}, n0}, p1{base + d1 * r0, {u1, 0}, n1};
        const Corner q0{top + d0 * r1, {u0, 1}, n0}, q1{top + d1 * r1, {u1, 1}, n1};
        const Vec3 out = Normalized(d0 + d1);
        if (r0 > 0) mesh.AddTriangle(p0, p1, q1, out);
        if (r1 > 0) mesh.AddTriangle(p0, q1, q0, out);
        if (cap_start && r0 > 0)
            mesh.AddTriangle({base, {0.5, 0.5}, axis * -1.0}, {p0.position, {0, 0}, axis * -1.0},
                             {p1.position, {0, 0}, axis * -1.0}, axis * -1.0);
        if (cap_end && r1 > 0)
            mesh.AddTriangle({top, {0.5, 0.5}, axis}, {q0.position, {0, 0}, axis}, {q1.position, {0, 0}, axis}, axis);
    }
}

void AddCylinder(Mesh& mesh, Vec3 base, Vec3 axis, double radius, double length, int segments, bool cap_start,
                 bool cap_end) {
    AddCone(mesh, base, axis, radius, radius, length, segments, cap_start, cap_end);
}

}  // namespace morva_assets
