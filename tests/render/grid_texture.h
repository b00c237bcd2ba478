// Test textures and pixel helpers for the screen-quad and text tests: a grid with one texel
// per cell, each cell a colour of its own, so a pixel read back tells which cell was sampled.
// Nearest sampling for magnification keeps cells crisp; a full mipmap chain keeps the texture
// complete under the mipmapped minification filter the text renderer sets.
#pragma once

#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace morva_test {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

// The colour of a read-back pixel (x to the right, y upwards).
inline Rgb ColourAt(const Pixels& p, int x, int y) {
    const uint8_t* c = p.at(x, y);
    return {c[0], c[1], c[2]};
}

inline bool IsBlack(const Pixels& p, int x, int y) { return ColourAt(p, x, y) == Rgb{0, 0, 0}; }

// The colour of grid cell (column, row); distinct for grids of up to 16 x 16 cells.
inline Rgb GridCellColour(int column, int row) {
    return {uint8_t(column * 16 + 8), uint8_t(row * 16 + 8), 200};
}

// A columns x rows texture, row 0 uploaded first (the top of the image); repeat wrapping.
inline GLuint MakeGridTexture(int columns, int rows) {
    std::vector<uint8_t> texels(std::size_t(columns) * std::size_t(rows) * 4, 255);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const Rgb c = GridCellColour(column, row);
            uint8_t* texel = &texels[(std::size_t(row) * std::size_t(columns) + std::size_t(column)) * 4];
            texel[0] = c.r;
            texel[1] = c.g;
            texel[2] = c.b;
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, columns, rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    return name;
}

// A plain opaque white texture (the quad then shows the current colour).
inline GLuint MakeWhiteTexture() {
    const std::vector<uint8_t> texels(4 * 4 * 4, 255);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

}  // namespace morva_test
