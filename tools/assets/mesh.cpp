#include "tools/assets/mesh.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace morva_assets {

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalized(Vec3 a) {
    double l = Length(a);
    return l > 0 ? a * (1.0 / l) : a;
}

int Mesh::AddMaterial(const Material& m) {
    materials.push_back(m);
    return int(materials.size()) - 1;
}

void Mesh::AddTriangle(Corner a, Corner b, Corner c, Vec3 facing) {
    Vec3 n = Cross(b.position - a.position, c.position - a.position);
    if (Length(n) < 1e-12) return;  // degenerate: nothing to draw, nothing to pick
    Triangle t;
    t.material = current;
    if (Dot(n, facing) >= 0) {
        t.corners = {a, b, c};
    } else {
        t.corners = {a, c, b};
    }
    triangles.push_back(t);
}

void Mesh::AddQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, Vec3 normal, Vec2 ua, Vec2 ub, Vec2 uc,
                   Vec2 ud) {
    AddTriangle({a, ua, normal}, {b, ub, normal}, {c, uc, normal}, normal);
    AddTriangle({a, ua, normal}, {c, uc, normal}, {d, ud, normal}, normal);
}

namespace {

// Fixed notation with a bounded number of decimals; "-0.0000" becomes "0.0000".
std::string Fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

// Interns the textual form of a value so that equal values share one index.
struct Pool {
    std::map<std::string, int> index;
    std::string lines;
    int Add(const std::string& tag, const std::string& text) {
        auto it = index.find(text);
        if (it != index.end()) return it->second;
        int i = int(index.size()) + 1;
        index.emplace(text, i);
        lines += tag + " " + text + "\n";
        return i;
    }
};

}  // namespace

bool WriteTextFile(const std::string& path, const std::string& text) {
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(text.data(), std::streamsize(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool WriteObj(const std::string& path, const Mesh& mesh, const std::string& mtllib,
              const std::string& header) {
    Pool positions, uvs, normals;
    std::string faces;
    int last_material = -1;
    for (const Triangle& t : mesh.triangles) {
        if (t.material != last_material) {
            faces += "usemtl " + mesh.materials.at(size_t(t.material)).name + "\n";
            last_material = t.material;
        }
        faces += "f";
        for (const Corner& c : t.corners) {
            Vec3 n = Normalized(c.normal);
            int p = positions.Add("v", Fixed(c.position.x, 4) + " " + Fixed(c.position.y, 4) + " " +
                                           Fixed(c.position.z, 4));
            int u = uvs.Add("vt", Fixed(c.uv.u, 6) + " " + Fixed(c.uv.v, 6));
            int q = normals.Add("vn", Fixed(n.x, 5) + " " + Fixed(n.y, 5) + " " + Fixed(n.z, 5));
            faces += " " + std::to_string(p) + "/" + std::to_string(u) + "/" + std::to_string(q);
        }
        faces += "\n";
    }
    std::ostringstream text;
    text << header;
    text << "mtllib " << mtllib << "\n";
    text << positions.lines << uvs.lines << normals.lines << faces;
    return WriteTextFile(path, text.str());
}

bool WriteMtl(const std::string& path, const Mesh& mesh, const std::string& header) {
    std::ostringstream text;
    text << header;
    auto triple = [](Vec3 v) { return Fixed(v.x, 4) + " " + Fixed(v.y, 4) + " " + Fixed(v.z, 4); };
    for (const Material& m : mesh.materials) {
        text << "newmtl " << m.name << "\n";
        text << "\tKa " << triple(m.ka) << "\n";
        text << "\tKd " << triple(m.kd) << "\n";
        text << "\tKs " << triple(m.ks) << "\n";
        text << "\tNs " << Fixed(m.ns, 2) << "\n";
        text << "\td 1.0\n";
        text << "\tillum 2\n";
        if (!m.map_kd.empty()) text << "\tmap_Kd " << m.map_kd << "\n";
        text << "\n";
    }
    return WriteTextFile(path, text.str());
}

}  // namespace morva_assets
