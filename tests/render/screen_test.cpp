// The drawing space and the two screen-quad primitives, checked by drawing offscreen and
// reading the framebuffer back (rows bottom-up, so pixel y is the drawing-space y).
#include "app/screen.h"
#include "tests/render/grid_texture.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

namespace {

using morva_test::ColourAt;
using morva_test::GridCellColour;
using morva_test::IsBlack;
using morva_test::Pixels;
using morva_test::Rgb;

float DepthAt(int x, int y) {
    float depth = -1.0f;
    glReadPixels(x, y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    return depth;
}

class ScreenQuadTest : public morva_test::GLTest {
protected:
    void TearDown() override {
        glDisable(GL_TEXTURE_2D);
        if (texture) glDeleteTextures(1, &texture);
    }
    void UseGridTexture(int columns, int rows) {
        texture = morva_test::MakeGridTexture(columns, rows);
        glEnable(GL_TEXTURE_2D);
    }
    GLuint texture = 0;
};

TEST_F(ScreenQuadTest, DrawingSpaceIs1024By768) {
    EXPECT_EQ(resX, 1024.0f);
    EXPECT_EQ(resY, 768.0f);
}

TEST_F(ScreenQuadTest, FullBoxCoversTheWholeViewportWithTheFirstTextureRowOnTop) {
    UseGridTexture(2, 2);
    DrawOpenGLBox(0, 0, 1024, 768);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 0, 767), GridCellColour(0, 0));
    EXPECT_EQ(ColourAt(p, 1023, 767), GridCellColour(1, 0));
    EXPECT_EQ(ColourAt(p, 0, 0), GridCellColour(0, 1));
    EXPECT_EQ(ColourAt(p, 1023, 0), GridCellColour(1, 1));
    morva_test::SaveFramebuffer("screen_full_box.png");
}

TEST_F(ScreenQuadTest, BoxCoversExactlyItsPixelRectangle) {
    DrawOpenGLBox(100, 50, 30, 20);  // untextured: plain current colour
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_FALSE(IsBlack(p, 100, 50));
    EXPECT_FALSE(IsBlack(p, 129, 69));
    EXPECT_TRUE(IsBlack(p, 99, 60));
    EXPECT_TRUE(IsBlack(p, 130, 60));
    EXPECT_TRUE(IsBlack(p, 110, 49));
    EXPECT_TRUE(IsBlack(p, 110, 70));
}

TEST_F(ScreenQuadTest, TopLeftGlyphCellHangsDownFromTheInterfaceTopLine) {
    UseGridTexture(16, 16);
    DrawOpenGLBoxS(0, 736, 20, -16, 1, 2, 16, 16);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 0, 735), GridCellColour(1, 2));
    EXPECT_EQ(ColourAt(p, 19, 720), GridCellColour(1, 2));
    EXPECT_TRUE(IsBlack(p, 10, 736));
    EXPECT_TRUE(IsBlack(p, 10, 719));
    EXPECT_TRUE(IsBlack(p, 20, 728));
}

TEST_F(ScreenQuadTest, CellOutsideTheGridWrapsAround) {
    UseGridTexture(16, 16);
    // Row -2 of a repeating 16-row grid is row 14; column 17 is column 1.
    DrawOpenGLBoxS(200, 300, 20, -16, 17, -2, 16, 16);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 210, 292), GridCellColour(1, 14));
}

TEST_F(ScreenQuadTest, BoxLiesAtDepthZeroAndCellBoxAtDepthNineTenths) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    DrawOpenGLBox(0, 0, 10, 10);
    DrawOpenGLBoxS(20, 20, 10, -10, 0, 0, 1, 1);
    glDepthFunc(GL_LESS);
    glDisable(GL_DEPTH_TEST);
    // Window depth is (z + 1) / 2 with the default depth range.
    EXPECT_NEAR(DepthAt(5, 5), 0.5f, 1e-4f);
    EXPECT_NEAR(DepthAt(25, 15), 0.95f, 1e-4f);
}

TEST_F(ScreenQuadTest, QuadsUseTheCurrentColourAndLeaveIt) {
    glColor4f(0.0f, 1.0f, 0.0f, 1.0f);
    DrawOpenGLBoxS(10, 20, 5, -5, 0, 0, 1, 1);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.0f);
    EXPECT_EQ(colour[1], 1.0f);
    const Pixels p = morva_test::ReadPixels(12, 17, 1, 1);
    EXPECT_EQ(ColourAt(p, 0, 0), (Rgb{0, 255, 0}));
}

}  // namespace
