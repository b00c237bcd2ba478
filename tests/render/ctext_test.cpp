// Bitmap text and framed boxes: advances, glyph cells, backgrounds and box pieces, checked by
// drawing offscreen into the 1024 x 768 drawing space and reading pixels back.
#include "render/ctext.h"

#include "render/ctexture.h"
#include "tests/render/grid_texture.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <fstream>
#include <string>

namespace {

using morva_test::ColourAt;
using morva_test::GridCellColour;
using morva_test::IsBlack;
using morva_test::Pixels;
using morva_test::Rgb;

// Glyph cell of a byte in the 16 x 16 font grid.
Rgb GlyphColour(unsigned char c) { return GridCellColour(c % 16, (c / 16 + 14) % 16); }

class CtextTest : public morva_test::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        font = morva_test::MakeGridTexture(16, 16);
        back = morva_test::MakeGridTexture(4, 4);
        white = morva_test::MakeWhiteTexture();
        glEnable(GL_TEXTURE_2D);
    }
    void TearDown() override {
        glDisable(GL_TEXTURE_2D);
        const GLuint names[] = {font, back, white};
        glDeleteTextures(3, names);
    }
    GLint MinFilterOf(GLuint texture) {
        GLint filter = 0;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        return filter;
    }
    GLuint font = 0;
    GLuint back = 0;
    GLuint white = 0;
};

TEST_F(CtextTest, AdvancesFollowTheProportionalTables) {
    Ctext text{int(font), int(back)};
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "Info", 1, 1, 1, 0), 31);  // 5 + 10 + 6.67 + 10
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "0", 1, 1, 1, 0), 12);
    EXPECT_EQ(text.DrawTextGL_Flip(500, 300, 20, 16, "0", 1, 1, 1), -12);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "/", 1, 1, 1, 0), 20);
    EXPECT_EQ(text.DrawTextGL_Flip(500, 300, 20, 16, "/", 1, 1, 1), -10);
    EXPECT_EQ(text.DrawTextGL(0, 0, 24, 16, "W", 1, 1, 1, 0), 20);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "QS", 1, 1, 1, 0), 26);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "mw", 1, 1, 1, 0), 30);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "\n", 1, 1, 1, 0), 20);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "\xC8\x7F", 1, 1, 1, 0), 40);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "", 1, 1, 1, 0), 0);
    EXPECT_EQ(text.DrawTextGL_Flip(500, 300, 20, 16, "12.5mm", 1, 1, 1), -65);  // 10+10+5+10+15+15
    EXPECT_EQ(text.DrawTextGL_Flip(500, 300, 20, 16, "Info", 1, 1, 1), -80);
    // Measuring gives what drawing returns.
    for (const char* s : {"Info", "QS", "mw", "Ctrl+Shift+S", "\xC8\x7F", ""}) {
        EXPECT_EQ(Ctext::TextWidth(20, s), text.DrawTextGL(0, 0, 20, 16, s, 1, 1, 1, 0)) << s;
        EXPECT_EQ(Ctext::TextWidth(14, s), text.DrawTextGL(0, 0, 14, 16, s, 1, 1, 1, 0)) << s;
    }
}

TEST_F(CtextTest, GlyphsShowTheirGridCellFromTheInterfaceTopLine) {
    Ctext text{int(font), int(back)};
    text.DrawTextGL(0, 0, 20, 16, "A", 1, 1, 1, 0);       // 0x41: column 1, row 2
    text.DrawTextGL(100, 100, 20, 16, "\xC8", 1, 1, 1, 0);  // 200: column 8, row 10
    text.DrawTextGL(200, 100, 20, 16, "\n", 1, 1, 1, 0);    // 10: row -2 wraps to 14
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 0, 735), GlyphColour('A'));
    EXPECT_EQ(ColourAt(p, 19, 720), GlyphColour('A'));
    EXPECT_TRUE(IsBlack(p, 20, 728));
    EXPECT_TRUE(IsBlack(p, 10, 719));
    EXPECT_EQ(GlyphColour('A'), GridCellColour(1, 2));
    EXPECT_EQ(ColourAt(p, 110, 630), GridCellColour(8, 10));
    EXPECT_EQ(ColourAt(p, 210, 630), GridCellColour(10, 14));
}

TEST_F(CtextTest, EachGlyphStartsWhereThePreviousAdvanceEnds) {
    Ctext text{int(font), int(back)};
    text.DrawTextGL(40, 200, 20, 16, "Il\nx", 1, 1, 1, 0);
    // I at 40 (advance 5), l at 45 (6.67), line feed at 51.67 (20), x at 71.67 over 20 px.
    const Pixels p = morva_test::ReadFramebuffer();
    const int row = 736 - 200 - 8;
    EXPECT_EQ(ColourAt(p, 44, row), GlyphColour('I'));
    EXPECT_EQ(ColourAt(p, 45, row), GlyphColour('l'));
    EXPECT_EQ(ColourAt(p, 51, row), GlyphColour('l'));
    EXPECT_EQ(ColourAt(p, 53, row), GlyphColour('\n'));
    EXPECT_EQ(ColourAt(p, 72, row), GlyphColour('x'));
    EXPECT_EQ(ColourAt(p, 91, row), GlyphColour('x'));
    EXPECT_TRUE(IsBlack(p, 92, row));
    // The line feed starts no new line: nothing below the one text row.
    EXPECT_TRUE(IsBlack(p, 80, row - 16));
}

TEST_F(CtextTest, FlippedTextEndsAtXWithUpwardY) {
    Ctext text{int(font), int(back)};
    EXPECT_EQ(text.DrawTextGL_Flip(200, 400, 20, 16, "10", 1, 1, 1), -22);
    // "0" goes first at 188..207, then "1" at 178..197 over it; rows 384..399.
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 178, 399), GlyphColour('1'));
    EXPECT_EQ(ColourAt(p, 197, 384), GlyphColour('1'));
    EXPECT_EQ(ColourAt(p, 198, 390), GlyphColour('0'));
    EXPECT_EQ(ColourAt(p, 207, 390), GlyphColour('0'));
    EXPECT_TRUE(IsBlack(p, 208, 390));
    EXPECT_TRUE(IsBlack(p, 177, 390));
    EXPECT_TRUE(IsBlack(p, 190, 400));
    EXPECT_TRUE(IsBlack(p, 190, 383));
}

TEST_F(CtextTest, TextIsTintedWithItsColour) {
    Ctext text{int(white), int(back)};
    text.DrawTextGL(0, 100, 20, 16, "M", 1, 0, 0, 0);
    text.DrawTextGL_Flip(300, 300, 20, 16, "M", 0, 0, 1);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 5, 630), (Rgb{255, 0, 0}));
    EXPECT_EQ(ColourAt(p, 290, 295), (Rgb{0, 0, 255}));
}

TEST_F(CtextTest, BackgroundSpansCapsAndMiddleFromItsGrids) {
    Ctext text{int(font), int(back)};
    text.SetDrawBackground(true);
    // An empty string draws only the background: cw * (1 + 6 / 2) = 80 px wide, 16 high.
    EXPECT_EQ(text.DrawTextGL(100, 100, 20, 16, "", 1, 1, 1, 6), 0);
    const Pixels p = morva_test::ReadFramebuffer();
    const int top = 636;  // 736 - 100
    EXPECT_FALSE(IsBlack(p, 100, top - 8));
    EXPECT_FALSE(IsBlack(p, 179, top - 8));
    EXPECT_TRUE(IsBlack(p, 99, top - 8));
    EXPECT_TRUE(IsBlack(p, 180, top - 8));
    EXPECT_TRUE(IsBlack(p, 140, top));
    EXPECT_TRUE(IsBlack(p, 140, top - 17));
    // Left cap: the 2 x 2 upper-left quadrant starts with 4 x 4 cell (0, 0); lower one with (0, 2).
    EXPECT_EQ(ColourAt(p, 100, top - 1), GridCellColour(0, 0));
    EXPECT_EQ(ColourAt(p, 100, top - 9), GridCellColour(0, 2));
    // Right cap: upper-right quadrant ends with cell (3, 0), lower-right with (3, 3).
    EXPECT_EQ(ColourAt(p, 179, top - 1), GridCellColour(3, 0));
    EXPECT_EQ(ColourAt(p, 179, top - 16), GridCellColour(3, 3));
    // Middle, from x 110 to 170: top strip (1, 0), centre (1, 1), bottom strip (1, 3).
    EXPECT_EQ(ColourAt(p, 140, top - 2), GridCellColour(1, 0));
    EXPECT_EQ(ColourAt(p, 140, top - 8), GridCellColour(1, 1));
    EXPECT_EQ(ColourAt(p, 140, top - 14), GridCellColour(1, 3));
}

TEST_F(CtextTest, BackgroundUsesBackColourAtFullOpacityBehindTheText) {
    Ctext text{int(font), int(white)};
    text.SetDrawBackground(true);
    text.SetBackColor(0, 0, 1, 0.2f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    text.DrawTextGL(100, 100, 20, 16, "", 1, 1, 1, 2);
    glDisable(GL_BLEND);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 110, 628), (Rgb{0, 0, 255}));
}

TEST_F(CtextTest, BoxCoversWidthLessEightAndHeightLessFour) {
    Ctext text{int(font), int(white)};
    text.SetBackColor(1, 0, 0, 1);
    text.DrawBox(0, 516, 600, 212);
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 0, 219), (Rgb{255, 0, 0}));
    EXPECT_EQ(ColourAt(p, 591, 12), (Rgb{255, 0, 0}));
    EXPECT_EQ(ColourAt(p, 300, 100), (Rgb{255, 0, 0}));
    EXPECT_TRUE(IsBlack(p, 592, 100));
    EXPECT_TRUE(IsBlack(p, 300, 220));
    EXPECT_TRUE(IsBlack(p, 300, 11));
}

TEST_F(CtextTest, BoxPiecesComeFromTheirCellsWithFourPixelBorders) {
    Ctext text{int(font), int(back)};
    text.SetBackColor(1, 1, 1, 1);
    text.DrawBox(100, 100, 200, 100);  // x 100..291, upward y 636 down to 540
    const Pixels p = morva_test::ReadFramebuffer();
    EXPECT_EQ(ColourAt(p, 100, 635), GridCellColour(0, 0));
    EXPECT_EQ(ColourAt(p, 103, 632), GridCellColour(0, 0));
    EXPECT_EQ(ColourAt(p, 100, 631), GridCellColour(0, 1));
    EXPECT_EQ(ColourAt(p, 100, 543), GridCellColour(0, 3));
    EXPECT_EQ(ColourAt(p, 291, 635), GridCellColour(3, 0));
    EXPECT_EQ(ColourAt(p, 291, 600), GridCellColour(3, 1));
    EXPECT_EQ(ColourAt(p, 288, 540), GridCellColour(3, 3));
    EXPECT_EQ(ColourAt(p, 104, 635), GridCellColour(1, 0));
    EXPECT_EQ(ColourAt(p, 287, 540), GridCellColour(1, 3));
    EXPECT_EQ(ColourAt(p, 200, 600), GridCellColour(1, 1));
    EXPECT_TRUE(IsBlack(p, 292, 600));
    EXPECT_TRUE(IsBlack(p, 200, 539));
}

TEST_F(CtextTest, EveryCallLeavesTheColourWhite) {
    Ctext text{int(font), int(back)};
    text.SetDrawBackground(true);
    text.SetBackColor(0.2f, 0.2f, 0.2f, 0.5f);
    GLfloat colour[4];
    auto expectWhite = [&](const char* call) {
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[0], 1.0f) << call;
        EXPECT_EQ(colour[1], 1.0f) << call;
        EXPECT_EQ(colour[2], 1.0f) << call;
        EXPECT_EQ(colour[3], 1.0f) << call;
    };
    text.DrawTextGL(0, 0, 20, 16, "abc", 0, 0, 0, 6);
    expectWhite("DrawTextGL");
    glColor4f(0, 0, 0, 0);
    text.DrawTextGL_Flip(100, 100, 20, 16, "1mm", 0, 0, 0);
    expectWhite("DrawTextGL_Flip");
    text.DrawBox(0, 516, 600, 212);
    expectWhite("DrawBox");
}

TEST_F(CtextTest, EveryBindSetsTheMipmappedMinificationFilter) {
    Ctext text{int(font), int(back)};
    text.SetDrawBackground(true);
    text.DrawTextGL(0, 0, 20, 16, "a", 1, 1, 1, 1);
    EXPECT_EQ(MinFilterOf(font), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(MinFilterOf(back), GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);  // back is bound
    text.DrawBox(0, 0, 100, 100);
    EXPECT_EQ(MinFilterOf(back), GL_LINEAR_MIPMAP_LINEAR);
    glBindTexture(GL_TEXTURE_2D, font);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    text.DrawTextGL_Flip(100, 100, 20, 16, "1", 1, 1, 1);
    EXPECT_EQ(MinFilterOf(font), GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(CtextTest, FailedTexturesDrawPlainQuadsWithoutCreatingTextures) {
    Ctext text(-1, -1);
    text.SetDrawBackground(true);
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, "ab", 1, 0, 0, 2), 20);
    text.DrawBox(0, 516, 600, 212);
    EXPECT_FALSE(glIsTexture(0xFFFFFFFFu));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CtextTest, NullTextDrawsNothing) {
    Ctext text{int(font), int(back)};
    EXPECT_EQ(text.DrawTextGL(0, 0, 20, 16, nullptr, 1, 1, 1, 0), 0);
    EXPECT_EQ(text.DrawTextGL_Flip(0, 0, 20, 16, nullptr, 1, 1, 1), 0);
}

// A sample of the real font and frame bitmaps, written for a person to look at.
TEST_F(CtextTest, RendersSampleWithTheEditorAssets) {
    const std::string fontPath = morva_test::AssetsDir() + "/maps/font.bmp";
    const std::string backPath = morva_test::AssetsDir() + "/maps/back.jpg";
    if (!std::ifstream(fontPath) || !std::ifstream(backPath)) GTEST_SKIP() << "assets not generated yet";
    Ctexture textures;
    const int fontTexture = textures.Load(fontPath.c_str());
    const int backTexture = textures.Load(backPath.c_str());
    ASSERT_GE(fontTexture, 0);
    ASSERT_GE(backTexture, 0);
    glClearColor(0.45f, 0.55f, 0.7f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Ctext text(fontTexture, backTexture);
    text.SetBackColor(0.8f, 0.8f, 0.8f, 0.9f);
    text.DrawBox(20, 60, 500, 200);
    text.DrawTextGL(40, 80, 20, 16, "The quick brown fox jumps", 0, 0, 0, 0);
    text.DrawTextGL(40, 100, 16, 16, "over the lazy dog. 0123456789", 0, 0, 0.6f, 0);
    text.DrawTextGL(40, 120, 20, 16, "Info Error Warning WMQSBD", 0.7f, 0, 0, 0);
    text.DrawTextGL(40, 140, 16, 16, "Zo\xBC\xF3\xB3\xE6 \xE9\xE8\xE0 \xC4\xD6\xDC \xDF", 0, 0, 0, 0);
    text.DrawTextGL_Flip(500, 736 - 180, 16, 16, "125.50mm", 0, 0, 0);
    text.SetDrawBackground(true);
    text.SetBackColor(1, 1, 1, 1);
    text.DrawTextGL(40, 200, 20, 16, "File", 0, 0, 0, 6);
    text.DrawTextGL(140, 200, 20, 16, "Edit", 0, 0, 0, 6);
    glDisable(GL_BLEND);
    const std::string png = morva_test::SaveFramebuffer("ctext_sample.png");
    EXPECT_FALSE(png.empty());
    const Pixels p = morva_test::ReadPixels(40, 736 - 96, 400, 16);
    int dark = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) dark += ColourAt(p, x, y).r < 60 ? 1 : 0;
    EXPECT_GT(dark, 200) << "the first line shows dark glyph pixels";
}

}  // namespace
