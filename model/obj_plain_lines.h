// The lines that make up nearly all of a large OBJ file, read whole: "v x y z", "vn x y z"
// and "vt u v" of short plain decimals, and faces of up to eight v/vt/vn corners naming
// elements read so far, each ending in a line feed. Reading them straight through finds
// the line end on the way, instead of searching for it first and classifying the line
// after. Anything else is left to the general reader, with nothing appended; what is read
// here is exactly what the general reader makes of the same line. Also the conversions of
// the elements into model units, shared with the general reader.
#pragma once

#include "model/obj_text.h"
#include "model/text_numbers.h"

#include <cstddef>
#include <cstdint>

// x / 50 in single precision as one double multiplication, which costs a fraction of a
// float division: the double nearest to 1/50 times a float always rounds to the same
// float as the exact quotient (checked for every float).
inline float OneFiftieth(float x) { return float(double(x) * (1.0 / 50.0)); }

inline void AppendPosition(ObjText& out, const float v[3]) {
    out.positions.emplace_back(OneFiftieth(v[0]), OneFiftieth(v[2]), OneFiftieth(v[1]), 0.0f);
}
inline void AppendNormal(ObjText& out, const float v[3]) {
    out.normals.emplace_back(OneFiftieth(v[0]), OneFiftieth(v[2]), OneFiftieth(v[1]), 0.0f);
}
inline void AppendTexcoord(ObjText& out, const float v[2]) { out.texcoords.emplace_back(v[0], 1.0f - v[1], 0.0f, 0.0f); }

// One corner "v/vt/vn" at p of indices written from 1 up to `limits` (positions, texture
// coordinates, normals): the 0-based indices into `corner` and p moved past it; false for
// anything else. Eight bytes from where each index starts must be readable.
inline bool ReadPlainCorner(const char*& p, const uint64_t limits[3], uint32_t corner[3]) {
    for (int k = 0; k < 3; ++k) {
        uint64_t written = 0;
        const unsigned digits = EightDigits(p, written);
        if (digits == 0 || digits == 8 || written == 0 || written > limits[k]) return false;
        corner[k] = uint32_t(written - 1);
        p += digits;
        if (k < 2 && *p++ != '/') return false;
    }
    return true;
}

// The fan (0, 1, 2), (0, 2, 3), ... of a face's `count` corners.
inline void AppendFan(ObjText& out, const uint32_t (*corners)[3], unsigned count) {
    const uint32_t* a = corners[0];
    for (unsigned i = 2; i < count; ++i) {
        const uint32_t* b = corners[i - 1];
        const uint32_t* c = corners[i];
        out.triangles.push_back(tiangle_face{a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2]});
    }
}

// Bytes from the start of a line that must be readable for ReadPlainLine.
constexpr size_t kPlainLineReadable = 128;

// Reads the line at p when it is one of the plain lines above, appending what it defines to
// `out`, and returns the byte after its line feed; null, with nothing appended, for any
// other line. A face's indices must name elements already read, or with `any_index` any
// element (a part of a text read on its own; its indices are checked when it is appended).
const char* ReadPlainLine(ObjText& out, const char* p, bool any_index);
