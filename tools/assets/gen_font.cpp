// morva-gen-font: rasterises a TrueType font into the editor's 16 x 16 glyph grid
// (maps/font.bmp). Codes 32-255 (Latin-1 above 127) fill rows 0-13; each glyph sits at the
// left edge of its cell inside the width its advance class gives it, white on the
// transparent colour key, with a half-transparent dark rim for legibility over the scene.
// Usage: morva-gen-font OUTPUT.bmp [FONT.ttf]
#include "tools/assets/advance.h"
#include "tools/assets/image.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace morva_assets;

namespace {

constexpr int kCell = 32;              // pixels per glyph cell
constexpr int kGrid = 16;              // cells per row and column
constexpr int kSize = kCell * kGrid;   // bitmap width and height
constexpr int kMargin = 2;             // pixels along the cell edges that ink never reaches
// Pixels along the cell edges that stay fully transparent, rim included: filtering at a
// cell's edge reads the neighbouring cell's first columns, which must not show.
constexpr int kClear = 2;
constexpr Rgb kInk{255, 255, 255};

// Coverage of every pixel of one cell (0-255), before it becomes key colours.
using Coverage = std::vector<uint8_t>;

bool HasGlyph(int code) {
    if (code < 33 || code > 255) return false;  // space and control codes stay empty
    if (code >= 127 && code <= 160) return false;  // DEL, C1 controls, no-break space
    return true;
}

// Outline extent of a character at the current size, in pixels (no transform).
struct Extent {
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
};

bool MeasureGlyph(FT_Face face, int code, Extent& e) {
    FT_Set_Transform(face, nullptr, nullptr);
    if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return false;
    if (face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_points == 0) return false;
    FT_BBox box;
    FT_Outline_Get_CBox(&face->glyph->outline, &box);
    e = {box.xMin / 64.0, box.xMax / 64.0, box.yMin / 64.0, box.yMax / 64.0};
    return true;
}

// Picks the pixel size and baseline that let the ASCII glyphs fill the cell height.
struct Layout {
    int pixel_size = 0;
    double baseline = 0;  // pixels from the cell top
};

Layout ChooseLayout(FT_Face face) {
    Layout best;
    for (int size = 40; size >= 8; --size) {
        FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
        double up = 0, down = 0;
        for (int code = 33; code < 127; ++code) {
            Extent e;
            if (!MeasureGlyph(face, code, e)) continue;
            up = std::max(up, e.y_max);
            down = std::max(down, -e.y_min);
        }
        if (up + down <= kCell - 2 * kMargin - 1) {
            best.pixel_size = size;
            best.baseline = kMargin + std::ceil(up);
            return best;
        }
    }
    return best;
}

// Renders one character scaled to fit its slot (and the cell height) into cell coverage.
Coverage RenderGlyph(FT_Face face, int code, const Layout& layout) {
    Coverage cov(size_t(kCell) * kCell, 0);
    Extent e;
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(layout.pixel_size));
    if (!MeasureGlyph(face, code, e)) return cov;

    const double slot = GlyphSlot(static_cast<unsigned char>(code)) * kCell;
    const double room_x = slot - 2.0 * kMargin - 1.0;  // one pixel of air before the next glyph
    const double ink_w = std::max(e.x_max - e.x_min, 1e-3);
    const double sx = std::min(1.0, room_x / ink_w);
    const double room_up = layout.baseline - kMargin;
    const double room_down = kCell - kMargin - layout.baseline;
    double sy = 1.0;
    if (e.y_max > room_up) sy = std::min(sy, room_up / e.y_max);
    if (-e.y_min > room_down) sy = std::min(sy, room_down / -e.y_min);

    // Ink centred in the slot, never left of the margin.
    const double left = std::max<double>(kMargin, kMargin + (room_x - ink_w * sx) / 2.0);
    FT_Matrix m;
    m.xx = FT_Fixed(std::lround(sx * 65536.0));
    m.xy = 0;
    m.yx = 0;
    m.yy = FT_Fixed(std::lround(sy * 65536.0));
    FT_Vector delta;
    delta.x = FT_Pos(std::lround((left - e.x_min * sx) * 64.0));
    delta.y = 0;
    FT_Set_Transform(face, &m, &delta);
    if (FT_Load_Char(face, FT_ULong(code), FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) return cov;
    const FT_Bitmap& bm = face->glyph->bitmap;
    const int ox = face->glyph->bitmap_left;
    const int oy = int(std::lround(layout.baseline)) - face->glyph->bitmap_top;
    for (unsigned row = 0; row < bm.rows; ++row) {
        for (unsigned col = 0; col < bm.width; ++col) {
            int x = ox + int(col), y = oy + int(row);
            if (x < kMargin || y < kMargin || x >= kCell - kMargin || y >= kCell - kMargin) continue;
            uint8_t v = bm.buffer[size_t(row) * size_t(std::abs(bm.pitch)) + col];
            cov[size_t(y) * kCell + size_t(x)] = std::max(cov[size_t(y) * kCell + size_t(x)], v);
        }
    }
    FT_Set_Transform(face, nullptr, nullptr);
    return cov;
}

// Solid ink where the glyph covers at least half a pixel; a half-transparent dark rim
// around it; the transparent key everywhere else.
void PaintCell(Image& img, int cell_x, int cell_y, const Coverage& cov) {
    auto solid = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= kCell || y >= kCell) return false;
        return cov[size_t(y) * kCell + size_t(x)] >= 128;
    };
    auto clear_band = [](int x, int y) {
        return x < kClear || y < kClear || x >= kCell - kClear || y >= kCell - kClear;
    };
    for (int y = 0; y < kCell; ++y) {
        for (int x = 0; x < kCell; ++x) {
            Rgb c = kKeyTransparent;
            if (clear_band(x, y)) {
                // stays transparent
            } else if (solid(x, y)) {
                c = kInk;
            } else {
                bool near = cov[size_t(y) * kCell + size_t(x)] >= 24;
                for (int dy = -1; dy <= 1 && !near; ++dy)
                    for (int dx = -1; dx <= 1 && !near; ++dx) near = solid(x + dx, y + dy);
                if (near) c = kKeyHalfBlack;
            }
            img.at(cell_x * kCell + x, cell_y * kCell + y) = c;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp [FONT.ttf]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const std::string font = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

    FT_Library lib;
    if (FT_Init_FreeType(&lib) != 0) {
        std::fprintf(stderr, "FreeType cannot start\n");
        return 1;
    }
    FT_Face face;
    if (FT_New_Face(lib, font.c_str(), 0, &face) != 0) {
        std::fprintf(stderr, "cannot open font %s\n", font.c_str());
        FT_Done_FreeType(lib);
        return 1;
    }
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);  // Latin-1 codes equal their code points

    const Layout layout = ChooseLayout(face);
    if (layout.pixel_size == 0) {
        std::fprintf(stderr, "font does not fit a %d pixel cell\n", kCell);
        return 1;
    }
    Image img(kSize, kSize, kKeyTransparent);
    int glyphs = 0;
    for (int code = 32; code < 256; ++code) {
        if (!HasGlyph(code)) continue;
        const int col = code % kGrid, row = code / kGrid - 2;
        PaintCell(img, col, row, RenderGlyph(face, code, layout));
        ++glyphs;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);

    if (!WriteBmp(out, img)) {
        std::fprintf(stderr, "cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("font: %d glyphs, %d px cells, pixel size %d, baseline %.0f -> %s\n", glyphs, kCell,
                layout.pixel_size, layout.baseline, out.c_str());
    return 0;
}
