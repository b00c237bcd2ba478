// Texture manager: the shared path table, colour keys on the uploaded pixels, texture
// parameters and the refusal of hostile or unsupported image files.
#include "render/ctexture.h"

#include "tests/support/gl_test.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void WriteBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// An RGBA PNG of w x h filled with one colour.
void WriteSolidPng(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = r;
        rgba[i + 1] = g;
        rgba[i + 2] = b;
        rgba[i + 3] = 255;
    }
    ASSERT_NE(stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4), 0);
}

void PutLE(Bytes& b, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
void PutBE(Bytes& b, size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * (n - 1 - i)));
}

// A 24-bit BMP header with no pixel data: the decoder fills the missing rows with zeros, so
// such a file decodes into an image of whatever size the header claims.
Bytes BmpHeaderOnly(uint32_t w, uint32_t h) {
    Bytes b(54, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutLE(b, 2, 54, 4);
    PutLE(b, 10, 54, 4);  // pixel data offset
    PutLE(b, 14, 40, 4);  // info header size
    PutLE(b, 18, w, 4);
    PutLE(b, 22, h, 4);
    PutLE(b, 26, 1, 2);   // planes
    PutLE(b, 28, 24, 2);  // bits per pixel
    return b;
}

// A PNG signature and IHDR chunk claiming the given size, with nothing behind it.
Bytes PngHeaderOnly(uint32_t w, uint32_t h) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    b.resize(8 + 25, 0);
    PutBE(b, 8, 13, 4);
    b[12] = 'I';
    b[13] = 'H';
    b[14] = 'D';
    b[15] = 'R';
    PutBE(b, 16, w, 4);
    PutBE(b, 20, h, 4);
    b[24] = 8;  // bit depth
    b[25] = 6;  // RGBA
    return b;
}

// A complete 1 x 1 GIF.
const Bytes kTinyGif = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xff, 0xff,
                        0xff, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00,
                        0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};

// A complete 2 x 2 binary PPM.
Bytes TinyPpm() {
    const std::string header = "P6\n2 2\n255\n";
    Bytes b(header.begin(), header.end());
    b.resize(b.size() + 12, 200);
    return b;
}

// A 2 x 2 RGB PSD with raw planar data: red plane 10, green 20, blue 30.
Bytes TinyPsd() {
    Bytes b(26 + 4 + 4 + 4 + 2, 0);
    b[0] = '8';
    b[1] = 'B';
    b[2] = 'P';
    b[3] = 'S';
    PutBE(b, 4, 1, 2);   // version
    PutBE(b, 12, 3, 2);  // channels
    PutBE(b, 14, 2, 4);  // height
    PutBE(b, 18, 2, 4);  // width
    PutBE(b, 22, 8, 2);  // bits per channel
    PutBE(b, 24, 3, 2);  // RGB colour mode
    for (uint8_t plane : {10, 20, 30}) b.insert(b.end(), 4, plane);
    return b;
}

bool DecoderReads(const Bytes& b) {
    int w = 0, h = 0, c = 0;
    stbi_uc* p = stbi_load_from_memory(b.data(), int(b.size()), &w, &h, &c, 4);
    stbi_image_free(p);
    return p != nullptr;
}

// Level 0 of a texture as RGBA bytes, rows bottom-up in upload order.
std::vector<uint8_t> ReadLevel0(int texture, int w, int h) {
    std::vector<uint8_t> pixels(size_t(w) * h * 4, 0xEE);
    glBindTexture(GL_TEXTURE_2D, GLuint(texture));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

class CtextureTest : public morva_test::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        dir_ = morva_test::MakeTempDir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        textures_.Free();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    std::string dir_;
    Ctexture textures_;
};

// ---- The shared table ----

TEST_F(CtextureTest, SecondLoadOfSamePathSharesNameAndCountsUse) {
    WriteSolidPng(Path("a.png"), 4, 4, 10, 20, 30);
    const int first = textures_.Load(Path("a.png").c_str());
    ASSERT_GT(first, 0);
    EXPECT_TRUE(glIsTexture(GLuint(first)));
    EXPECT_EQ(textures_.Load(Path("a.png").c_str()), first);
    ASSERT_EQ(textures_.texture_ids.size(), 1u);
    ASSERT_EQ(textures_.file_names.size(), 1u);
    ASSERT_EQ(textures_.use_counts.size(), 1u);
    EXPECT_EQ(textures_.use_counts[0], 2);
    EXPECT_STREQ(textures_.file_names[0].get(), Path("a.png").c_str());
}

TEST_F(CtextureTest, FreeByPathDeletesOnlyWhenTheLastUseIsGivenBack) {
    WriteSolidPng(Path("a.png"), 4, 4, 1, 2, 3);
    std::string path = Path("a.png");
    const int name = textures_.Load(path.c_str());
    textures_.Load(path.c_str());
    textures_.Free(&path[0]);  // the char* form
    ASSERT_EQ(textures_.use_counts.size(), 1u);
    EXPECT_EQ(textures_.use_counts[0], 1);
    EXPECT_TRUE(glIsTexture(GLuint(name)));
    textures_.Free(path.c_str());
    EXPECT_TRUE(textures_.texture_ids.empty());
    EXPECT_TRUE(textures_.file_names.empty());
    EXPECT_TRUE(textures_.use_counts.empty());
    EXPECT_FALSE(glIsTexture(GLuint(name)));
}

TEST_F(CtextureTest, FreeByNameRemovesOnlyThatEntry) {
    WriteSolidPng(Path("a.png"), 4, 4, 1, 2, 3);
    WriteSolidPng(Path("b.png"), 4, 4, 4, 5, 6);
    const int a = textures_.Load(Path("a.png").c_str());
    const int b = textures_.Load(Path("b.png").c_str());
    textures_.Load(Path("b.png").c_str());
    textures_.Free(b);
    EXPECT_EQ(textures_.use_counts[1], 1);
    textures_.Free(a);
    ASSERT_EQ(textures_.texture_ids.size(), 1u);
    EXPECT_EQ(int(textures_.texture_ids[0]), b);
    EXPECT_STREQ(textures_.file_names[0].get(), Path("b.png").c_str());
    EXPECT_EQ(textures_.use_counts[0], 1);
    EXPECT_FALSE(glIsTexture(GLuint(a)));
    EXPECT_TRUE(glIsTexture(GLuint(b)));
}

TEST_F(CtextureTest, FreeOfSomethingNotLoadedChangesNothing) {
    WriteSolidPng(Path("a.png"), 4, 4, 1, 2, 3);
    const int a = textures_.Load(Path("a.png").c_str());
    textures_.Free(a + 1000);
    textures_.Free(-1);
    textures_.Free(Path("other.png").c_str());
    ASSERT_EQ(textures_.use_counts.size(), 1u);
    EXPECT_EQ(textures_.use_counts[0], 1);
    EXPECT_TRUE(glIsTexture(GLuint(a)));
}

TEST_F(CtextureTest, FreeAllEmptiesTheTableAndALaterLoadDecodesAgain) {
    WriteSolidPng(Path("a.png"), 4, 4, 1, 2, 3);
    WriteSolidPng(Path("b.png"), 8, 2, 1, 2, 3);
    const int a = textures_.Load(Path("a.png").c_str());
    const int b = textures_.Load(Path("b.png").c_str());
    textures_.Load(Path("b.png").c_str());
    textures_.Free();
    EXPECT_TRUE(textures_.texture_ids.empty());
    EXPECT_TRUE(textures_.file_names.empty());
    EXPECT_TRUE(textures_.use_counts.empty());
    EXPECT_FALSE(glIsTexture(GLuint(a)));
    EXPECT_FALSE(glIsTexture(GLuint(b)));

    const int again = textures_.Load(Path("a.png").c_str());
    ASSERT_GT(again, 0);
    EXPECT_TRUE(glIsTexture(GLuint(again)));
    EXPECT_EQ(textures_.use_counts[0], 1);
    EXPECT_EQ(textures_.width, 4);  // decoded anew, not the 8 x 2 image decoded last
}

TEST_F(CtextureTest, ByteDistinctSpellingsOfOneFileAreTwoEntries) {
    WriteSolidPng(Path("sky.png"), 4, 4, 1, 2, 3);
    const int plain = textures_.Load(Path("sky.png").c_str());
    const int dotted = textures_.Load((dir_ + "/./sky.png").c_str());
    ASSERT_GT(plain, 0);
    ASSERT_GT(dotted, 0);
    EXPECT_NE(plain, dotted);
    EXPECT_EQ(textures_.texture_ids.size(), 2u);
}

TEST_F(CtextureTest, CacheHitKeepsTheSizeOfTheLastDecodedImage) {
    WriteSolidPng(Path("small.png"), 4, 2, 1, 2, 3);
    WriteSolidPng(Path("big.png"), 16, 8, 1, 2, 3);
    textures_.Load(Path("small.png").c_str());
    EXPECT_EQ(textures_.width, 4);
    EXPECT_EQ(textures_.height, 2);
    textures_.Load(Path("big.png").c_str());
    textures_.Load(Path("small.png").c_str());
    EXPECT_EQ(textures_.width, 16);
    EXPECT_EQ(textures_.height, 8);
}

// ---- Failures ----

TEST_F(CtextureTest, DecodeFailureAddsNothingAndTheFixedFileLoadsLater) {
    const std::string path = Path("broken.png");
    WriteBytes(path, {0x89, 'P', 'N', 'G', 1, 2, 3});
    EXPECT_EQ(textures_.Load(path.c_str()), -1);
    EXPECT_TRUE(textures_.texture_ids.empty());
    EXPECT_TRUE(textures_.file_names.empty());
    EXPECT_TRUE(textures_.use_counts.empty());
    WriteSolidPng(path, 4, 4, 9, 9, 9);
    EXPECT_GT(textures_.Load(path.c_str()), 0);
    EXPECT_EQ(textures_.use_counts.size(), 1u);
}

TEST_F(CtextureTest, MissingFileDirectoryAndEmptyFileAreRefused) {
    WriteBytes(Path("empty.png"), {});
    std::filesystem::create_directory(Path("folder.png"));
    EXPECT_EQ(textures_.Load(Path("missing.png").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("folder.png").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("empty.png").c_str()), -1);
    EXPECT_EQ(textures_.Load(static_cast<const char*>(nullptr)), -1);
    EXPECT_TRUE(textures_.texture_ids.empty());
}

TEST_F(CtextureTest, GifAndPnmAreRefusedEvenThoughTheDecoderCouldReadThem) {
    ASSERT_TRUE(DecoderReads(kTinyGif));
    ASSERT_TRUE(DecoderReads(TinyPpm()));
    WriteBytes(Path("tiny.gif"), kTinyGif);
    WriteBytes(Path("tiny.ppm"), TinyPpm());
    EXPECT_EQ(textures_.Load(Path("tiny.gif").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("tiny.ppm").c_str()), -1);
    EXPECT_TRUE(textures_.texture_ids.empty());
}

TEST_F(CtextureTest, OversizedImagesAreRefusedBeforeDecoding) {
    // Header-only bitmaps decode into zero-filled images of the claimed size.
    ASSERT_TRUE(DecoderReads(BmpHeaderOnly(20, 1)));
    WriteBytes(Path("edge.bmp"), BmpHeaderOnly(16384, 1));
    WriteBytes(Path("wide.bmp"), BmpHeaderOnly(16385, 1));
    WriteBytes(Path("tall.bmp"), BmpHeaderOnly(1, 16385));
    WriteBytes(Path("many.bmp"), BmpHeaderOnly(8193, 8192));  // just over 64 M pixels
    WriteBytes(Path("huge.png"), PngHeaderOnly(100000, 100000));
    EXPECT_EQ(textures_.Load(Path("wide.bmp").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("tall.bmp").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("many.bmp").c_str()), -1);
    EXPECT_EQ(textures_.Load(Path("huge.png").c_str()), -1);
    EXPECT_TRUE(textures_.texture_ids.empty());
    EXPECT_GT(textures_.Load(Path("edge.bmp").c_str()), 0);
    EXPECT_EQ(textures_.width, 16384);
}

TEST_F(CtextureTest, FileOverTheSizeLimitIsRefused) {
    const std::string path = Path("padded.png");
    WriteSolidPng(path, 2, 2, 1, 2, 3);
    // Trailing bytes behind the PNG end are ignored by the decoder; the file is sparse.
    ASSERT_EQ(truncate(path.c_str(), 256LL * 1024 * 1024 + 1), 0);
    EXPECT_EQ(textures_.Load(path.c_str()), -1);
    ASSERT_EQ(truncate(path.c_str(), 1024 * 1024), 0);
    EXPECT_GT(textures_.Load(path.c_str()), 0);
}

TEST_F(CtextureTest, EverySupportedFormatLoads) {
    const uint8_t rgb[2 * 2 * 3] = {200, 100, 50, 200, 100, 50, 200, 100, 50, 200, 100, 50};
    const float hdr[2 * 2 * 3] = {0.5f, 0.25f, 0.125f, 0.5f, 0.25f, 0.125f, 0.5f, 0.25f, 0.125f, 0.5f, 0.25f, 0.125f};
    ASSERT_NE(stbi_write_jpg(Path("a.jpg").c_str(), 2, 2, 3, rgb, 90), 0);
    ASSERT_NE(stbi_write_bmp(Path("a.bmp").c_str(), 2, 2, 3, rgb), 0);
    ASSERT_NE(stbi_write_tga(Path("a.tga").c_str(), 2, 2, 3, rgb), 0);
    ASSERT_NE(stbi_write_hdr(Path("a.hdr").c_str(), 2, 2, 3, hdr), 0);
    WriteBytes(Path("a.psd"), TinyPsd());
    WriteSolidPng(Path("a.png"), 2, 2, 1, 2, 3);
    for (const char* name : {"a.jpg", "a.bmp", "a.tga", "a.hdr", "a.psd", "a.png"}) {
        EXPECT_GT(textures_.Load(Path(name).c_str()), 0) << name;
    }
    const int psd = textures_.Load(Path("a.psd").c_str());
    const std::vector<uint8_t> level0 = ReadLevel0(psd, 2, 2);
    EXPECT_EQ(level0[0], 10);
    EXPECT_EQ(level0[1], 20);
    EXPECT_EQ(level0[2], 30);
}

// ---- Colour keys and upload ----

TEST_F(CtextureTest, ColourKeysDecideAlphaAndTheFileAlphaIsDiscarded) {
    // Eight pixels, top row first.
    const uint8_t rgba[8 * 4] = {
        255, 174, 201, 255,  // key: transparent, colour kept
        191, 123, 199, 255,  // key: transparent, colour kept
        255, 191, 213, 255,  // key: half-transparent black
        255, 174, 200, 255,  // one off a key: opaque
        10,  20,  30,  0,    // the file's own transparency is ignored
        40,  50,  60,  128,
        254, 191, 213, 0,    // one off a key, transparent in the file: opaque
        191, 123, 199, 17,   // key wins over the file's alpha
    };
    ASSERT_NE(stbi_write_png(Path("keys.png").c_str(), 4, 2, 4, rgba, 16), 0);
    // Unpacking state left behind by other code neither spoils the upload nor is changed by it.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 1);
    const int name = textures_.Load(Path("keys.png").c_str());
    GLint row_length = 0, skip = 0;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
    glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skip);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    EXPECT_EQ(row_length, 7);
    EXPECT_EQ(skip, 1);
    ASSERT_GT(name, 0);
    const std::vector<uint8_t> got = ReadLevel0(name, 4, 2);
    const uint8_t expected[8 * 4] = {
        255, 174, 201, 0,   191, 123, 199, 0,   0,  0,  0,  127, 255, 174, 200, 255,
        10,  20,  30,  255, 40,  50,  60,  255, 254, 191, 213, 255, 191, 123, 199, 0,
    };
    for (int i = 0; i < 8 * 4; ++i) EXPECT_EQ(got[i], expected[i]) << "pixel " << i / 4 << " channel " << i % 4;
}

TEST_F(CtextureTest, UploadSetsFilteringWrappingAnisotropyAndMipmaps) {
    WriteSolidPng(Path("a.png"), 8, 4, 100, 150, 200);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const int name = textures_.Load(Path("a.png").c_str());
    ASSERT_GT(name, 0);
    GLint bound = 0, env = 0, min = 0, mag = 0, wrap_s = 0, wrap_t = 0, level_w = 0, last_w = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, name);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
    EXPECT_EQ(env, GL_DECAL);
    EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(mag, GL_LINEAR);
    EXPECT_EQ(wrap_s, GL_REPEAT);
    EXPECT_EQ(wrap_t, GL_REPEAT);

    // The largest anisotropy, except on the software rasteriser whose anisotropic sampling
    // smears every texture.
    GLfloat largest = 0, set = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &set);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool software = renderer && std::string(renderer).find("llvmpipe") != std::string::npos;
    EXPECT_GE(largest, 1.0f);
    EXPECT_EQ(set, software ? 1.0f : largest);

    // A full chain down to 1 x 1: 8 x 4, 4 x 2, 2 x 1, 1 x 1.
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level_w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH, &last_w);
    EXPECT_EQ(level_w, 4);
    EXPECT_EQ(last_w, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CtextureTest, TextureDrawnOneToOneKeepsEveryTexel) {
    // A 64 x 64 checker of single texels drawn onto exactly 64 x 64 pixels.
    std::vector<uint8_t> rgba(64 * 64 * 4);
    for (int i = 0; i < 64 * 64; ++i) {
        const bool light = (i % 64 + i / 64) % 2 == 0;
        rgba[i * 4] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = light ? 230 : 20;
        rgba[i * 4 + 3] = 255;
    }
    ASSERT_NE(stbi_write_png(Path("fine.png").c_str(), 64, 64, 4, rgba.data(), 64 * 4), 0);
    const int name = textures_.Load(Path("fine.png").c_str());
    ASSERT_GT(name, 0);
    glViewport(0, 0, 64, 64);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    const morva_test::Pixels px = morva_test::ReadPixels(0, 0, 64, 64);
    int wrong = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) wrong += px.at(x, y)[0] != ((x + y) % 2 == 0 ? 230 : 20);
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
