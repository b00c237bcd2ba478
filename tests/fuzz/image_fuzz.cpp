// Fuzz target: the image front door of the texture manager (signature and header checks,
// then decoding). Checks that an accepted image has the size its header claimed, within the
// limits, and that its
// whole pixel buffer can be read (under AddressSanitizer a short buffer is a finding).
// Inputs whose header claims more than kFuzzedPixels are skipped: decoding them takes up to
// a second each and runs the same decoder code as small ones (the size limits themselves
// are checked by the broken-file tests).
#include "tests/fuzz/fuzz_check.h"

#include "render/ctexture.h"

#include <cstdint>

namespace {

constexpr int64_t kFuzzedPixels = 512 * 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    int claimed_w = 0, claimed_h = 0;
    if (CheckImageHeader(data, size, &claimed_w, &claimed_h) && int64_t(claimed_w) * claimed_h > kFuzzedPixels) {
        return 0;
    }
    int width = -7, height = -7;
    ImagePixels pixels = DecodeImageBytes(data, size, &width, &height);
    if (!pixels) {
        FUZZ_CHECK(width == -7 && height == -7);
        return 0;
    }
    // The decoder delivers the size the header check saw, so the limits hold for the pixels.
    FUZZ_CHECK(width == claimed_w && height == claimed_h);
    FUZZ_CHECK(width >= 1 && height >= 1 && width <= 16384 && height <= 16384);
    const int64_t bytes = int64_t(width) * height * 4;
    FUZZ_CHECK(bytes <= int64_t(64) * 1024 * 1024 * 4);
    // First and last byte of every row: the buffer holds all rows at full width.
    const unsigned char* p = pixels.get();
    volatile unsigned char sink = 0;
    for (int64_t row = 0; row < height; ++row) sink = sink ^ p[row * width * 4] ^ p[row * width * 4 + width * 4 - 1];
    (void)sink;
    return 0;
}
