// Model loader on the offscreen context: load sequence, materials and maps, failures,
// display-list content (through GL feedback and the stencil buffer), GL state left behind,
// release, and a rendered picture of a loaded model.
#include "model/cloadobj.h"
#include "model/load_progress.h"
#include "render/cshader.h"
#include "render/ctexture.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using morva_test::GLTest;

std::string Fixture(const std::string& name) { return std::string(MORVA_TEST_DATA_DIR) + "/" + name; }

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

// A small square image of one colour.
void WriteImage(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
    morva_test::Pixels p;
    p.width = p.height = 4;
    for (int i = 0; i < 16; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, 255});
    ASSERT_TRUE(morva_test::WritePng(path, p));
}

// Number of triangles a display list draws.
GLuint CountDrawnTriangles(GLuint list) {
    GLuint query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    glCallList(list);
    glEndQuery(GL_PRIMITIVES_GENERATED);
    GLuint count = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    return count;
}

class ModelLoaderTest : public GLTest {
protected:
    std::unique_ptr<Ctexture> textures;
    std::unique_ptr<cshader> shaders;
    std::unique_ptr<cloadobj> loader;
    std::string temp;

    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(morva_test::EnsureGLContext()) << morva_test::GLContextError();
        // The model program's sources are read from the working directory, as at start-up.
        const std::filesystem::path previous = std::filesystem::current_path();
        std::filesystem::current_path(morva_test::AssetsDir());
        textures = std::make_unique<Ctexture>();
        shaders = std::make_unique<cshader>();
        loader = std::make_unique<cloadobj>(textures.get(), shaders.get());
        std::filesystem::current_path(previous);
        temp = morva_test::MakeTempDir();
        ASSERT_FALSE(temp.empty());
    }

    void TearDown() override {
        loader.reset();
        shaders.reset();
        textures.reset();
        std::error_code ec;
        std::filesystem::remove_all(temp, ec);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
    }

    cloadobj_conteiner* Load(const std::string& path) {
        return loader->LoadObj(path.c_str(), [](int, int, float, float) {});
    }

    // Writes an OBJ text into the temporary folder and loads it.
    cloadobj_conteiner* LoadText(const std::string& text, const std::string& name = "model.obj") {
        WriteText(temp + "/" + name, text);
        return Load(temp + "/" + name);
    }
};

// One triangle in the file's x-y plane (scene x-z plane), its normal given per corner.
std::string TriangleWithNormal(const char* normal) {
    return std::string("v 0 0 0\nv 50 0 0\nv 0 50 0\nvt 0 0\nvn ") + normal + "\nf 1/1/1 2/1/1 3/1/1\n";
}

}  // namespace

TEST(LoadProgress, DueAfterFiftyMillisecondsAndCatchesUpInSteps) {
    uint32_t deadline = 1000;
    EXPECT_FALSE(ProgressDue(deadline, 1050));
    EXPECT_EQ(deadline, 1000u);
    EXPECT_TRUE(ProgressDue(deadline, 1051));
    EXPECT_EQ(deadline, 1050u);
    // After a stall of 200 ms, several checks in a row are due.
    EXPECT_TRUE(ProgressDue(deadline, 1251));
    EXPECT_TRUE(ProgressDue(deadline, 1251));
    EXPECT_TRUE(ProgressDue(deadline, 1251));
    EXPECT_TRUE(ProgressDue(deadline, 1251));
    EXPECT_FALSE(ProgressDue(deadline, 1251));
    EXPECT_EQ(deadline, 1250u);
}

TEST_F(ModelLoaderTest, LoadsModelAndRegistersIt) {
    const std::string path = Fixture("quad-face.obj");
    cloadobj_conteiner* m = Load(path);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(loader->models.size(), 1u);
    EXPECT_EQ(loader->models[0].get(), m);
    EXPECT_EQ(m->name, path);
    EXPECT_TRUE(m->readable);
    EXPECT_EQ(m->triangle_count, 5u);
    EXPECT_EQ(m->triangles.size(), 5u);
    EXPECT_EQ(m->positions.size(), 5u);
    EXPECT_EQ(m->bbox[0].x, 0.0f);
    EXPECT_EQ(m->bbox[0].z, 0.0f);
    EXPECT_EQ(m->bbox[1].x, 1.0f);
    EXPECT_EQ(m->bbox[1].y, 0.0f);
    EXPECT_EQ(m->bbox[1].z, 1.5f);
    EXPECT_EQ(m->bbox[1].w, 0.0f);
    EXPECT_EQ(m->tree.faces.size(), 5u);
    EXPECT_EQ(m->tree.bbox_min, &m->bbox[0]);
    for (uint32_t list : {m->list_shaded, m->list_plain, m->list_shadow, m->list_glow}) {
        EXPECT_TRUE(glIsList(list));
    }
    // Display list names are handed out in compile order: shaded, glow, plain, shadow.
    EXPECT_LT(m->list_shaded, m->list_glow);
    EXPECT_LT(m->list_glow, m->list_plain);
    EXPECT_LT(m->list_plain, m->list_shadow);
}

TEST_F(ModelLoaderTest, UnreadableFileGivesRegisteredEmptyModel) {
    for (const std::string& path : {temp + "/missing.obj", temp}) {
        cloadobj_conteiner* m = Load(path);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(loader->models.back().get(), m);
        EXPECT_EQ(m->name, path);
        EXPECT_FALSE(m->readable);
        EXPECT_EQ(m->triangle_count, 0u);
        EXPECT_TRUE(m->positions.empty());
        EXPECT_EQ(m->bbox[0].x, 0.0f);
        EXPECT_EQ(m->bbox[1].z, 0.0f);
        EXPECT_EQ(m->list_shaded, 0u);
        float o[3] = {0, 1, 0}, d[3] = {0, -1, 0};
        EXPECT_EQ(loader->IntersectLine(m, o, d, false), 0.0f);
        // Drawing it draws nothing and raises no GL error.
        loader->Render(m);
        loader->Render_no_Shader(m);
        loader->RenderGlow(m);
        loader->RenderShadow(m);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    EXPECT_EQ(loader->models.size(), 2u);
}

TEST_F(ModelLoaderTest, EmptyFileIsReadableWithZeroBox) {
    cloadobj_conteiner* m = LoadText("# nothing here\n");
    EXPECT_TRUE(m->readable);
    EXPECT_EQ(m->triangle_count, 0u);
    EXPECT_EQ(m->bbox[1].x, 0.0f);
    EXPECT_EQ(CountDrawnTriangles(m->list_glow), 0u);
}

TEST_F(ModelLoaderTest, BoundingBoxSpansTheOneTriangle) {
    cloadobj_conteiner* m = LoadText("v 10 -20 30\nv -5 40 35\nv 0 0 -15\nf 1 2 3\n");
    EXPECT_FLOAT_EQ(m->bbox[0].x, -0.1f);
    EXPECT_FLOAT_EQ(m->bbox[1].x, 0.2f);
    EXPECT_FLOAT_EQ(m->bbox[0].y, -0.3f);
    EXPECT_FLOAT_EQ(m->bbox[1].y, 0.7f);
    EXPECT_FLOAT_EQ(m->bbox[0].z, -0.4f);
    EXPECT_FLOAT_EQ(m->bbox[1].z, 0.8f);
}

TEST_F(ModelLoaderTest, LoadsMaterialFileAndMapsBesideTheObjFile) {
    // The working directory is the source tree; the MTL and the maps are found through the
    // OBJ file's folder and the MTL file's folder.
    cloadobj_conteiner* m = Load(Fixture("mtl-in-other-folder/model.obj"));
    ASSERT_EQ(m->materials.size(), 1u);
    const material& mat = m->materials[0];
    EXPECT_EQ(mat.name, "painted");
    EXPECT_GT(mat.tex_diffuse, 0);
    // map_bump names the same image: the texture manager hands out the same name.
    EXPECT_EQ(mat.tex_bump, mat.tex_diffuse);
    EXPECT_EQ(mat.tex_specular, -1);
    EXPECT_EQ(mat.tex_alpha, 0);
    ASSERT_EQ(m->material_switches.size(), 1u);
    EXPECT_EQ(m->material_switches[0].first_triangle, 0u);
    EXPECT_EQ(m->material_switches[0].material_index, 0u);
}

TEST_F(ModelLoaderTest, MatchesUsemtlNamesInWindowsAndUnindentedFiles) {
    cloadobj_conteiner* crlf = Load(Fixture("crlf-lines.obj"));
    ASSERT_EQ(crlf->materials.size(), 1u);
    EXPECT_EQ(crlf->materials[0].Kd[0], 1.0f);
    EXPECT_EQ(crlf->materials[0].Kd[1], 0.0f);
    EXPECT_EQ(crlf->materials[0].illum, 1.0f);
    ASSERT_EQ(crlf->material_switches.size(), 1u);

    cloadobj_conteiner* plain = Load(Fixture("unindented-mtl.obj"));
    ASSERT_EQ(plain->materials.size(), 2u);
    ASSERT_EQ(plain->material_switches.size(), 2u);
    EXPECT_EQ(plain->material_switches[0].first_triangle, 0u);
    EXPECT_EQ(plain->material_switches[0].material_index, 0u);
    EXPECT_EQ(plain->material_switches[1].first_triangle, 1u);
    EXPECT_EQ(plain->material_switches[1].material_index, 1u);
}

TEST_F(ModelLoaderTest, MtllibNamesOneFileOrSeveral) {
    WriteText(temp + "/a.mtl", "newmtl a\n");
    WriteText(temp + "/b.mtl", "newmtl b\nnewmtl c\n");
    WriteText(temp + "/with space.mtl", "newmtl spaced\n");
    cloadobj_conteiner* m = LoadText("mtllib a.mtl b.mtl\nmtllib with space.mtl\nusemtl c\nusemtl a\n"
                                     "usemtl unknown\n" + TriangleWithNormal("0 0 1"));
    ASSERT_EQ(m->materials.size(), 4u);
    EXPECT_EQ(m->materials[0].name, "a");
    EXPECT_EQ(m->materials[2].name, "c");
    EXPECT_EQ(m->materials[3].name, "spaced");
    ASSERT_EQ(m->material_switches.size(), 2u);
    EXPECT_EQ(m->material_switches[0].material_index, 2u);
    EXPECT_EQ(m->material_switches[1].material_index, 0u);
}

// Files written on Windows name folders with '\': material files and maps are found by either
// separator.
TEST_F(ModelLoaderTest, MaterialFilesAndMapsNamedWithBackslashesAreFound) {
    std::filesystem::create_directories(temp + "/materials/maps");
    WriteImage(temp + "/materials/maps/wood.png", 160, 100, 40);
    WriteText(temp + "/materials/wood.mtl", "newmtl wood\nmap_Kd maps\\wood.png\n");
    cloadobj_conteiner* m = LoadText("mtllib materials\\wood.mtl\nusemtl wood\n" + TriangleWithNormal("0 0 1"));
    ASSERT_EQ(m->materials.size(), 1u);
    EXPECT_GT(m->materials[0].tex_diffuse, 0);
}

TEST_F(ModelLoaderTest, MaterialFileNamedManyTimesIsReadOnce) {
    WriteImage(temp + "/once.png", 0, 255, 0);
    WriteText(temp + "/once.mtl", "newmtl first\nmap_Kd once.png\nnewmtl second\n");
    WriteText(temp + "/later.mtl", "newmtl later\n");
    std::string obj;
    for (int i = 0; i < 1000; ++i) obj += i % 2 ? "mtllib once.mtl\n" : "mtllib ./once.mtl\n";
    obj += "mtllib " + temp + "/../" + std::filesystem::path(temp).filename().string() + "/once.mtl\n";
    obj += "mtllib later.mtl once.mtl\nusemtl later\n" + TriangleWithNormal("0 0 1");
    cloadobj_conteiner* m = LoadText(obj);
    ASSERT_EQ(m->materials.size(), 3u);
    EXPECT_EQ(m->materials[1].name, "second");
    EXPECT_EQ(m->materials[2].name, "later");
    EXPECT_EQ(m->texture_uses.size(), 1u);
    EXPECT_EQ(textures->use_counts, std::vector<int>{1});
    ASSERT_EQ(m->material_switches.size(), 1u);
    EXPECT_EQ(m->material_switches[0].material_index, 2u);
}

TEST_F(ModelLoaderTest, ModelSwitchingAtEveryQuadDrawsEachQuadWithItsMaterial) {
    // 1 200 quads in a row (more switches than the lists get runs of their own), red and
    // blue in turn, with a grey quad before the first switch.
    WriteImage(temp + "/red.png", 255, 0, 0);
    WriteImage(temp + "/blue.png", 0, 0, 255);
    WriteText(temp + "/turns.mtl", "newmtl red\nmap_Kd red.png\nnewmtl blue\nmap_Kd blue.png\n");
    constexpr int kQuads = 1200;
    std::string obj = "mtllib turns.mtl\nvt 0.5 0.5\nvn 0 0 1\n";
    for (int q = 0; q <= kQuads; ++q) obj += "v " + std::to_string(q) + " 0 0\nv " + std::to_string(q) + " 1 0\n";
    for (int q = 0; q < kQuads; ++q) {
        if (q > 0) obj += q % 2 ? "usemtl red\n" : "usemtl blue\n";
        const int a = 2 * q + 1;
        obj += "f " + std::to_string(a) + "/1/1 " + std::to_string(a + 2) + "/1/1 " + std::to_string(a + 3) +
               "/1/1\nf " + std::to_string(a) + "/1/1 " + std::to_string(a + 3) + "/1/1 " + std::to_string(a + 1) +
               "/1/1\n";
    }
    cloadobj_conteiner* m = LoadText(obj);
    ASSERT_EQ(m->triangle_count, 2u * kQuads);
    ASSERT_EQ(m->material_switches.size(), size_t(kQuads - 1));
    EXPECT_EQ(CountDrawnTriangles(m->list_plain), 2u * kQuads);
    EXPECT_EQ(CountDrawnTriangles(m->list_shaded), 2u * kQuads);
    EXPECT_EQ(CountDrawnTriangles(m->list_glow), 2u * kQuads);
    // Seen from above, quads 0 to 5 across the view: grey (no map), red, blue, red, ...
    glViewport(0, 0, morva_test::kGLWidth, morva_test::kGLHeight);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 6.0 / 50, -1.0 / 50, 0, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(90, 1, 0, 0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor3f(0.5f, 0.5f, 0.5f);
    loader->Render_no_Shader(m);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    const morva_test::Pixels pixels = morva_test::ReadFramebuffer();
    for (int q = 1; q < 6; ++q) {
        const size_t x = size_t((q + 0.5) * morva_test::kGLWidth / 6), y = size_t(morva_test::kGLHeight / 2);
        const uint8_t* px = &pixels.rgba[(y * size_t(pixels.width) + x) * 4];
        SCOPED_TRACE(q);
        EXPECT_EQ(px[0], q % 2 ? 255 : 0);
        EXPECT_EQ(px[2], q % 2 ? 0 : 255);
    }
}

TEST_F(ModelLoaderTest, UsemtlBeforeItsLibraryMatchesNothing) {
    WriteText(temp + "/late.mtl", "newmtl late\n");
    cloadobj_conteiner* m = LoadText("usemtl late\nmtllib late.mtl\n" + TriangleWithNormal("0 0 1"));
    EXPECT_EQ(m->materials.size(), 1u);
    EXPECT_TRUE(m->material_switches.empty());
}

TEST_F(ModelLoaderTest, TwoSwitchesAtOneTriangleApplyInOrder) {
    WriteImage(temp + "/red.png", 255, 0, 0);
    WriteImage(temp + "/blue.png", 0, 0, 255);
    WriteText(temp + "/two.mtl", "newmtl red\nmap_Kd red.png\nnewmtl blue\nmap_Kd blue.png\n");
    cloadobj_conteiner* m = LoadText("mtllib two.mtl\nusemtl red\nusemtl blue\n" + TriangleWithNormal("0 0 1"));
    ASSERT_EQ(m->material_switches.size(), 2u);
    const int blue = m->materials[1].tex_diffuse;
    ASSERT_GT(blue, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    loader->Render_no_Shader(m);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, blue);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
    loader->Render(m);
    glActiveTexture(GL_TEXTURE3);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(bound, blue);
}

TEST_F(ModelLoaderTest, ListsLeaveTheSpecifiedState) {
    cloadobj_conteiner* m = Load(Fixture("mtl-in-other-folder/model.obj"));
    GLint value = -1;
    glEnable(GL_BLEND);
    glActiveTexture(GL_TEXTURE5);
    loader->Render(m);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE0);
    loader->RenderGlow(m);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    loader->Render_no_Shader(m);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    loader->RenderShadow(m);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ModelLoaderTest, GlowPlainAndShadedListsDrawEveryTriangle) {
    cloadobj_conteiner* m = Load(Fixture("quad-face.obj"));
    EXPECT_EQ(CountDrawnTriangles(m->list_glow), 5u);
    EXPECT_EQ(CountDrawnTriangles(m->list_plain), 5u);
    EXPECT_EQ(CountDrawnTriangles(m->list_shaded), 5u);
    glDisable(GL_BLEND);
}

TEST_F(ModelLoaderTest, DownwardTriangleCastsAPrismOfEightTriangles) {
    // File normal (0, 0, -1) becomes scene (0, -0.02, 0): facing down.
    cloadobj_conteiner* m = LoadText(TriangleWithNormal("0 0 -1"));
    // The two caps, the three side quads' six triangles and the wall strip's leading
    // triangle without area.
    EXPECT_EQ(CountDrawnTriangles(m->list_shadow), 8u + 1u);
}

TEST_F(ModelLoaderTest, UpwardAndZeroNormalTrianglesCastNothing) {
    cloadobj_conteiner* up = LoadText(TriangleWithNormal("0 0 1"), "up.obj");
    EXPECT_EQ(CountDrawnTriangles(up->list_shadow), 0u);
    cloadobj_conteiner* zero = LoadText("v 0 0 0\nv 50 0 0\nv 0 50 0\nvn 0 0 1\nvn 0 0 -1\n"
                                        "f 1//1 2//2 3//1\n", "zero.obj");
    // Normals (0,1,0) + (0,-1,0) + (0,1,0) do not cancel: this one faces up.
    EXPECT_EQ(CountDrawnTriangles(zero->list_shadow), 0u);
    cloadobj_conteiner* cancel = LoadText("v 0 0 0\nv 50 0 0\nv 0 50 0\nvn 0 0 0\nf 1//1 2//1 3//1\n", "cancel.obj");
    EXPECT_EQ(CountDrawnTriangles(cancel->list_shadow), 0u);
}

TEST_F(ModelLoaderTest, FaceWithoutNormalsCastsShadowWhenWoundDownward) {
    // Clockwise seen from the file's +z: a matching file would give normal (0, 0, -1).
    cloadobj_conteiner* down = LoadText("v 0 0 0\nv 0 50 0\nv 50 0 0\nf 1 2 3\n", "down.obj");
    EXPECT_EQ(CountDrawnTriangles(down->list_shadow), 8u + 1u);
    cloadobj_conteiner* up = LoadText("v 0 0 0\nv 50 0 0\nv 0 50 0\nf 1 2 3\n", "up.obj");
    EXPECT_EQ(CountDrawnTriangles(up->list_shadow), 0u);
}

TEST_F(ModelLoaderTest, ShadowPrismMarksStencilOnlyBelowDownwardTriangle) {
    cloadobj_conteiner* down = LoadText(TriangleWithNormal("0 0 -1"), "down.obj");
    cloadobj_conteiner* up = LoadText(TriangleWithNormal("0 0 1"), "up.obj");
    // Side view along -z: the prism covers x 0..1, y -4..0 (256 pixels per unit across,
    // 96 pixels per unit up).
    auto stencil_after = [&](cloadobj_conteiner* m, float x, float y) {
        glClear(GL_STENCIL_BUFFER_BIT | GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -6, 2, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        loader->RenderShadow(m);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDisable(GL_STENCIL_TEST);
        return morva_test::ReadStencil(int((x + 2) * 256), int((y + 6) * 96), 1, 1)[0];
    };
    EXPECT_GT(stencil_after(down, 0.3f, -0.1f), 0);
    EXPECT_GT(stencil_after(down, 0.3f, -3.9f), 0);
    EXPECT_EQ(stencil_after(down, 0.3f, -4.1f), 0);
    EXPECT_EQ(stencil_after(down, 0.3f, 0.1f), 0);
    EXPECT_EQ(stencil_after(down, 1.1f, -2.0f), 0);
    EXPECT_EQ(stencil_after(up, 0.3f, -2.0f), 0);
}

TEST_F(ModelLoaderTest, ImmediateAndVertexArrayListsDrawTheSamePixels) {
    auto draw = [&](ListRecording recording) {
        loader->list_recording = recording;
        cloadobj_conteiner* m = Load(Fixture("long-comment-line.obj"));
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2.5, 2.5, -2, 2, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90, 1, 0, 0);
        glColor3f(1, 1, 1);
        loader->RenderGlow(m);
        glDisable(GL_BLEND);
        morva_test::Pixels pixels = morva_test::ReadFramebuffer();
        loader->FreeObject(m);
        return pixels;
    };
    morva_test::Pixels arrays = draw(ListRecording::kVertexArrays);
    morva_test::Pixels immediate = draw(ListRecording::kImmediate);
    size_t lit = 0;
    for (size_t i = 0; i < arrays.rgba.size(); i += 4) lit += arrays.rgba[i] > 0;
    EXPECT_GT(lit, 10000u);
    EXPECT_TRUE(arrays.rgba == immediate.rgba);
}

TEST_F(ModelLoaderTest, FreeObjectUnregistersAndDeletesLists) {
    cloadobj_conteiner* a = Load(Fixture("quad-face.obj"));
    cloadobj_conteiner* b = Load(Fixture("quad-face.obj"));
    const GLuint shaded = a->list_shaded, shadow = a->list_shadow;
    loader->FreeObject(nullptr);
    cloadobj_conteiner stranger;
    loader->FreeObject(&stranger);
    EXPECT_EQ(loader->models.size(), 2u);
    loader->FreeObject(a);
    ASSERT_EQ(loader->models.size(), 1u);
    EXPECT_EQ(loader->models[0].get(), b);
    EXPECT_FALSE(glIsList(shaded));
    EXPECT_FALSE(glIsList(shadow));
    EXPECT_TRUE(glIsList(b->list_glow));
}

TEST_F(ModelLoaderTest, LastReleasedUseReleasesTheModelAndItsMaps) {
    cloadobj_conteiner* m = Load(Fixture("mtl-in-other-folder/model.obj"));
    ASSERT_GT(m->materials[0].tex_diffuse, 0);
    ASSERT_EQ(textures->texture_ids.size(), 1u);
    const GLuint list = m->list_shaded;
    loader->Retain(m);
    loader->Release(m);
    ASSERT_EQ(loader->models.size(), 1u);
    EXPECT_TRUE(glIsList(list));
    // Unknown models are ignored by both.
    cloadobj_conteiner stranger;
    loader->Retain(&stranger);
    loader->Release(&stranger);
    loader->Release(nullptr);
    EXPECT_EQ(loader->models.size(), 1u);
    loader->Release(m);
    EXPECT_TRUE(loader->models.empty());
    EXPECT_FALSE(glIsList(list));
    EXPECT_TRUE(textures->texture_ids.empty());
}

TEST_F(ModelLoaderTest, SharedLoadHandsOutTheModelOfTheSameFileUntilItChanges) {
    cloadobj_conteiner* a = loader->LoadObjShared(Fixture("quad-face.obj").c_str(), nullptr);
    const std::string other = std::string(MORVA_TEST_DATA_DIR) + "/../data/./quad-face.obj";
    EXPECT_EQ(loader->LoadObjShared(other.c_str(), nullptr), a);
    EXPECT_EQ(a->use_count, 2);
    EXPECT_EQ(loader->models.size(), 1u);
    // A rewritten file is a new load; so is a file that cannot be read.
    WriteText(temp + "/changing.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    cloadobj_conteiner* first = loader->LoadObjShared((temp + "/changing.obj").c_str(), nullptr);
    WriteText(temp + "/changing.obj", "v 0 0 0\nv 2 0 0\nv 0 1 0\nf 1 2 3\nf 1 3 2\n");
    cloadobj_conteiner* second = loader->LoadObjShared((temp + "/changing.obj").c_str(), nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->triangle_count, 2u);
    cloadobj_conteiner* missing = loader->LoadObjShared((temp + "/missing.obj").c_str(), nullptr);
    EXPECT_NE(loader->LoadObjShared((temp + "/missing.obj").c_str(), nullptr), missing);
}

TEST_F(ModelLoaderTest, ClampModeOnlyTouchesDiffuseMaps) {
    cloadobj_conteiner* m = Load(Fixture("mtl-in-other-folder/model.obj"));
    const GLuint diffuse = GLuint(m->materials[0].tex_diffuse);
    loader->MakeObjectTextureModeClamp(nullptr);
    loader->MakeObjectTextureModeClamp(m);
    GLint wrap_s = 0, wrap_t = 0;
    glBindTexture(GL_TEXTURE_2D, diffuse);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
    EXPECT_EQ(wrap_s, GL_CLAMP);
    EXPECT_EQ(wrap_t, GL_CLAMP);
    // A model without maps changes nothing.
    cloadobj_conteiner* bare = Load(Fixture("quad-face.obj"));
    glBindTexture(GL_TEXTURE_2D, 0);
    loader->MakeObjectTextureModeClamp(bare);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(ModelLoaderTest, IntersectLineFindsTheLoadedTriangle) {
    cloadobj_conteiner* m = Load(Fixture("quad-face.obj"));
    float o[3] = {0.25f, 2.0f, 0.25f}, d[3] = {0, -1, 0};
    EXPECT_FLOAT_EQ(loader->IntersectLine(m, o, d, false), 2.0f);
    float away[3] = {5, 2, 5};
    EXPECT_EQ(loader->IntersectLine(m, away, d, false), 0.0f);
}

TEST_F(ModelLoaderTest, NumberReadersFollowTheCursor) {
    char line[] = "v 100 -50 2.5e1";
    unsigned int cursor = 2;
    EXPECT_FLOAT_EQ(loader->ReadFloat(line, &cursor), 2.0f);
    EXPECT_FLOAT_EQ(loader->ReadFloatS(line, &cursor), -50.0f);
    EXPECT_FLOAT_EQ(loader->ReadFloat(line, &cursor), 0.5f);
    EXPECT_EQ(cursor, 15u);
    EXPECT_EQ(loader->ReadFloat(line, &cursor), 0.0f);
    EXPECT_EQ(cursor, 15u);
    char illum[] = "\tillum 0";
    cursor = 7;
    EXPECT_EQ(loader->ReadInt(illum, &cursor), 4294967295u);
    cursor = 99;
    EXPECT_EQ(loader->ReadInt(illum, &cursor), 0u);
}

// Draws a loaded, textured and lit model with the shaded list and keeps the picture for a
// person to look at (build/test-output/model-shaded.png).
TEST_F(ModelLoaderTest, RendersShadedModelToPicture) {
    WriteImage(temp + "/wood.png", 200, 140, 60);
    WriteText(temp + "/ring.mtl", "newmtl wood\n\tKd 1 1 1\n\tKa 0.3 0.3 0.3\n\tKs 0.2 0.2 0.2\n\tNs 20\n"
                                  "\tmap_Kd wood.png\nnewmtl steel\nKd 0.5 0.6 0.8\nKs 1 1 1\nNs 80\n");
    std::string obj = "mtllib ring.mtl\n";
    // A sloping ring of 48 segments around the scene y axis (file z): wood on the right half
    // (scene x > 0), steel on the left. No normals: each face gets its flat normal.
    const int n = 48;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        obj += "v " + std::to_string(60 * std::cos(a)) + " " + std::to_string(60 * std::sin(a)) + " 0\n";
        obj += "v " + std::to_string(30 * std::cos(a)) + " " + std::to_string(30 * std::sin(a)) + " 20\n";
    }
    obj += "usemtl wood\n";
    for (int i = 0; i < n; ++i) {
        const int a = 2 * i + 1, b = 2 * ((i + 1) % n) + 1;
        if (i == n / 4) obj += "usemtl steel\n";
        if (i == 3 * n / 4) obj += "usemtl wood\n";
        obj += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(b + 1) + " " +
               std::to_string(a + 1) + "\n";
    }
    cloadobj_conteiner* m = LoadText(obj, "ring.obj");
    ASSERT_EQ(m->triangle_count, unsigned(2 * n));
    glClearColor(0.1f, 0.1f, 0.15f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.6, 1.6, -1.2, 1.2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(35, 1, 0, 0);
    glEnable(GL_DEPTH_TEST);
    const float light[3] = {0, 5, 3};
    shaders->UseShader(loader->shader);
    shaders->SetUniformf(loader->shader, "ligth", light, 3);
    shaders->DisableShader();
    loader->Render(m);
    glDisable(GL_DEPTH_TEST);
    const std::string png = morva_test::SaveFramebuffer("model-shaded.png");
    ASSERT_EQ(m->material_switches.size(), 3u);
    morva_test::Pixels centre = morva_test::ReadPixels(512, 384, 1, 1);
    morva_test::Pixels left = morva_test::ReadPixels(224, 436, 1, 1);
    morva_test::Pixels right = morva_test::ReadPixels(800, 436, 1, 1);
    // The hole in the middle shows the background; the wood (orange-brown) and steel (bluish)
    // halves are lit.
    EXPECT_LT(centre.rgba[0], 60) << png;
    EXPECT_GT(int(left.rgba[0]) + left.rgba[1] + left.rgba[2], 120) << png;
    EXPECT_GT(int(right.rgba[0]) + right.rgba[1] + right.rgba[2], 120) << png;
    EXPECT_GT(right.rgba[0], right.rgba[2]) << png;
    EXPECT_GT(left.rgba[2], left.rgba[0]) << png;
}
