// morva-gen-back: the frame bitmap (maps/back.jpg) for panels and text backgrounds.
// One light grey rounded rectangle with a darker rim fills the image; its corner radius
// is one cell of the 4 x 4 grid, so the corner cells hold rounded corners, the edge and
// centre cells stretch cleanly, and the 2 x 2 quadrants give rounded end caps.
// Outside the corners the pixels carry the transparent colour key. JPEG is lossy, so the
// keyed area is laid out in whole 8 x 8 blocks, written without chroma subsampling at
// quality 100 straight from YCbCr values (no colour conversion on the way in), the key's
// YCbCr triple is chosen so that the editor's decoder gives the key exactly, and the
// written file is decoded and checked.
// Usage: morva-gen-back OUTPUT.jpg
#include "tools/assets/image.h"

#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace morva_assets;

namespace {

constexpr int kSize = 512;            // 4 x 4 cells of 128 pixels
constexpr int kRadius = kSize / 4;    // corner radius: one cell
constexpr int kBlock = 8;             // JPEG block size
constexpr double kRim = 20.0;         // rim width in pixels
constexpr Rgb kFill{226, 228, 231};
constexpr Rgb kRimColour{150, 153, 158};

// Signed distance from the rounded rectangle's outline, positive inside.
double InsideDistance(double x, double y) {
    const double lo = kRadius, hi = kSize - kRadius;
    const double cx = x < lo ? lo : (x > hi ? hi : x);
    const double cy = y < lo ? lo : (y > hi ? hi : y);
    if (cx != x && cy != y) return kRadius - std::hypot(x - cx, y - cy);  // corner region
    return std::min(std::min(x, kSize - x), std::min(y, kSize - y));
}

// A block is transparent when its centre lies outside the rounded outline.
bool BlockIsKeyed(int bx, int by) {
    return InsideDistance(bx * kBlock + kBlock / 2.0, by * kBlock + kBlock / 2.0) < 0;
}

// Full-range JFIF conversion used for every pixel that is not the key.
Rgb ToYCbCr(Rgb c) {
    const double r = c.r, g = c.g, b = c.b;
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const double cb = 128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b;
    const double cr = 128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b;
    auto q = [](double v) { return uint8_t(std::lround(std::clamp(v, 0.0, 255.0))); };
    return {q(y), q(cb), q(cr)};
}

// The bitmap in YCbCr, keyed blocks holding `key_ycc`.
Image Draw(Rgb key_ycc) {
    Image img(kSize, kSize, ToYCbCr(kFill));
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            if (BlockIsKeyed(x / kBlock, y / kBlock)) {
                img.at(x, y) = key_ycc;
                continue;
            }
            const double d = InsideDistance(x + 0.5, y + 0.5);
            // Rim with a soft inner edge.
            const double t = std::clamp((d - kRim) / 3.0, 0.0, 1.0);
            auto mix = [t](uint8_t a, uint8_t b) { return uint8_t(std::lround(a + (b - a) * t)); };
            img.at(x, y) = ToYCbCr({mix(kRimColour.r, kFill.r), mix(kRimColour.g, kFill.g), mix(kRimColour.b, kFill.b)});
        }
    }
    return img;
}

// Baseline JPEG, quality 100, 1x1 sampling on all three components, pixels given as YCbCr.
bool WriteYCbCrJpeg(const std::string& path, const Image& ycc) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, file);
    c.image_width = JDIMENSION(ycc.width);
    c.image_height = JDIMENSION(ycc.height);
    c.input_components = 3;
    c.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_YCbCr);
    jpeg_set_quality(&c, 100, TRUE);
    for (int k = 0; k < 3; ++k) {
        c.comp_info[k].h_samp_factor = 1;
        c.comp_info[k].v_samp_factor = 1;
    }
    c.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(ycc.width) * 3);
    while (c.next_scanline < c.image_height) {
        const Rgb* src = &ycc.pixels[size_t(c.next_scanline) * size_t(ycc.width)];
        for (int x = 0; x < ycc.width; ++x) {
            row[size_t(x) * 3] = src[x].r;
            row[size_t(x) * 3 + 1] = src[x].g;
            row[size_t(x) * 3 + 2] = src[x].b;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const bool ok = std::ferror(file) == 0;
    return std::fclose(file) == 0 && ok;
}

// Finds a YCbCr triple whose flat blocks decode to exactly the transparent key.
bool FindKeyInput(const std::string& scratch, Rgb& found) {
    const Rgb nominal = ToYCbCr(kKeyTransparent);
    std::vector<Rgb> candidates;
    for (int dy = -8; dy <= 8; ++dy)
        for (int db = -8; db <= 8; ++db)
            for (int dr = -8; dr <= 8; ++dr)
                candidates.push_back({uint8_t(nominal.r + dy), uint8_t(nominal.g + db), uint8_t(nominal.b + dr)});
    // Nearest to the nominal conversion first.
    auto dist = [nominal](Rgb c) {
        return std::abs(c.r - nominal.r) + std::abs(c.g - nominal.g) + std::abs(c.b - nominal.b);
    };
    std::stable_sort(candidates.begin(), candidates.end(), [&](Rgb a, Rgb b) { return dist(a) < dist(b); });
    Image probe(int(candidates.size()) * kBlock, kBlock, Rgb{});
    for (size_t i = 0; i < candidates.size(); ++i)
        for (int y = 0; y < kBlock; ++y)
            for (int x = 0; x < kBlock; ++x) probe.at(int(i) * kBlock + x, y) = candidates[i];
    const bool written = WriteYCbCrJpeg(scratch, probe);
    const Image back = written ? ReadImage(scratch) : Image();
    std::remove(scratch.c_str());
    if (back.width != probe.width || back.height != probe.height) return false;
    for (size_t i = 0; i < candidates.size(); ++i) {
        bool exact = true;
        for (int y = 0; y < kBlock && exact; ++y)
            for (int x = 0; x < kBlock && exact; ++x)
                exact = back.at(int(i) * kBlock + x, y) == kKeyTransparent;
        if (exact) {
            found = candidates[i];
            return true;
        }
    }
    return false;
}

// Counts keyed pixels that did not decode to the exact key, and other pixels that did.
int CountKeyErrors(const Image& decoded) {
    int errors = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            if (BlockIsKeyed(x / kBlock, y / kBlock) != (decoded.at(x, y) == kKeyTransparent)) ++errors;
    return errors;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.jpg\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    Rgb key_input;
    if (!FindKeyInput(out + ".probe.jpg", key_input)) {
        std::fprintf(stderr, "no encodable colour decodes to the transparent key exactly\n");
        return 1;
    }
    const std::string staged = out + ".new.jpg";
    if (!WriteYCbCrJpeg(staged, Draw(key_input))) {
        std::fprintf(stderr, "cannot write %s\n", staged.c_str());
        return 1;
    }
    const Image decoded = ReadImage(staged);
    const int errors = decoded.width == kSize && decoded.height == kSize ? CountKeyErrors(decoded) : -1;
    if (errors != 0) {
        std::remove(staged.c_str());
        std::fprintf(stderr, "decoded frame bitmap breaks the colour key (%d pixels)\n", errors);
        return 1;
    }
    if (std::rename(staged.c_str(), out.c_str()) != 0) {
        std::remove(staged.c_str());
        std::fprintf(stderr, "cannot move %s into place\n", out.c_str());
        return 1;
    }
    std::printf("back: %dx%d, key written as YCbCr (%d,%d,%d), keys verified -> %s\n", kSize, kSize, key_input.r,
                key_input.g, key_input.b, out.c_str());
    return 0;
}
