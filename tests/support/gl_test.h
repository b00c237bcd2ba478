// Test support: one offscreen GL context per test program, pixel read-back and PNG output.
// A GL test derives its fixture from GLTest; the context is created once and stays current.
// Nothing here draws: tests draw, read back and compare.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace morva_test {

constexpr int kGLWidth = 1024;
constexpr int kGLHeight = 768;

// RGBA8 pixels, rows bottom-up as GL returns them.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * width + x) * 4]; }
};

// True when the shared offscreen context exists and is current (created on first use).
bool EnsureGLContext();
// Why the context could not be created.
std::string GLContextError();
// The second context sharing display lists with the shared one, made current on (and
// released from) a thread other than the test's; false when there is none.
bool MakeListContextCurrent();
void ReleaseListContext();

Pixels ReadPixels(int x, int y, int w, int h);
Pixels ReadFramebuffer();
// Stencil values of a rectangle, rows bottom-up.
std::vector<uint8_t> ReadStencil(int x, int y, int w, int h);

// Writes pixels as a PNG (flipped so that the image is upright). Returns false on failure.
bool WritePng(const std::string& path, const Pixels& pixels);
// Writes the whole framebuffer into the build folder's test-output directory and returns the path.
std::string SaveFramebuffer(const std::string& name);

// Folders known at build time.
std::string AssetsDir();     // the run-time assets (shaders, maps, models)
std::string OutputDir();     // where tests write images for a person to look at
std::string MakeTempDir();   // a fresh empty directory under the system temp folder

// Fixture for tests that draw: makes sure the context is current and resets the GL state
// that tests commonly change.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
};

}  // namespace morva_test
