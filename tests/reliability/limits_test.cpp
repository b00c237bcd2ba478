// Limits: a project of 10 000 objects saves, opens and runs the picking pass; NaN and
// infinite numbers, in a model or in a project file, never crash the import, the placement
// rule, the picking pass or the renderer, and never hide the objects that are fine.
#include "tests/reliability/helpers/sample_project.h"
#include "tests/reliability/reliability_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace fs = std::filesystem;

namespace reliability {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool Finite(const cMath::vector4& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

class Limits : public ReliabilityScene {
protected:
    std::string scratch;
    void SetUp() override {
        ReliabilityScene::SetUp();
        scratch = morva_test::MakeTempDir();
        ASSERT_FALSE(scratch.empty());
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }
    bool Save(const std::string& path) { return p->SaveData(const_cast<char*>(path.c_str())); }
    bool Open(const std::string& path) { return p->OpenData(const_cast<char*>(path.c_str())); }

    // Draws the scene once the way the frame does; GL must report no error.
    void DrawScene() {
        const cMath::Matrix4x4 view = project_test::View(project_test::CameraAbove(0, 0, 0, 3));
        LoadCamera(view, project_test::Projection());
        SceneState();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        p->Render();
        p->RenderShadow();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
};

TEST_F(Limits, TenThousandObjectProjectSavesOpensAndPicks) {
    // 100 models and 9 900 images, spread over the work area in a 100 x 100 grid.
    const std::string model = Good("cube.obj");
    const std::string image = Good("relief.png");
    for (int i = 0; i < 10000; ++i) {
        project::pObject o;
        o.type = i % 100 == 0 ? 1 : 0;
        o.name = o.type == 1 ? model : image;
        o.size = cMath::vector4(0.025f, 0.02f, 0.035f, 1.0f);  // the tiles leave no gaps
        o.position = cMath::vector4(float(i % 100) * 0.025f, 0.0f, float(i / 100) * 0.035f, 0.0f);
        p->objects.push_back(o);
    }
    const std::string file = scratch + "/ten-thousand.PRJ";
    ASSERT_TRUE(Save(file));
    EXPECT_EQ(fs::file_size(file), 11u + 100u * (88u + model.size() + 1u) + 9900u * (88u + image.size() + 1u));

    p->objects.clear();
    ASSERT_TRUE(Open(file));
    ASSERT_EQ(p->objects.size(), 10000u);
    EXPECT_TRUE(p->GetMissingFiles().empty());
    EXPECT_TRUE(IsUsableModel(p->objects[0]));
    EXPECT_EQ(p->objects[1].texture, p->objects[9999].texture);  // one texture shared by every image

    // The grid covers the middle of the view from above: something is under the cursor there.
    const int found = PickFromAbove(0.0f, 0.0f);
    EXPECT_TRUE(IsValidObjectIndex(found, p->objects.size()));
    for (const project::pObject& o : p->objects) ASSERT_TRUE(Finite(o.move) && Finite(o.scale));
}

TEST_F(Limits, HundredThousandMaterialSwitchesOverHundredThousandMaterials) {
    // Every switch names the last material: matching them one by one against the whole list
    // would keep the editor busy for minutes.
    const std::string mtl = scratch + "/many.mtl";
    const std::string obj = scratch + "/many.obj";
    {
        std::ofstream m(mtl);
        for (int i = 0; i < 100000; ++i) m << "newmtl m" << i << "\n";
        std::ofstream o(obj);
        o << "mtllib many.mtl\nv 0 0 0\nv 10 0 0\nv 0 0 10\n";
        for (int i = 0; i < 100000; ++i) o << "usemtl m99999\nf 1 2 3\n";
    }
    ASSERT_TRUE(Import(obj));
    const cloadobj_conteiner* model = p->objects.back().model;
    EXPECT_EQ(model->materials.size(), 100000u);
    ASSERT_EQ(model->material_switches.size(), 100000u);
    EXPECT_EQ(model->material_switches.back().material_index, 99999u);
    EXPECT_EQ(model->material_switches.back().first_triangle, 99999u);
}

// A model whose positions hold NaN and infinities, as a broken reader could have produced.
struct PoisonedModel {
    cloadobj_conteiner model;
    PoisonedModel() {
        model.name = "poisoned.obj";
        model.readable = true;
        model.positions = {cMath::vector4(kNaN, 0, 0, 0), cMath::vector4(kInf, -kInf, 1, 0),
                           cMath::vector4(0, 0, 1, 0), cMath::vector4(1, 0, 0, 0)};
        model.normals = {cMath::vector4(0, -0.02f, 0, 0)};
        model.texcoords = {cMath::vector4()};
        model.triangles = {{0, 0, 0, 1, 0, 0, 2, 0, 0}, {1, 0, 0, 2, 0, 0, 3, 0, 0}};
        model.triangle_count = 2;
        model.bbox[0] = cMath::vector4(kNaN, -kInf, 0, 0);
        model.bbox[1] = cMath::vector4(kInf, kNaN, 1, 0);
        model.tree.GiveBBox(model.bbox);
        model.tree.GiveTriangles(model.triangles.data());
        for (tiangle_face& t : model.triangles) model.tree.Push(&t, model.positions.data());
        model.tree.Optimize();
    }
};

TEST_F(Limits, NonFiniteModelNeitherCrashesNorHidesAnImage) {
    PoisonedModel poisoned;
    const cMath::vector4 size = ImportSize(poisoned.model.bbox[1] - poisoned.model.bbox[0]);
    EXPECT_TRUE(std::isfinite(size.x) && std::isfinite(size.y) && std::isfinite(size.z));
    EXPECT_GE(std::fmin(size.x, std::fmin(size.y, size.z)), 0.02f);

    // The image lies at the anchor corner; the poisoned model is listed first, so it would
    // win a tie.
    project::pObject m;
    m.type = 1;
    m.model = &poisoned.model;
    m.size = size;
    PlaceObject(&m);
    p->objects.push_back(m);
    ASSERT_TRUE(ImportPicture(Good("relief.png")));
    cMath::vector4 middle(0.8f, 0.0f, 1.3f, 0.0f);  // image centre onto the scene origin
    p->PositionOBJ(1, &middle);

    EXPECT_EQ(PickFromAbove(0.0f, 0.0f), 1);
    EXPECT_EQ(PickFromAbove(0.9f, 0.9f), -1);
}

TEST_F(Limits, NonFiniteVectorsInAProjectFileOpenPickAndDraw) {
    std::vector<ProjectRecord> records = SampleRecords(6, 10, 3);
    for (ProjectRecord& r : records) {
        r.type = 0;
        r.path = Good("relief.png");
    }
    records[0].size = cMath::vector4(kNaN, kNaN, kNaN, kNaN);
    records[1].size = cMath::vector4(kInf, kInf, kInf, 1);       // would ask for endless relief layers
    records[2].position = cMath::vector4(kInf, -kInf, kNaN, 0);
    records[3].rotate = cMath::vector4(kNaN, kInf, -kInf, 0);
    records[4].size = cMath::vector4(-kInf, -1, 0, 0);
    records[5].size = cMath::vector4(1, 0.02f, 1, 1);              // the one sound image
    records[5].position = cMath::vector4(0.8f, 0.0f, 1.3f, 0.0f);  // centred on the origin
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(SerializeProjectFile(records, &bytes));
    const std::string file = scratch + "/non-finite.PRJ";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    ASSERT_TRUE(Open(file));
    ASSERT_EQ(p->objects.size(), 6u);
    EXPECT_EQ(PickFromAbove(0.0f, 0.0f), 5);
    p->hovered = 1;
    p->selected = 3;
    DrawScene();
    // Saved again, every stored value comes back bit for bit (move and scale are derived).
    const std::string again = scratch + "/again.PRJ";
    ASSERT_TRUE(Save(again));
    std::vector<uint8_t> saved;
    std::vector<ProjectRecord> back;
    ASSERT_TRUE(ReadWholeFile(again.c_str(), &saved));
    ASSERT_TRUE(ParseProjectFile(saved.data(), saved.size(), &back));
    ASSERT_EQ(back.size(), records.size());
    for (size_t i = 0; i < back.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back[i].path, records[i].path);
        EXPECT_EQ(std::memcmp(&back[i].position, &records[i].position, sizeof(cMath::vector4)), 0);
        EXPECT_EQ(std::memcmp(&back[i].size, &records[i].size, sizeof(cMath::vector4)), 0);
        EXPECT_EQ(std::memcmp(&back[i].rotate, &records[i].rotate, sizeof(cMath::vector4)), 0);
    }
}

}  // namespace
}  // namespace reliability
