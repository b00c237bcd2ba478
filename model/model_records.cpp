// Accessors of the material record used by the display lists and the MTL reader.
#include "model/model_records.h"

namespace {

int* TextureSlot(material& m, unsigned unit) {
    switch (unit) {
    case kMapAlpha: return &m.tex_alpha;
    case kMapAmbient: return &m.tex_ambient;
    case kMapBump: return &m.tex_bump;
    case kMapDiffuse: return &m.tex_diffuse;
    case kMapEmissive: return &m.tex_emissive;
    case kMapShininess: return &m.tex_shininess;
    default: return &m.tex_specular;
    }
}

}  // namespace

int& MaterialTexture(material& m, unsigned unit) { return *TextureSlot(m, unit); }

int MaterialTexture(const material& m, unsigned unit) {
    return *TextureSlot(const_cast<material&>(m), unit);
}

void MaterialValues(const material& m, float out[kMaterialFloatCount]) {
    const float* groups[5] = {m.Kd, m.Ka, m.Ks, m.Ke, m.Tf};
    unsigned k = 0;
    for (const float* g : groups) {
        for (int i = 0; i < 3; ++i) out[k++] = g[i];
    }
    out[k++] = m.d;
    out[k++] = m.Ni;
    out[k++] = m.Ns;
    out[k] = m.illum;
}

void MaterialUnits(const material& m, int out[kMaterialMapCount]) {
    for (unsigned u = 0; u < kMaterialMapCount; ++u) out[u] = MaterialTexture(m, u);
}
