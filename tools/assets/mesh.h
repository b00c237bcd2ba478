// Triangle meshes for the start-up models and their writer in the editor's OBJ/MTL dialect.
// Owns: a growable list of materials and triangles with per-corner position, texture
// coordinate and normal (file axes: millimetres, third axis up), and the text output.
// Never reads files and never talks to GL; the generators build, this module writes.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace morva_assets {

struct Vec3 {
    double x = 0, y = 0, z = 0;
};
struct Vec2 {
    double u = 0, v = 0;
};

Vec3 operator+(Vec3 a, Vec3 b);
Vec3 operator-(Vec3 a, Vec3 b);
Vec3 operator*(Vec3 a, double s);
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
double Length(Vec3 a);
Vec3 Normalized(Vec3 a);

// One corner of a triangle as written to the file.
struct Corner {
    Vec3 position;
    Vec2 uv;
    Vec3 normal;
};

struct Triangle {
    std::array<Corner, 3> corners;
    int material = 0;
};

// One MTL material; only the statements the editor's reader understands.
struct Material {
    std::string name;
    Vec3 kd{0.8, 0.8, 0.8};
    Vec3 ka{0.2, 0.2, 0.2};
    Vec3 ks{0.3, 0.3, 0.3};
    double ns = 32;
    std::string map_kd;  // path relative to the editor's working directory, empty for none
};

struct Mesh {
    std::vector<Material> materials;
    std::vector<Triangle> triangles;
    int current = 0;  // material of triangles added from now on

    int AddMaterial(const Material& m);
    void Use(int material) { current = material; }

    // Adds a triangle whose winding is made counter-clockwise around `facing`
    // (the outward direction), with the corners' own normals.
    void AddTriangle(Corner a, Corner b, Corner c, Vec3 facing);
    // A flat quad a-b-c-d (in order around its edge) with one normal and the given uvs.
    void AddQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal, Vec2 ua, Vec2 ub, Vec2 uc, Vec2 ud);
};

// Writes "mtllib", "usemtl" and triangles with v/vt/vn on every corner, numbers in fixed
// notation (no exponents), shared values de-duplicated. Returns false when the file
// cannot be written completely; a partial file is removed.
bool WriteObj(const std::string& path, const Mesh& mesh, const std::string& mtllib,
              const std::string& header);
// Writes one "newmtl" block per material with tab-indented statements.
bool WriteMtl(const std::string& path, const Mesh& mesh, const std::string& header);

// Writes text to path through a temporary file, so a failure never leaves half a file.
bool WriteTextFile(const std::string& path, const std::string& text);

}  // namespace morva_assets
