// The shadow volume of a model for a light straight above: which triangles cast one (the
// downward ones), which of their prisms' side quads stay (the outline of each downward
// region), and how the shadow list records them with few vertices: the two caps as
// triangle strips through neighbouring downward triangles, the walls as one strip per
// chain of outline edges (two corners per edge). The recorded triangles are exactly those of the outline; only
// their order and the corner each starts at differ, which leaves the stencil counts of the
// two passes unchanged (each pass only increments or only decrements).
#include "model/cloadobj.h"
#include "platform/memory_hints.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kShadowDepth = kShadowVolumeDepth;
constexpr size_t kCornersPerPrism = 24;
constexpr uint32_t kNoSide = 0xFFFFFFFFu;

// Whether a triangle casts a prism: its averaged normal points downward or exactly sideways.
bool FacesDownward(const cloadobj_conteiner& m, const tiangle_face& t) {
    const cMath::vector4& n0 = m.normals[t.nrm0];
    const cMath::vector4& n1 = m.normals[t.nrm1];
    const cMath::vector4& n2 = m.normals[t.nrm2];
    const float sx = n0.x + n1.x + n2.x;
    const float sy = n0.y + n1.y + n2.y;
    const float sz = n0.z + n1.z + n2.z;
    const float length = std::sqrt(sx * sx + sy * sy + sz * sz);
    if (!(length > 0.0f)) return false;
    // Dot product with the light direction (0, -1, 0).
    return -(sy / length) >= 0.0f;
}

// The large arrays below are scratch memory (see files::ScratchVector): fresh memory costs
// a page fault per page first touched, and this work may run on a second thread.
files::ScratchVector<uint32_t> DownwardTriangles(const cloadobj_conteiner& m) {
    files::ScratchVector<uint32_t> down;
    down.reserve(m.triangle_count);
    for (uint32_t g = 0; g < m.triangle_count; ++g) {
        if (FacesDownward(m, m.triangles[g])) down.push_back(g);
    }
    return down;
}

inline float* PutPoint(float* out, const cMath::vector4& p, float drop) {
    out[0] = p.x;
    out[1] = p.y - drop;
    out[2] = p.z;
    return out + 3;
}

// The triangle and its copy kShadowDepth lower with reversed winding: 6 corners.
float* PutCaps(float* out, const cMath::vector4& a, const cMath::vector4& b, const cMath::vector4& c) {
    out = PutPoint(out, a, 0.0f);
    out = PutPoint(out, b, 0.0f);
    out = PutPoint(out, c, 0.0f);
    out = PutPoint(out, c, kShadowDepth);
    out = PutPoint(out, b, kShadowDepth);
    return PutPoint(out, a, kShadowDepth);
}

// The side quad hanging below the edge p -> q: (p, p', q'), (p, q', q); 6 corners.
float* PutSide(float* out, const cMath::vector4& p, const cMath::vector4& q) {
    out = PutPoint(out, p, 0.0f);
    out = PutPoint(out, p, kShadowDepth);
    out = PutPoint(out, q, kShadowDepth);
    out = PutPoint(out, p, 0.0f);
    out = PutPoint(out, q, kShadowDepth);
    return PutPoint(out, q, 0.0f);
}

inline uint32_t Corner(const tiangle_face& t, uint32_t e) {
    return e == 0 ? t.pos0 : e == 1 ? t.pos1 : t.pos2;
}

// Which side quads of the downward triangles stay in the outline: bit e of kept[k] for the
// edge from corner e to corner e + 1 of downward triangle k (side 3k + e). A side is
// dropped when it has zero area (both ends at one point) or when it is paired with the side
// of the reverse edge of another (or the same) downward triangle; each side is paired at
// most once, and partner[] names the side it is paired with (kNoSide for the others). Sides
// pair by position index: two positions that are equal but read separately do not pair,
// which only keeps a few more sides.
struct ShadowOutline {
    files::ScratchVector<uint32_t> downward;
    files::ScratchVector<uint8_t> kept;
    files::ScratchVector<uint32_t> partner;
};

bool SamePoint(const cMath::vector4& p, const cMath::vector4& q) {
    return p.x == q.x && p.y == q.y && p.z == q.z;
}

// The sides of each downward triangle that have area, as kept bits (before any pairing);
// every side's partner starts as kNoSide. With `group_sizes`, each side with area also
// counts one in group_sizes[lower end + 2] (see GroupSidesByLowerEnd).
void MarkSidesWithArea(const cloadobj_conteiner& m, ShadowOutline& outline, uint32_t* group_sizes) {
    for (size_t k = 0; k < outline.downward.size(); ++k) {
        const tiangle_face& t = m.triangles[outline.downward[k]];
        uint8_t kept = 0;
        for (uint32_t e = 0; e < 3; ++e) {
            outline.partner[k * 3 + e] = kNoSide;
            const uint32_t from = Corner(t, e), to = Corner(t, (e + 1) % 3);
            if (SamePoint(m.positions[from], m.positions[to])) continue;
            kept |= uint8_t(1u << e);
            if (group_sizes) ++group_sizes[std::min(from, to) + 2];
        }
        outline.kept[k] = kept;
    }
}

// The sides with area as keys (higher end, direction, side number), grouped by their lower
// position index (counting sort): group v is keys[first[v] .. first[v + 1]). On entry
// first[v + 2] holds the size of group v and first[0], first[1] are 0; the placing moves
// each group's start one place down, which leaves first as described without a second
// array of positions.
files::ScratchVector<uint64_t> GroupSidesByLowerEnd(const cloadobj_conteiner& m, const ShadowOutline& outline,
                                                    files::ScratchVector<uint32_t>& first) {
    const size_t npos = first.size() - 2;
    for (size_t i = 2; i < npos + 2; ++i) first[i] += first[i - 1];
    files::ScratchVector<uint64_t> keys(first[npos + 1]);
    for (size_t k = 0; k < outline.downward.size(); ++k) {
        const tiangle_face& t = m.triangles[outline.downward[k]];
        for (uint32_t e = 0; e < 3; ++e) {
            if (!((outline.kept[k] >> e) & 1u)) continue;
            const uint32_t from = Corner(t, e), to = Corner(t, (e + 1) % 3);
            const uint32_t low = std::min(from, to), high = std::max(from, to);
            const uint64_t backward = from > to ? 1u : 0u;
            keys[first[low + 1]++] = uint64_t(high) << 33 | backward << 32 | uint64_t(k * 3 + e);
        }
    }
    return keys;
}

// Within each group, ordered by the higher index, the direction and the side's number. Of
// the sides along one edge, the first k in each direction pair up (k = the smaller count):
// the same pairs as pairing, side by side in order, each side with the first free reverse
// side. Paired sides leave the kept bits.
void PairReverseSides(const files::ScratchVector<uint32_t>& first, files::ScratchVector<uint64_t>& keys,
                      ShadowOutline& outline) {
    auto pair = [&](uint32_t a, uint32_t b) {
        outline.partner[a] = b;
        outline.kept[a / 3] &= uint8_t(~(1u << (a % 3)));
    };
    for (size_t v = 0; v + 2 < first.size(); ++v) {
        uint64_t* group = keys.data() + first[v];
        uint64_t* group_end = keys.data() + first[v + 1];
        std::sort(group, group_end);
        for (uint64_t* edge = group; edge < group_end;) {
            const uint64_t high = *edge >> 33;
            uint64_t* edge_end = edge;
            while (edge_end < group_end && (*edge_end >> 33) == high) ++edge_end;
            uint64_t* backward = edge;
            while (backward < edge_end && ((*backward >> 32) & 1u) == 0) ++backward;
            const size_t k = std::min(size_t(backward - edge), size_t(edge_end - backward));
            for (size_t i = 0; i < k; ++i) {
                pair(uint32_t(edge[i]), uint32_t(backward[i]));
                pair(uint32_t(backward[i]), uint32_t(edge[i]));
            }
            edge = edge_end;
        }
    }
}

ShadowOutline FindShadowOutline(const cloadobj_conteiner& m) {
    ShadowOutline outline;
    outline.downward = DownwardTriangles(m);
    const size_t sides = outline.downward.size() * 3;
    const size_t npos = m.positions.size();
    outline.partner.resize(sides);
    outline.kept.resize(outline.downward.size());
    // (Models too large for the packed keys keep every side with area: still the same shadow.)
    const bool packable = npos < (size_t(1) << 31) && sides < (size_t(1) << 32);
    files::ScratchVector<uint32_t> first(packable ? npos + 2 : 0, 0);
    MarkSidesWithArea(m, outline, packable ? first.data() : nullptr);
    if (packable) {
        files::ScratchVector<uint64_t> keys = GroupSidesByLowerEnd(m, outline, first);
        PairReverseSides(first, keys, outline);
    }
    return outline;
}

// Appends the outline's triangles in the order of the downward triangles: each one's two
// caps, then its kept sides in edge order. A triangle that keeps all three sides is its
// whole prism, in the prism's own order.
void EmitShadowOutline(const cloadobj_conteiner& m, const ShadowOutline& outline, std::vector<float>& corners) {
    for (size_t k = 0; k < outline.downward.size(); ++k) {
        const tiangle_face& t = m.triangles[outline.downward[k]];
        const cMath::vector4* v[3] = {&m.positions[t.pos0], &m.positions[t.pos1], &m.positions[t.pos2]};
        const uint8_t kept = outline.kept[k];
        const size_t sides = size_t((kept & 1) + ((kept >> 1) & 1) + ((kept >> 2) & 1));
        const size_t at = corners.size();
        corners.resize(at + (6 + 6 * sides) * 3);
        float* out = PutCaps(corners.data() + at, *v[0], *v[1], *v[2]);
        for (int e = 0; e < 3; ++e) {
            if (kept & (1u << e)) out = PutSide(out, *v[e], *v[(e + 1) % 3]);
        }
    }
}

// The downward triangles as triangle strips (position indices): a strip goes on from a
// triangle to the unused downward triangle paired with it across the edge that the next
// triangle of a strip must share. Every downward triangle is in exactly one strip, with
// its own winding and corners (possibly starting at another corner).
PositionSequences CapStrips(const cloadobj_conteiner& m, const ShadowOutline& outline) {
    PositionSequences strips;
    const size_t count = outline.downward.size();
    // A strip holds its first triangle's three corners and one more for each further one.
    strips.points.reserve(count * 3);
    files::ScratchVector<uint8_t> used(count, 0);
    auto free_partner = [&](uint32_t side) {
        const uint32_t p = outline.partner[side];
        return p != kNoSide && !used[p / 3];
    };
    for (size_t k = 0; k < count; ++k) {
        if (used[k]) continue;
        used[k] = 1;
        const tiangle_face& t = m.triangles[outline.downward[k]];
        // Start at the corner that makes a side with a free neighbour the strip's next edge.
        uint32_t e = 0;
        while (e < 3 && !free_partner(uint32_t(k * 3 + e))) ++e;
        if (e == 3) e = 0;
        strips.points.push_back(Corner(t, (e + 2) % 3));
        strips.points.push_back(Corner(t, e));
        strips.points.push_back(Corner(t, (e + 1) % 3));
        // The side the next triangle shares; the next triangle's index in the strip is odd.
        uint32_t exit = uint32_t(k * 3 + e);
        bool odd = true;
        while (free_partner(exit)) {
            const uint32_t side = outline.partner[exit];
            const uint32_t next = side / 3, f = side % 3;
            used[next] = 1;
            strips.points.push_back(Corner(m.triangles[outline.downward[next]], (f + 2) % 3));
            exit = next * 3 + (odd ? (f + 2) % 3 : (f + 1) % 3);
            odd = !odd;
        }
        strips.End();
    }
    return strips;
}

// The kept sides chained end to start (position indices): each chain p0, p1, ..., pn stands
// for the sides p0 -> p1, ..., p(n-1) -> pn; a closed outline loop ends where it began.
PositionSequences WallChains(const cloadobj_conteiner& m, const ShadowOutline& outline) {
    PositionSequences chains;
    const size_t npos = m.positions.size();
    // Kept sides grouped by their starting position (counting sort).
    files::ScratchVector<uint32_t> first(npos + 1, 0);
    auto side_from = [&](uint32_t s) { return Corner(m.triangles[outline.downward[s / 3]], s % 3); };
    auto side_to = [&](uint32_t s) { return Corner(m.triangles[outline.downward[s / 3]], (s % 3 + 1) % 3); };
    auto is_kept = [&](uint32_t s) { return (outline.kept[s / 3] >> (s % 3)) & 1u; };
    const uint32_t sides = uint32_t(outline.downward.size() * 3);
    for (uint32_t s = 0; s < sides; ++s) {
        if (is_kept(s)) ++first[side_from(s) + 1];
    }
    for (size_t i = 0; i < npos; ++i) first[i + 1] += first[i];
    files::ScratchVector<uint32_t> by_start(first[npos]);
    files::ScratchVector<uint32_t> next_free(first.begin(), first.end() - 1);
    for (uint32_t s = 0; s < sides; ++s) {
        if (is_kept(s)) by_start[next_free[side_from(s)]++] = s;
    }
    // next_free[v]: the first side starting at v not yet chained (sides are taken in order).
    std::copy(first.begin(), first.end() - 1, next_free.begin());
    // The kept sides not chained yet, as bits like outline.kept.
    files::ScratchVector<uint8_t> unchained(outline.kept);
    auto chained = [&](uint32_t s) { return !((unchained[s / 3] >> (s % 3)) & 1u); };
    for (uint32_t s = 0; s < sides; ++s) {
        if (!is_kept(s) || chained(s)) continue;
        chains.points.push_back(side_from(s));
        uint32_t side = s;
        for (;;) {
            unchained[side / 3] &= uint8_t(~(1u << (side % 3)));
            const uint32_t at = side_to(side);
            chains.points.push_back(at);
            while (next_free[at] < first[at + 1] && chained(by_start[next_free[at]])) ++next_free[at];
            if (next_free[at] == first[at + 1]) break;
            side = by_start[next_free[at]];
        }
        chains.End();
    }
    return chains;
}

// Sends strips, either call by call or through a vertex array, and counts the
// vertices sent.
struct StripSender {
    ListRecording mode;
    size_t& vertices;
    std::vector<float> corners;

    void Put(const cMath::vector4& p, float drop) {
        corners.push_back(p.x);
        corners.push_back(p.y - drop);
        corners.push_back(p.z);
    }
    void Send(GLenum primitive) {
        const GLsizei count = GLsizei(corners.size() / 3);
        vertices += size_t(count);
        if (mode == ListRecording::kImmediate) {
            glBegin(primitive);
            for (GLsizei i = 0; i < count; ++i) glVertex3fv(&corners[size_t(i) * 3]);
            glEnd();
        } else {
            glVertexPointer(3, GL_FLOAT, 0, corners.data());
            glDrawArrays(primitive, 0, count);
        }
        corners.clear();
    }
};

// Each cap strip twice: as it is (the top caps) and kShadowDepth lower with every
// triangle's winding reversed (the bottom caps). A strip of an odd number of triangles
// reversed end to start gives exactly that; one of an even number gets its first corner
// doubled instead, which adds one triangle without area.
void SendCaps(const cloadobj_conteiner& m, const PositionSequences& strips, StripSender& out) {
    for (size_t i = 0; i < strips.Count(); ++i) {
        const size_t first = strips.starts[i], end = strips.starts[i + 1];
        for (size_t k = first; k < end; ++k) out.Put(m.positions[strips.points[k]], 0.0f);
        out.Send(GL_TRIANGLE_STRIP);
        if ((end - first) % 2 == 1) {
            for (size_t k = end; k > first; --k) out.Put(m.positions[strips.points[k - 1]], kShadowDepth);
        } else {
            out.Put(m.positions[strips.points[first]], kShadowDepth);
            for (size_t k = first; k < end; ++k) out.Put(m.positions[strips.points[k]], kShadowDepth);
        }
        out.Send(GL_TRIANGLE_STRIP);
    }
}

// Each chain's walls as one triangle strip p0', p0', p0, p1', p1, ...: after the leading
// triangle without area, side p -> q gives (p, p', q') and (p, q', q), the two triangles of
// the prism's side quad (a quad strip would leave the split to the driver, and a split
// along the other diagonal moves single stencil pixels where a surface meets the wall).
void SendWalls(const cloadobj_conteiner& m, const PositionSequences& chains, StripSender& out) {
    for (size_t i = 0; i < chains.Count(); ++i) {
        out.Put(m.positions[chains.points[chains.starts[i]]], kShadowDepth);
        for (size_t k = chains.starts[i]; k < chains.starts[i + 1]; ++k) {
            const cMath::vector4& p = m.positions[chains.points[k]];
            out.Put(p, kShadowDepth);
            out.Put(p, 0.0f);
        }
        out.Send(GL_TRIANGLE_STRIP);
    }
}

void SendShadowStrips(const cloadobj_conteiner& model, const ShadowStrips& strips, ListRecording mode,
                      size_t& vertices) {
    StripSender sender{mode, vertices, {}};
    if (mode == ListRecording::kVertexArrays) {
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glDisableClientState(GL_NORMAL_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_VERTEX_ARRAY);
    }
    SendCaps(model, strips.caps, sender);
    SendWalls(model, strips.walls, sender);
    if (mode == ListRecording::kVertexArrays) glPopClientAttrib();
}

}  // namespace

ShadowStrips FindShadowStrips(const cloadobj_conteiner& model) {
    const ShadowOutline outline = FindShadowOutline(model);
    ShadowStrips strips;
    strips.caps = CapStrips(model, outline);
    strips.walls = WallChains(model, outline);
    return strips;
}

void RecordShadowList(ListRecording mode, size_t& vertices, cloadobj_conteiner& model, const ShadowStrips& strips) {
    model.list_shadow = glGenLists(1);
    glNewList(model.list_shadow, GL_COMPILE);
    SendShadowStrips(model, strips, mode, vertices);
    glEndList();
}

void CompileShadowList(cloadobj& loader, cloadobj_conteiner& model) {
    RecordShadowList(loader.list_recording, loader.last_load.list_vertices, model, FindShadowStrips(model));
}

void AppendShadowPrisms(const cloadobj_conteiner& model, std::vector<float>& corners) {
    for (uint32_t g : DownwardTriangles(model)) {
        const tiangle_face& t = model.triangles[g];
        const cMath::vector4& a = model.positions[t.pos0];
        const cMath::vector4& b = model.positions[t.pos1];
        const cMath::vector4& c = model.positions[t.pos2];
        const size_t at = corners.size();
        corners.resize(at + kCornersPerPrism * 3);
        float* out = PutCaps(corners.data() + at, a, b, c);
        out = PutSide(out, a, b);
        out = PutSide(out, b, c);
        PutSide(out, c, a);
    }
}

void AppendShadowOutline(const cloadobj_conteiner& model, std::vector<float>& corners) {
    EmitShadowOutline(model, FindShadowOutline(model), corners);
}

ShadowVolumeSize MeasureShadowVolume(const cloadobj_conteiner& model) {
    const ShadowOutline outline = FindShadowOutline(model);
    ShadowVolumeSize size;
    size.prism_triangles = outline.downward.size() * 8;
    for (uint8_t kept : outline.kept) {
        size.outline_triangles += 2 + 2 * size_t((kept & 1) + ((kept >> 1) & 1) + ((kept >> 2) & 1));
    }
    return size;
}
