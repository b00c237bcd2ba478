// The four display lists of a model: what each records around the triangles (program,
// blending, material values and maps) and how the geometry is sent while compiling. The
// triangles are recorded once, run by run between material switches, into lists that the
// shaded, glow and plain lists call (a model with very many switches is recorded material
// by material instead). The shadow list lives in shadow_volume.cpp.
#include "model/cloadobj.h"

#include "render/cshader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// Triangles per vertex-array draw while compiling (bounds the scratch buffer).
constexpr uint32_t kArrayChunkTriangles = 1u << 15;
// Floats per corner of the interleaved layout: texture coordinate, normal, position.
constexpr size_t kCornerFloats = 8;
// Most runs of triangles between material switches that get lists of their own.
constexpr uint32_t kMaxRunLists = 1024;
// The material of the runs before the first switch, in a material-by-material recording.
constexpr uint32_t kNoMaterial = UINT32_MAX;

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

// The corners of triangles [first, last), inside a glBegin(GL_TRIANGLES) of the caller.
void EmitTriangles(const cloadobj_conteiner& m, uint32_t first, uint32_t last) {
    for (uint32_t g = first; g < last; ++g) {
        const tiangle_face& t = m.triangles[g];
        EmitCorner(m, t.pos0, t.uv0, t.nrm0);
        EmitCorner(m, t.pos1, t.uv1, t.nrm1);
        EmitCorner(m, t.pos2, t.uv2, t.nrm2);
    }
}

void EmitImmediate(const cloadobj_conteiner& m, uint32_t first, uint32_t last) {
    glBegin(GL_TRIANGLES);
    EmitTriangles(m, first, last);
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
    if (!loader.gl.ActiveTexture) {  // a GL 1.1 driver: unit 0 only
        glBindTexture(GL_TEXTURE_2D, GLuint(m.tex_diffuse));
        return;
    }
    for (unsigned u = 0; u < kMaterialMapCount; ++u) {
        loader.gl.ActiveTexture(GL_TEXTURE0 + u);
        glBindTexture(GL_TEXTURE_2D, GLuint(MaterialTexture(m, u)));
    }
    loader.gl.ActiveTexture(GL_TEXTURE0);
}

// Plain list: only the diffuse map, on unit 0.
void ApplyPlainMaterial(const cloadobj& loader, const material& m) {
    if (loader.gl.ActiveTexture) loader.gl.ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, GLuint(m.tex_diffuse));
}

// Draws the triangles with the material walk: through the run lists when they were
// recorded (one list per non-empty run), otherwise by sending the triangles again.
template <typename ApplyMaterial>
void DrawRunsWithMaterials(cloadobj& loader, const cloadobj_conteiner& m, ApplyMaterial apply) {
    if (!m.run_list_materials.empty()) {
        for (uint32_t i = 0; i < m.run_list_count; ++i) {
            const uint32_t material = m.run_list_materials[i];
            if (material != kNoMaterial) apply(m.materials[material]);
            glCallList(m.run_lists + i);
        }
        return;
    }
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

// One stretch of triangles drawn with one material (kNoMaterial: before the first switch).
struct MaterialRun {
    uint32_t first, last, material;
};

// A model with more runs than get lists of their own is recorded material by material: the
// runs of each material (the runs before the first switch first) go into one list, so that
// the shaded and plain lists apply each material once and a switch costs the driver nothing
// (recording each switch's values, maps and primitive took about 1.1 KB a switch). Models
// with more materials in use than lists allow send their triangles in each list instead.
void CompileMaterialGroupLists(cloadobj& loader, cloadobj_conteiner& model) {
    std::vector<MaterialRun> runs;
    uint32_t current = kNoMaterial;
    WalkMaterialRuns(
        model, [&](uint32_t first, uint32_t last) {
            if (first < last) runs.push_back(MaterialRun{first, last, current});
        },
        [&](const material& mat) { current = uint32_t(&mat - model.materials.data()); });
    std::stable_sort(runs.begin(), runs.end(), [](const MaterialRun& a, const MaterialRun& b) {
        return uint32_t(a.material + 1) < uint32_t(b.material + 1);  // kNoMaterial wraps to 0: first
    });
    std::vector<uint32_t> materials;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i == 0 || runs[i].material != runs[i - 1].material) materials.push_back(runs[i].material);
    }
    if (materials.size() > kMaxRunLists) return;
    const uint32_t first_name = glGenLists(GLsizei(materials.size()));
    if (first_name == 0) return;
    TriangleEmitter emitter{loader.list_recording, &loader.last_load.list_vertices, {}};
    const bool immediate = loader.list_recording == ListRecording::kImmediate;
    for (size_t i = 0, group = 0; i < runs.size(); ++group) {
        glNewList(first_name + uint32_t(group), GL_COMPILE);
        if (immediate) glBegin(GL_TRIANGLES);
        for (const uint32_t material = runs[i].material; i < runs.size() && runs[i].material == material; ++i) {
            if (immediate) {
                EmitTriangles(model, runs[i].first, runs[i].last);
                loader.last_load.list_vertices += size_t(runs[i].last - runs[i].first) * 3;
            } else {
                emitter.Draw(model, runs[i].first, runs[i].last);
            }
        }
        if (immediate) glEnd();
        glEndList();
    }
    model.run_lists = first_name;
    model.run_list_count = uint32_t(materials.size());
    model.run_list_materials = std::move(materials);
}

// Records every non-empty run of triangles between material switches into its own list,
// once; the shaded, glow and plain lists call them. Every list costs the driver a fixed
// amount, so a model switching materials very often (short runs) is recorded material by
// material instead.
void CompileRunLists(cloadobj& loader, cloadobj_conteiner& model) {
    if (model.run_list_count != 0 || model.triangle_count == 0) return;
    uint32_t runs = 0;
    WalkMaterialRuns(
        model, [&](uint32_t first, uint32_t last) { runs += first < last; }, [](const material&) {});
    if (runs > kMaxRunLists) {
        CompileMaterialGroupLists(loader, model);
        return;
    }
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
    DrawRunsWithMaterials(loader, model, [&loader](const material& m) { ApplyPlainMaterial(loader, m); });
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
    model.run_list_materials.clear();
}

