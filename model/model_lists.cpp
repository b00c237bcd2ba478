// The four display lists of a model: what each records around the triangles (program,
// blending, material values and maps) and how the geometry is sent while compiling.
#include "model/cloadobj.h"

#include "render/cshader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>

namespace {

// Triangles per vertex-array draw while compiling (bounds the scratch buffer).
constexpr uint32_t kArrayChunkTriangles = 1u << 15;
// Floats per corner of the interleaved layout: texture coordinate, normal, position.
constexpr size_t kCornerFloats = 8;
constexpr float kShadowDepth = 4.0f;

// Sends triangles [first, last) of a model as GL_TRIANGLES, each corner with its texture
// coordinate, normal and position, either call by call or through vertex arrays.
struct TriangleEmitter {
    ListRecording mode;
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
    if (mode == ListRecording::kImmediate) {
        EmitImmediate(m, first, last);
    } else {
        EmitArrays(m, first, last, scratch);
    }
}

// Draws every triangle, applying each material switch before the triangle it starts at.
// Switches at the same triangle apply in order (the last one wins); a switch at or after
// the end of the triangles is never applied.
template <typename ApplyMaterial>
void DrawWithMaterials(const cloadobj_conteiner& m, TriangleEmitter& emitter, ApplyMaterial apply) {
    uint32_t run = 0;
    for (const material_switch& s : m.material_switches) {
        if (s.first_triangle >= m.triangle_count) break;
        if (s.material_index >= m.materials.size()) continue;
        const uint32_t start = s.first_triangle > run ? s.first_triangle : run;
        emitter.Draw(m, run, start);
        run = start;
        apply(m.materials[s.material_index]);
    }
    emitter.Draw(m, run, m.triangle_count);
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

// The closed prism below a triangle: the triangle, its copy kShadowDepth lower with reversed
// winding, and two triangles per side; 24 corners of 3 floats.
float* PutPrism(float* out, const cloadobj_conteiner& m, const tiangle_face& t) {
    const cMath::vector4& a = m.positions[t.pos0];
    const cMath::vector4& b = m.positions[t.pos1];
    const cMath::vector4& c = m.positions[t.pos2];
    const cMath::vector4 a2(a.x, a.y - kShadowDepth, a.z, 0.0f);
    const cMath::vector4 b2(b.x, b.y - kShadowDepth, b.z, 0.0f);
    const cMath::vector4 c2(c.x, c.y - kShadowDepth, c.z, 0.0f);
    const cMath::vector4* order[24] = {&a, &b,  &c,  &c2, &b2, &a2, &a, &a2, &b2, &a, &b2, &b,
                                       &b, &b2, &c2, &b,  &c2, &c,  &c, &c2, &a2, &c, &a2, &a};
    for (const cMath::vector4* v : order) {
        out[0] = v->x;
        out[1] = v->y;
        out[2] = v->z;
        out += 3;
    }
    return out;
}

void DrawPrismCorners(const std::vector<float>& corners, ListRecording mode) {
    const GLsizei count = GLsizei(corners.size() / 3);
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

}  // namespace

void CompileShadedList(cloadobj& loader, cloadobj_conteiner& model) {
    TriangleEmitter emitter{loader.list_recording, {}};
    model.list_shaded = BeginList();
    UseModelProgram(loader);
    glDisable(GL_BLEND);
    DrawWithMaterials(model, emitter, [&](const material& m) { ApplyShadedMaterial(loader, m); });
    UseNoProgram(loader);
    glEndList();
}

void CompileGlowList(cloadobj& loader, cloadobj_conteiner& model) {
    TriangleEmitter emitter{loader.list_recording, {}};
    model.list_glow = BeginList();
    UseNoProgram(loader);
    glEnable(GL_BLEND);
    emitter.Draw(model, 0, model.triangle_count);
    glEndList();
}

void CompilePlainList(cloadobj& loader, cloadobj_conteiner& model) {
    TriangleEmitter emitter{loader.list_recording, {}};
    model.list_plain = BeginList();
    UseNoProgram(loader);
    glEnable(GL_BLEND);
    DrawWithMaterials(model, emitter, [](const material& m) { ApplyPlainMaterial(m); });
    glEndList();
}

void CompileShadowList(cloadobj& loader, cloadobj_conteiner& model) {
    model.list_shadow = BeginList();
    // The prisms go out in chunks so that the scratch buffer stays bounded.
    std::vector<float> corners;
    corners.reserve(size_t(kArrayChunkTriangles) * 24 * 3);
    for (uint32_t g = 0; g < model.triangle_count; ++g) {
        const tiangle_face& t = model.triangles[g];
        if (!FacesDownward(model, t)) continue;
        corners.resize(corners.size() + 24 * 3);
        PutPrism(corners.data() + corners.size() - 24 * 3, model, t);
        if (corners.size() >= size_t(kArrayChunkTriangles) * 24 * 3) {
            DrawPrismCorners(corners, loader.list_recording);
            corners.clear();
        }
    }
    DrawPrismCorners(corners, loader.list_recording);
    glEndList();
}

void DeleteModelLists(cloadobj_conteiner& model) {
    uint32_t* names[4] = {&model.list_shaded, &model.list_plain, &model.list_shadow, &model.list_glow};
    for (uint32_t* name : names) {
        if (*name != 0) glDeleteLists(*name, 1);
        *name = 0;
    }
}
