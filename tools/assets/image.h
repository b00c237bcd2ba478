// RGB images for the start-up textures: pixel access, the editor's colour keys, and
// lossless/lossy writers that never leave half a file behind.
// Owns nothing beyond its pixel vectors; never talks to GL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace morva_assets {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};
bool operator==(Rgb a, Rgb b);

// The texture manager's colour keys (decoded R, G, B compared exactly).
constexpr Rgb kKeyTransparent{255, 174, 201};
constexpr Rgb kKeyTransparent2{191, 123, 199};
constexpr Rgb kKeyHalfBlack{255, 191, 213};

bool IsKey(Rgb c);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;  // rows top to bottom

    Image() = default;
    Image(int w, int h, Rgb fill);
    Rgb& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    Rgb at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Colour from floats in [0, 1], clamped and rounded.
Rgb FromFloat(double r, double g, double b);
// Moves any pixel that happens to equal a colour key by one step, so that an opaque
// texture never turns partly transparent in the editor. Returns how many changed.
int AvoidKeys(Image& image);

bool WritePng(const std::string& path, const Image& image);
bool WriteBmp(const std::string& path, const Image& image);
bool WriteJpg(const std::string& path, const Image& image, int quality);
// Decodes a file the way the editor does (stb_image, 3 components here). Empty on failure.
Image ReadImage(const std::string& path);

}  // namespace morva_assets
