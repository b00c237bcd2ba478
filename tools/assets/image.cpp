#include "tools/assets/image.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace morva_assets {

static_assert(sizeof(Rgb) == 3, "pixels are handed to the codecs as packed RGB");

bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

bool IsKey(Rgb c) { return c == kKeyTransparent || c == kKeyTransparent2 || c == kKeyHalfBlack; }

Image::Image(int w, int h, Rgb fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

Rgb FromFloat(double r, double g, double b) {
    auto q = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return {q(r), q(g), q(b)};
}

int AvoidKeys(Image& image) {
    int changed = 0;
    for (Rgb& p : image.pixels) {
        if (IsKey(p)) {
            p.b = uint8_t(p.b - 1);
            ++changed;
        }
    }
    return changed;
}

namespace {

// Runs a writer against a temporary name and moves the result into place.
bool WriteAtomically(const std::string& path, const std::function<int(const char*)>& write) {
    std::string tmp = path + ".tmp";
    if (write(tmp.c_str()) == 0) {
        std::remove(tmp.c_str());
        return false;
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

const void* Bytes(const Image& image) { return image.pixels.data(); }

}  // namespace

bool WritePng(const std::string& path, const Image& image) {
    return WriteAtomically(path, [&](const char* p) {
        return stbi_write_png(p, image.width, image.height, 3, Bytes(image), image.width * 3);
    });
}

bool WriteBmp(const std::string& path, const Image& image) {
    return WriteAtomically(path, [&](const char* p) {
        return stbi_write_bmp(p, image.width, image.height, 3, Bytes(image));
    });
}

bool WriteJpg(const std::string& path, const Image& image, int quality) {
    return WriteAtomically(path, [&](const char* p) {
        return stbi_write_jpg(p, image.width, image.height, 3, Bytes(image), quality);
    });
}

Image ReadImage(const std::string& path) {
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.c_str(), &w, &h, &channels, 3);
    Image image;
    if (!data) return image;
    image = Image(w, h, Rgb{});
    std::copy(data, data + size_t(w) * size_t(h) * 3, reinterpret_cast<unsigned char*>(image.pixels.data()));
    stbi_image_free(data);
    return image;
}

}  // namespace morva_assets
