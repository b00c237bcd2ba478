#include "tests/support/gl_test.h"

#include "platform/offscreen_gl.h"

#include <GL/gl.h>
#include <stb/stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

namespace morva_test {
namespace {

// The context lives until the process ends and is never torn down: the software driver
// has been seen crashing inside EGL teardown at exit after some texture states, which
// would turn a passing test program into a failure. The OS reclaims everything.
struct SharedContext {
    morva::OffscreenGL gl;
    bool tried = false;
    bool ok = false;
};

SharedContext& Context() {
    static SharedContext ctx;
    return ctx;
}

}  // namespace

bool EnsureGLContext() {
    SharedContext& c = Context();
    if (!c.tried) {
        c.tried = true;
        c.ok = morva::CreateOffscreenGL(c.gl, kGLWidth, kGLHeight);
    }
    return c.ok;
}

std::string GLContextError() { return Context().gl.error; }

bool MakeListContextCurrent() { return Context().ok && morva::MakeListContextCurrent(Context().gl); }

void ReleaseListContext() { morva::ReleaseListContext(Context().gl); }

Pixels ReadPixels(int x, int y, int w, int h) {
    Pixels p;
    p.width = w;
    p.height = h;
    p.rgba.assign(size_t(w) * h * 4, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.rgba.data());
    return p;
}

Pixels ReadFramebuffer() { return ReadPixels(0, 0, kGLWidth, kGLHeight); }

std::vector<uint8_t> ReadStencil(int x, int y, int w, int h) {
    std::vector<uint8_t> s(size_t(w) * h, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, s.data());
    return s;
}

bool WritePng(const std::string& path, const Pixels& pixels) {
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    const int stride = pixels.width * 4;
    std::vector<uint8_t> flipped(pixels.rgba.size());
    for (int y = 0; y < pixels.height; ++y) {
        const uint8_t* src = &pixels.rgba[size_t(pixels.height - 1 - y) * stride];
        std::copy(src, src + stride, &flipped[size_t(y) * stride]);
    }
    return stbi_write_png(path.c_str(), pixels.width, pixels.height, 4, flipped.data(), stride) != 0;
}

std::string AssetsDir() { return MORVA_ASSETS_DIR; }

std::string OutputDir() {
    std::filesystem::path dir = std::filesystem::path(MORVA_BUILD_DIR) / "test-output";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir.string();
}

std::string SaveFramebuffer(const std::string& name) {
    const std::string path = OutputDir() + "/" + name;
    WritePng(path, ReadFramebuffer());
    return path;
}

std::string MakeTempDir() {
    // A name no other test program of this run has taken: create_directory fails on a
    // folder that exists, so the first free name is ours alone.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    if (error) return std::string();
    std::random_device seed;
    std::mt19937_64 numbers(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, "morva-test-%012llx",
                      static_cast<unsigned long long>(numbers() & 0xffffffffffffULL));
        const std::filesystem::path dir = base / name;
        if (std::filesystem::create_directory(dir, error)) return dir.u8string();
    }
    return std::string();
}

void GLTest::SetUp() {
    ASSERT_TRUE(EnsureGLContext()) << "offscreen GL context: " << GLContextError();
    glViewport(0, 0, kGLWidth, kGLHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFF);
    glColor4f(1, 1, 1, 1);
    // A test program may run all its tests in one process (the Windows build does).
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glClearColor(0, 0, 0, 0);
    glClearStencil(0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

}  // namespace morva_test
