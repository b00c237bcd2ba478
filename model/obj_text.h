// OBJ text reader: turns the bytes of a Wavefront OBJ file into flat arrays of positions,
// normals, texture coordinates and triangles, the points of "l" statements and the
// material statements in file order. It works on a byte range only: no files, no GL, no
// textures, no global state. Every index it stores is valid for the arrays it returns.
#pragma once

#include "math/Cmath.h"
#include "model/model_records.h"

#include <cstdint>
#include <string>
#include <vector>

// A material statement of the OBJ file, kept in file order so that each "usemtl" can be
// matched against the materials of the "mtllib" statements that came before it.
struct ObjDirective {
    enum Kind : uint8_t { kMaterialLibrary, kUseMaterial };
    Kind kind;
    // For "usemtl": the number of triangles read before the statement.
    uint32_t triangle;
    // "mtllib": the rest of the line as written; "usemtl": the name without outer blanks.
    std::string text;
};

// What one OBJ file holds, in converted units: positions and normals divided by 50 with
// their second and third coordinates exchanged, texture coordinates with v flipped.
struct ObjText {
    std::vector<cMath::vector4> positions;
    std::vector<cMath::vector4> normals;
    std::vector<cMath::vector4> texcoords;
    std::vector<tiangle_face> triangles;
    std::vector<cMath::vector4> line_points;   // positions named by "l" statements
    std::vector<ObjDirective> directives;
    uint32_t line_count = 0;                    // lines read
};

// Called while reading, every kObjLineHookInterval lines, with the number of lines read.
struct ObjLineHook {
    void (*call)(void* context, uint32_t lines_read) = nullptr;
    void* context = nullptr;
};
constexpr uint32_t kObjLineHookInterval = 4096;

// Reads the OBJ text in [begin, end) into `out` (which should be empty).
// Faces: corners v, v/vt, v//vn or v/vt/vn, negative indices counting back from the newest
// element read so far; a polygon becomes the fan (0,1,2), (0,2,3), ...; a face with an index
// of 0 or beyond what the whole text defines is dropped whole. A corner without texture
// coordinate uses one (0, 0) appended to `texcoords`; a face without normals gets its flat
// normal appended to `normals`.
void ParseObjText(const char* begin, const char* end, ObjText& out, ObjLineHook hook = {});

// The same reading done piece by piece, for a file read in blocks.
// A face whose indices or normals can only be settled once the whole text is read.
struct ObjPendingFace {
    uint32_t first;          // its first triangle
    uint32_t count;          // its triangles
    bool forward;            // names an element not read yet at its line
    bool needs_normal;       // some corner has no normal
    bool dropped;
};

struct ObjTextState {
    ObjText* out = nullptr;
    ObjLineHook hook;
    std::vector<ObjPendingFace> pending;
    bool missing_texcoord = false;
    uint32_t until_hook = kObjLineHookInterval;
};

void BeginObjText(ObjTextState& state, ObjText& out, ObjLineHook hook = {});
// Reads the lines of [begin, end). With `last` false only lines ending in a line feed are read
// and the rest is left for the next piece (the caller passes it again); with `last` true the
// text after the final line feed, possibly empty, is read as the last line.
void FeedObjText(ObjTextState& state, const char* begin, const char* end, bool last);
// Settles forward references, missing normals and texture coordinates.
void FinishObjText(ObjTextState& state);

// Reads an OBJ file in blocks through the functions above (the file is never held whole).
// False, with `out` emptied, when the file cannot be opened or read or memory runs out.
bool ReadObjFile(const char* path, ObjText& out, ObjLineHook hook = {});
