// Texture manager: turns image files into OpenGL 2D textures with a full mipmap chain and
// keeps one table entry per path string, shared through a use count (Load and Retain
// count a use, Free gives one back).
// Owns every texture it creates and the path copies of its table. It never draws, never
// reports messages and never normalises paths (two spellings of one file are two entries).
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// Decoded 8-bit RGBA pixels, rows top to bottom, released through the decoder.
struct ImagePixelsFree {
    void operator()(unsigned char* pixels) const;
};
using ImagePixels = std::unique_ptr<unsigned char, ImagePixelsFree>;

// The front door for image bytes, without GL. CheckImageHeader refuses anything but JPEG,
// PNG, BMP, TGA, PSD and HDR (by signature), inputs over 256 MiB, images wider or taller than
// 16384 pixels or over 64 M pixels, and the input classes known to break the decoder; it
// gives the size the header claims. DecodeImageBytes checks the same, then decodes to RGBA.
// False or null when refused or undecodable; `width` and `height` are written only on success.
bool CheckImageHeader(const unsigned char* data, size_t size, int* width, int* height);
ImagePixels DecodeImageBytes(const unsigned char* data, size_t size, int* width, int* height);

class Ctexture {
public:
    // The three sequences are index-aligned: entry i is
    // (texture_ids[i], file_names[i], use_counts[i]); they grow and shrink together.
    std::vector<unsigned int> texture_ids;            // OpenGL texture names
    std::vector<std::unique_ptr<char[]>> file_names;  // owned copies of the loaded paths
    std::vector<int> use_counts;                      // Load calls currently holding the entry
    int width = 0;   // pixel size of the most recently decoded image
    int height = 0;

    Ctexture();
    ~Ctexture();
    Ctexture(const Ctexture&) = delete;
    Ctexture& operator=(const Ctexture&) = delete;

    // Texture name for the image at `path`, decoding and uploading it on first use;
    // -1 when the file cannot be read, is refused or cannot be decoded.
    int Load(char* path);
    int Load(const char* path);

    // Gives back one use of an entry; the texture is deleted when its count reaches 0.
    void Free(int texture);
    void Free(char* path);
    void Free(const char* path);
    // Deletes every texture and empties the table, whatever the counts.
    void Free();

    // Counts one more use of an entry (a holder that got the name from someone else's Load,
    // such as an undo step keeping a removed image); unknown names are ignored. Free gives it
    // back.
    void Retain(int texture);

    // Lives exactly as long as the manager: holders keep a weak copy, so that a use given
    // back after the manager is gone is ignored.
    const std::shared_ptr<int> life = std::make_shared<int>(0);
};
