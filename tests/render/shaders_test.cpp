// The shipped shader sources: they build on the driver, declare the uniforms the system sets,
// light a model and stack an image relief as intended. The rendered pictures are written to
// the build folder's test-output directory.
#include "render/cshader.h"
#include "render/ctexture.h"

#include "tests/render/temp_working_dir.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <stb/stb_image_write.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using morva_test::Pixels;

// Material record as the model program receives it: Kd, Ka, Ks, Ke, Tf, d, Ni, Ns, illum.
struct MaterialValues {
    float v[19];
};

// The values of a material that has only a name.
MaterialValues DefaultMaterial() {
    return {{0.8f, 0.8f, 0.8f, 0.2f, 0.2f, 0.2f, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0}};
}

MaterialValues GlossyMaterial() {
    MaterialValues m = DefaultMaterial();
    m.v[6] = m.v[7] = m.v[8] = 0.6f;  // Ks
    m.v[17] = 60.0f;                  // Ns
    m.v[18] = 1.0f;                   // illum 2 as stored by the reader
    return m;
}

struct Rgb {
    int r, g, b;
};

Rgb PixelAt(const Pixels& p, int x, int y) {
    const uint8_t* c = p.at(x, y);
    return {c[0], c[1], c[2]};
}

// Window position of an object-space point under the current matrices.
void Project(double x, double y, double z, int& wx, int& wy) {
    GLdouble model[16], proj[16], sx, sy, sz;
    GLint view[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, view);
    gluProject(x, y, z, model, proj, view, &sx, &sy, &sz);
    wx = int(std::lround(sx));
    wy = int(std::lround(sy));
}

// A unit sphere as the model reader would deliver it: normals scaled by 1/50, texture
// coordinates wrapping four times around and twice from pole to pole.
void DrawSphere() {
    const int slices = 64, stacks = 32;
    const float pi = 3.14159265f;
    auto corner = [&](int i, int j) {
        const float theta = pi * float(j) / stacks;          // from the top pole
        const float phi = 2.0f * pi * float(i) / slices;
        const float x = std::sin(theta) * std::sin(phi), y = std::cos(theta), z = std::sin(theta) * std::cos(phi);
        glTexCoord2f(4.0f * float(i) / slices, 2.0f * float(j) / stacks);
        glNormal3f(x / 50.0f, y / 50.0f, z / 50.0f);
        glVertex3f(x, y, z);
    };
    glBegin(GL_TRIANGLES);
    for (int j = 0; j < stacks; ++j) {
        for (int i = 0; i < slices; ++i) {
            corner(i, j), corner(i, j + 1), corner(i + 1, j + 1);
            corner(i, j), corner(i + 1, j + 1), corner(i + 1, j);
        }
    }
    glEnd();
}

// One layer quad of an image object, corners and texture coordinates as the scene sends them.
void DrawLayer(float y) {
    glBegin(GL_QUADS);
    glTexCoord2f(1, 0), glVertex3f(-1, y, -1);
    glTexCoord2f(0, 0), glVertex3f(-1, y, 1);
    glTexCoord2f(0, 1), glVertex3f(1, y, 1);
    glTexCoord2f(1, 1), glVertex3f(1, y, -1);
    glEnd();
}

void WriteRgbaPng(const std::string& path, int w, int h, const std::vector<uint8_t>& rgba) {
    ASSERT_NE(stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4), 0);
}

// Builds both shipped programs in a temporary working directory, so that any build log
// they write is noticed and none lands in the source tree.
class ShaderSourcesTest : public morva_test::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        ASSERT_TRUE(work_dir_.Enter());
        const std::string assets = morva_test::AssetsDir();
        model_.reset(shaders_.LoadShader((assets + "/test.vert").c_str(), (assets + "/test.frag").c_str()));
        image_.reset(shaders_.LoadShader((assets + "/image.vert").c_str(), (assets + "/image.frag").c_str()));
        // Sampler units as the loader and the project set them at start-up.
        shaders_.UseShader(model_.get());
        const char* samplers[8] = {"TextureAlpha",    "TextureAmbient",   "TextureBump",     "TextureDiffuse",
                                   "TextureEmissive", "TextureShininess", "TextureSpecular", "TextureSky"};
        for (unsigned int unit = 0; unit < 8; ++unit) shaders_.SetUniformi(model_.get(), samplers[unit], unit);
        shaders_.UseShader(image_.get());
        shaders_.SetUniformi(image_.get(), "Texture", 0u);
        shaders_.DisableShader();
    }
    void TearDown() override {
        glUseProgram(0);
        for (int unit = 7; unit >= 0; --unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        textures_.Free();
        work_dir_.Leave();
    }

    bool Linked(const Shader* s) const {
        GLint linked = GL_FALSE;
        if (s->program != 0) glGetProgramiv(s->program, GL_LINK_STATUS, &linked);
        return linked == GL_TRUE;
    }

    // The scene camera: a perspective view looking slightly down at the origin.
    void SetCamera(float distance, float pitch) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, double(morva_test::kGLWidth) / morva_test::kGLHeight, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslatef(0, 0, -distance);
        glRotatef(pitch, 1, 0, 0);
    }

    void ClearScene() {
        glClearColor(0.7f, 0.7f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
    }

    // Draws the sphere at x with the model program the way the shaded display list does.
    void DrawShadedSphere(float x, const MaterialValues* material, const int* units) {
        shaders_.UseShader(model_.get());
        const float light[3] = {0.0f, 1000.0f, 0.0f};
        shaders_.SetUniformf(model_.get(), "ligth", light, 3);
        if (material) shaders_.SetUniformf(model_.get(), "material", material->v, 19);
        if (units) {
            shaders_.SetUniformi(model_.get(), "units", units, 7);
            for (int u = 0; u < 7; ++u) {
                glActiveTexture(GL_TEXTURE0 + u);
                glBindTexture(GL_TEXTURE_2D, GLuint(units[u] > 0 ? units[u] : 0));
            }
            glActiveTexture(GL_TEXTURE0);
        }
        glPushMatrix();
        glTranslatef(x, 0, 0);
        DrawSphere();
        glPopMatrix();
        shaders_.DisableShader();
    }

    // Window position of the point of the sphere at x whose normal is n.
    void SpherePoint(float x, float nx, float ny, float nz, int& wx, int& wy) {
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        Project(x + nx / len, ny / len, nz / len, wx, wy);
    }

    // Loads an image written from RGBA pixels through the texture manager.
    int LoadImage(const std::string& name, int w, int h, const std::vector<uint8_t>& rgba) {
        WriteRgbaPng(work_dir_.dir + "/" + name, w, h, rgba);
        return textures_.Load((work_dir_.dir + "/" + name).c_str());
    }

    // 64 x 64: a white disc, a light grey ring, black ground and colour-keyed corners.
    int LoadReliefImage() {
        const int n = 64;
        std::vector<uint8_t> rgba(n * n * 4);
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const float r = std::hypot(x + 0.5f - n / 2.0f, y + 0.5f - n / 2.0f);
                uint8_t* p = &rgba[(y * n + x) * 4];
                uint8_t grey = r < 12 ? 255 : (r < 22 ? 160 : 0);
                p[0] = p[1] = p[2] = grey;
                if (r > 30) p[0] = 255, p[1] = 174, p[2] = 201;
                p[3] = 255;
            }
        }
        return LoadImage("relief.png", n, n, rgba);
    }

    void UseImageProgram(int texture) {
        glEnable(GL_TEXTURE_2D);
        glColor3f(1, 1, 1);
        shaders_.UseShader(image_.get());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    }

    void DrawReliefLayer(float h) {
        shaders_.SetUniformf(image_.get(), "Height", &h, 1);
        DrawLayer(h / 10.0f);
    }

    // Draws `layers` layers with heights k / layers, as the scene does for an image object.
    void DrawRelief(int texture, float layers) {
        UseImageProgram(texture);
        for (int k = 0; float(k) < layers; ++k) DrawReliefLayer(float(k) / layers);
        shaders_.DisableShader();
    }

    // Perspective view from above and aside, the relief stretched upwards so that its layers
    // can be told apart.
    void ObliqueReliefView() {
        SetCamera(3.2f, 35.0f);
        glRotatef(-30, 0, 1, 0);
        glScalef(1.0f, 4.0f, 1.0f);
    }

    // Looks straight down on the image square, which fills most of the view.
    void TopView() {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1.4 * 4.0 / 3.0, 1.4 * 4.0 / 3.0, -1.4, 1.4, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(90, 1, 0, 0);
    }

    morva_test::TempWorkingDir work_dir_;
    cshader shaders_;
    Ctexture textures_;
    std::unique_ptr<Shader> model_;
    std::unique_ptr<Shader> image_;
};

// ---- Building ----

TEST_F(ShaderSourcesTest, BothProgramsBuildWithoutLogs) {
    EXPECT_TRUE(Linked(model_.get()));
    EXPECT_TRUE(Linked(image_.get()));
    EXPECT_FALSE(std::filesystem::exists("debugv.txt"));
    EXPECT_FALSE(std::filesystem::exists("debugf.txt"));
    EXPECT_FALSE(std::filesystem::exists("debuglink.txt"));
}

TEST_F(ShaderSourcesTest, ProgramsUseTheUniformsTheSystemSets) {
    // Every name the system loads is active, except the sky sampler that nothing binds.
    for (const char* name : {"material", "units", "ligth", "TextureAlpha", "TextureAmbient", "TextureBump",
                             "TextureDiffuse", "TextureEmissive", "TextureShininess", "TextureSpecular"}) {
        EXPECT_GE(glGetUniformLocation(model_->program, name), 0) << name;
    }
    EXPECT_GE(glGetUniformLocation(model_->program, "material[18]"), 0);
    EXPECT_GE(glGetUniformLocation(model_->program, "units[6]"), 0);
    EXPECT_GE(glGetUniformLocation(model_->program, "ligth[2]"), 0);
    EXPECT_GE(glGetUniformLocation(image_->program, "Texture"), 0);
    EXPECT_GE(glGetUniformLocation(image_->program, "Height"), 0);
    GLint sampler = -1;
    glGetUniformiv(model_->program, glGetUniformLocation(model_->program, "TextureDiffuse"), &sampler);
    EXPECT_EQ(sampler, 3);
}

// ---- Model program ----

TEST_F(ShaderSourcesTest, GreySphereIsLitFromAboveWithReadableUnderside) {
    SetCamera(6.0f, 20.0f);
    ClearScene();
    const MaterialValues matte = DefaultMaterial(), glossy = GlossyMaterial();
    const int no_maps[7] = {0, 0, 0, 0, 0, 0, 0};
    DrawShadedSphere(-1.2f, &matte, no_maps);
    DrawShadedSphere(1.2f, &glossy, no_maps);
    const Pixels px = morva_test::ReadFramebuffer();
    morva_test::SaveFramebuffer("model-grey-spheres.png");

    int x, y;
    SpherePoint(-1.2f, 0, 0.85f, 0.53f, x, y);
    const Rgb upper = PixelAt(px, x, y);
    SpherePoint(-1.2f, 0, -0.6f, 0.8f, x, y);
    const Rgb lower = PixelAt(px, x, y);
    SpherePoint(-1.2f, 0.95f, 0, 0.3f, x, y);
    const Rgb side = PixelAt(px, x, y);
    // Neutral grey, lit from above, sides and underside still visible.
    EXPECT_NEAR(upper.r, upper.g, 2);
    EXPECT_NEAR(upper.g, upper.b, 2);
    EXPECT_GT(upper.g, 170);
    EXPECT_LT(upper.g, 250);
    EXPECT_GT(upper.g, side.g + 40);
    EXPECT_GT(side.g, lower.g + 20);
    EXPECT_GT(lower.g, 35);

    // The glossy sphere carries a highlight brighter than anything on the matte one.
    int matte_max = 0, glossy_max = 0;
    int cx0, cx1, cy;
    Project(-1.2, 0, 0, cx0, cy);
    Project(1.2, 0, 0, cx1, cy);
    for (int yy = cy - 120; yy < cy + 120; ++yy) {
        for (int dx = -120; dx < 120; ++dx) {
            matte_max = std::max(matte_max, int(px.at(cx0 + dx, yy)[1]));
            glossy_max = std::max(glossy_max, int(px.at(cx1 + dx, yy)[1]));
        }
    }
    EXPECT_GT(glossy_max, matte_max + 15);
}

TEST_F(ShaderSourcesTest, ModelWithoutAnyMaterialIsDrawnGreyNotBlack) {
    SetCamera(4.0f, 20.0f);
    ClearScene();
    const MaterialValues none = {{0}};
    const int no_maps[7] = {0, 0, 0, 0, 0, 0, 0};
    DrawShadedSphere(0.0f, &none, no_maps);
    int x, y;
    SpherePoint(0, 0, 0.85f, 0.53f, x, y);
    const Rgb upper = PixelAt(morva_test::ReadFramebuffer(), x, y);
    EXPECT_GT(upper.g, 150);
    EXPECT_NEAR(upper.r, upper.b, 2);
}

TEST_F(ShaderSourcesTest, DiffuseMapColoursTheModelAndKeyedTexelsLeaveHoles) {
    // 64 x 64 checker of red and blue squares, with a colour-keyed band down one side.
    std::vector<uint8_t> rgba(64 * 64 * 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = &rgba[(y * 64 + x) * 4];
            const bool red = (x / 16 + y / 16) % 2 == 0;
            p[0] = red ? 220 : 30, p[1] = red ? 40 : 60, p[2] = red ? 30 : 210, p[3] = 255;
            if (x >= 56) p[0] = 255, p[1] = 174, p[2] = 201;
        }
    }
    const int checker = LoadImage("checker.png", 64, 64, rgba);
    ASSERT_GT(checker, 0);

    SetCamera(4.0f, 20.0f);
    ClearScene();
    const MaterialValues matte = DefaultMaterial();
    const int maps[7] = {0, 0, 0, checker, 0, 0, 0};
    DrawShadedSphere(0.0f, &matte, maps);
    const Pixels px = morva_test::ReadFramebuffer();
    morva_test::SaveFramebuffer("model-textured-sphere.png");

    int reddish = 0, bluish = 0, pinkish = 0;
    for (size_t i = 0; i < px.rgba.size(); i += 4) {
        const int r = px.rgba[i], g = px.rgba[i + 1], b = px.rgba[i + 2];
        if (r > 2 * b && r > 2 * g) ++reddish;
        if (b > 2 * r && b > 2 * g) ++bluish;
        if (r > 150 && g > 90 && b > 110 && r > g + 40) ++pinkish;  // the key colour, lit
    }
    EXPECT_GT(reddish, 5000);
    EXPECT_GT(bluish, 5000);
    EXPECT_EQ(pinkish, 0);
}

TEST_F(ShaderSourcesTest, BumpMapRipplesTheLightingWithoutDarkeningTheModel) {
    // Height stripes running around the sphere.
    std::vector<uint8_t> rgba(64 * 64 * 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = &rgba[(y * 64 + x) * 4];
            p[0] = p[1] = p[2] = uint8_t(127.5f + 127.5f * std::sin(float(y) * 6.2831853f / 16.0f));
            p[3] = 255;
        }
    }
    const int bump = LoadImage("bump.png", 64, 64, rgba);
    ASSERT_GT(bump, 0);
    SetCamera(4.0f, 20.0f);
    const MaterialValues matte = DefaultMaterial();
    const int plain_maps[7] = {0, 0, 0, 0, 0, 0, 0};
    const int bump_maps[7] = {0, 0, bump, 0, 0, 0, 0};
    ClearScene();
    DrawShadedSphere(0.0f, &matte, plain_maps);
    const Pixels plain = morva_test::ReadFramebuffer();
    ClearScene();
    DrawShadedSphere(0.0f, &matte, bump_maps);
    const Pixels bumped = morva_test::ReadFramebuffer();
    morva_test::SaveFramebuffer("model-bumped-sphere.png");

    long changed = 0, covered = 0, sum_plain = 0, sum_bumped = 0;
    for (size_t i = 0; i < plain.rgba.size(); i += 4) {
        if (plain.rgba[i + 2] == 255) continue;  // background
        ++covered;
        sum_plain += plain.rgba[i + 1];
        sum_bumped += bumped.rgba[i + 1];
        if (std::abs(int(plain.rgba[i + 1]) - int(bumped.rgba[i + 1])) > 8) ++changed;
    }
    ASSERT_GT(covered, 10000);
    EXPECT_GT(changed, covered / 5);
    EXPECT_NEAR(double(sum_bumped) / covered, double(sum_plain) / covered, 0.15 * double(sum_plain) / covered);
}

// ---- Image program: the relief ----

TEST_F(ShaderSourcesTest, BaseLayerShowsTheWholeImageExceptKeyedTexels) {
    const int image = LoadReliefImage();
    ASSERT_GT(image, 0);
    TopView();
    ClearScene();
    UseImageProgram(image);
    DrawReliefLayer(0.0f);
    shaders_.DisableShader();
    const Pixels px = morva_test::ReadFramebuffer();
    int x, y;
    Project(0, 0, 0, x, y);
    const Rgb centre = PixelAt(px, x, y);
    Project(0.8, 0, 0, x, y);  // black ground between ring and corners
    const Rgb ground = PixelAt(px, x, y);
    Project(0.95, 0, 0.95, x, y);  // keyed corner
    const Rgb corner = PixelAt(px, x, y);
    EXPECT_EQ(ground.r, 0);
    EXPECT_EQ(ground.b, 0);
    EXPECT_GT(centre.g, 0);
    EXPECT_EQ(corner.b, 255);  // the clear colour shows through
    EXPECT_EQ(corner.r, 178);
}

TEST_F(ShaderSourcesTest, UpperLayerShowsOnlyTexelsAtLeastThatHigh) {
    const int image = LoadReliefImage();
    TopView();
    ClearScene();
    UseImageProgram(image);
    DrawReliefLayer(0.5f);
    shaders_.DisableShader();
    const Pixels px = morva_test::ReadFramebuffer();
    int x, y;
    Project(0, 0, 0, x, y);
    const Rgb disc = PixelAt(px, x, y);
    Project(0.53, 0, 0, x, y);  // the ring, brightness 160/255
    const Rgb ring = PixelAt(px, x, y);
    Project(0.8, 0, 0, x, y);
    const Rgb ground = PixelAt(px, x, y);
    EXPECT_GT(disc.g, 150);
    EXPECT_NEAR(ring.g, 160 * (1.0 - 0.6 * (160 / 255.0 - 0.5)), 3);  // just above the layer: nearly its own colour
    EXPECT_EQ(ground.b, 255);  // black is below the layer: the clear colour shows
}

TEST_F(ShaderSourcesTest, TexelsDarkenWithDepthBelowTheirTop) {
    const int image = LoadReliefImage();
    TopView();
    int x, y;
    float heights[3] = {0.0f, 0.5f, 0.95f};
    int disc[3];
    for (int i = 0; i < 3; ++i) {
        ClearScene();
        UseImageProgram(image);
        DrawReliefLayer(heights[i]);
        shaders_.DisableShader();
        Project(0, 0, 0, x, y);
        disc[i] = PixelAt(morva_test::ReadFramebuffer(), x, y).g;
    }
    EXPECT_LT(disc[0] + 40, disc[1]);
    EXPECT_LT(disc[1] + 40, disc[2]);
    EXPECT_GT(disc[0], 60);  // the foot of a wall is shaded, not black
}

TEST_F(ShaderSourcesTest, ThreeLayerReliefStacksTheImage) {
    const int image = LoadReliefImage();
    ASSERT_GT(image, 0);
    ObliqueReliefView();
    ClearScene();
    DrawRelief(image, 3.0f);
    morva_test::SaveFramebuffer("image-relief-3-layers.png");

    // Seen from straight above, each texel shows its highest layer.
    TopView();
    ClearScene();
    DrawRelief(image, 3.0f);
    const Pixels px = morva_test::ReadFramebuffer();
    int x, y;
    Project(0, 0.2, 0, x, y);
    EXPECT_NEAR(PixelAt(px, x, y).g, 255 * (1.0 - 0.6 * (1.0 - 2.0 / 3.0)), 3);  // disc: top layer 2/3
    Project(0.53, 0.2, 0, x, y);
    EXPECT_NEAR(PixelAt(px, x, y).g, 160 * (1.0 - 0.6 * (160 / 255.0 - 1.0 / 3.0)), 4);  // ring: layer 1/3
    Project(0.8, 0.2, 0, x, y);
    EXPECT_EQ(PixelAt(px, x, y).g, 0);  // ground: base layer, black
}

TEST_F(ShaderSourcesTest, FortyLayerReliefPicture) {
    const int image = LoadReliefImage();
    ASSERT_GT(image, 0);
    ObliqueReliefView();
    ClearScene();
    DrawRelief(image, 0.02f / 0.0005f);  // the default image height
    morva_test::SaveFramebuffer("image-relief-40-layers.png");
    // The top of the white disc stands on the last layer, 39/40: nearly white.
    int x, y;
    Project(0, 0.1, 0, x, y);
    EXPECT_GT(PixelAt(morva_test::ReadFramebuffer(), x, y).g, 235);
}

}  // namespace
