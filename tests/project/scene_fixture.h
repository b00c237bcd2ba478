// Test fixture for project tests that need GL: one texture manager, shader manager and
// model loader per test program, built from the shipped shader sources, and a fresh
// project per test. Also writes small images and sets the camera on the GL matrices.
#pragma once

#include "model/cloadobj.h"
#include "project/project.h"
#include "render/cshader.h"
#include "render/ctexture.h"
#include "tests/project/view_helpers.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace project_test {

class SceneGLTest : public morva_test::GLTest {
protected:
    static inline Ctexture* textures = nullptr;
    static inline cshader* shaders = nullptr;
    static inline cloadobj* loader = nullptr;
    static inline std::string temp_dir;
    std::unique_ptr<project> p;

    // The services live until the program ends, as in the editor.
    static void SetUpTestSuite() {
        if (loader != nullptr || !morva_test::EnsureGLContext()) return;
        // The program sources are read from the working directory, as the editor does.
        char previous[4096];
        if (getcwd(previous, sizeof previous) == nullptr) return;
        if (chdir(MORVA_ASSETS_DIR) != 0) return;
        textures = new Ctexture();
        shaders = new cshader();
        loader = new cloadobj(textures, shaders);
        if (chdir(previous) != 0) return;
        temp_dir = morva_test::MakeTempDir();
    }

    void SetUp() override {
        morva_test::GLTest::SetUp();
        ASSERT_NE(loader, nullptr);
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(MORVA_ASSETS_DIR), 0);
        p = std::make_unique<project>(loader);
        ASSERT_EQ(chdir(previous), 0);
    }

    static std::string Data(const std::string& name) { return std::string(MORVA_TEST_DATA_DIR) + "/" + name; }

    bool Import(const std::string& path) { return p->ImportOBJ(const_cast<char*>(path.c_str())); }
    bool ImportPicture(const std::string& path) { return p->ImportImage(const_cast<char*>(path.c_str())); }

    // Writes an image whose every pixel is produced by `shade(x, y)` (RGBA) and returns its path.
    template <typename Shade>
    static std::string WriteImage(const std::string& name, int w, int h, Shade shade) {
        morva_test::Pixels px;
        px.width = w;
        px.height = h;
        px.rgba.resize(size_t(w) * h * 4);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) shade(x, y, &px.rgba[(size_t(y) * w + x) * 4]);
        const std::string path = temp_dir + "/" + name;
        morva_test::WritePng(path, px);
        return path;
    }

    // Puts the camera on the GL matrices the way the frame does: projection, then V.
    static void LoadCamera(const cMath::Matrix4x4& view, const cMath::Matrix4x4& projection) {
        glViewport(0, 0, morva_test::kGLWidth, morva_test::kGLHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(projection.m);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(view.m);
    }

    // The GL state in which the frame calls the scene renderer.
    static void SceneState() {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glDisable(GL_CULL_FACE);
        glDisable(GL_STENCIL_TEST);
        glEnable(GL_TEXTURE_2D);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_BLEND);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glFrontFace(GL_CW);
        glColor4f(1, 1, 1, 1);
        // The frame's light straight above the machine.
        const float light[3] = {0, 1000, 0};
        shaders->UseShader(loader->shader);
        shaders->SetUniformf(loader->shader, "ligth", light, 3);
        shaders->DisableShader();
    }

    // Counts into the stencil buffer, without colour or depth, every fragment drawn by `draw`.
    template <typename Draw>
    static std::vector<uint8_t> CountFragments(Draw draw) {
        glClearStencil(0);
        glClear(GL_STENCIL_BUFFER_BIT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0xFF);
        glStencilOp(GL_KEEP, GL_INCR, GL_INCR);
        draw();
        glDisable(GL_STENCIL_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        return morva_test::ReadStencil(0, 0, morva_test::kGLWidth, morva_test::kGLHeight);
    }
};

// A camera straight above a scene point, `height` units over it.
inline Camera CameraAbove(float x, float y, float z, float height) {
    Camera c;
    c.pitch = 90;
    c.yaw = 0;
    c.x = -x;
    c.y = -y;
    c.z = -z;
    c.zoom = height;
    return c;
}

}  // namespace project_test
