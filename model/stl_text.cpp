// STL reader: content detection, the binary triangle copy and the ASCII facet reader, both
// ending in the same triangle builder (turn to the scene's axes, corner order, flat normal).
#include "model/stl_text.h"

#include "platform/memory_hints.h"

#include <fast_float/fast_float.h>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstring>

namespace {

struct Vec3 {
    float x, y, z;
};

// Binary STL is little-endian, as are the machines Morva runs on.
inline Vec3 LoadVec3(const char* p) {
    Vec3 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline bool FiniteBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return (bits & 0x7F800000u) != 0x7F800000u;
}

inline bool Finite(const Vec3& v) { return FiniteBits(v.x) && FiniteBits(v.y) && FiniteBits(v.z); }


// File millimetres, Z up, to scene units, Y up: (x, y, z) -> (x, z, -y) / 50, divided as
// the OBJ reader divides, so that the same size in millimetres gives the same scene value.
inline cMath::vector4 ToScene(const Vec3& v) {
#if defined(__SSE2__) || defined(_M_X64)
    // One packed division (each lane rounded as the scalar one is).
    cMath::vector4 to;
    _mm_storeu_ps(&to.x, _mm_div_ps(_mm_set_ps(0.0f, -v.y, v.z, v.x), _mm_set1_ps(50.0f)));
    return to;
#else
    return cMath::vector4(v.x / 50.0f, v.z / 50.0f, -v.y / 50.0f, 0.0f);
#endif
}

inline cMath::vector4 NormalToScene(const Vec3& n) { return cMath::vector4(n.x, n.z, -n.y, 0.0f); }

// Large arrays on huge pages: far fewer page faults while they fill.
template <typename T>
void AdviseHugePages(const std::vector<T>& v) {
    files::AdviseHugePages(const_cast<T*>(v.data()), v.capacity() * sizeof(T));
}

// Fills the arrays from the front; `kept` triangles so far. The arrays are sized for every
// triangle beforehand and cut to what was kept at the end.
struct StlBuilder {
    ObjText& out;
    size_t kept = 0;
    size_t facet_normals = 0;

    // Room for `triangles`; the arrays grow by appending, so no element is written twice.
    void Reserve(size_t triangles) {
        out.positions.reserve(triangles * 3);
        out.normals.reserve(triangles);
        out.triangles.reserve(triangles);
        AdviseHugePages(out.positions);
        AdviseHugePages(out.normals);
        AdviseHugePages(out.triangles);
    }

    // One triangle with corners a, b, c counter-clockwise seen from outside (the STL rule)
    // and the facet normal n. False, adding nothing, when a corner is not finite.
    bool Add(const Vec3& n, const Vec3& a, const Vec3& b, const Vec3& c) {
        if (!Finite(a) || !Finite(b) || !Finite(c)) return false;
        // In double precision: products of float coordinates never overflow there, so a
        // model spanning the whole float range still gets finite normals.
        const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
        const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
        double normal[3] = {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
        // The facet's normal when it can be trusted, otherwise the corners' one.
        if (Finite(n)) {
            const double facet[3] = {n.x, n.y, n.z};
            const double facet_length2 = facet[0] * facet[0] + facet[1] * facet[1] + facet[2] * facet[2];
            const double agreement = facet[0] * normal[0] + facet[1] * normal[1] + facet[2] * normal[2];
            if (facet_length2 > 0.0 && agreement >= 0.0) {
                for (int i = 0; i < 3; ++i) normal[i] = facet[i];
                ++facet_normals;
            }
        }
        const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
        const double scale = length > 0.0 && std::isfinite(length) ? 1.0 / (length * 50.0) : 0.0;
        const Vec3 unit{float(normal[0] * scale), float(normal[1] * scale), float(normal[2] * scale)};
        const uint32_t p = uint32_t(out.positions.size());
        const uint32_t k = uint32_t(out.normals.size());
        out.positions.push_back(ToScene(a));
        out.positions.push_back(ToScene(b));
        out.positions.push_back(ToScene(c));
        out.normals.push_back(NormalToScene(unit));
        // The turn keeps the winding, but the scene's triangles run the other way round
        // seen from outside (as those of OBJ files do after the reader's exchange of axes).
        out.triangles.push_back(tiangle_face{p, 0, k, p + 2, 0, k, p + 1, 0, k});
        ++kept;
        return true;
    }

    void Finish() {
        if (kept > 0) out.texcoords.assign(1, cMath::vector4(0.0f, 0.0f, 0.0f, 0.0f));
        out.normals_in_file = facet_normals;
        out.texcoords_in_file = 0;
    }
};

uint32_t BinaryCount(const char* begin) {
    uint32_t count;
    std::memcpy(&count, begin + 80, sizeof count);
    return count;
}

void ParseBinary(const char* begin, size_t size, ObjText& out) {
    const size_t count = (size - kStlBinaryHeader) / kStlBinaryTriangle;
    StlBuilder b{out};
    b.Reserve(count);
    const char* p = begin + kStlBinaryHeader;
    for (size_t i = 0; i < count; ++i, p += kStlBinaryTriangle) {
        b.Add(LoadVec3(p), LoadVec3(p + 12), LoadVec3(p + 24), LoadVec3(p + 36));
    }
    b.Finish();
}

// ---- ASCII ------------------------------------------------------------------------------

inline bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

struct Token {
    const char* p;
    const char* end;
    bool empty() const { return p >= end; }
};

struct AsciiCursor {
    const char* p;
    const char* end;

    Token Next() {
        while (p < end && IsSpace(*p)) ++p;
        const char* start = p;
        while (p < end && !IsSpace(*p)) ++p;
        return Token{start, p};
    }
    void SkipLine() {
        while (p < end && *p != '\n' && *p != '\r') ++p;
    }
};

bool Is(const Token& t, const char* word) {
    const size_t n = std::strlen(word);
    if (size_t(t.end - t.p) != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = t.p[i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != word[i]) return false;
    }
    return true;
}

// One number token; false when the token is not wholly a number (NaN and infinities are
// numbers here: the triangle builder refuses them).
bool ReadNumber(const Token& t, float& value) {
    const char* first = t.p;
    if (first < t.end && *first == '+') ++first;
    const fast_float::from_chars_result r = fast_float::from_chars(first, t.end, value);
    return r.ec == std::errc() && r.ptr == t.end;
}

bool ReadVec3(AsciiCursor& c, Vec3& v) {
    bool ok = ReadNumber(c.Next(), v.x);
    ok = ReadNumber(c.Next(), v.y) && ok;
    ok = ReadNumber(c.Next(), v.z) && ok;
    return ok;
}

// A facet as read: its normal, its corners (a polygon of more than three becomes a fan)
// and whether something in it could not be read.
struct AsciiFacet {
    Vec3 normal{0, 0, 0};
    std::vector<Vec3> corners;
    bool broken = false;
};

void AddFacet(StlBuilder& b, const AsciiFacet& f) {
    if (f.broken || f.corners.size() < 3) return;
    for (size_t i = 2; i < f.corners.size(); ++i) b.Add(f.normal, f.corners[0], f.corners[i - 1], f.corners[i]);
}

void ParseAscii(const char* begin, const char* end, ObjText& out) {
    StlBuilder b{out};
    b.Reserve(size_t(end - begin) / 256 + 1);
    AsciiCursor c{begin, end};
    AsciiFacet facet;
    bool in_facet = false;
    for (Token t = c.Next(); !t.empty(); t = c.Next()) {
        if (Is(t, "vertex")) {
            Vec3 v{0, 0, 0};
            if (!ReadVec3(c, v)) facet.broken = true;
            if (in_facet) facet.corners.push_back(v);
        } else if (Is(t, "facet")) {
            // A facet left open before this one is dropped.
            in_facet = true;
            facet.corners.clear();
            facet.broken = false;
            facet.normal = Vec3{0, 0, 0};
            AsciiCursor look = c;
            if (Is(look.Next(), "normal")) {
                c = look;
                if (!ReadVec3(c, facet.normal)) facet.normal = Vec3{0, 0, 0};
            }
        } else if (Is(t, "endfacet")) {
            if (in_facet) AddFacet(b, facet);
            in_facet = false;
        } else if (Is(t, "solid") || Is(t, "endsolid")) {
            // The rest of the line is the solid's name, whatever words it holds.
            c.SkipLine();
        }
    }
    b.Finish();
}

bool StartsWithSolid(const char* p, const char* end) {
    if (end - p >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    while (p < end && IsSpace(*p)) ++p;
    AsciiCursor c{p, end};
    return Is(c.Next(), "solid");
}

}  // namespace

StlKind DetectStl(const char* head, size_t head_size, uint64_t file_size) {
    if (head == nullptr) return StlKind::kNotStl;
    if (head_size >= kStlBinaryHeader && file_size >= kStlBinaryHeader &&
        uint64_t(BinaryCount(head)) * kStlBinaryTriangle + kStlBinaryHeader == file_size) {
        return StlKind::kBinary;
    }
    return StartsWithSolid(head, head + head_size) ? StlKind::kAscii : StlKind::kNotStl;
}

bool ParseStl(const char* begin, const char* end, ObjText& out) {
    out = ObjText{};
    if (begin == nullptr || end < begin) return false;
    const size_t size = size_t(end - begin);
    switch (DetectStl(begin, size, size)) {
    case StlKind::kBinary:
        ParseBinary(begin, size, out);
        return true;
    case StlKind::kAscii:
        ParseAscii(begin, end, out);
        return true;
    default:
        return false;
    }
}
