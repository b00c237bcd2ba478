#include "project/project.h"

#include "model/cloadobj.h"
#include "platform/file_identity.h"
#include "render/ctexture.h"

#include <new>

namespace {

// The work area the fit shrinks an imported model into.
constexpr float kAreaX = 2.6f;
constexpr float kAreaY = 0.8f;
constexpr float kAreaZ = 3.6f;
constexpr float kMinSize = 0.02f;

// Rounds a length down to whole millimetres (multiples of 0.02), never below 1 mm.
float RoundDownToMillimetres(float length) {
    const float product = length * 50.0f;
    int whole = 0;
    if (product >= 1.0f) whole = product < 2.0e9f ? int(product) : 2000000000;
    const float rounded = float(whole) / 50.0f;
    return rounded < kMinSize ? kMinSize : rounded;
}

}  // namespace

namespace {

void (*progressHook)(int, int, float, float) = nullptr;

}  // namespace

void SetProjectLoadProgress(void (*hook)(int phase, int steps, float value, float total)) { progressHook = hook; }

void DrawLoading2(int phase, int steps, float value, float total) {
    if (progressHook) progressHook(phase, steps, value, total);
}

float FitFactor(const cMath::vector4& e) {
    float f = 1.0f;
    if (e.x > kAreaX) f = e.x / kAreaX;
    if (e.y > kAreaY && e.y / kAreaY > f) f = e.y / kAreaY;
    if (e.z > kAreaZ && e.z / kAreaZ > f) f = e.z / kAreaZ;
    return f;
}

cMath::vector4 ImportSize(const cMath::vector4& extent) {
    cMath::vector4 size = extent / FitFactor(extent);
    size.x = RoundDownToMillimetres(size.x);
    size.y = RoundDownToMillimetres(size.y);
    size.z = RoundDownToMillimetres(size.z);
    return size;
}

namespace {

// Whether a loaded model can become an object.
bool IsPlaceable(const cloadobj_conteiner* model) {
    return model != nullptr && model->readable && model->triangle_count != 0;
}

}  // namespace

bool project::ImportOBJ(char* path) {
    not_enough_memory_for.clear();
    if (loader == nullptr || !IsRegularFile(path)) return false;
    try {
        cloadobj_conteiner* model = loader->LoadObjShared(path, DrawLoading2);
        std::shared_ptr<const ObjectHold> hold = HoldModel(loader, model);
        // The loader hands back an empty model for a file it could not read or hold; the
        // hold gives it back.
        if (model != nullptr && model->out_of_memory) not_enough_memory_for = path;
        if (!IsPlaceable(model)) return false;

        pObject o;
        o.type = 1;
        o.model = model;
        o.name = path;
        o.hold = std::move(hold);
        o.size = ImportSize(model->bbox[1] - model->bbox[0]);
        o.position = cMath::vector4(0, 0, 0, 0);
        o.rotate = cMath::vector4(0, 0, 0, 0);
        PlaceObject(&o);
        objects.push_back(o);
        return true;
    } catch (const std::bad_alloc&) {
        not_enough_memory_for = path;
        return false;
    }
}

bool project::ImportImage(char* path) {
    not_enough_memory_for.clear();
    if (loader == nullptr || loader->textures == nullptr || !IsRegularFile(path)) return false;
    try {
        // One texture however the records spell the image's path.
        const int texture = loader->textures->Load(CanonicalPath(path).c_str());
        if (texture < 0) return false;

        pObject o;
        o.type = 0;
        o.texture = texture;
        o.hold = HoldTexture(loader->textures, texture);
        o.name = path;
        o.size = cMath::vector4(1.0f, 0.02f, 1.0f, 1.0f);
        o.position = cMath::vector4(0, 0, 0, 0);
        o.rotate = cMath::vector4(0, 0, 0, 0);
        PlaceObject(&o);
        objects.push_back(o);
        return true;
    } catch (const std::bad_alloc&) {
        not_enough_memory_for = path;
        return false;
    }
}
