// Solid shapes for the machine model, added to a Mesh in the file's axes (millimetres,
// third axis up): chamfered boxes, extruded profiles and cylinders with outward normals.
// Never writes files.
#pragma once

#include "tools/assets/mesh.h"

#include <vector>

namespace morva_assets {

// Box between two corners with every edge chamfered by `chamfer` (0 for sharp edges).
// Texture coordinates are planar per face, `uv_mm` millimetres per texture repeat.
void AddBox(Mesh& mesh, Vec3 lo, Vec3 hi, double chamfer = 0.0, double uv_mm = 100.0);

// A closed profile (counter-clockwise in its own p, q plane) swept along `axis` for
// `length`, starting at `origin`; p and q map to the scene directions `p_dir` and
// `q_dir`. The end caps are the convex polygon `cap` (empty: no caps).
struct Profile {
    std::vector<Vec2> outline;  // (p, q) in u, v
    std::vector<Vec2> cap;      // convex, counter-clockwise
};
void AddExtrusion(Mesh& mesh, const Profile& profile, Vec3 origin, Vec3 p_dir, Vec3 q_dir, Vec3 axis,
                  double length, bool caps = true);

// Aluminium slot profile of w x h millimetres with a slot every 20 mm on each side.
Profile SlotProfile(double w, double h);
// Rectangle with chamfered corners (the cap of a slot profile, or a plain bar).
std::vector<Vec2> ChamferedRect(double w, double h, double chamfer);

// Cylinder of `radius` from `base` along `axis` (unit) for `length`, smooth sides.
void AddCylinder(Mesh& mesh, Vec3 base, Vec3 axis, double radius, double length, int segments,
                 bool cap_start = true, bool cap_end = true);
// Truncated cone between two radii (a collet nut, a cutter tip).
void AddCone(Mesh& mesh, Vec3 base, Vec3 axis, double r0, double r1, double length, int segments,
             bool cap_start = true, bool cap_end = true);

}  // namespace morva_assets
