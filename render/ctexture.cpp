#include "render/ctexture.h"

#include "platform/files.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <stb/stb_image.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

// Limits for images accepted from disk: anything beyond them is refused before decoding.
constexpr long long kMaxSide = 16384;
constexpr long long kMaxPixels = 64LL * 1024 * 1024;
constexpr long long kMaxFileBytes = 256LL * 1024 * 1024;

#ifndef GL_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_TEXTURE_MAX_ANISOTROPY_EXT 0x84FE
#endif
#ifndef GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT
#define GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT 0x84FF
#endif

bool StartsWith(std::string_view bytes, const char* prefix, size_t length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, length) == 0;
}

uint8_t ByteAt(std::string_view bytes, size_t i) {
    return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0;
}

int Uint16LE(std::string_view bytes, size_t i) { return ByteAt(bytes, i) | (ByteAt(bytes, i + 1) << 8); }

// A Targa file has no signature; its 18-byte header must describe a colour-mapped, true-colour
// or grey image with a plausible pixel depth, the same rule the decoder uses to recognise it.
bool LooksLikeTga(std::string_view bytes) {
    if (bytes.size() < 18) return false;
    const int colour_map = ByteAt(bytes, 1);
    const int image_type = ByteAt(bytes, 2);
    const int depth = ByteAt(bytes, 16);
    auto valid_depth = [](int bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; };
    if (colour_map == 1) {
        if (image_type != 1 && image_type != 9) return false;
        if (!valid_depth(ByteAt(bytes, 7))) return false;
        if (depth != 8 && depth != 16) return false;
    } else if (colour_map == 0) {
        if (image_type != 2 && image_type != 3 && image_type != 10 && image_type != 11) return false;
    } else {
        return false;
    }
    return Uint16LE(bytes, 12) >= 1 && Uint16LE(bytes, 14) >= 1 && valid_depth(depth);
}

// One huffman table definition: class (0 or 1), slot (0 to 3) and at most 256 codes. The
// decoder (stb_image 2.27, stbi__build_huffman) writes past its tables for a definition of
// more than 256 codes, so such a file is refused before it runs.
bool HuffmanTablesAreSound(std::string_view segment, bool defined[2][4]) {
    size_t at = 0;
    while (at < segment.size()) {
        if (segment.size() - at < 17) return false;
        const int q = ByteAt(segment, at);
        if ((q >> 4) > 1 || (q & 15) > 3) return false;
        defined[q >> 4][q & 15] = true;
        size_t codes = 0;
        for (size_t i = 1; i <= 16; ++i) codes += ByteAt(segment, at + i);
        if (codes > 256 || segment.size() - at - 17 < codes) return false;
        at += 17 + codes;
    }
    return true;
}

// A scan may only use huffman tables defined before it: the decoder (stb_image 2.27,
// stbi__jpeg_huff_decode) searches an undefined table past its end and reads before the
// table. A scan of a sequential image uses both tables of each component (the decoder reads
// every coefficient whatever range the scan states); a progressive scan that holds the DC
// coefficient (start 0) needs the DC tables, one that reaches AC coefficients the AC tables.
bool ScanTablesAreDefined(std::string_view segment, const bool defined[2][4], bool progressive) {
    const size_t components = ByteAt(segment, 0);
    if (segment.size() < 1 + 2 * components + 3) return false;
    const int start = ByteAt(segment, 1 + 2 * components);
    const int end = ByteAt(segment, 2 + 2 * components);
    for (size_t i = 0; i < components; ++i) {
        const int tables = ByteAt(segment, 2 + 2 * i);
        const int dc = tables >> 4, ac = tables & 15;
        if ((!progressive || start == 0) && (dc > 3 || !defined[0][dc])) return false;
        if ((!progressive || end > 0) && (ac > 3 || !defined[1][ac])) return false;
    }
    return true;
}

// Walks the markers of a JPEG file the way the decoder finds them (segments by their length,
// entropy-coded data up to the next marker that is neither a stuffed 0xFF nor a restart) and
// checks every huffman table definition and every scan's tables on the way.
bool JpegTablesAreSound(std::string_view bytes) {
    bool defined[2][4] = {};
    bool progressive = false;
    size_t at = 2;  // after the start-of-image marker
    while (at < bytes.size()) {
        if (ByteAt(bytes, at) != 0xFF) {
            ++at;  // the decoder skips bytes that do not start a marker
            continue;
        }
        while (at < bytes.size() && ByteAt(bytes, at) == 0xFF) ++at;
        if (at >= bytes.size()) break;
        const int marker = ByteAt(bytes, at++);
        if (marker == 0xD9) break;                                        // end of image
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        const size_t length = static_cast<size_t>(ByteAt(bytes, at) << 8 | ByteAt(bytes, at + 1));
        if (length < 2 || bytes.size() - at < length) return marker != 0xC4 && marker != 0xDA;
        if (marker == 0xC4 && !HuffmanTablesAreSound(bytes.substr(at + 2, length - 2), defined)) return false;
        if (marker == 0xC2) progressive = true;
        if (marker == 0xDA && !ScanTablesAreDefined(bytes.substr(at + 2, length - 2), defined, progressive)) {
            return false;
        }
        at += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data of a scan: up to a 0xFF that starts a real marker.
        while (at + 1 < bytes.size()) {
            if (ByteAt(bytes, at) == 0xFF) {
                size_t next = at + 1;
                while (next < bytes.size() && ByteAt(bytes, next) == 0xFF) ++next;
                const int c = ByteAt(bytes, next);
                if (next < bytes.size() && c != 0x00 && !(c >= 0xD0 && c <= 0xD7)) break;
                at = next;
            }
            ++at;
        }
    }
    return true;
}

// A Photoshop file with an alpha channel: the decoder (stb_image 2.27, stbi__psd_load)
// removes a white matte from such pixels with float-to-byte conversions that overflow, which
// is undefined behaviour; the alpha is discarded here anyway, but the file is refused.
bool IsPsdWithAlpha(std::string_view bytes) {
    const int channels = ByteAt(bytes, 12) << 8 | ByteAt(bytes, 13);
    return channels >= 4;
}

// The run-length encoded scanlines of a Radiance file must all end inside the file: the
// decoder (stb_image 2.27, stbi__hdr_load) reads zero run lengths forever once the data runs
// out, so a file cut short would hang the editor. This walks the data as the decoder does.
bool HdrRunsEndInsideTheFile(std::string_view bytes) {
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), static_cast<int>(bytes.size()),
                               &width, &height, &channels)) {
        return true;  // the decoder will refuse it by itself
    }
    if (width < 8 || width >= 32768) return true;  // flat pixels only: every loop is bounded
    // Data starts after the signature line, the header lines up to an empty one and the
    // resolution line. The decoder reads each line as a C string: one that starts with a
    // zero byte counts as empty.
    size_t at = 0;
    const auto next_line_is_empty = [&] {
        const size_t end = bytes.find('\n', at);
        const bool empty = at >= bytes.size() || end == at || bytes[at] == '\0';
        at = end == std::string_view::npos ? bytes.size() : end + 1;
        return empty;
    };
    next_line_is_empty();
    while (at < bytes.size() && !next_line_is_empty()) {
    }
    next_line_is_empty();
    const auto get8 = [&]() -> int { return at < bytes.size() ? ByteAt(bytes, at++) : 0; };
    for (int row = 0; row < height; ++row) {
        const int c1 = get8(), c2 = get8(), high = get8();
        if (c1 != 2 || c2 != 2 || (high & 0x80)) return true;  // the rest is read as flat pixels
        if ((high << 8 | get8()) != width) return true;         // refused by the decoder
        for (int k = 0; k < 4; ++k) {
            for (int filled = 0; filled < width;) {
                if (at >= bytes.size()) return false;  // here the decoder would spin forever
                int count = get8();
                const bool run = count > 128;
                if (run) count -= 128;
                if (count > width - filled) return true;  // refused by the decoder
                if (run) {
                    get8();
                } else {
                    at += static_cast<size_t>(count);
                }
                filled += count;
            }
        }
    }
    return true;
}

// Every chunk of a PNG file must lie inside the file: the decoder (stb_image 2.27,
// stbi__parse_png_file) grows its buffer to an image-data chunk's stated length before it
// reads the chunk, so a few hundred bytes could claim gigabytes. An empty first image-data
// chunk is refused too: the decoder then copies into a buffer it has not made yet.
bool PngChunksLieInsideTheFile(std::string_view bytes) {
    size_t at = 8;  // after the signature
    bool data_seen = false;
    while (bytes.size() - at >= 8) {
        const size_t length = static_cast<size_t>(ByteAt(bytes, at)) << 24 | ByteAt(bytes, at + 1) << 16 |
                              ByteAt(bytes, at + 2) << 8 | ByteAt(bytes, at + 3);
        if (length > bytes.size() - at - 8) return false;  // its data does not fit (the check sum may be cut)
        if (bytes.substr(at + 4, 4) == "IEND") break;
        if (bytes.substr(at + 4, 4) == "IDAT") {
            if (!data_seen && length == 0) return false;
            data_seen = true;
        }
        at += 8 + length;
        if (bytes.size() - at < 4) break;
        at += 4;  // check sum
    }
    return true;
}

// Only JPEG, PNG, BMP, TGA, PSD and HDR are decoded. The signatures accepted here exclude
// every other format the decoder knows (GIF, PNM, PIC), so none of their decoders can run.
bool IsAcceptedFormat(std::string_view bytes) {
    static const char kPng[] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
    if (StartsWith(bytes, kPng, sizeof kPng)) return PngChunksLieInsideTheFile(bytes);
    if (StartsWith(bytes, "\xff\xd8", 2)) return JpegTablesAreSound(bytes);
    if (StartsWith(bytes, "BM", 2)) return true;
    if (StartsWith(bytes, "8BPS", 4)) return !IsPsdWithAlpha(bytes);
    if (StartsWith(bytes, "#?RADIANCE\n", 11) || StartsWith(bytes, "#?RGBE\n", 7)) {
        return HdrRunsEndInsideTheFile(bytes);
    }
    return LooksLikeTga(bytes);
}

// Reads a regular file of at most kMaxFileBytes completely. False for directories, devices,
// missing or unreadable files and files that are too large.
bool ReadImageFile(const char* path, std::string& bytes) {
    return files::ReadWholeFile(path, uint64_t(kMaxFileBytes), bytes) && !bytes.empty();
}

bool HasAcceptableSize(std::string_view bytes, int* width, int* height) {
    int w = 0, h = 0, channels = 0;
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    if (!stbi_info_from_memory(data, static_cast<int>(bytes.size()), &w, &h, &channels)) return false;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
    *width = w;
    *height = h;
    return static_cast<long long>(w) * h <= kMaxPixels;
}

// Alpha from the three colour keys; the file's own alpha is always replaced.
void ApplyColourKeys(unsigned char* rgba, long long pixel_count) {
    for (long long i = 0; i < pixel_count; ++i) {
        unsigned char* p = rgba + i * 4;
        if ((p[0] == 255 && p[1] == 174 && p[2] == 201) || (p[0] == 191 && p[1] == 123 && p[2] == 199)) {
            p[3] = 0;
        } else if (p[0] == 255 && p[1] == 191 && p[2] == 213) {
            p[0] = p[1] = p[2] = 0;
            p[3] = 127;
        } else {
            p[3] = 255;
        }
    }
}

// Anisotropic filtering where the driver offers it. Mesa's software rasteriser (llvmpipe, as
// of 22.x) blends neighbouring texels under anisotropy even when a texture is magnified or
// drawn 1:1, which smears fonts and small images, so it is left off there.
bool UseAnisotropicFiltering() {
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const bool offered = extensions && (std::strstr(extensions, "GL_EXT_texture_filter_anisotropic") ||
                                        std::strstr(extensions, "GL_ARB_texture_filter_anisotropic"));
    return offered && !(renderer && std::strstr(renderer, "llvmpipe"));
}

void SetTextureParameters() {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    if (UseAnisotropicFiltering()) {
        GLfloat largest = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, largest);
    }
}

}  // namespace

void ImagePixelsFree::operator()(unsigned char* pixels) const { stbi_image_free(pixels); }

bool CheckImageHeader(const unsigned char* data, size_t size, int* width, int* height) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(kMaxFileBytes)) return false;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    int w = 0, h = 0;
    if (!IsAcceptedFormat(bytes) || !HasAcceptableSize(bytes, &w, &h)) return false;
    *width = w;
    *height = h;
    return true;
}

ImagePixels DecodeImageBytes(const unsigned char* data, size_t size, int* width, int* height) {
    int header_w = 0, header_h = 0;
    if (!CheckImageHeader(data, size, &header_w, &header_h)) return nullptr;
    int w = 0, h = 0, channels = 0;
    ImagePixels pixels(stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4));
    if (!pixels) return nullptr;
    *width = w;
    *height = h;
    return pixels;
}

Ctexture::Ctexture() = default;

Ctexture::~Ctexture() { Free(); }

int Ctexture::Load(char* path) { return Load(static_cast<const char*>(path)); }

int Ctexture::Load(const char* path) {
    if (!path) return -1;
    for (size_t i = 0; i < file_names.size(); ++i) {
        if (std::strcmp(file_names[i].get(), path) == 0) {
            ++use_counts[i];
            return static_cast<int>(texture_ids[i]);
        }
    }

    std::string bytes;
    if (!ReadImageFile(path, bytes)) return -1;
    int decoded_width = 0, decoded_height = 0;
    ImagePixels pixels = DecodeImageBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                          &decoded_width, &decoded_height);
    if (!pixels) return -1;
    width = decoded_width;
    height = decoded_height;
    bytes.clear();
    bytes.shrink_to_fit();

    GLuint name = 0;
    glGenTextures(1, &name);
    const size_t length = std::strlen(path) + 1;
    std::unique_ptr<char[]> copy(new char[length]);
    std::memcpy(copy.get(), path, length);
    file_names.push_back(std::move(copy));
    use_counts.push_back(1);
    texture_ids.push_back(name);

    glBindTexture(GL_TEXTURE_2D, name);
    SetTextureParameters();
    ApplyColourKeys(pixels.get(), static_cast<long long>(width) * height);
    // The buffer is tightly packed whatever pixel-store state other code left behind.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 4, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.get());
    glPopClientAttrib();
    return static_cast<int>(name);
}

void Ctexture::Free(int texture) {
    for (size_t i = 0; i < texture_ids.size(); ++i) {
        if (static_cast<int>(texture_ids[i]) != texture) continue;
        if (--use_counts[i] > 0) return;
        const GLuint name = texture_ids[i];
        texture_ids.erase(texture_ids.begin() + i);
        use_counts.erase(use_counts.begin() + i);
        file_names.erase(file_names.begin() + i);
        glDeleteTextures(1, &name);
        return;
    }
}

void Ctexture::Retain(int texture) {
    for (size_t i = 0; i < texture_ids.size(); ++i) {
        if (static_cast<int>(texture_ids[i]) == texture) {
            ++use_counts[i];
            return;
        }
    }
}

void Ctexture::Free(char* path) { Free(static_cast<const char*>(path)); }

void Ctexture::Free(const char* path) {
    if (!path) return;
    for (size_t i = 0; i < file_names.size(); ++i) {
        if (std::strcmp(file_names[i].get(), path) != 0) continue;
        if (--use_counts[i] > 0) return;
        const GLuint name = texture_ids[i];
        glDeleteTextures(1, &name);
        texture_ids.erase(texture_ids.begin() + i);
        use_counts.erase(use_counts.begin() + i);
        file_names.erase(file_names.begin() + i);
        return;
    }
}

void Ctexture::Free() {
    for (GLuint name : texture_ids) glDeleteTextures(1, &name);
    texture_ids.clear();
    file_names.clear();
    use_counts.clear();
}
