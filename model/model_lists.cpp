// The four display lists of a model: what each records around the triangles (program,
// blending, material values and maps) and how the geometry is sent while compiling. The
// triangles are recorded once, run by run between material switches, into lists that the
// shaded, glow and plain lists call; the shadow list records the outline of the downward
// regions' prisms.
#include "model/cloadobj.h"

#include "render/cshader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>

namespace {

// Triangles per vertex-array draw while compiling (bounds the scratch buffer).
constexpr uint32_t kArrayChunkTriangles = 1u << 15;
// Floats per corner of the interleaved layout: texture coordinate, normal, position.
constexpr size_t kCornerFloats = 8;
constexpr float kShadowDepth = 4.0f;
// Most runs of triangles between material switches that get lists of their own.
constexpr uint32_t kMaxRunLists = 1024;

// Sends triangles [first, last) of a model as GL_TRIANGLES, each corner with its texture
// coordinate, normal and position, either call by call or through vertex arrays.
struct TriangleEmitter {
    ListRecording mode;
    size_t* vertices;   // counts what is sent
    std::vector<float> scratch;

    void Draw(const cloadobj_conteiner& m, uint32_t first, uint32_t last);
};

void EmitCorner(const cloadobj_conteiner& m, uint32_t pos, uint32_t uv, uint32_t nrm) {
    const cMath::vector4& t = m.texcoords[uv];
    const cMath::vector4& n = m.normals[nrm];
    const cMath::vector4& p = m.positions[pos];
    glTexCoord2f(t.x, t.y);
    glNormal3f(n.x, n.y, n.z);
    glVertex3f(p.x, p.y, p.z);
}

void EmitImmediate(const cloadobj_conteiner& m, uint32_t first, uint32_t last) {
    glBegin(GL_TRIANGLES);
    for (uint32_t g = first; g < last; ++g) {
        const tiangle_face& t = m.triangles[g];
        EmitCorner(m, t.pos0, t.uv0, t.nrm0);
        EmitCorner(m, t.pos1, t.uv1, t.nrm1);
        EmitCorner(m, t.pos2, t.uv2, t.nrm2);
    }
    glEnd();
}

float* PutCorner(float* out, const cloadobj_conteiner& m, uint32_t pos, uint32_t uv, uint32_t nrm) {
    const cMath::vector4& t = m.texcoords[uv];
    const cMath::vector4& n = m.normals[nrm];
    const cMath::vector4& p = m.positions[pos];
    out[0] = t.x;
    out[1] = t.y;
    out[2] = n.x;
    out[3] = n.y;
    out[4] = n.z;
    out[5] = p.x;
    out[6] = p.y;
    out[7] = p.z;
    return out + kCornerFloats;
}

void EmitArrays(const cloadobj_conteiner& m, uint32_t first, uint32_t last, std::vector<float>& scratch) {
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    for (uint32_t chunk = first; chunk < last; chunk += kArrayChunkTriangles) {
        const uint32_t end = last - chunk > kArrayChunkTriangles ? chunk + kArrayChunkTriangles : last;
        scratch.resize(size_t(end - chunk) * 3 * kCornerFloats);
        float* out = scratch.data();
        for (uint32_t g = chunk; g < end; ++g) {
            const tiangle_face& t = m.triangles[g];
            out = PutCorner(out, m, t.pos0, t.uv0, t.nrm0);
            out = PutCorner(out, m, t.pos1, t.uv1, t.nrm1);
            out = PutCorner(out, m, t.pos2, t.uv2, t.nrm2);
        }
        glInterleavedArrays(GL_T2F_N3F_V3F, 0, scratch.data());
        glDrawArrays(GL_TRIANGLES, 0, GLsizei((end - chunk) * 3));
    }
    glPopClientAttrib();
}

void TriangleEmitter::Draw(const cloadobj_conteiner& m, uint32_t first, uint32_t last) {
    if (first >= last) return;
    *vertices += size_t(last - first) * 3;
    if (mode == ListRecording::kImmediate) {
        EmitImmediate(m, first, last);
    } else {
        EmitArrays(m, first, last, scratch);
    }
}

// The material walk: calls run(first, last) for each stretch of triangles between two
// applied switches (possibly empty) and apply(material) at each switch, in drawing order.
// Switches at the same triangle apply in order (the last one wins); a switch at or after
// the end of the triangles is never applied.
template <typename Run, typename ApplyMaterial>
void WalkMaterialRuns(const cloadobj_conteiner& m, Run run, ApplyMaterial apply) {
    uint32_t first = 0;
    for (const material_switch& s : m.material_switches) {
        if (s.first_triangle >= m.triangle_count) break;
        if (s.material_index >= m.materials.size()) continue;
        const uint32_t start = s.first_triangle > first ? s.first_triangle : first;
        run(first, start);
        first = start;
        apply(m.materials[s.material_index]);
    }
    run(first, m.triangle_count);
}

uint32_t BeginList() {
    const uint32_t name = glGenLists(1);
    glNewList(name, GL_COMPILE);
    return name;
}

void UseModelProgram(cloadobj& loader) {
    if (loader.shaders) loader.shaders->UseShader(loader.shader);
}

void UseNoProgram(cloadobj& loader) {
    if (loader.shaders) loader.shaders->DisableShader();
}

// Shaded list: the material's values and units to the program, its maps on units 0 to 6.
void ApplyShadedMaterial(cloadobj& loader, const material& m) {
    if (loader.shaders) {
        float values[kMaterialFloatCount];
        int units[kMaterialMapCount];
        MaterialValues(m, values);
        MaterialUnits(m, units);
        loader.shaders->SetUniformf(loader.shader, "material", values, kMaterialFloatCount);
        loader.shaders->SetUniformi(loader.shader, "units", units, kMaterialMapCount);
    }
    for (unsigned u = 0; u < kMaterialMapCount; ++u) {
        glActiveTexture(GL_TEXTURE0 + u);
        glBindTexture(GL_TEXTURE_2D, GLuint(MaterialTexture(m, u)));
    }
    glActiveTexture(GL_TEXTURE0);
}

// Plain list: only the diffuse map, on unit 0.
void ApplyPlainMaterial(const material& m) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, GLuint(m.tex_diffuse));
}

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

std::vector<uint32_t> DownwardTriangles(const cloadobj_conteiner& m) {
    std::vector<uint32_t> down;
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

constexpr size_t kCornersPerPrism = 24;

// Which side quads of the downward triangles stay in the outline: bit e of kept[k] for the
// edge from corner e to corner e + 1 of downward triangle k. A side is dropped when it has
// zero area (both ends at one point) or when it is paired with the side of the reverse
// edge of another (or the same) downward triangle; each side is paired at most once.
// Sides pair by position index: two positions that are equal but read separately do not
// pair, which only keeps a few more sides.
struct ShadowOutline {
    std::vector<uint32_t> downward;
    std::vector<uint8_t> kept;
};

ShadowOutline FindShadowOutline(const cloadobj_conteiner& m) {
    ShadowOutline outline;
    outline.downward = DownwardTriangles(m);
    const size_t sides = outline.downward.size() * 3;
    std::vector<uint32_t> from(sides), to(sides);
    for (size_t k = 0; k < outline.downward.size(); ++k) {
        const tiangle_face& t = m.triangles[outline.downward[k]];
        const uint32_t corner[3] = {t.pos0, t.pos1, t.pos2};
        for (int e = 0; e < 3; ++e) {
            from[k * 3 + e] = corner[e];
            to[k * 3 + e] = corner[(e + 1) % 3];
        }
    }
    // A side whose two ends lie at the same point has no area: it is neither drawn nor paired.
    std::vector<uint8_t> flat(sides, 0);
    for (size_t s = 0; s < sides; ++s) {
        const cMath::vector4& p = m.positions[from[s]];
        const cMath::vector4& q = m.positions[to[s]];
        flat[s] = p.x == q.x && p.y == q.y && p.z == q.z;
    }
    // The other sides grouped by their lower position index (counting sort), then within a
    // group ordered by the higher index, the direction and the side's number. Of the sides
    // along one edge, the first k in each direction pair up (k = the smaller count): the same
    // pairs as pairing, side by side in order, each side with the first free reverse side.
    const size_t npos = m.positions.size();
    std::vector<uint8_t> paired(sides, 0);
    // (Models too large for the packed keys below keep every side: still the same shadow.)
    const bool packable = npos < (size_t(1) << 31) && sides < (size_t(1) << 32);
    std::vector<uint32_t> first(packable ? npos + 1 : 1, 0);
    for (size_t s = 0; packable && s < sides; ++s) {
        if (!flat[s]) ++first[std::min(from[s], to[s]) + 1];
    }
    for (size_t i = 0; packable && i < npos; ++i) first[i + 1] += first[i];
    std::vector<uint64_t> keys(packable ? first[npos] : 0);
    if (packable) {
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (size_t s = 0; s < sides; ++s) {
            if (flat[s]) continue;
            const uint32_t low = std::min(from[s], to[s]), high = std::max(from[s], to[s]);
            const uint64_t backward = from[s] > to[s] ? 1u : 0u;
            keys[fill[low]++] = uint64_t(high) << 33 | backward << 32 | uint64_t(s);
        }
    }
    for (size_t v = 0; packable && v < npos; ++v) {
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
                paired[uint32_t(edge[i])] = 1;
                paired[uint32_t(backward[i])] = 1;
            }
            edge = edge_end;
        }
    }
    outline.kept.assign(outline.downward.size(), 0);
    for (size_t s = 0; s < sides; ++s) {
        if (!paired[s] && !flat[s]) outline.kept[s / 3] |= uint8_t(1u << (s % 3));
    }
    return outline;
}

// Appends the outline's triangles in the order of the downward triangles: each one's two
// caps, then its kept sides in edge order. A triangle that keeps all three sides is its
// whole prism, in the prism's own order. `flush` receives the corners whenever they exceed
// `flush_at` floats, and once at the end.
template <typename Flush>
void EmitShadowOutline(const cloadobj_conteiner& m, const ShadowOutline& outline, std::vector<float>& corners,
                       size_t flush_at, Flush flush) {
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
        if (corners.size() >= flush_at) {
            flush(corners);
            corners.clear();
        }
    }
    flush(corners);
    corners.clear();
}

void DrawPrismCorners(const std::vector<float>& corners, ListRecording mode, size_t& vertices) {
    const GLsizei count = GLsizei(corners.size() / 3);
    vertices += size_t(count);
    if (count == 0) return;
    if (mode == ListRecording::kImmediate) {
        glBegin(GL_TRIANGLES);
        for (GLsizei i = 0; i < count; ++i) glVertex3fv(&corners[size_t(i) * 3]);
        glEnd();
        return;
    }
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, corners.data());
    glDrawArrays(GL_TRIANGLES, 0, count);
    glPopClientAttrib();
}

// Draws the triangles with the material walk: through the run lists when they were
// recorded (one list per non-empty run), otherwise by sending the triangles again.
template <typename ApplyMaterial>
void DrawRunsWithMaterials(cloadobj& loader, const cloadobj_conteiner& m, ApplyMaterial apply) {
    if (m.run_list_count == 0) {
        TriangleEmitter emitter{loader.list_recording, &loader.last_load.list_vertices, {}};
        WalkMaterialRuns(
            m, [&](uint32_t first, uint32_t last) { emitter.Draw(m, first, last); }, apply);
        return;
    }
    uint32_t next_list = m.run_lists;
    WalkMaterialRuns(
        m, [&](uint32_t first, uint32_t last) {
            if (first < last) glCallList(next_list++);
        },
        apply);
}

// Records every non-empty run of triangles between material switches into its own list,
// once; the shaded, glow and plain lists call them. Every list costs the driver a fixed
// amount, so a model switching materials very often (short runs) gets no run lists and its
// three lists send the triangles themselves.
void CompileRunLists(cloadobj& loader, cloadobj_conteiner& model) {
    if (model.run_list_count != 0 || model.triangle_count == 0) return;
    uint32_t runs = 0;
    WalkMaterialRuns(
        model, [&](uint32_t first, uint32_t last) { runs += first < last; }, [](const material&) {});
    if (runs > kMaxRunLists) return;
    const uint32_t first_name = glGenLists(GLsizei(runs));
    if (first_name == 0) return;
    model.run_lists = first_name;
    model.run_list_count = runs;
    TriangleEmitter emitter{loader.list_recording, &loader.last_load.list_vertices, {}};
    uint32_t name = first_name;
    WalkMaterialRuns(
        model,
        [&](uint32_t first, uint32_t last) {
            if (first >= last) return;
            glNewList(name++, GL_COMPILE);
            emitter.Draw(model, first, last);
            glEndList();
        },
        [](const material&) {});
}

}  // namespace

void CompileShadedList(cloadobj& loader, cloadobj_conteiner& model) {
    CompileRunLists(loader, model);
    model.list_shaded = BeginList();
    UseModelProgram(loader);
    glDisable(GL_BLEND);
    DrawRunsWithMaterials(loader, model, [&](const material& m) { ApplyShadedMaterial(loader, m); });
    UseNoProgram(loader);
    glEndList();
}

void CompileGlowList(cloadobj& loader, cloadobj_conteiner& model) {
    CompileRunLists(loader, model);
    model.list_glow = BeginList();
    UseNoProgram(loader);
    glEnable(GL_BLEND);
    if (model.run_list_count == 0) {
        TriangleEmitter emitter{loader.list_recording, &loader.last_load.list_vertices, {}};
        emitter.Draw(model, 0, model.triangle_count);
    }
    for (uint32_t i = 0; i < model.run_list_count; ++i) glCallList(model.run_lists + i);
    glEndList();
}

void CompilePlainList(cloadobj& loader, cloadobj_conteiner& model) {
    CompileRunLists(loader, model);
    model.list_plain = BeginList();
    UseNoProgram(loader);
    glEnable(GL_BLEND);
    DrawRunsWithMaterials(loader, model, [](const material& m) { ApplyPlainMaterial(m); });
    glEndList();
}

void CompileShadowList(cloadobj& loader, cloadobj_conteiner& model) {
    const ShadowOutline outline = FindShadowOutline(model);
    model.list_shadow = BeginList();
    // The corners go out in chunks so that the scratch buffer stays bounded.
    constexpr size_t kFlushAt = size_t(kArrayChunkTriangles) * kCornersPerPrism * 3;
    std::vector<float> corners;
    corners.reserve(kFlushAt + kCornersPerPrism * 3);
    EmitShadowOutline(model, outline, corners, kFlushAt,
                      [&](const std::vector<float>& c) { DrawPrismCorners(c, loader.list_recording, loader.last_load.list_vertices); });
    glEndList();
}

void DeleteModelLists(cloadobj_conteiner& model) {
    uint32_t* names[4] = {&model.list_shaded, &model.list_plain, &model.list_shadow, &model.list_glow};
    for (uint32_t* name : names) {
        if (*name != 0) glDeleteLists(*name, 1);
        *name = 0;
    }
    if (model.run_list_count != 0) glDeleteLists(model.run_lists, GLsizei(model.run_list_count));
    model.run_lists = 0;
    model.run_list_count = 0;
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
    std::vector<float> chunk;
    EmitShadowOutline(model, FindShadowOutline(model), chunk, size_t(1) << 20,
                      [&](const std::vector<float>& c) { corners.insert(corners.end(), c.begin(), c.end()); });
}

ShadowVolumeSize MeasureShadowVolume(const cloadobj_conteiner& model) {
    const ShadowOutline outline = FindShadowOutline(model);
    ShadowVolumeSize size;
    size.prism_triangles = outline.downward.size() * 8;
    for (uint8_t kept : outline.kept) size.outline_triangles += 2 + 2 * size_t((kept & 1) + ((kept >> 1) & 1) + ((kept >> 2) & 1));
    return size;
}
