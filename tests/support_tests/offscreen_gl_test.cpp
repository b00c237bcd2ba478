#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cstdio>

namespace {

using morva_test::GLTest;

TEST_F(GLTest, ContextHasStencilAndDepthBits) {
    GLint stencil = 0, depth = 0;
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    EXPECT_EQ(stencil, 8);
    EXPECT_GE(depth, 24);
}

TEST_F(GLTest, DrawsClearColourAndOneQuad) {
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1.0f, 0.0f, 0.0f);
    // A quad over the right half of the view.
    glBegin(GL_QUADS);
    glVertex2f(0.0f, -1.0f);
    glVertex2f(1.0f, -1.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();
    morva_test::Pixels px = morva_test::ReadFramebuffer();
    const uint8_t* left = px.at(100, 400);
    const uint8_t* right = px.at(900, 400);
    EXPECT_EQ(left[0], 0);
    EXPECT_EQ(left[2], 255);
    EXPECT_EQ(right[0], 255);
    EXPECT_EQ(right[2], 0);
    // The boundary falls exactly on the middle column.
    EXPECT_EQ(px.at(511, 10)[2], 255);
    EXPECT_EQ(px.at(512, 10)[0], 255);
    const std::string png = morva_test::SaveFramebuffer("support-quad.png");
    FILE* f = std::fopen(png.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
}

TEST_F(GLTest, StencilReadBackSeesIncrements) {
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_ALWAYS, 0, 0xFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    for (int i = 0; i < 3; ++i) {
        glBegin(GL_TRIANGLES);
        glVertex2f(-1.0f, -1.0f);
        glVertex2f(1.0f, -1.0f);
        glVertex2f(-1.0f, 1.0f);
        glEnd();
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDisable(GL_STENCIL_TEST);
    std::vector<uint8_t> s = morva_test::ReadStencil(0, 0, 1024, 768);
    EXPECT_EQ(s[10 * 1024 + 10], 3);
    EXPECT_EQ(s[700 * 1024 + 1000], 0);
}

}  // namespace
