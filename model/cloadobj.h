// Model loader: reads OBJ models with their MTL materials, keeps every loaded model, builds
// each model's triangle quadtree and compiles the four display lists that draw it (shaded,
// plain, glow and shadow prisms). Models are counted by use: LoadObj counts one for its
// caller, Retain one more, Release gives one back, and a model without uses is released with
// its lists and the uses its materials hold on their textures. Textures belong to the
// texture manager and programs to the shader manager. Needs the GL context for loading,
// drawing and release.
#pragma once

#include "math/Cmath.h"
#include "model/model_records.h"
#include "model/quadtree.h"
#include "platform/memory_hints.h"
#include "render/cshader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class Ctexture;

// One loaded model. Positions and normals are in scene units (file units / 50, second and
// third coordinates exchanged); texture coordinates have v flipped.
struct cloadobj_conteiner {
    std::string name;                          // the path given to LoadObj
    std::vector<cMath::vector4> positions;
    std::vector<cMath::vector4> normals;
    std::vector<cMath::vector4> texcoords;
    uint32_t triangle_count = 0;
    std::vector<tiangle_face> triangles;       // triangle_count records, file order
    cMath::vector4 bbox[2];                    // minimum and maximum corner; zero when empty
    uint32_t list_shaded = 0;
    uint32_t list_plain = 0;
    uint32_t list_shadow = 0;
    uint32_t list_glow = 0;
    std::vector<material> materials;           // from the "mtllib" files, in file order
    std::vector<material_switch> material_switches;
    std::vector<cMath::vector4> line_points;   // positions named by "l" statements
    OuadTree tree;                             // bounds: bbox
    bool readable = false;                     // false when the file could not be read
    // Normals and texture coordinates the file holds; the rest of the arrays were made by
    // the loader (flat normals, the default texture coordinate).
    size_t normals_in_file = 0;
    size_t texcoords_in_file = 0;
    // True when the load failed for want of memory (readable is then false and the model
    // empty): an allocation failed, or the display lists would not fit in what is available.
    bool out_of_memory = false;
    // The triangles between two material switches, each run recorded once into its own
    // display list (names run_lists .. run_lists + run_list_count - 1) that the shaded,
    // glow and plain lists call; released with the four lists.
    uint32_t run_lists = 0;
    uint32_t run_list_count = 0;
    // When the runs are too many for a list each (very many switches), each run list holds
    // every run of one material instead, and this names that material for each list in
    // order (UINT32_MAX for the runs before the first switch); empty otherwise.
    std::vector<uint32_t> run_list_materials;
    // Holders of the model (see cloadobj::Retain); the model is released when this reaches 0.
    int use_count = 1;
    // Texture names the material maps hold one use of each (given back on release).
    std::vector<int> texture_uses;
    // Canonical paths of the material files read into `materials`: each is read once
    // however often the model names it.
    std::unordered_set<std::string> material_files;
    // The identity of the file the model was read from (see FileIdentity); empty when it
    // could not be read. LoadObjShared hands out a model again when the identities match.
    std::string file_identity;

    cloadobj_conteiner() = default;
    cloadobj_conteiner(const cloadobj_conteiner&) = delete;
    cloadobj_conteiner& operator=(const cloadobj_conteiner&) = delete;
};

// Progress of a load: phase (0 reading, 1 copying, 2 tree), step count, value, total.
using LoadProgressFunction = void (*)(int, int, float, float);

// How the display lists receive their geometry: one GL call per vertex attribute, or
// vertex arrays drawn while the list is compiled (same recorded geometry). Call by call is
// the default: on the offscreen Mesa driver it compiles about 1.6 times and draws about 1.4
// times faster than arrays inside lists (morva-bench, 1.3 million triangles).
enum class ListRecording : uint8_t { kImmediate, kVertexArrays };

// Milliseconds spent in each phase of the latest LoadObj.
struct LoadPhaseTimes {
    double read_parse = 0;   // file read and OBJ/MTL text read, textures included
    double copy = 0;         // arrays handed to the model
    double box = 0;
    double tree = 0;
    double list_shaded = 0;
    double list_glow = 0;
    double list_plain = 0;
    // The loading thread's share of the shadow list: working out its strips and recording
    // them, or, when a second thread worked them out (see geometry_on_second_thread),
    // waiting for that thread and recording.
    double list_shadow = 0;
    double total = 0;
    // Whether the box, the tree and the shadow strips were worked out on a second thread
    // while the loading thread recorded the other lists (box and tree then count that
    // thread's time), and how long the loading thread waited for it afterwards.
    bool geometry_on_second_thread = false;
    double geometry_wait = 0;
    // Whether the second thread also recorded the shadow list, on the shared list context
    // (list_shadow then counts only the wait).
    bool shadow_on_second_thread = false;
    // Vertices sent into the display lists while compiling (runs and shadow together).
    size_t list_vertices = 0;
};

// A second GL context sharing display lists with the loader's, which the load's second
// thread makes current to record the shadow list while the loading thread records the
// others. Supplied by whoever made the GL context; without one (the default) every list is
// recorded on the loading thread.
struct SharedListContext {
    void* owner = nullptr;
    bool (*make_current)(void* owner) = nullptr;   // false: the context is not to be had
    void (*release)(void* owner) = nullptr;
};

class cloadobj {
public:
    std::vector<std::unique_ptr<cloadobj_conteiner>> models;   // every model, in load order
    cshader* shaders = nullptr;    // not owned
    Shader* shader = nullptr;      // the model program
    std::unique_ptr<Shader> shader_record;  // owns the record `shader` points to
    Ctexture* textures = nullptr;  // not owned
    GLEntryPoints gl;              // the texture-unit switch of the display lists
    ListRecording list_recording = ListRecording::kImmediate;
    LoadPhaseTimes last_load;      // phases of the latest LoadObj
    SharedListContext list_context;
    // A load of 1024 triangles and more hands the box, the tree and the shadow strips (and
    // list, given list_context) to a second thread only when a core is idle; false: always.
    bool second_thread_only_when_core_idle = true;

    // Fills the entry-point table, builds the model program from test.vert and test.frag in
    // the working directory and sets its eight sampler units. Needs a current GL context.
    cloadobj(Ctexture* texture_manager, cshader* shader_manager);
    // Releases every model still registered (the GL context must still exist).
    ~cloadobj();
    cloadobj(const cloadobj&) = delete;
    cloadobj& operator=(const cloadobj&) = delete;

    // Loads the OBJ file at `path`; never returns null. The model is registered in `models`.
    // A file that cannot be read gives an empty model with `readable` false; so does one that
    // does not fit in memory (with `out_of_memory` set), after what its load took is freed.
    // Before the display lists are recorded, their size is estimated and compared with the
    // memory the system says is available.
    cloadobj_conteiner* LoadObj(const char* path, LoadProgressFunction progress);
    // The model already loaded from the same file (same canonical path, size and time), with
    // one more use counted, or else a new load as LoadObj. Records naming one file in any
    // spelling share one model this way.
    cloadobj_conteiner* LoadObjShared(const char* path, LoadProgressFunction progress);
    // Appends the materials of an MTL file (looked for beside the model's file first, then
    // in the working directory) to the model's materials, loading their maps. A file the
    // model has read already (in any spelling) adds nothing.
    void LoatMtl(cloadobj_conteiner* model, const char* file_name);

    // Number readers over a NUL-terminated line from the cursor on; the cursor moves past the
    // number. A line without further numbers gives 0 and leaves the cursor at its end.
    float ReadFloat(char* line, unsigned int* cursor);     // the number / 50
    float ReadFloatS(char* line, unsigned int* cursor);    // the number
    unsigned int ReadInt(char* line, unsigned int* cursor);  // the digits' value - 1

    // Nearest hit parameter of a ray on the model's triangles (see OuadTree::TestIntersection).
    float IntersectLine(cloadobj_conteiner* model, float* origin, float* direction, bool flag);

    void Render(cloadobj_conteiner* model);            // shaded list
    void Render_no_Shader(cloadobj_conteiner* model);  // plain list
    void RenderShadow(cloadobj_conteiner* model);      // shadow prisms
    void RenderGlow(cloadobj_conteiner* model);        // bare triangles, blending on

    // Clamped wrapping on every diffuse map of the model; null is ignored.
    void MakeObjectTextureModeClamp(cloadobj_conteiner* model);
    // Unregisters and releases a model with its display lists, whatever its use count; null
    // and models not registered here are ignored.
    void FreeObject(cloadobj_conteiner* model);

    // Use counts. Whoever keeps a model beyond the call that handed it out (a project object,
    // an undo step holding a removed object, the start-up scene) holds one use: LoadObj's
    // result carries one, Retain adds one, Release gives one back and releases the model
    // when none is left. Null and models not registered here are ignored.
    void Retain(cloadobj_conteiner* model);
    void Release(cloadobj_conteiner* model);

    // Lives exactly as long as the loader: holders keep a weak copy, so that a use given
    // back after the loader is gone is ignored instead of reaching a destroyed loader.
    const std::shared_ptr<int> life = std::make_shared<int>(0);

private:
    std::weak_ptr<int> textures_life;  // the texture manager's `life`
    void ReleaseTextureUses(cloadobj_conteiner& model);
};

// The four display lists of a model, compiled in the order shaded, glow, plain, shadow.
// Used by LoadObj; separate so that the benchmark can time each list. The shaded list
// records the triangle runs first when they are not recorded yet.
void CompileShadedList(cloadobj& loader, cloadobj_conteiner& model);
void CompileGlowList(cloadobj& loader, cloadobj_conteiner& model);
void CompilePlainList(cloadobj& loader, cloadobj_conteiner& model);
void CompileShadowList(cloadobj& loader, cloadobj_conteiner& model);
// The shadow list in two steps: its strips worked out from the model without GL (any
// thread, reading the model only), then recorded on the GL thread. CompileShadowList does
// both.
struct PositionSequences {
    files::ScratchVector<uint32_t> points;   // position indices; sequence i is points[starts[i] .. starts[i + 1])
    files::ScratchVector<size_t> starts{0};

    void End() { starts.push_back(points.size()); }
    size_t Count() const { return starts.size() - 1; }
};
struct ShadowStrips {
    PositionSequences caps;    // triangle strips through neighbouring downward triangles
    PositionSequences walls;   // chains of outline edges
};
ShadowStrips FindShadowStrips(const cloadobj_conteiner& model);
// Records the shadow list into a new list name on the current context; `vertices` counts
// what it sends.
void RecordShadowList(ListRecording mode, size_t& vertices, cloadobj_conteiner& model, const ShadowStrips& strips);
// Deletes the model's display lists and sets their names to 0.
void DeleteModelLists(cloadobj_conteiner& model);

// How far below each downward triangle its shadow prism reaches, in model units.
constexpr float kShadowVolumeDepth = 4.0f;

// Shadow-volume geometry of a model for a light straight above, as corners of GL_TRIANGLES
// (three floats each), appended to `corners`. Prisms: the closed prism of every downward
// triangle, 24 corners each. Outline: the same prisms without the pairs of side quads that
// two downward triangles sharing an edge (same position indices, opposite directions) draw
// over each other with opposite windings, and without side quads of zero area; the stencil
// counts of the two are the same. The shadow list records the outline.
void AppendShadowPrisms(const cloadobj_conteiner& model, std::vector<float>& corners);
void AppendShadowOutline(const cloadobj_conteiner& model, std::vector<float>& corners);
// Number of triangles each of the two draws.
struct ShadowVolumeSize {
    size_t prism_triangles = 0;
    size_t outline_triangles = 0;
};
ShadowVolumeSize MeasureShadowVolume(const cloadobj_conteiner& model);
