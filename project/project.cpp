#include "project/project.h"

#include "model/cloadobj.h"
#include "platform/file_identity.h"
#include "platform/files.h"
#include "project/project_file.h"
#include "render/cshader.h"
#include "render/ctexture.h"

#include <cmath>
#include <new>
#include <utility>

namespace {

// The anchor point: the work area's corner at minimum x and maximum z, just above the bed.
constexpr float kAnchorX = -1.3f;
constexpr float kAnchorY = 0.0201f;
constexpr float kAnchorZ = 1.8f;
// The smallest size component the size editor accepts: one millimetre.
constexpr float kMinSize = 0.02f;

// One axis of the placement rule: the scale and the offset that puts `corner` (scaled)
// onto `anchor`. A box that is flat along the axis keeps its own scale.
void PlaceAxis(float extent, float size, float corner, float anchor, float* move, float* scale) {
    if (extent == 0.0f) {
        *scale = 1.0f;
        *move = anchor - corner;
        return;
    }
    const float t = extent / size;  // object units per scene unit
    *scale = 1.0f / t;
    *move = anchor - corner / t;
}

ProjectRecord RecordOf(const project::pObject& o) {
    ProjectRecord rec;
    rec.type = o.type;
    // A model record keeps the spelling it was imported or opened with, even when the model
    // is shared with a record that named the same file otherwise.
    rec.path = (o.type == 1 && o.model != nullptr && o.name.empty()) ? o.model->name : o.name;
    rec.position = o.position;
    rec.size = o.size;
    rec.move = o.move;
    rec.scale = o.scale;
    rec.rotate = o.rotate;
    return rec;
}

}  // namespace

// ---- uses of models and textures ----

ObjectHold::~ObjectHold() {
    if (model != nullptr && loader != nullptr && !loader_life.expired()) loader->Release(model);
    if (texture >= 0 && textures != nullptr && !textures_life.expired()) textures->Free(texture);
}

// The use is given back when even the hold cannot be made.
std::shared_ptr<const ObjectHold> HoldModel(cloadobj* loader, cloadobj_conteiner* model) {
    if (loader == nullptr || model == nullptr) return nullptr;
    std::shared_ptr<ObjectHold> hold;
    try {
        hold = std::make_shared<ObjectHold>();
    } catch (const std::bad_alloc&) {
        loader->Release(model);
        throw;
    }
    hold->loader = loader;
    hold->loader_life = loader->life;
    hold->model = model;
    return hold;
}

std::shared_ptr<const ObjectHold> HoldTexture(Ctexture* textures, int texture) {
    if (textures == nullptr || texture < 0) return nullptr;
    std::shared_ptr<ObjectHold> hold;
    try {
        hold = std::make_shared<ObjectHold>();
    } catch (const std::bad_alloc&) {
        textures->Free(texture);
        throw;
    }
    hold->textures = textures;
    hold->textures_life = textures->life;
    hold->texture = texture;
    return hold;
}

// ---- plain helpers ----

bool IsValidObjectIndex(int i, size_t count) { return size_t(uint32_t(i)) < count; }

bool IsRegularFile(const char* path) { return files::IsRegularFile(path); }

bool IsUsableModel(const project::pObject& o) {
    return o.type == 1 && o.model != nullptr && o.model->readable;
}

bool ReferenceBox(const project::pObject& o, cMath::vector4* lo, cMath::vector4* hi) {
    if (o.type == 0) {
        *lo = cMath::vector4(-1.0f, 0.0f, -1.0f, 0.0f);
        *hi = cMath::vector4(1.0f, 0.1f, 1.0f, 0.0f);
        return true;
    }
    if (IsUsableModel(o)) {
        *lo = o.model->bbox[0];
        *hi = o.model->bbox[1];
        return true;
    }
    return false;
}

void ApplyPlacementRule(const cMath::vector4& lo, const cMath::vector4& hi, const cMath::vector4& size,
                        cMath::vector4* move, cMath::vector4* scale) {
    PlaceAxis(hi.x - lo.x, size.x, lo.x, kAnchorX, &move->x, &scale->x);
    PlaceAxis(hi.y - lo.y, size.y, lo.y, kAnchorY, &move->y, &scale->y);
    PlaceAxis(hi.z - lo.z, size.z, hi.z, kAnchorZ, &move->z, &scale->z);
    move->w = 1.0f;
    scale->w = 0.0f;
}

void PlaceObject(project::pObject* o) {
    cMath::vector4 lo, hi;
    if (ReferenceBox(*o, &lo, &hi)) ApplyPlacementRule(lo, hi, o->size, &o->move, &o->scale);
}

// ---- construction ----

project::project(cloadobj* loader_)
    : selected(-1), hovered(-1), loader(loader_), image_shader(nullptr) {
    for (cMath::vector4& v : view_steps) v = cMath::vector4(0, 0, 0, 0);
    if (loader == nullptr || loader->shaders == nullptr) return;
    cshader* shaders = loader->shaders;
    char vert[] = "image.vert";
    char frag[] = "image.frag";
    char sampler[] = "Texture";
    image_shader = shaders->LoadShader(vert, frag);
    shaders->UseShader(image_shader);
    shaders->SetUniformi(image_shader, sampler, 0u);
    shaders->DisableShader();
}

// The image program stays with the GL context; only its record's memory is returned.
project::~project() { delete image_shader; }

void project::Reset() {
    selected = -1;
    objects.clear();
}

// ---- accessors ----

void project::PositionOBJ(int i, cMath::vector4* v) {
    if (v != nullptr && IsValidObjectIndex(i, objects.size())) objects[size_t(i)].position = *v;
}

void project::SizeOBJ(int i, cMath::vector4* v) {
    if (v == nullptr || !IsValidObjectIndex(i, objects.size())) return;
    if (v->x < kMinSize) v->x = kMinSize;
    if (v->y < kMinSize) v->y = kMinSize;
    if (v->z < kMinSize) v->z = kMinSize;
    objects[size_t(i)].size = *v;
}

void project::MoveOBJ(int i, cMath::vector4* v) {
    if (v != nullptr && IsValidObjectIndex(i, objects.size())) objects[size_t(i)].move = *v;
}

void project::ScaleOBJ(int i, cMath::vector4* v) {
    if (v != nullptr && IsValidObjectIndex(i, objects.size())) objects[size_t(i)].scale = *v;
}

void project::RotateOBJ(int i, cMath::vector4* v) {
    if (v != nullptr && IsValidObjectIndex(i, objects.size())) objects[size_t(i)].rotate = *v;
}

cMath::vector4 project::GetPositionOBJ(int i) {
    return IsValidObjectIndex(i, objects.size()) ? objects[size_t(i)].position : cMath::vector4(0, 0, 0, 0);
}

cMath::vector4 project::GetSizeOBJ(int i) {
    return IsValidObjectIndex(i, objects.size()) ? objects[size_t(i)].size : cMath::vector4(0, 0, 0, 0);
}

cMath::vector4 project::GetMoveOBJ(int i) {
    return IsValidObjectIndex(i, objects.size()) ? objects[size_t(i)].move : cMath::vector4(0, 0, 0, 0);
}

cMath::vector4 project::GetScaleOBJ(int i) {
    return IsValidObjectIndex(i, objects.size()) ? objects[size_t(i)].scale : cMath::vector4(0, 0, 0, 0);
}

cMath::vector4 project::GetRotateOBJ(int i) {
    return IsValidObjectIndex(i, objects.size()) ? objects[size_t(i)].rotate : cMath::vector4(0, 0, 0, 0);
}

void project::DeleteOBJ(int i) {
    if (!IsValidObjectIndex(i, objects.size())) return;
    objects.erase(objects.begin() + i);
    selected = -1;
}

int project::GetSelected() { return selected; }

// ---- project file ----

bool project::SaveData(char* path) {
    std::vector<ProjectRecord> records;
    records.reserve(objects.size());
    for (const pObject& o : objects) records.push_back(RecordOf(o));
    std::vector<uint8_t> bytes;
    if (!SerializeProjectFile(records, &bytes)) return false;
    return WriteFileAtomically(path, bytes);
}

bool project::OpenData(char* path) {
    not_enough_memory_for.clear();
    try {
        return OpenRecords(path);
    } catch (const std::bad_alloc&) {
        // What the open loaded went with its list; the project is as it was.
        if (not_enough_memory_for.empty()) not_enough_memory_for = path ? path : "";
        return false;
    }
}

bool project::OpenRecords(char* path) {
    std::vector<uint8_t> bytes;
    std::vector<ProjectRecord> records;
    if (!ReadWholeFile(path, &bytes) || !ParseProjectFile(bytes.data(), bytes.size(), &records)) return false;
    bytes = std::vector<uint8_t>();

    // The file is valid: load what it names into a new list, then adopt it. A model or
    // image that cannot be loaded any more stays in the list with its path and vectors; one
    // that does not fit in memory fails the whole open.
    std::vector<pObject> opened;
    opened.reserve(records.size());
    const std::string folder = files::FolderOf(path);
    std::vector<MovedFile> found_files;
    for (ProjectRecord& rec : records) {
        pObject o;
        o.type = rec.type;
        o.name = std::move(rec.path);
        o.position = rec.position;
        o.size = rec.size;
        o.move = rec.move;
        o.scale = rec.scale;
        o.rotate = rec.rotate;
        bool loadable = loader != nullptr && IsRegularFile(o.name.c_str());
        MovedFile moved;
        if (loader != nullptr && !loadable && (o.type == 0 || o.type == 1) && FindMovedFile(o.name, folder, &moved)) {
            o.name = moved.path;
            found_files.push_back(std::move(moved));
            loadable = true;
        }
        if (o.type == 1 && loadable) {
            o.model = loader->LoadObjShared(o.name.data(), DrawLoading2);
            o.hold = HoldModel(loader, o.model);
            if (o.model->out_of_memory) {
                not_enough_memory_for = o.name;
                return false;
            }
        } else if (o.type == 0) {
            o.texture = (loadable && loader->textures != nullptr) ? loader->textures->Load(CanonicalPath(o.name).c_str()) : -1;
            if (o.texture >= 0) o.hold = HoldTexture(loader->textures, o.texture);
        }
        opened.push_back(std::move(o));
    }
    Reset();
    objects = std::move(opened);
    moved_files_found = std::move(found_files);
    moved_files_folder = folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder.empty() ? "." : folder;
    return true;
}

std::vector<int> project::GetMissingFiles() const {
    std::vector<int> missing;
    for (size_t i = 0; i < objects.size(); ++i) {
        const pObject& o = objects[i];
        if ((o.type == 1 && !IsUsableModel(o)) || (o.type == 0 && o.texture < 0)) missing.push_back(int(i));
    }
    return missing;
}
