// Whole plain lines of an OBJ text: see obj_plain_lines.h.
#include "model/obj_plain_lines.h"

namespace {

// The byte after the line end at p (a line feed, or a carriage return and line feed), or
// null when p holds no line end.
inline const char* AfterLineEnd(const char* p) {
    if (*p == '\n') return p + 1;
    if (p[0] == '\r' && p[1] == '\n') return p + 2;
    return nullptr;
}

// Every number starts before `p + kNumbersWithin` and takes at most 18 bytes, the blanks
// after the last stop at `p + kBlanksWithin`, and the line end takes two: all within the
// kPlainLineReadable bytes the caller holds.
constexpr ptrdiff_t kNumbersWithin = 96, kBlanksWithin = 120;
constexpr ptrdiff_t kCornersWithin = 88;  // a corner takes at most 24 bytes, loads 8 more

// Skips spaces, up to `limit`.
inline const char* SkipSpaces(const char* p, const char* limit) {
    while (p < limit && *p == ' ') ++p;
    return p;
}

// `count` short decimals separated by spaces, then blanks and the line end; the byte
// after the line end, or null. The line end is not known yet: the readers stop at the first
// byte that is not part of a number, which must be a space or the line end.
const char* ReadDecimalsToLineEnd(const char* p, float* out, int count) {
    const char* const start = p;
    for (int i = 0; i < count; ++i) {
        if (*p != ' ') return nullptr;
        p = SkipSpaces(p, start + kNumbersWithin);
        // The line end is not known: the number must stop at a blank or a line end.
        if (p >= start + kNumbersWithin || !ReadShortDecimal(p, start + kBlanksWithin, out[i])) return nullptr;
    }
    return AfterLineEnd(SkipSpaces(p, start + kBlanksWithin));
}

// A face of v/vt/vn corners with written indices from 1 up to `limits`, separated by
// spaces, as the general reader's direct path reads it; the byte after the line end, or null.
const char* ReadFaceToLineEnd(ObjText& out, const char* p, const uint64_t limits[3]) {
    const char* const limit = p + kCornersWithin;
    uint32_t corners[8][3];
    unsigned count = 0;
    const char* after = nullptr;
    while (after == nullptr) {
        if (*p != ' ' || count == 8) return nullptr;
        p = SkipSpaces(p, limit);
        if (p >= limit) return nullptr;
        after = AfterLineEnd(p);
        if (after != nullptr) break;  // blanks before the line end
        if (!ReadPlainCorner(p, limits, corners[count])) return nullptr;
        ++count;
        after = AfterLineEnd(p);
    }
    if (count < 3) return nullptr;
    AppendFan(out, corners, count);
    return after;
}

}  // namespace

const char* ReadPlainLine(ObjText& out, const char* p, bool any_index) {
    float v[3];
    if (p[0] == 'v') {
        const char* after = nullptr;
        if (p[1] == ' ') {
            if ((after = ReadDecimalsToLineEnd(p + 1, v, 3)) != nullptr) AppendPosition(out, v);
        } else if (p[1] == 'n') {
            if ((after = ReadDecimalsToLineEnd(p + 2, v, 3)) != nullptr) AppendNormal(out, v);
        } else if (p[1] == 't') {
            if ((after = ReadDecimalsToLineEnd(p + 2, v, 2)) != nullptr) AppendTexcoord(out, v);
        }
        return after;
    }
    if (p[0] == 'f') {
        const uint64_t any = 0xFFFFFFFFu;
        const uint64_t limits[3] = {any_index ? any : out.positions.size(), any_index ? any : out.texcoords.size(),
                                    any_index ? any : out.normals.size()};
        return ReadFaceToLineEnd(out, p + 1, limits);
    }
    return nullptr;
}
