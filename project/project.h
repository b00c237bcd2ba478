// The scene project: the ordered list of objects placed on the work area (imported
// models and images), the selected and hovered object, the camera step vectors and
// the image program. It places objects, reads and writes the project file, imports
// files, picks the object under the cursor and draws the objects with their
// highlights and shadow volumes.
// It never owns models, textures or programs: models stay with the loader, textures
// with the texture manager, the image program with the shader manager. Each object holds
// one use of its model or texture (see ObjectHold), so that what no object, undo step or
// start-up scene uses any longer is released.
#pragma once

#include "math/Cmath.h"
#include "project/moved_files.h"
#include "project/shadow_scissor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Ctexture;
class cloadobj;
struct cloadobj_conteiner;
struct Shader;

// One use of a model (counted by the loader) or of a texture (counted by the texture
// manager), given back when the hold is destroyed. Object records share their hold through
// `pObject::hold`: every copy of a record counts, so an undo step that keeps a copy of a
// removed object keeps its model or texture loaded, and the last copy to go releases it.
// A use given back after its loader or texture manager is gone is ignored.
struct ObjectHold {
    cloadobj* loader = nullptr;
    std::weak_ptr<int> loader_life;
    cloadobj_conteiner* model = nullptr;
    Ctexture* textures = nullptr;
    std::weak_ptr<int> textures_life;
    int texture = -1;

    ObjectHold() = default;
    ObjectHold(const ObjectHold&) = delete;
    ObjectHold& operator=(const ObjectHold&) = delete;
    ~ObjectHold();
};

// A hold that takes over one use the caller already has (LoadObj's result, a Load's name);
// null for a null model or a failed texture name (below 0).
std::shared_ptr<const ObjectHold> HoldModel(cloadobj* loader, cloadobj_conteiner* model);
std::shared_ptr<const ObjectHold> HoldTexture(Ctexture* textures, int texture);

// Progress callback handed to the loader for project loads: passes the call on to the
// function set by SetProjectLoadProgress (the shell's progress bar), or shows nothing.
void DrawLoading2(int phase, int steps, float value, float total);
void SetProjectLoadProgress(void (*hook)(int phase, int steps, float value, float total));

class project {
public:
    // One placed object. type 1 is a model, 0 an image; any other type is kept but inert.
    struct pObject {
        int32_t type = 0;
        cloadobj_conteiner* model = nullptr;  // models: not owned, the loader keeps it
        int32_t texture = 0;                  // images: texture name, negative when the load failed
        std::string name;                     // the file path the record was imported or read with
        cMath::vector4 position;              // user offset; z is subtracted
        cMath::vector4 size;                  // extent in scene units
        cMath::vector4 move;                  // derived by the placement rule
        cMath::vector4 scale;                 // derived by the placement rule
        cMath::vector4 rotate;                // degrees about x, y, z
        std::shared_ptr<const ObjectHold> hold;  // the use of `model` or `texture`, shared by copies
    };

    std::vector<pObject> objects;
    cMath::vector4 view_steps[5];
    int selected;
    int hovered;
    cloadobj* loader;
    Shader* image_shader;
    // The file a failed ImportOBJ, ImportImage or OpenData could not hold in memory (the
    // command then changed nothing and freed what it took); empty after any other outcome.
    std::string not_enough_memory_for;

    explicit project(cloadobj* loader);
    ~project();
    project(const project&) = delete;
    project& operator=(const project&) = delete;

    void Reset();

    // Accessors of the value panel; an invalid index does nothing (getters give zeros).
    void PositionOBJ(int i, cMath::vector4* v);
    void SizeOBJ(int i, cMath::vector4* v);
    void MoveOBJ(int i, cMath::vector4* v);
    void ScaleOBJ(int i, cMath::vector4* v);
    void RotateOBJ(int i, cMath::vector4* v);
    cMath::vector4 GetPositionOBJ(int i);
    cMath::vector4 GetSizeOBJ(int i);
    cMath::vector4 GetMoveOBJ(int i);
    cMath::vector4 GetScaleOBJ(int i);
    cMath::vector4 GetRotateOBJ(int i);

    void DeleteOBJ(int i);
    int GetSelected();

    // Project file. Open replaces the list only when the whole file is valid and everything
    // it names fits in memory; save replaces the target only when the whole file was written.
    bool SaveData(char* path);
    bool OpenData(char* path);

    // Indexes of records whose model or image file could not be loaded.
    std::vector<int> GetMissingFiles() const;
    // Files of the last opened project that were found under its folder after they were
    // moved (see project/moved_files.h), and that folder as the log names it. Those records
    // load from, and are saved with, the found paths.
    std::vector<MovedFile> moved_files_found;
    std::string moved_files_folder;

    bool ImportOBJ(char* path);
    bool ImportImage(char* path);

    int SelectOBJ(cMath::Matrix4x4* modelview, cMath::Matrix4x4* projection, float* cursor, bool commit);
    cMath::vector4* GetVecors(cMath::Matrix4x4* modelview, cMath::Matrix4x4* projection);
    static float intersect_triangle(float* o, float* d, float* r0, float* r1, float* r2);
    static void SUB(float* out, float* a, float* b);
    static void CROSS(float* out, float* a, float* b);
    static float DOT(float* a, float* b);

    void Render();
    void RenderShadow();

private:
    bool OpenRecords(char* path);  // OpenData's work; may throw std::bad_alloc
};

// ---- Plain helpers shared by the project's files (and its tests) ----

// True when i, taken as an unsigned 32-bit number, is below count.
bool IsValidObjectIndex(int i, size_t count);

// True when path names a regular file (not a folder, device or pipe, which the readers
// could wait on or read without end).
bool IsRegularFile(const char* path);

// True for a model record whose model was read and can be placed, drawn and picked.
bool IsUsableModel(const project::pObject& o);

// The box whose corner is anchored: the model's bounding box or the fixed image box.
// False for records that have none (other types, unusable models).
bool ReferenceBox(const project::pObject& o, cMath::vector4* lo, cMath::vector4* hi);

// The placement rule: move and scale from size and the reference box. An axis whose box
// extent is exactly 0 keeps scale 1.
void ApplyPlacementRule(const cMath::vector4& lo, const cMath::vector4& hi, const cMath::vector4& size,
                        cMath::vector4* move, cMath::vector4* scale);

// Re-derives move and scale of one record; records without a reference box are untouched.
void PlaceObject(project::pObject* o);

// Uniform shrink factor that fits an extent into the work area (never below 1).
float FitFactor(const cMath::vector4& extent);

// Size of an imported model: extent / fit factor, each axis rounded down to whole
// millimetres but never below 1 mm.
cMath::vector4 ImportSize(const cMath::vector4& extent);

// The drawing transform of an object (translate, scale by factor, rotate x, y, z) as a matrix.
cMath::Matrix4x4 ObjectTransform(const project::pObject& o, float halo);

// Where each shadow volume can change the stencil, read from the depth buffer of the scene
// drawn so far: the rectangle of the pixels whose drawn point lies in the volume's box, one
// per object of the project (in order) and one for the machine; an empty rectangle where
// the volume changes nothing. `known` is false when the depth could not be read: the
// volumes are then bounded by their boxes alone.
struct ShadowBounds {
    bool known = false;
    std::vector<ShadowRect> objects;
    ShadowRect machine;
};

// Shadow volumes drawn only where they can change the stencil buffer: objects whose volume
// is out of view are skipped, the others drawn inside the window rectangle of the part of
// their volume above world height `floor_y`, below which nothing is drawn (-infinity when
// unknown). The stencil buffer ends as with every volume drawn in full. The current
// modelview matrix is the view; it is left as it was.
// With `bounds`, each volume is drawn only inside its rectangle there (none: not at all).
void RenderProjectShadows(project& scene, float floor_y, const ShadowBounds* bounds = nullptr);
// The same for one model placed at the world origin (the machine).
void RenderModelShadow(cloadobj& loader, cloadobj_conteiner* model, float floor_y,
                       const ShadowBounds* bounds = nullptr);

// The current modelview matrix is the view; `floor_y` as for RenderProjectShadows.
ShadowBounds BoundShadowsByDepth(const project& scene, const cloadobj_conteiner* machine, float floor_y);
// Lowest world height of what the project's objects draw into the depth buffer (+infinity
// when nothing).
float LowestDrawnY(const project& scene);
