#include "tests/assets/asset_text.h"

#include <stb/stb_image.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace morva_asset_test {

std::string AssetPath(const std::string& relative) { return std::string(MORVA_ASSETS_DIR) + "/" + relative; }

bool ReadText(const std::string& path, std::string* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *out = s.str();
    return true;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::array<int, 3> Rgba::rgb(int x, int y) const {
    const uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return {p[0], p[1], p[2]};
}

Rgba Decode(const std::string& path) {
    Rgba image;
    int channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &image.width, &image.height, &channels, 4);
    if (!data) return Rgba{};
    image.pixels.assign(data, data + size_t(image.width) * size_t(image.height) * 4);
    stbi_image_free(data);
    return image;
}

namespace {

const std::string kNumber = "-?[0-9]+\\.[0-9]+";

}  // namespace

ObjFile ReadStrictObj(const std::string& text) {
    ObjFile obj;
    const std::regex v("v (" + kNumber + ") (" + kNumber + ") (" + kNumber + ")");
    const std::regex vn("vn (" + kNumber + ") (" + kNumber + ") (" + kNumber + ")");
    const std::regex vt("vt (" + kNumber + ") (" + kNumber + ")");
    const std::regex f("f ([0-9]+)/([0-9]+)/([0-9]+) ([0-9]+)/([0-9]+)/([0-9]+) ([0-9]+)/([0-9]+)/([0-9]+)");
    std::string material;
    std::smatch m;
    for (const std::string& line : Lines(text)) {
        if (line.size() >= 254) obj.problems.push_back("too long: " + line.substr(0, 40));
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("mtllib ", 0) == 0) {
            obj.mtllib = line.substr(7);
        } else if (line.rfind("usemtl ", 0) == 0) {
            material = line.substr(7);
        } else if (std::regex_match(line, m, v)) {
            obj.v.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3])});
        } else if (std::regex_match(line, m, vn)) {
            obj.vn.push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3])});
        } else if (std::regex_match(line, m, vt)) {
            obj.vt.push_back({std::stod(m[1]), std::stod(m[2])});
        } else if (std::regex_match(line, m, f)) {
            ObjFace face;
            face.material = material;
            for (int c = 0; c < 3; ++c) {
                face.corners[c] = {std::stoi(m[1 + 3 * c]) - 1, std::stoi(m[2 + 3 * c]) - 1, std::stoi(m[3 + 3 * c]) - 1};
            }
            obj.faces.push_back(face);
        } else {
            obj.problems.push_back("not in the dialect: " + line);
        }
    }
    for (const ObjFace& face : obj.faces) {
        for (const ObjCorner& c : face.corners) {
            if (c.v < 0 || c.v >= int(obj.v.size()) || c.vt < 0 || c.vt >= int(obj.vt.size()) || c.vn < 0 ||
                c.vn >= int(obj.vn.size())) {
                obj.problems.push_back("index out of range");
            }
        }
    }
    return obj;
}

MtlFile ReadStrictMtl(const std::string& text) {
    MtlFile mtl;
    const std::regex statement("\t(Ka|Kd|Ks|Ke|Tf|Ns|d|Ni|illum|map_Kd|map_Ka|map_Ks|map_Ke|map_Ns|map_d|map_Bump) [^\t ].*");
    for (const std::string& line : Lines(text)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("newmtl ", 0) == 0) {
            mtl.materials.push_back({line.substr(7), ""});
        } else if (!std::regex_match(line, statement) || mtl.materials.empty()) {
            mtl.problems.push_back(line);
        } else if (line.rfind("\tmap_Kd ", 0) == 0) {
            mtl.materials.back().map_kd = line.substr(8);
        }
    }
    return mtl;
}

}  // namespace morva_asset_test
