// OBJ text reader: line classification, statement readers and the finishing pass that
// checks forward references and supplies missing texture coordinates and normals.
#include "model/obj_text.h"

#include "model/obj_plain_lines.h"
#include "model/text_numbers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Index markers used while reading; the finishing pass replaces every one of them.
constexpr uint32_t kNoTexcoord = 0xFFFFFFFFu;
constexpr uint32_t kNoNormal = 0xFFFFFFFFu;

using PendingFace = ObjPendingFace;

// The reading state of one piece of text.
struct ObjReader {
    ObjText& out;
    const char* buffer_end;   // end of the piece: digit runs may be loaded up to it
    std::vector<PendingFace>& pending;
    bool& missing_texcoord;
    bool detached;             // a later part read on its own: counts before it unknown
    bool& needs_sequence;

    // How many elements an index may name without being a forward reference: the count read
    // so far, or, in a detached part, any (its indices are checked when it is appended).
    uint32_t Known(size_t count) const { return detached ? 0xFFFFFFFFu : uint32_t(count); }
};

// ---- numbers ----------------------------------------------------------------------------

// Next float on the line; the common case (a blank, then a plain decimal) is read directly,
// anything else through the general scan.
inline float NextFloat(const char*& p, const char* le, const char* buffer_end) {
    while (p < le && (*p == ' ' || *p == '\t')) ++p;
    float value = 0.0f;
    if (ReadPlainDecimal(p, le, buffer_end, value)) return value;
    return ScanFloat(p, le);
}

// Value of the run of decimal digits at p (p holds at least one digit); p moves past it.
// Values beyond any element count stay large (at least 2^40) without overflowing.
inline int64_t ReadDigitRun(const char*& p, const char* le, const char* buffer_end) {
    size_t count = 0;
    const uint64_t v = ReadDigits(p, le, buffer_end, count);
    return count > 12 ? (int64_t(1) << 40) : int64_t(v);
}

// Reads a signed integer token at p. False when p does not hold one.
inline bool ReadSignedIndex(const char*& p, const char* le, const char* buffer_end, int64_t& value) {
    bool negative = false;
    if (p < le && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    if (p >= le || !IsDecimalDigit(*p)) return false;
    const int64_t v = ReadDigitRun(p, le, buffer_end);
    value = negative ? -v : v;
    return true;
}

// A relative index in a detached part counts back from a number it does not know.
inline bool ReadCornerIndex(ObjReader& r, const char*& p, const char* le, int64_t& written) {
    if (!ReadSignedIndex(p, le, r.buffer_end, written)) return false;
    if (written < 0 && r.detached) {
        r.needs_sequence = true;
        return false;
    }
    return true;
}

// Turns a written OBJ index (1-based, or negative counting back from `count`) into a 0-based
// index. False for 0, for a negative index reaching before the first element, and for an
// index too large to be stored.
inline bool ResolveIndex(int64_t written, uint32_t count, uint32_t& index) {
    if (written > 0) {
        if (written > int64_t(0xFFFFFFF0u)) return false;
        index = uint32_t(written - 1);
        return true;
    }
    if (written < 0) {
        int64_t r = int64_t(count) + written;
        if (r < 0) return false;
        index = uint32_t(r);
        return true;
    }
    return false;
}

// ---- statements -------------------------------------------------------------------------

// The first `n` numbers of a line (missing ones 0), from one inlined copy of the reader.
inline void ReadFloats(const ObjReader& r, const char* p, const char* le, float* out, int n) {
    int i = 0;
    if (r.buffer_end - le >= 16) {
        for (; i < n; ++i) {
            while (p < le && *p == ' ') ++p;
            if (!ReadShortDecimal(p, le, out[i])) break;
        }
    }
    for (; i < n; ++i) out[i] = NextFloat(p, le, r.buffer_end);
}

void ReadPosition(ObjReader& r, const char* p, const char* le) {
    float v[3];
    ReadFloats(r, p, le, v, 3);
    AppendPosition(r.out, v);
}

void ReadNormal(ObjReader& r, const char* p, const char* le) {
    float v[3];
    ReadFloats(r, p, le, v, 3);
    AppendNormal(r.out, v);
}

void ReadTexcoord(ObjReader& r, const char* p, const char* le) {
    float v[2];
    ReadFloats(r, p, le, v, 2);
    AppendTexcoord(r.out, v);
}

struct Corner {
    uint32_t pos, uv, nrm;
};

// Reads one face corner (v, v/vt, v//vn or v/vt/vn) at p. False when the token is malformed or
// names an index that can never be valid. `forward` is set when it names an element not read
// yet (still valid if the text defines it later).
inline bool ReadCorner(ObjReader& r, const char*& p, const char* le, Corner& c, bool& forward) {
    const uint32_t npos = r.Known(r.out.positions.size());
    int64_t written = 0;
    if (!ReadCornerIndex(r, p, le, written) || !ResolveIndex(written, npos, c.pos)) return false;
    forward |= c.pos >= npos;
    c.uv = kNoTexcoord;
    c.nrm = kNoNormal;
    if (p < le && *p == '/') {
        ++p;
        // A texture-coordinate or normal index that can name nothing leaves the corner
        // without one: the face keeps its geometry and gets the defaults.
        if (p < le && *p != '/' && !IsBlank(*p)) {
            const uint32_t nuv = r.Known(r.out.texcoords.size());
            if (!ReadCornerIndex(r, p, le, written)) return false;
            if (ResolveIndex(written, nuv, c.uv)) forward |= c.uv >= nuv;
        }
        if (p < le && *p == '/') {
            ++p;
            if (p < le && !IsBlank(*p)) {
                const uint32_t nnrm = r.Known(r.out.normals.size());
                if (!ReadCornerIndex(r, p, le, written)) return false;
                if (ResolveIndex(written, nnrm, c.nrm)) forward |= c.nrm >= nnrm;
            }
        }
    }
    // A corner ends at a blank or at the end of the line.
    return p >= le || IsBlank(*p);
}

inline tiangle_face MakeTriangle(const Corner& a, const Corner& b, const Corner& c) {
    return tiangle_face{a.pos, a.uv, a.nrm, b.pos, b.uv, b.nrm, c.pos, c.uv, c.nrm};
}

// The common face line read directly: up to eight corners v/vt/vn of written indices from 1
// up to the elements read so far, separated by spaces, with at least eight bytes of the
// piece after the line. Adds the fan and returns true; returns false, having added nothing,
// for any other line, which the general reader then takes.
inline bool ReadPlainFace(ObjReader& r, const char* p, const char* le) {
    if (r.buffer_end - le < 8) return false;
    const uint64_t limits[3] = {r.Known(r.out.positions.size()), r.Known(r.out.texcoords.size()),
                                r.Known(r.out.normals.size())};
    uint32_t corners[8][3];
    unsigned count = 0;
    for (;;) {
        while (p < le && *p == ' ') ++p;
        if (p >= le) break;
        if (count == 8) return false;
        // Every byte loaded lies before the piece's end: the line end is followed by 8 more.
        if (!ReadPlainCorner(p, limits, corners[count]) || (p < le && *p != ' ')) return false;
        ++count;
    }
    if (count < 3) return false;
    AppendFan(r.out, corners, count);
    return true;
}

// A face line: corners become a triangle fan; a malformed face leaves nothing behind.
void ReadFace(ObjReader& r, const char* p, const char* le) {
    if (ReadPlainFace(r, p, le)) return;
    std::vector<tiangle_face>& tris = r.out.triangles;
    const size_t first = tris.size();
    Corner c0{}, prev{}, cur{};
    unsigned corners = 0;
    bool forward = false;
    bool no_texcoord = false;
    bool no_normal = false;
    for (;;) {
        while (p < le && IsBlank(*p)) ++p;
        if (p >= le || *p == '#') break;
        if (!ReadCorner(r, p, le, cur, forward)) {
            tris.resize(first);
            return;
        }
        no_texcoord |= cur.uv == kNoTexcoord;
        no_normal |= cur.nrm == kNoNormal;
        if (corners == 0) {
            c0 = cur;
        } else if (corners >= 2) {
            tris.push_back(MakeTriangle(c0, prev, cur));
        }
        prev = cur;
        ++corners;
    }
    if (corners < 3) return;
    r.missing_texcoord |= no_texcoord;
    if (forward || no_normal) {
        r.pending.push_back(PendingFace{uint32_t(first), uint32_t(tris.size() - first), forward,
                                        no_normal, false});
    }
}

// An "l" statement: every index naming a position read so far adds a copy of it.
void ReadLine(ObjReader& r, const char* p, const char* le) {
    if (r.detached) {
        // Which positions exist at this line depends on the text before the part.
        r.needs_sequence = true;
        return;
    }
    for (;;) {
        while (p < le && IsBlank(*p)) ++p;
        if (p >= le || *p == '#') return;
        int64_t written = 0;
        uint32_t index = 0;
        const uint32_t npos = uint32_t(r.out.positions.size());
        if (ReadSignedIndex(p, le, r.buffer_end, written) && ResolveIndex(written, npos, index) && index < npos) {
            r.out.line_points.push_back(r.out.positions[index]);
        }
        // Skip the rest of the token (a "/vt" part or anything unreadable).
        while (p < le && !IsBlank(*p)) ++p;
    }
}

std::string TrimmedText(const char* p, const char* le) {
    while (p < le && IsBlank(*p)) ++p;
    while (le > p && IsBlank(le[-1])) --le;
    return std::string(p, le);
}

void ReadMaterialLibrary(ObjReader& r, const char* p, const char* le) {
    r.out.directives.push_back(ObjDirective{ObjDirective::kMaterialLibrary, 0, std::string(p, le)});
}

void ReadUseMaterial(ObjReader& r, const char* p, const char* le) {
    r.out.directives.push_back(ObjDirective{ObjDirective::kUseMaterial,
                                            uint32_t(r.out.triangles.size()), TrimmedText(p, le)});
}

inline bool IsTagEnd(const char* p, const char* le) { return p < le && (*p == ' ' || *p == '\t'); }

inline bool StartsWithWord(const char* p, const char* le, const char* word, size_t n) {
    return size_t(le - p) > n && std::memcmp(p, word, n) == 0 && (p[n] == ' ' || p[n] == '\t');
}

void ReadIndentedStatement(ObjReader& r, const char* p, const char* le);

// Classifies one line (without its line end) by its first characters.
inline void ReadStatement(ObjReader& r, const char* p, const char* le) {
    if (p >= le) return;
    switch (*p) {
    case 'v':
        if (IsTagEnd(p + 1, le)) {
            ReadPosition(r, p + 2, le);
        } else if (p + 1 < le && p[1] == 'n') {
            ReadNormal(r, p + 2, le);
        } else if (p + 1 < le && p[1] == 't') {
            ReadTexcoord(r, p + 2, le);
        }
        break;
    case 'f':
        if (IsTagEnd(p + 1, le)) ReadFace(r, p + 2, le);
        break;
    case 'l':
        if (IsTagEnd(p + 1, le)) ReadLine(r, p + 2, le);
        break;
    case 'm':
        if (StartsWithWord(p, le, "mtllib", 6)) ReadMaterialLibrary(r, p + 7, le);
        break;
    case 'u':
        if (StartsWithWord(p, le, "usemtl", 6)) ReadUseMaterial(r, p + 7, le);
        break;
    case ' ':
    case '\t':
        ReadIndentedStatement(r, p, le);
        break;
    default:
        break;
    }
}

void ReadIndentedStatement(ObjReader& r, const char* p, const char* le) {
    while (p < le && (*p == ' ' || *p == '\t')) ++p;
    ReadStatement(r, p, le);
}

// ---- finishing --------------------------------------------------------------------------

bool PositionsValid(const tiangle_face& t, uint32_t npos) {
    return t.pos0 < npos && t.pos1 < npos && t.pos2 < npos;
}

// Texture-coordinate and normal indices beyond the whole text become missing ones, which
// the finishing pass fills; true when a normal went.
bool ClearUnresolvedAttributes(ObjReader& r, tiangle_face& t) {
    const uint32_t nuv = uint32_t(r.out.texcoords.size());
    const uint32_t nnrm = uint32_t(r.out.normals.size());
    uint32_t* uv[3] = {&t.uv0, &t.uv1, &t.uv2};
    uint32_t* nrm[3] = {&t.nrm0, &t.nrm1, &t.nrm2};
    bool normal_cleared = false;
    for (int i = 0; i < 3; ++i) {
        if (*uv[i] != kNoTexcoord && *uv[i] >= nuv) {
            *uv[i] = kNoTexcoord;
            r.missing_texcoord = true;
        }
        if (*nrm[i] != kNoNormal && *nrm[i] >= nnrm) {
            *nrm[i] = kNoNormal;
            normal_cleared = true;
        }
    }
    return normal_cleared;
}

// Marks the faces whose forward position references the whole text does not satisfy, and
// clears their unsatisfied texture-coordinate and normal references.
bool MarkUnresolvedFaces(ObjReader& r) {
    const uint32_t npos = uint32_t(r.out.positions.size());
    bool any = false;
    for (PendingFace& f : r.pending) {
        if (!f.forward) continue;
        for (uint32_t i = f.first; i < f.first + f.count; ++i) {
            if (!PositionsValid(r.out.triangles[i], npos)) {
                f.dropped = true;
                any = true;
                break;
            }
        }
        if (f.dropped) continue;
        for (uint32_t i = f.first; i < f.first + f.count; ++i) {
            if (ClearUnresolvedAttributes(r, r.out.triangles[i])) f.needs_normal = true;
        }
    }
    return any;
}

// Removes the triangles of dropped faces and moves the triangle numbers of the material
// statements and of the remaining pending faces to match.
void RemoveDroppedFaces(ObjReader& r) {
    std::vector<tiangle_face>& tris = r.out.triangles;
    std::vector<ObjDirective>& dirs = r.out.directives;
    size_t next_dir = 0;
    uint32_t removed = 0;
    uint32_t write = 0;
    uint32_t read = 0;
    // Shifts the statements at or before triangle `upto` by the triangles removed so far.
    auto shift_directives = [&](uint32_t upto) {
        while (next_dir < dirs.size() &&
               (dirs[next_dir].kind != ObjDirective::kUseMaterial || dirs[next_dir].triangle <= upto)) {
            if (dirs[next_dir].kind == ObjDirective::kUseMaterial) dirs[next_dir].triangle -= removed;
            ++next_dir;
        }
    };
    for (PendingFace& f : r.pending) {
        shift_directives(f.first);
        for (; read < f.first; ++read) tris[write++] = tris[read];
        if (f.dropped) {
            read += f.count;
            removed += f.count;
        } else {
            f.first = write;
            for (uint32_t i = 0; i < f.count; ++i) tris[write++] = tris[read++];
        }
    }
    for (; read < tris.size(); ++read) tris[write++] = tris[read];
    shift_directives(0xFFFFFFFFu);
    tris.resize(write);
}

// The normal of a face as a file whose winding and normals agree would give it: unit length
// in file units (1/50 here), opposite to the corner-order normal of the converted positions.
cMath::vector4 FlatNormal(const ObjText& text, uint32_t first, uint32_t count) {
    double nx = 0, ny = 0, nz = 0;
    for (uint32_t i = first; i < first + count; ++i) {
        const tiangle_face& t = text.triangles[i];
        const cMath::vector4& a = text.positions[t.pos0];
        const cMath::vector4& b = text.positions[t.pos1];
        const cMath::vector4& c = text.positions[t.pos2];
        double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
        double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
        nx += uy * vz - uz * vy;
        ny += uz * vx - ux * vz;
        nz += ux * vy - uy * vx;
    }
    double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0.0) || !std::isfinite(length)) return cMath::vector4(0.0f, 0.0f, 0.0f, 0.0f);
    double k = -1.0 / (length * 50.0);
    return cMath::vector4(float(nx * k), float(ny * k), float(nz * k), 0.0f);
}

void AddFlatNormals(ObjReader& r) {
    for (const PendingFace& f : r.pending) {
        if (!f.needs_normal || f.dropped) continue;
        const uint32_t index = uint32_t(r.out.normals.size());
        r.out.normals.push_back(FlatNormal(r.out, f.first, f.count));
        for (uint32_t i = f.first; i < f.first + f.count; ++i) {
            tiangle_face& t = r.out.triangles[i];
            if (t.nrm0 == kNoNormal) t.nrm0 = index;
            if (t.nrm1 == kNoNormal) t.nrm1 = index;
            if (t.nrm2 == kNoNormal) t.nrm2 = index;
        }
    }
}

void AddMissingTexcoord(ObjReader& r) {
    const uint32_t index = uint32_t(r.out.texcoords.size());
    bool used = false;
    for (tiangle_face& t : r.out.triangles) {
        if (t.uv0 == kNoTexcoord) t.uv0 = index, used = true;
        if (t.uv1 == kNoTexcoord) t.uv1 = index, used = true;
        if (t.uv2 == kNoTexcoord) t.uv2 = index, used = true;
    }
    if (used) r.out.texcoords.emplace_back(0.0f, 0.0f, 0.0f, 0.0f);
}

void FinishFaces(ObjReader& r) {
    if (MarkUnresolvedFaces(r)) RemoveDroppedFaces(r);
    AddFlatNormals(r);
    if (r.missing_texcoord) AddMissingTexcoord(r);
}

// ---- lines ------------------------------------------------------------------------------

// Skips a byte order mark and decides how the text ends its lines: with lone carriage
// returns when its first line ends with one (old Mac files), otherwise with line feeds
// (a carriage return before one is dropped).
void StartText(ObjTextState& state, const char*& p, const char* end) {
    state.at_text_start = false;
    if (p == end) return;  // an empty (possibly null) range: memchr must not see it
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    const char* limit = nl ? nl : end;
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(limit - p)));
    state.cr_lines = cr != nullptr && cr + 1 < end && cr[1] != '\n';
}

// The first line feed or carriage return in [p, end), or null.
const char* FindLineBreak(const char* p, const char* end) {
    for (; p < end; ++p) {
        if (*p == '\n' || *p == '\r') return p;
    }
    return nullptr;
}

// Room after a joined line, so that the number readers may load ahead as they do in a piece.
constexpr size_t kJoinedPadding = 16;

// A line that ends in a backslash, or the line that ends such a run: the text is gathered
// (each backslash becomes a blank) and read as one statement once a line without the
// backslash, or the end of the text, comes.
void ReadContinuedLine(ObjTextState& state, const char* p, const char* le, bool text_end) {
    std::string& joined = state.continued;
    const bool goes_on = le > p && le[-1] == '\\';
    joined.append(p, goes_on ? le - 1 : le);
    if (goes_on) joined.push_back(' ');
    if (goes_on && !text_end) return;
    const size_t length = joined.size();
    joined.append(kJoinedPadding, '\n');
    ObjReader reader{*state.out, joined.data() + joined.size(), state.pending, state.missing_texcoord,
                     state.detached, state.needs_sequence};
    ReadStatement(reader, joined.data(), joined.data() + length);
    joined.clear();
}

// Counts the indices of the triangles a detached reading added since the last call into its
// highest indices. Called after every piece, while those triangles are still in the cache.
void NoteHighestIndices(ObjTextState& part) {
    const std::vector<tiangle_face>& tris = part.out->triangles;
    // Each index plus one, so that a missing texture coordinate or normal (all bits set)
    // wraps to 0 and counts as none: a loop without branches. Stored indices stay below
    // 0xFFFFFFF0, so no other index wraps.
    static_assert(uint32_t(kNoTexcoord + 1) == 0 && uint32_t(kNoNormal + 1) == 0, "missing indices wrap to 0");
    uint32_t above[3];
    for (int k = 0; k < 3; ++k) above[k] = uint32_t(part.highest_index[k] + 1);
    for (size_t i = std::min(part.triangles_noted, tris.size()); i < tris.size(); ++i) {
        const tiangle_face& t = tris[i];
        above[0] = std::max({above[0], t.pos0 + 1, t.pos1 + 1, t.pos2 + 1});
        above[1] = std::max({above[1], t.uv0 + 1, t.uv1 + 1, t.uv2 + 1});
        above[2] = std::max({above[2], t.nrm0 + 1, t.nrm1 + 1, t.nrm2 + 1});
    }
    for (int k = 0; k < 3; ++k) part.highest_index[k] = int64_t(above[k]) - 1;
    part.triangles_noted = tris.size();
}

inline void CountLine(ObjTextState& state) {
    ++state.out->line_count;
    if (--state.until_hook == 0) {
        state.until_hook = kObjLineHookInterval;
        if (state.hook.call) state.hook.call(state.hook.context, state.out->line_count);
    }
}

}  // namespace

void BeginObjText(ObjTextState& state, ObjText& out, ObjLineHook hook) {
    state = ObjTextState{};
    state.out = &out;
    state.hook = hook;
}

void FeedObjText(ObjTextState& state, const char* begin, const char* end, bool last) {
    if (state.out == nullptr) return;
    if (begin == nullptr || end < begin) end = begin;
    const char* p = begin;
    if (state.at_text_start) StartText(state, p, end);
    ObjReader reader{*state.out, end, state.pending, state.missing_texcoord, state.detached,
                     state.needs_sequence};
    while (!state.needs_sequence) {
        if (end - p >= ptrdiff_t(kPlainLineReadable) && !state.cr_lines && state.continued.empty()) {
            if (const char* next = ReadPlainLine(*state.out, p, state.detached)) {
                CountLine(state);
                p = next;
                continue;
            }
        }
        const char* nl = state.cr_lines
                             ? FindLineBreak(p, end)
                             : p < end ? static_cast<const char*>(std::memchr(p, '\n', size_t(end - p))) : nullptr;
        if (!nl && !last) break;
        const char* le = nl ? nl : end;
        const char* next = nl ? nl + 1 : end;
        if (nl && *nl == '\r' && next < end && *next == '\n') ++next;
        if (le > p && le[-1] == '\r') --le;
        if ((le > p && le[-1] == '\\') || !state.continued.empty()) {
            ReadContinuedLine(state, p, le, nl == nullptr);
        } else {
            ReadStatement(reader, p, le);
        }
        CountLine(state);
        if (!nl) break;
        p = next;
    }
    if (state.detached) NoteHighestIndices(state);
}

void FinishObjText(ObjTextState& state) {
    if (state.out == nullptr) return;
    ObjReader reader{*state.out, nullptr, state.pending, state.missing_texcoord, state.detached,
                     state.needs_sequence};
    state.out->normals_in_file = state.out->normals.size();
    state.out->texcoords_in_file = state.out->texcoords.size();
    FinishFaces(reader);
    state.pending.clear();
}

void ParseObjText(const char* begin, const char* end, ObjText& out, ObjLineHook hook) {
    ObjTextState state;
    BeginObjText(state, out, hook);
    FeedObjText(state, begin, end, true);
    FinishObjText(state);
}

void BeginDetachedObjText(ObjTextState& state, ObjText& out, ObjLineHook hook) {
    BeginObjText(state, out, hook);
    state.detached = true;
    state.at_text_start = false;
}

void EndDetachedObjText(ObjTextState& part) { NoteHighestIndices(part); }
