// The horizontal advance classes of the editor's bitmap text, as fractions of the cell
// width, for sizing glyphs in the font bitmap. Owns nothing; pure functions.
#pragma once

namespace morva_assets {

struct Fraction {
    int num = 1;
    int den = 1;
    double value() const { return double(num) / double(den); }
};

// Advance of a byte in left-to-right text.
Fraction TextAdvance(unsigned char c);
// Advance of a byte in right-aligned number text (units such as "mm" and "deg").
Fraction FlipAdvance(unsigned char c);

// The width a glyph may use in the font bitmap: the narrower of both advances, so that
// it never runs into the next character in either kind of text.
double GlyphSlot(unsigned char c);

}  // namespace morva_assets
