// The broken-file corpus: every file fails (or loads) as outcomes.txt says, without a crash,
// and a failure leaves the user's project, selection and texture table exactly as they were.
#include "tests/reliability/broken_corpus.h"
#include "tests/reliability/reliability_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace reliability {
namespace {

std::vector<BrokenFile> Outcomes() {
    std::string error;
    std::vector<BrokenFile> files = ReadOutcomes(&error);
    EXPECT_TRUE(error.empty()) << error;
    return files;
}

std::vector<BrokenFile> OfKind(const std::string& kind) {
    std::vector<BrokenFile> out;
    for (const BrokenFile& f : Outcomes()) {
        if (f.kind == kind) out.push_back(f);
    }
    return out;
}

bool Finite(const cMath::vector4& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

TEST(BrokenCorpus, ListsEveryCommittedFileWithItsOutcome) {
    const std::vector<BrokenFile> files = Outcomes();
    EXPECT_GE(files.size(), 50u);
    std::set<std::string> listed;
    for (const BrokenFile& f : files) {
        EXPECT_TRUE(listed.insert(f.file).second) << f.file << " is listed twice";
        EXPECT_TRUE(f.kind == "project" || f.kind == "obj" || f.kind == "stl" || f.kind == "mtl" || f.kind == "image")
            << f.file;
        EXPECT_TRUE(f.message.size() > 3 && (f.fails() || f.message.compare(f.message.size() - 2, 2, "OK") == 0))
            << f.file;
        if (!f.generated) {
            EXPECT_TRUE(fs::exists(BrokenCorpusDir() + "/" + f.file)) << f.file << " is missing";
        }
    }
    for (const char* kind : {"project", "obj", "stl", "mtl", "image"}) {
        for (const fs::directory_entry& e : fs::directory_iterator(BrokenCorpusDir() + "/" + kind)) {
            const std::string rel = std::string(kind) + "/" + e.path().filename().string();
            EXPECT_TRUE(listed.count(rel)) << rel << " has no outcome in outcomes.txt";
        }
    }
}

class BrokenFiles : public ReliabilityScene {
protected:
    std::string scratch;
    void SetUp() override {
        ReliabilityScene::SetUp();
        scratch = morva_test::MakeTempDir();
        ASSERT_FALSE(scratch.empty());
        BuildUserScene();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(scratch, ec);
    }
    std::string Path(const BrokenFile& f) {
        const std::string path = PathOf(f, scratch);
        EXPECT_FALSE(path.empty()) << f.file << " cannot be written";
        return path;
    }
    // A model importing this MTL file by its absolute path, with one triangle.
    std::string ModelNaming(const std::string& mtl) {
        const std::string path = scratch + "/names-mtl.obj";
        std::ofstream(path) << "mtllib " << mtl << "\nusemtl m\nv 0 0 0\nv 10 0 0\nv 0 0 10\nf 1 2 3\n";
        return path;
    }
    // Whatever got imported must survive a picking pass from a few places.
    void PickAround() {
        for (float c : {-0.5f, 0.0f, 0.5f}) {
            const int found = PickFromAbove(c, -c);
            EXPECT_TRUE(found == -1 || IsValidObjectIndex(found, p->objects.size()));
        }
    }
};

TEST_F(BrokenFiles, ProjectFilesFailAndKeepTheProject) {
    for (const BrokenFile& f : OfKind("project")) {
        SCOPED_TRACE(f.file);
        const SceneSnapshot before = Snap();
        const bool ok = p->OpenData(const_cast<char*>(Path(f).c_str()));
        EXPECT_EQ(std::string(ok ? "Open Project OK" : "Open Project FAIL"), f.message);
        if (!ok) {
            EXPECT_TRUE(Snap() == before) << "the current project changed";
        }
    }
}

TEST_F(BrokenFiles, ModelsGiveTheirOutcomeAndFailuresAddNothing) {
    std::vector<BrokenFile> models = OfKind("obj");
    for (const BrokenFile& f : OfKind("stl")) models.push_back(f);
    for (const BrokenFile& f : models) {
        SCOPED_TRACE(f.file);
        const SceneSnapshot before = Snap();
        const bool ok = Import(Path(f));
        EXPECT_EQ(std::string(ok ? "Open 3D object OK" : "Open 3D object FAIL"), f.message);
        if (!ok) {
            EXPECT_TRUE(Snap() == before) << "the current project changed";
            continue;
        }
        ASSERT_EQ(p->objects.size(), before.objects.size() + 1);
        const project::pObject& o = p->objects.back();
        if (f.details.count("triangles")) {
            EXPECT_EQ(long(o.model->triangle_count), f.details.at("triangles"));
        }
        if (f.details.count("materials")) {
            EXPECT_EQ(long(o.model->materials.size()), f.details.at("materials"));
        }
        EXPECT_TRUE(Finite(o.model->bbox[0]) && Finite(o.model->bbox[1]));
        EXPECT_TRUE(Finite(o.size) && Finite(o.move) && Finite(o.scale));
        PickAround();
        p->DeleteOBJ(int(p->objects.size()) - 1);
    }
}

TEST_F(BrokenFiles, MaterialFilesGiveTheirModelsOutcome) {
    for (const BrokenFile& f : OfKind("mtl")) {
        SCOPED_TRACE(f.file);
        const std::string mtl = Path(f);
        const bool ok = Import(ModelNaming(mtl));
        EXPECT_EQ(std::string(ok ? "Open 3D object OK" : "Open 3D object FAIL"), f.message);
        if (!ok) continue;
        const cloadobj_conteiner* model = p->objects.back().model;
        if (f.details.count("materials")) {
            EXPECT_EQ(long(model->materials.size()), f.details.at("materials"));
        }
        if (f.details.count("diffuse")) {
            ASSERT_FALSE(model->materials.empty());
            EXPECT_EQ(model->materials[0].tex_diffuse, f.details.at("diffuse"));
        }
        for (const material& m : model->materials) {
            float values[kMaterialFloatCount];
            MaterialValues(m, values);
            for (float v : values) EXPECT_TRUE(std::isfinite(v)) << m.name;
        }
        p->DeleteOBJ(int(p->objects.size()) - 1);
    }
}

TEST_F(BrokenFiles, ImagesFailWithoutTouchingTheTextureTable) {
    for (const BrokenFile& f : OfKind("image")) {
        SCOPED_TRACE(f.file);
        const SceneSnapshot before = Snap();
        const bool ok = ImportPicture(Path(f));
        EXPECT_EQ(std::string(ok ? "Import Image OK" : "Import Image FAIL"), f.message);
        if (!ok) {
            EXPECT_TRUE(Snap() == before) << "the project or the texture table changed";
        }
    }
}

}  // namespace
}  // namespace reliability
