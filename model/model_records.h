// Plain records of a loaded model: one triangle's indices, one material switch and one
// material as read from an MTL file. They hold values only; they never load textures,
// never talk to GL and never read files.
#pragma once

#include <cstdint>
#include <string>

// One triangle: position, texture-coordinate and normal index of each corner, 0-based,
// corners in the order the file gives them.
struct tiangle_face {
    uint32_t pos0, uv0, nrm0;
    uint32_t pos1, uv1, nrm1;
    uint32_t pos2, uv2, nrm2;
};

// Where a material starts to govern the triangles: the index of the first triangle and
// the index of the material in the model's `materials`.
struct material_switch {
    uint32_t first_triangle;
    uint32_t material_index;
};

// Number of floats the model program receives per material ("material" uniform) and the
// number of texture maps (units 0 to 6).
constexpr unsigned kMaterialFloatCount = 19;
constexpr unsigned kMaterialMapCount = 7;

// One MTL material. The nineteen floats from Kd to illum are the program's "material"
// array in this order; the seven texture names are units 0 to 6 in this order.
// A texture name of 0 means no map statement, -1 a map whose image could not be decoded.
struct material {
    float Kd[3] = {0.8f, 0.8f, 0.8f};
    float Ka[3] = {0.2f, 0.2f, 0.2f};
    float Ks[3] = {1.0f, 1.0f, 1.0f};
    float Ke[3] = {0.0f, 0.0f, 0.0f};
    float Tf[3] = {0.0f, 0.0f, 0.0f};
    float d = 1.0f;
    float Ni = 1.0f;
    float Ns = 0.0f;
    float illum = 0.0f;
    std::string name;
    int tex_alpha = 0;      // map_d
    int tex_ambient = 0;    // map_Ka
    int tex_bump = 0;       // map_Bump
    int tex_diffuse = 0;    // map_Kd
    int tex_emissive = 0;   // map_Ke
    int tex_shininess = 0;  // map_Ns
    int tex_specular = 0;   // map_Ks
};

// The texture unit of each map kind, in the order of the material's texture names.
enum MaterialMapUnit : uint8_t {
    kMapAlpha = 0,
    kMapAmbient = 1,
    kMapBump = 2,
    kMapDiffuse = 3,
    kMapEmissive = 4,
    kMapShininess = 5,
    kMapSpecular = 6,
};

// The texture name of one unit (0 to 6) of a material.
int& MaterialTexture(material& m, unsigned unit);
int MaterialTexture(const material& m, unsigned unit);

// The nineteen floats of the "material" uniform, Kd first, illum last.
void MaterialValues(const material& m, float out[kMaterialFloatCount]);
// The seven texture names of the "units" uniform, unit 0 first.
void MaterialUnits(const material& m, int out[kMaterialMapCount]);
