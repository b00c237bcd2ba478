// STL reader: turns the bytes of an STL file, binary or ASCII (told apart by content), into
// the same arrays the OBJ text reader gives, so that an STL model is loaded, fitted, picked
// and drawn like an OBJ one. It works on a byte range only: no files, no GL, no global
// state. Every index it stores is valid for the arrays it returns.
//
// STL files are Z-up: a corner (x, y, z) in millimetres becomes the scene position
// (x, z, -y) / 50, a turn (not the reflection the OBJ reader makes), so a model seen from
// above reads as it was drawn. Corners are stored in the order that keeps the outside out
// under the scene's convention (the one OBJ files give), and each triangle gets one flat
// normal: the facet's own when it is finite, not zero and agrees with the corners' winding,
// otherwise the one the corners give.
#pragma once

#include "model/obj_text.h"

#include <cstddef>
#include <cstdint>

enum class StlKind : uint8_t { kNotStl, kBinary, kAscii };

// Smallest binary file: an 80-byte header and a 32-bit triangle count.
constexpr size_t kStlBinaryHeader = 84;
constexpr size_t kStlBinaryTriangle = 50;

// What the first bytes of a file of `file_size` bytes say it is: binary when it holds a
// header and a count whose triangles fill the file exactly (even when the header starts
// with "solid"), ASCII when it starts with the word "solid", otherwise not STL. `head` may
// be the whole file or any part of its beginning of at least kStlBinaryHeader bytes.
StlKind DetectStl(const char* head, size_t head_size, uint64_t file_size);

// Reads a whole STL file held in [begin, end) into `out` (emptied first). False when the
// bytes are not an STL file by DetectStl (a binary file whose count does not match its size
// is not one). Broken triangles (a corner not finite, an ASCII facet without three corners)
// are dropped. `normals_in_file` counts the triangles whose own facet normal was taken;
// the one texture coordinate (0, 0) that every corner uses is not from the file.
bool ParseStl(const char* begin, const char* end, ObjText& out);
