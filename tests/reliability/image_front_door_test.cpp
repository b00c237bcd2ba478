// The image front door against the fuzz seeds: every sound seed image decodes; refused
// formats, inputs that once broke the decoder and variants it cannot read do not.
#include "render/ctexture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Decodes(const fs::path& path) {
    const std::vector<unsigned char> bytes = Bytes(path);
    int w = 0, h = 0;
    return bytes.size() > 0 && DecodeImageBytes(bytes.data(), bytes.size(), &w, &h) != nullptr && w > 0 && h > 0;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

TEST(ImageFrontDoor, SoundSeedsDecodeRefusedAndFindingsDoNot) {
    int sound = 0, turned_away = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(std::string(MORVA_SOURCE_DIR) + "/tests/fuzz/corpus/image")) {
        const std::string name = e.path().filename().string();
        SCOPED_TRACE(name);
        if (StartsWith(name, "refused-") || StartsWith(name, "finding-") || StartsWith(name, "undecodable-")) {
            EXPECT_FALSE(Decodes(e.path()));
            ++turned_away;
        } else {
            EXPECT_TRUE(Decodes(e.path()));
            ++sound;
        }
    }
    EXPECT_GE(sound, 20);
    EXPECT_GE(turned_away, 3);
}

TEST(ImageFrontDoor, ShippedJpegAndBitmapAssetsDecode) {
    for (const char* asset : {"img/sky.jpg", "maps/back.jpg", "maps/font.bmp"}) {
        SCOPED_TRACE(asset);
        EXPECT_TRUE(Decodes(std::string(MORVA_ASSETS_DIR) + "/" + asset));
    }
}

}  // namespace
