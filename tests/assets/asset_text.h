// Helpers for the asset tests: reading committed files, decoding images the way the
// editor does, and splitting the narrow OBJ/MTL dialect into checked records.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace morva_asset_test {

std::string AssetPath(const std::string& relative);
bool ReadText(const std::string& path, std::string* out);
std::vector<std::string> Lines(const std::string& text);

struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // RGBA, rows top to bottom, as stbi_load delivers them
    std::array<int, 3> rgb(int x, int y) const;
};
Rgba Decode(const std::string& path);

// One triangle of an OBJ file: 0-based indices of position, texture coordinate and normal
// per corner, and the material in force.
struct ObjCorner {
    int v = -1, vt = -1, vn = -1;
};
struct ObjFace {
    std::array<ObjCorner, 3> corners;
    std::string material;
};
struct ObjFile {
    std::string mtllib;
    std::vector<std::array<double, 3>> v, vn;
    std::vector<std::array<double, 2>> vt;
    std::vector<ObjFace> faces;
    std::vector<std::string> problems;  // every line that breaks the narrow dialect
};
// Reads an OBJ text strictly: "mtllib", "usemtl", "v"/"vn" with three and "vt" with two
// numbers in plain decimal notation, "f" with exactly three v/vt/vn corners whose indices
// exist, comments, and nothing else.
ObjFile ReadStrictObj(const std::string& text);

struct MtlMaterial {
    std::string name;
    std::string map_kd;
};
struct MtlFile {
    std::vector<MtlMaterial> materials;
    std::vector<std::string> problems;  // statements not indented by exactly one tab
};
MtlFile ReadStrictMtl(const std::string& text);

}  // namespace morva_asset_test
