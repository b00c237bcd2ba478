// Fuzz target: the image front door of the texture manager (signature and header checks,
// then decoding). Checks that an accepted image respects the size limits and that its
// whole pixel buffer can be read (under AddressSanitizer a short buffer is a finding).
#include "tests/fuzz/fuzz_check.h"

#include "render/ctexture.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    int width = -7, height = -7;
    ImagePixels pixels = DecodeImageBytes(data, size, &width, &height);
    if (!pixels) {
        FUZZ_CHECK(width == -7 && height == -7);
        return 0;
    }
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
