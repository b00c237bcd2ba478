// Ctext: all writing of the user interface. Draws strings from a 16 x 16 bitmap-font grid
// with proportional advances, optional rounded backgrounds behind a string, and framed
// panels, all as screen quads through DrawOpenGLBoxS. It owns no textures (the texture
// manager does) and leaves blending, depth and the matrices to the caller. Every call leaves
// the current colour white.
#pragma once

class Ctext {
public:
    Ctext(int fontTexture, int backTexture);
    ~Ctext();

    void SetBackColor(float r, float g, float b, float a);
    void SetDrawBackground(bool on);

    // Draws `text` from (x, y), y measured downwards from the interface top line, with cells
    // of cw x ch pixels in colour (r, g, b); with the background on, a rounded background whose
    // middle is `length` half character widths long goes behind it. Returns the advance in
    // pixels, truncated towards zero. No character is interpreted (a line feed is a glyph).
    int DrawTextGL(float x, float y, float cw, float ch, const char* text, float r, float g,
                   float b, float length);

    // The advance DrawTextGL would return for `text` with cells cw wide, without drawing.
    static int TextWidth(float cw, const char* text);

    // Draws `text` right to left so that it ends at x, y in upward drawing-space pixels, with
    // the narrower advances for numbers with units. Returns the (negative or zero) advance.
    int DrawTextGL_Flip(float x, float y, float cw, float ch, const char* text, float r, float g,
                        float b);

    // Draws a framed panel tinted with back_color covering w - 8 pixels across and h - 4
    // pixels down from (x, y), y measured downwards from the interface top line.
    void DrawBox(float x, float y, float w, float h);

    int font_texture;
    int back_texture;
    float back_color[4];
    bool draw_background;
};
