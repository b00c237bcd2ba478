#include "project/arrange.h"

#include "model/cloadobj.h"

#include <algorithm>
#include <cmath>

namespace {

// The work area and the corner imports are anchored at (minimum x, maximum z).
constexpr float kAreaMinX = -1.3f;
constexpr float kAreaMaxZ = 1.8f;
constexpr float kAreaX = 2.6f;
constexpr float kAreaY = 0.8f;
constexpr float kAreaZ = 3.6f;
// Float slack of the fit tests (a hundredth of a millimetre).
constexpr float kSlack = 2e-4f;
constexpr float kMinSize = 0.02f;

cMath::vector4 Apply(const cMath::Matrix4x4& m, float x, float y, float z) {
    return cMath::vector4(m.m[0] * x + m.m[4] * y + m.m[8] * z + m.m[12],
                          m.m[1] * x + m.m[5] * y + m.m[9] * z + m.m[13],
                          m.m[2] * x + m.m[6] * y + m.m[10] * z + m.m[14], 1.0f);
}

// A footprint on the work area: u runs along +x from its minimum, v along -z from its maximum.
struct Spot {
    float u, v, w, d;
};

bool Overlaps(const Spot& a, const Spot& b) {
    return a.u < b.u + b.w + kArrangeGap - kSlack && b.u < a.u + a.w + kArrangeGap - kSlack &&
           a.v < b.v + b.d + kArrangeGap - kSlack && b.v < a.v + a.d + kArrangeGap - kSlack;
}

// The free spot for a w x d footprint nearest the anchor corner (smallest v, then u):
// candidates are the corner and the places right of and behind the footprints placed so far.
bool FindSpot(const std::vector<Spot>& placed, float w, float d, Spot* out) {
    std::vector<float> us{0.0f}, vs{0.0f};
    for (const Spot& p : placed) {
        us.push_back(p.u + p.w + kArrangeGap);
        vs.push_back(p.v + p.d + kArrangeGap);
    }
    bool found = false;
    for (float v : vs) {
        for (float u : us) {
            if (u + w > kAreaX + kSlack || v + d > kAreaZ + kSlack) continue;
            const Spot s{u, v, w, d};
            bool free = true;
            for (const Spot& p : placed) {
                if (Overlaps(s, p)) {
                    free = false;
                    break;
                }
            }
            if (free && (!found || v < out->v || (v == out->v && u < out->u))) {
                *out = s;
                found = true;
            }
        }
    }
    return found;
}

// Whole millimetres, down; a product a hair under a whole number (0.02 * 40 * 50 gives
// 39.99999) counts as that number.
float RoundDownToMillimetres(float length) {
    const float product = length * 50.0f + 1e-3f;
    const float whole = product < 2.0e9f ? std::floor(product) : 2.0e9f;
    return std::max(whole / 50.0f, kMinSize);
}

}  // namespace

bool ObjectWorldBox(const project::pObject& o, cMath::vector4* lo, cMath::vector4* hi) {
    cMath::vector4 blo, bhi;
    if (!ReferenceBox(o, &blo, &bhi)) return false;
    project::pObject placed = o;
    PlaceObject(&placed);
    const cMath::Matrix4x4 m = ObjectTransform(placed, 1.0f);
    for (int c = 0; c < 8; ++c) {
        const cMath::vector4 p = Apply(m, (c & 1) ? bhi.x : blo.x, (c & 2) ? bhi.y : blo.y, (c & 4) ? bhi.z : blo.z);
        if (c == 0) {
            *lo = p;
            *hi = p;
            continue;
        }
        lo->x = std::min(lo->x, p.x);
        lo->y = std::min(lo->y, p.y);
        lo->z = std::min(lo->z, p.z);
        hi->x = std::max(hi->x, p.x);
        hi->y = std::max(hi->y, p.y);
        hi->z = std::max(hi->z, p.z);
    }
    return std::isfinite(lo->x) && std::isfinite(lo->z) && std::isfinite(hi->x) && std::isfinite(hi->z);
}

bool ArrangeObjects(project& proj, std::vector<int>* left_out) {
    struct Item {
        int index;
        cMath::vector4 lo, hi;
        float area() const { return (hi.x - lo.x) * (hi.z - lo.z); }
    };
    std::vector<Item> items;
    for (size_t i = 0; i < proj.objects.size(); ++i) {
        Item it{int(i), {}, {}};
        if (ObjectWorldBox(proj.objects[i], &it.lo, &it.hi)) items.push_back(it);
    }
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.area() > b.area(); });

    bool changed = false;
    std::vector<Spot> placed;
    std::vector<int> out;
    for (const Item& it : items) {
        Spot s{};
        if (!FindSpot(placed, it.hi.x - it.lo.x, it.hi.z - it.lo.z, &s)) {
            out.push_back(it.index);
            continue;
        }
        placed.push_back(s);
        project::pObject& o = proj.objects[size_t(it.index)];
        const float dx = (kAreaMinX + s.u) - it.lo.x;
        const float dz = (kAreaMaxZ - s.v) - it.hi.z;
        // The drawing puts an object at move - position along z.
        if (dx != 0.0f || dz != 0.0f) changed = true;
        o.position.x += dx;
        o.position.z -= dz;
    }
    std::sort(out.begin(), out.end());
    if (left_out) *left_out = out;
    return changed;
}

bool ScaleObjectToFit(project& proj, int i) {
    if (!IsValidObjectIndex(i, proj.objects.size())) return false;
    project::pObject& o = proj.objects[size_t(i)];
    cMath::vector4 lo, hi;
    if (!ObjectWorldBox(o, &lo, &hi)) return false;
    const cMath::vector4 e = hi - lo;
    float f = INFINITY;
    if (e.x > 0.0f) f = std::min(f, kAreaX / e.x);
    if (e.y > 0.0f) f = std::min(f, kAreaY / e.y);
    if (e.z > 0.0f) f = std::min(f, kAreaZ / e.z);
    if (!std::isfinite(f)) return true;
    o.size.x = RoundDownToMillimetres(o.size.x * f);
    o.size.y = RoundDownToMillimetres(o.size.y * f);
    o.size.z = RoundDownToMillimetres(o.size.z * f);
    if (!ObjectWorldBox(o, &lo, &hi)) return true;
    // Centred across the work area; the height offset stays as the user set it.
    o.position.x += -0.5f * (lo.x + hi.x);
    o.position.z -= -0.5f * (lo.z + hi.z);
    return true;
}

bool IsTinyModel(const project::pObject& o, cMath::vector4* size_mm) {
    if (!IsUsableModel(o)) return false;
    const cMath::vector4 e = (o.model->bbox[1] - o.model->bbox[0]) * 50.0f;
    if (!(e.x < 1.0f && e.y < 1.0f && e.z < 1.0f)) return false;
    if (size_mm) *size_mm = e;
    return true;
}

std::string ObjectFileName(const project::pObject& o) {
    const std::string& path = (o.type == 1 && o.model != nullptr) ? o.model->name : o.name;
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
