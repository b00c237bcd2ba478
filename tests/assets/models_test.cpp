// The sky box and the machine model: written in the editor's narrow OBJ/MTL dialect, read
// whole by the editor's reader, the sky inside the view's depth range and seam-free, the
// machine leaving the work area free with its grid texture covering exactly the work area.
#include "model/obj_text.h"
#include "tests/assets/asset_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <string>

using namespace morva_asset_test;

namespace {

using V3 = std::array<double, 3>;

struct Model {
    ObjFile obj;
    MtlFile mtl;
    std::string text;
};

Model LoadModel(const std::string& name) {
    Model m;
    if (!ReadText(AssetPath(name), &m.text)) return m;
    m.obj = ReadStrictObj(m.text);
    std::string mtl_text;
    if (ReadText(AssetPath(m.obj.mtllib), &mtl_text)) m.mtl = ReadStrictMtl(mtl_text);
    return m;
}

class StartupModel : public ::testing::TestWithParam<const char*> {};

TEST_P(StartupModel, UsesOnlyTheNarrowDialectWithValidIndices) {
    const Model m = LoadModel(GetParam());
    ASSERT_FALSE(m.text.empty()) << GetParam() << " is missing";
    EXPECT_FALSE(m.obj.faces.empty());
    for (const std::string& p : m.obj.problems) ADD_FAILURE() << p;
}

TEST_P(StartupModel, EditorsReaderKeepsEveryFace) {
    const Model m = LoadModel(GetParam());
    ASSERT_FALSE(m.text.empty());
    ObjText read;
    ParseObjText(m.text.data(), m.text.data() + m.text.size(), read);
    EXPECT_EQ(read.triangles.size(), m.obj.faces.size());
    EXPECT_EQ(read.positions.size(), m.obj.v.size());
    EXPECT_EQ(read.normals.size(), m.obj.vn.size());
}

TEST_P(StartupModel, MaterialsAreTabIndentedAndEveryUsedOneExists) {
    const Model m = LoadModel(GetParam());
    ASSERT_FALSE(m.obj.mtllib.empty());
    ASSERT_FALSE(m.mtl.materials.empty()) << m.obj.mtllib << " is missing or empty";
    for (const std::string& p : m.mtl.problems) ADD_FAILURE() << "not a tab-indented statement: " << p;
    std::set<std::string> names;
    for (const MtlMaterial& mat : m.mtl.materials) names.insert(mat.name);
    for (const ObjFace& f : m.obj.faces) ASSERT_TRUE(names.count(f.material)) << "usemtl " << f.material;
}

TEST_P(StartupModel, TextureMapsDecodeAndStayOpaque) {
    const Model m = LoadModel(GetParam());
    for (const MtlMaterial& mat : m.mtl.materials) {
        if (mat.map_kd.empty()) continue;
        EXPECT_EQ(mat.map_kd.find('\\'), std::string::npos) << "paths are POSIX";
        const Rgba img = Decode(AssetPath(mat.map_kd));
        ASSERT_GT(img.width, 0) << mat.map_kd << " does not decode";
        int keyed = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const auto c = img.rgb(x, y);
                const bool key = (c == std::array<int, 3>{255, 174, 201}) || (c == std::array<int, 3>{191, 123, 199}) ||
                                 (c == std::array<int, 3>{255, 191, 213});
                keyed += key;
            }
        EXPECT_EQ(keyed, 0) << mat.map_kd << " has pixels the editor would make transparent";
    }
}

INSTANTIATE_TEST_SUITE_P(Assets, StartupModel, ::testing::Values("skybox.obj", "Morva.obj"));

// Scene coordinates as the editor reads them: divided by 50, second and third exchanged.
V3 Scene(const std::array<double, 3>& file) { return {file[0] / 50, file[2] / 50, file[1] / 50}; }

TEST(SkyBox, SurroundsTheCameraInsideTheDepthRange) {
    const Model m = LoadModel("skybox.obj");
    ASSERT_FALSE(m.obj.v.empty());
    V3 lo{1e9, 1e9, 1e9}, hi{-1e9, -1e9, -1e9};
    double farthest = 0;
    for (const auto& p : m.obj.v) {
        const V3 s = Scene(p);
        for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], s[k]), hi[k] = std::max(hi[k], s[k]);
        farthest = std::max(farthest, std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]));
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_LT(lo[k], -1.0) << "axis " << k;  // beyond near (0.01) and the camera's reach
        EXPECT_GT(hi[k], 1.0) << "axis " << k;
    }
    EXPECT_LT(farthest, 1000.0) << "corners beyond the far plane";
}

TEST(SkyBox, EachFaceSamplesInsideOneCellAwayFromTheEdges) {
    const Model m = LoadModel("skybox.obj");
    const Rgba sky = Decode(AssetPath("img/sky.jpg"));
    ASSERT_GT(sky.width, 0);
    ASSERT_FALSE(m.obj.faces.empty());
    const double cell = sky.height / 2.0;  // six faces in a 4 x 2 grid of square cells
    ASSERT_EQ(sky.width, 2 * sky.height);
    for (const ObjFace& f : m.obj.faces) {
        int cx = -1, cy = -1;
        for (const ObjCorner& c : f.corners) {
            const double px = m.obj.vt[size_t(c.vt)][0] * sky.width, py = (1 - m.obj.vt[size_t(c.vt)][1]) * sky.height;
            const int x = int(px / cell), y = int(py / cell);
            if (cx < 0) cx = x, cy = y;
            EXPECT_EQ(x, cx);
            EXPECT_EQ(y, cy);
            // At least 4 texels from the cell border: bilinear and the first mipmaps stay inside.
            EXPECT_GE(px - x * cell, 4.0);
            EXPECT_LE(px - x * cell, cell - 4.0);
            EXPECT_GE(py - y * cell, 4.0);
            EXPECT_LE(py - y * cell, cell - 4.0);
        }
    }
}

// Separating-axis test of a triangle against an axis-aligned box.
bool TriangleOverlapsBox(const std::array<V3, 3>& t, const V3& centre, const V3& half) {
    std::array<V3, 3> v;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) v[i][k] = t[i][k] - centre[k];
    auto separated = [&](const V3& axis) {
        const double len = std::fabs(axis[0]) + std::fabs(axis[1]) + std::fabs(axis[2]);
        if (len < 1e-12) return false;
        double lo = 1e300, hi = -1e300;
        for (const V3& p : v) {
            const double d = p[0] * axis[0] + p[1] * axis[1] + p[2] * axis[2];
            lo = std::min(lo, d), hi = std::max(hi, d);
        }
        const double r = half[0] * std::fabs(axis[0]) + half[1] * std::fabs(axis[1]) + half[2] * std::fabs(axis[2]);
        return lo > r || hi < -r;
    };
    auto sub = [](V3 a, V3 b) { return V3{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
    auto cross = [](V3 a, V3 b) { return V3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; };
    const V3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const V3& a : axes)
        if (separated(a)) return false;
    const V3 e[3] = {sub(v[1], v[0]), sub(v[2], v[1]), sub(v[0], v[2])};
    if (separated(cross(e[0], e[1]))) return false;
    for (const V3& edge : e)
        for (const V3& a : axes)
            if (separated(cross(edge, a))) return false;
    return true;
}

std::array<V3, 3> Corners(const ObjFile& obj, const ObjFace& f) {
    std::array<V3, 3> t;
    for (int i = 0; i < 3; ++i) t[i] = obj.v[size_t(f.corners[i].v)];
    return t;
}

TEST(SeparatingAxis, FindsTrianglesInsideAndBesideABox) {
    const V3 c{0, 0, 0}, h{1, 1, 1};
    EXPECT_TRUE(TriangleOverlapsBox({V3{-5, 0, 0}, V3{5, 0.5, 0}, V3{0, 0, 5}}, c, h));  // crosses the box
    EXPECT_FALSE(TriangleOverlapsBox({V3{2, 0, 0}, V3{3, 0, 0}, V3{2, 1, 0}}, c, h));
    EXPECT_FALSE(TriangleOverlapsBox({V3{1.5, -3, 0}, V3{-3, 1.5, 0}, V3{-3, -3, 0}}, {1.2, 1.2, 0}, {0.1, 0.1, 1}));
}

TEST(MachineModel, LeavesTheWorkAreaFreeUpToTheWorkHeight) {
    const Model m = LoadModel("Morva.obj");
    ASSERT_FALSE(m.obj.faces.empty());
    // The work volume, a hair inside its boundary: the bed top itself lies on it.
    const V3 centre{0, 0, 20.05}, half{64.95, 89.95, 19.95};
    int inside = 0;
    for (const ObjFace& f : m.obj.faces) inside += TriangleOverlapsBox(Corners(m.obj, f), centre, half);
    EXPECT_EQ(inside, 0) << "triangles inside x -65..65, y -90..90, height 0..40";
}

TEST(MachineModel, GridTextureCoversExactlyTheWorkAreaAtHeightZero) {
    const Model m = LoadModel("Morva.obj");
    std::string grid;
    for (const MtlMaterial& mat : m.mtl.materials)
        if (mat.map_kd == "machine/bed_grid.png") grid = mat.name;
    ASSERT_FALSE(grid.empty()) << "no material maps the bed grid";
    double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
    int corners = 0;
    for (const ObjFace& f : m.obj.faces) {
        if (f.material != grid) continue;
        for (const ObjCorner& c : f.corners) {
            const auto& p = m.obj.v[size_t(c.v)];
            const auto& uv = m.obj.vt[size_t(c.vt)];
            EXPECT_NEAR(p[2], 0.0, 1e-6);
            EXPECT_NEAR(uv[0], (p[0] + 65) / 130, 1e-5) << "u must follow x across the work area";
            EXPECT_NEAR(uv[1], (p[1] + 90) / 180, 1e-5) << "v must follow y across the work area";
            min_x = std::min(min_x, p[0]), max_x = std::max(max_x, p[0]);
            min_y = std::min(min_y, p[1]), max_y = std::max(max_y, p[1]);
            ++corners;
        }
    }
    ASSERT_GT(corners, 0);
    EXPECT_DOUBLE_EQ(min_x, -65);
    EXPECT_DOUBLE_EQ(max_x, 65);
    EXPECT_DOUBLE_EQ(min_y, -90);
    EXPECT_DOUBLE_EQ(max_y, 90);
}

TEST(MachineModel, StaysLightEnoughToDrawEveryFrame) {
    const Model m = LoadModel("Morva.obj");
    EXPECT_GT(m.obj.faces.size(), 500u) << "too crude to read as a machine";
    EXPECT_LT(m.obj.faces.size(), 30000u);
}

// Brightness of the bed texture at a point given in millimetres from the anchor corner
// (x from -65, y from +90).
double GridLuminance(const Rgba& img, double mm_x, double mm_y) {
    const int x = std::min(img.width - 1, int(mm_x / 130.0 * img.width));
    const int y = std::min(img.height - 1, int(mm_y / 180.0 * img.height));
    const auto c = img.rgb(x, y);
    return 0.299 * c[0] + 0.587 * c[1] + 0.114 * c[2];
}

TEST(MachineModel, GridMarksEveryTenMillimetresAndEveryFiftyMoreStrongly) {
    const Rgba img = Decode(AssetPath("machine/bed_grid.png"));
    ASSERT_GT(img.width, 0);
    const double board = GridLuminance(img, 25, 25);
    for (double mm : {10.0, 20.0, 30.0, 60.0, 120.0}) {
        EXPECT_LT(GridLuminance(img, mm, 25), board - 20) << "no line at x " << mm;
        EXPECT_LT(GridLuminance(img, 25, mm), board - 20) << "no line at y " << mm;
    }
    for (double mm : {50.0, 100.0}) {
        EXPECT_LT(GridLuminance(img, mm, 25), GridLuminance(img, 20, 25) - 20) << "weak line at x " << mm;
        EXPECT_LT(GridLuminance(img, 25, mm), GridLuminance(img, 25, 20) - 20) << "weak line at y " << mm;
    }
    EXPECT_NEAR(GridLuminance(img, 5, 5), board, 3) << "the board between lines is even";
}

}  // namespace
