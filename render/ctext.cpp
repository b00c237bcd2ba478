#include "render/ctext.h"

#include "app/screen.h"

#include <GL/gl.h>

#include <cstring>

namespace {

// The interface top line lies this many pixels above the bottom of the drawing space.
constexpr float kInterfaceTop = 736.0f;

// An advance as a fraction of the cell width.
struct Advance {
    float numerator;
    float denominator;
};

constexpr Advance kFull{1.0f, 1.0f};

Advance TextAdvance(unsigned char c) {
    switch (c) {
        case '.': case ':': case 'I':
            return {1.0f, 4.0f};
        case 'J': case 'f': case 'i': case 'j': case 'l': case 'r': case 't':
            return {1.0f, 3.0f};
        case ' ': case ',': case '1': case '2': case '3': case '4': case '5': case '6':
        case '7': case '8': case '9': case '*': case '+': case '-': case '[': case 'A':
        case 'C': case 'F': case 'O': case 'P': case 'a': case 'b': case 'c': case 'd':
        case 'e': case 'g': case 'h': case 'k': case 'n': case 'o': case 'p': case 'q':
        case 's': case 'u': case 'v': case 'x': case 'y': case 'z':
            return {1.0f, 2.0f};
        case '0':
            return {3.0f, 5.0f};
        case 'Q': case 'S':
            return {2.0f, 3.0f};
        case 'B': case 'D': case 'E': case 'G': case 'H': case 'K': case 'L': case 'M':
        case 'N': case 'R': case 'T': case 'U': case 'V': case 'X': case 'Y': case 'Z':
        case 'm': case 'w':
            return {3.0f, 4.0f};
        case 'W':
            return {5.0f, 6.0f};
        default:
            return kFull;
    }
}

// The narrower table of the right-aligned variant, suited to numbers with units.
Advance FlipAdvance(unsigned char c) {
    switch (c) {
        case '.':
            return {1.0f, 4.0f};
        case '/': case '1': case '2': case '3': case '4': case '5': case '6': case '7':
        case '8': case '9':
            return {1.0f, 2.0f};
        case '0':
            return {3.0f, 5.0f};
        case 'K': case 'm':
            return {3.0f, 4.0f};
        default:
            return kFull;
    }
}

float AdvanceWidth(Advance a, float cw) { return cw / a.denominator * a.numerator; }

// Binds a texture with the filter the interface textures are sampled with. A failed load
// (negative name) binds no texture instead of creating an empty one under a bogus name.
void BindInterfaceTexture(int texture) {
    glBindTexture(GL_TEXTURE_2D, texture < 0 ? 0u : static_cast<GLuint>(texture));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}

// Draws the glyph of byte c over its whole cell: column c mod 16, row c div 16 - 2 (bytes
// below 32 give negative rows, which the texture's wrapping resolves).
void DrawGlyph(unsigned char c, float x, float y, float cw, float ch) {
    const float column = static_cast<float>(c % 16);
    const float row = static_cast<float>(c / 16) - 2.0f;
    DrawOpenGLBoxS(x, y, cw, -ch, column, row, 16.0f, 16.0f);
}

// Rounded caps from the 2 x 2 quadrants and the middle strips from the 4 x 4 grid.
void DrawTextBackground(float x, float top, float cw, float ch, float length) {
    const float half = cw / 2.0f;
    const float middle = half * length;
    DrawOpenGLBoxS(x, top - ch / 2.0f, half, -ch / 2.0f, 0.0f, 1.0f, 2.0f, 2.0f);
    DrawOpenGLBoxS(x, top, half, -ch / 2.0f, 0.0f, 0.0f, 2.0f, 2.0f);
    const float mx = x + half;
    DrawOpenGLBoxS(mx, top, middle, -ch / 4.0f, 1.0f, 0.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(mx, top - ch / 4.0f, middle, -ch / 2.0f, 1.0f, 1.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(mx, top - 3.0f * ch / 4.0f, middle, -ch / 4.0f, 1.0f, 3.0f, 4.0f, 4.0f);
    const float rx = x + half + middle;
    DrawOpenGLBoxS(rx, top - ch / 2.0f, half, -ch / 2.0f, 1.0f, 1.0f, 2.0f, 2.0f);
    DrawOpenGLBoxS(rx, top, half, -ch / 2.0f, 1.0f, 0.0f, 2.0f, 2.0f);
}

}  // namespace

Ctext::Ctext(int fontTexture, int backTexture)
    : font_texture(fontTexture),
      back_texture(backTexture),
      back_color{1.0f, 1.0f, 1.0f, 0.5f},
      draw_background(false) {}

Ctext::~Ctext() = default;

void Ctext::SetBackColor(float r, float g, float b, float a) {
    back_color[0] = r;
    back_color[1] = g;
    back_color[2] = b;
    back_color[3] = a;
}

void Ctext::SetDrawBackground(bool on) { draw_background = on; }

int Ctext::TextWidth(float cw, const char* text) {
    float pen = 0.0f;
    for (const char* p = text ? text : ""; *p; ++p) pen += AdvanceWidth(TextAdvance(static_cast<unsigned char>(*p)), cw);
    return static_cast<int>(pen);
}

int Ctext::DrawTextGL(float x, float y, float cw, float ch, const char* text, float r, float g,
                      float b, float length) {
    const float top = kInterfaceTop - y;
    if (draw_background) {
        glColor4f(back_color[0], back_color[1], back_color[2], 1.0f);
        BindInterfaceTexture(back_texture);
        DrawTextBackground(x, top, cw, ch, length);
    }
    glColor3f(r, g, b);
    BindInterfaceTexture(font_texture);
    float pen = x;
    for (const char* p = text ? text : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        DrawGlyph(c, pen, top, cw, ch);
        pen += AdvanceWidth(TextAdvance(c), cw);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    return static_cast<int>(pen - x);
}

int Ctext::DrawTextGL_Flip(float x, float y, float cw, float ch, const char* text, float r,
                           float g, float b) {
    glColor3f(r, g, b);
    BindInterfaceTexture(font_texture);
    float pen = x;
    const char* begin = text ? text : "";
    for (const char* p = begin + std::strlen(begin); p != begin;) {
        --p;
        const unsigned char c = static_cast<unsigned char>(*p);
        pen -= AdvanceWidth(FlipAdvance(c), cw);
        DrawGlyph(c, pen, y, cw, ch);
    }
    glColor3f(1.0f, 1.0f, 1.0f);
    return static_cast<int>(pen - x);
}

void Ctext::DrawBox(float x, float y, float w, float h) {
    glColor4f(back_color[0], back_color[1], back_color[2], back_color[3]);
    BindInterfaceTexture(back_texture);
    const float top = kInterfaceTop - y;
    const float right = x + w - 12.0f;
    const float bottom = top - (h - 8.0f);
    const float innerW = w - 16.0f;
    const float innerH = h - 12.0f;
    DrawOpenGLBoxS(x, top, 4.0f, -4.0f, 0.0f, 0.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(x, top - 4.0f, 4.0f, -innerH, 0.0f, 1.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(x, bottom, 4.0f, -4.0f, 0.0f, 3.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(right, top, 4.0f, -4.0f, 3.0f, 0.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(right, top - 4.0f, 4.0f, -innerH, 3.0f, 1.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(right, bottom, 4.0f, -4.0f, 3.0f, 3.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(x + 4.0f, top, innerW, -4.0f, 1.0f, 0.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(x + 4.0f, bottom, innerW, -4.0f, 1.0f, 3.0f, 4.0f, 4.0f);
    DrawOpenGLBoxS(x + 4.0f, top - 4.0f, innerW, -innerH, 1.0f, 1.0f, 4.0f, 4.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
}
