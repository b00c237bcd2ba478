// The font and frame bitmaps as the editor decodes them: grid sizes, colour keys, and
// glyphs that fit the advances the text renderer gives their characters.
#include "render/ctext.h"
#include "tests/assets/asset_text.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

using morva_asset_test::AssetPath;
using morva_asset_test::Decode;
using morva_asset_test::Rgba;

namespace {

using Colour = std::array<int, 3>;
const Colour kKey{255, 174, 201};
const Colour kHalfKey{255, 191, 213};
const Colour kWhite{255, 255, 255};

bool Near(const Colour& a, const Colour& b, int tolerance) {
    return std::abs(a[0] - b[0]) <= tolerance && std::abs(a[1] - b[1]) <= tolerance &&
           std::abs(a[2] - b[2]) <= tolerance;
}

class FontBitmap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { font_ = Decode(AssetPath("maps/font.bmp")); }
    static Rgba font_;
    int Cell() const { return font_.width / 16; }
    // Columns of the cell of `code` that hold anything but the transparent key.
    int InkRight(int code) const {
        const int cell = Cell(), cx = (code % 16) * cell, cy = (code / 16 - 2) * cell;
        int right = -1;
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                if (font_.rgb(cx + x, cy + y) != kKey) right = std::max(right, x);
        return right;
    }
    bool CellHasWhite(int col, int row) const {
        const int cell = Cell();
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                if (font_.rgb(col * cell + x, row * cell + y) == kWhite) return true;
        return false;
    }
};
Rgba FontBitmap::font_;

TEST_F(FontBitmap, DecodesAsSixteenBySixteenSquareCells) {
    ASSERT_GT(font_.width, 0) << "maps/font.bmp does not decode";
    EXPECT_EQ(font_.width, font_.height);
    EXPECT_EQ(font_.width % 16, 0);
    EXPECT_GE(font_.width / 16, 16) << "cells too small for 16-pixel text";
}

TEST_F(FontBitmap, HoldsOnlyWhiteInkAndTheTwoKeys) {
    ASSERT_GT(font_.width, 0);
    for (int y = 0; y < font_.height; ++y)
        for (int x = 0; x < font_.width; ++x) {
            const Colour c = font_.rgb(x, y);
            ASSERT_TRUE(c == kKey || c == kHalfKey || c == kWhite) << "pixel " << x << "," << y;
        }
}

TEST_F(FontBitmap, DrawsEveryPrintableLatin1Character) {
    ASSERT_GT(font_.width, 0);
    for (int code = 33; code < 256; ++code) {
        if (code >= 127 && code <= 160) continue;
        EXPECT_TRUE(CellHasWhite(code % 16, code / 16 - 2)) << "no glyph for code " << code;
    }
}

TEST_F(FontBitmap, LeavesSpaceControlCodesAndUnusedRowsTransparent) {
    ASSERT_GT(font_.width, 0);
    for (int code : {32, 127, 128, 141, 159, 160}) EXPECT_EQ(InkRight(code), -1) << "code " << code;
    // Bytes below 32 wrap onto rows 14 and 15.
    for (int row = 14; row < 16; ++row)
        for (int col = 0; col < 16; ++col) EXPECT_FALSE(CellHasWhite(col, row)) << "row " << row << " col " << col;
}

TEST_F(FontBitmap, StartsEveryGlyphAtTheLeftOfItsCell) {
    ASSERT_GT(font_.width, 0);
    // Narrow glyphs must not be pushed to the middle of a full cell.
    for (int code : {'.', ':', 'I', 'i', 'l', '1'}) {
        EXPECT_LT(InkRight(code), Cell() / 2) << "code " << char(code);
    }
}

// The advances come from the text renderer itself, so the bitmap and the renderer agree.
class FontAdvances : public morva_test::GLTest {};

TEST_F(FontAdvances, EveryGlyphFitsTheAdvanceOfItsCharacterInBothTextKinds) {
    Rgba font = Decode(AssetPath("maps/font.bmp"));
    ASSERT_GT(font.width, 0);
    const int cell = font.width / 16;
    // A real texture for the renderer to bind (its draws also set filtering on it).
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const unsigned char white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    Ctext text(static_cast<int>(texture), static_cast<int>(texture));
    for (int code = 33; code < 256; ++code) {
        char s[2] = {char(code), 0};
        const float cw = 1000.0f;
        const int forward = text.DrawTextGL(0, 0, cw, 16, s, 1, 1, 1, 0);
        const int backward = -text.DrawTextGL_Flip(1000, 0, cw, 16, s, 1, 1, 1);
        const double advance = std::min(forward, backward) / double(cw);  // share of the cell
        const int cx = (code % 16) * cell, cy = (code / 16 - 2) * cell;
        int right = -1;
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x)
                if (font.rgb(cx + x, cy + y) == kWhite) right = std::max(right, x);
        EXPECT_LE(right + 1, advance * cell + 0.5) << "glyph " << code << " runs into the next character";
    }
    glDeleteTextures(1, &texture);
}

class BackBitmap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { back_ = Decode(AssetPath("maps/back.jpg")); }
    static Rgba back_;
    int Cell() const { return back_.width / 4; }
    bool Keyed(int x, int y) const { return back_.rgb(x, y) == kKey; }
};
Rgba BackBitmap::back_;

TEST_F(BackBitmap, DecodesAsSquareFourByFourGrid) {
    ASSERT_GT(back_.width, 0) << "maps/back.jpg does not decode";
    EXPECT_EQ(back_.width, back_.height);
    EXPECT_EQ(back_.width % 4, 0);
}

TEST_F(BackBitmap, OutermostCornersKeepTheExactTransparentKey) {
    ASSERT_GT(back_.width, 0);
    const int s = back_.width - 1;
    for (auto [x, y] : {std::pair{0, 0}, {s, 0}, {0, s}, {s, s}, {2, 3}, {s - 3, s - 2}}) EXPECT_TRUE(Keyed(x, y)) << x << "," << y;
}

TEST_F(BackBitmap, KeyedPixelsAreExactAndOnlyInTheCornerCells) {
    ASSERT_GT(back_.width, 0);
    const int cell = Cell();
    int keyed = 0;
    for (int y = 0; y < back_.height; ++y)
        for (int x = 0; x < back_.width; ++x) {
            const Colour c = back_.rgb(x, y);
            // A decoder shift of a few levels would leave near-key pink, opaque in the editor.
            ASSERT_TRUE(c == kKey || !Near(c, kKey, 24)) << "near-key pixel at " << x << "," << y;
            if (c != kKey) continue;
            ++keyed;
            const bool corner_col = x < cell || x >= 3 * cell, corner_row = y < cell || y >= 3 * cell;
            ASSERT_TRUE(corner_col && corner_row) << "transparent pixel outside a corner cell at " << x << "," << y;
        }
    EXPECT_GT(keyed, 4 * 16) << "corners are not rounded";
}

TEST_F(BackBitmap, EdgeAndCentreCellsAreOpaqueLightGreySoTheyStretch) {
    ASSERT_GT(back_.width, 0);
    const int cell = Cell();
    // Cells the boxes stretch (edges and centre) and the text middle strips.
    const std::pair<int, int> cells[] = {{1, 0}, {2, 0}, {0, 1}, {1, 1}, {3, 1}, {1, 2}, {1, 3}, {2, 3}};
    for (auto [cx, cy] : cells)
        for (int y = 0; y < cell; y += 7)
            for (int x = 0; x < cell; x += 7) ASSERT_FALSE(Keyed(cx * cell + x, cy * cell + y)) << cx << "," << cy;
    const Colour centre = back_.rgb(back_.width / 2, back_.height / 2);
    EXPECT_GT(centre[0], 190);
    EXPECT_TRUE(Near(centre, {centre[0], centre[0], centre[0]}, 12)) << "the centre is not grey";
}

}  // namespace
