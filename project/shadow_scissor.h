// Where a shadow volume can change the stencil buffer: the window rectangle of the part of a
// volume that lies above the lowest drawn surface, and whether the volume is in view at
// all. The shadow passes count, per pixel, the volume faces behind the drawn surface; a
// closed volume's count is 0 wherever that surface is outside the volume, so its volumes
// need drawing only inside that rectangle. Plain math on the matrices given; no GL calls.
#pragma once

#include "math/Cmath.h"

#include <cstdint>
#include <vector>

// Window rectangle in pixels (x, y of the lower-left corner, as glScissor takes it).
struct ShadowRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// An axis-aligned box in world coordinates.
struct WorldBox {
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
};

enum class ShadowReach : uint8_t {
    kNothing,     // the volume changes no pixel: skip it
    kRectangle,   // it changes pixels inside `rect` only
    kEverywhere,  // unknown (the volume reaches behind the eye): draw it unclipped
};

// The volume of the box lo..hi (object coordinates) extended `drop` object units down its
// own y axis, placed by `object` and seen through `view`, `projection` and `viewport`
// (x, y, width, height), where no surface lies below world height `floor_y` (-infinity:
// no such knowledge). The rectangle is widened by two pixels against rounding.
ShadowReach ShadowVolumeReach(const cMath::Matrix4x4& object, const cMath::Matrix4x4& view,
                              const cMath::Matrix4x4& projection, const int viewport[4], const cMath::vector4& lo,
                              const cMath::vector4& hi, float drop, float floor_y, ShadowRect& rect);

// The world box of that volume, cut at `floor_y`; false when nothing of it is left above
// the floor. Coordinates that are not finite give a box without bounds (infinite sides).
bool ShadowVolumeWorldBox(const cMath::Matrix4x4& object, const cMath::vector4& lo, const cMath::vector4& hi,
                          float drop, float floor_y, WorldBox& box);

// The depth buffer of the drawn scene, with the matrices and viewport it was drawn through.
// Depth values are window depths of a [0, 1] depth range, row by row from the bottom row
// of the viewport; 1 is the cleared value (nothing drawn there).
struct DepthPicture {
    cMath::Matrix4x4 view, projection;
    int viewport[4] = {0, 0, 0, 0};
    std::vector<float> depth;
    int depth_bits = 24;   // resolution of the stored depths, for their rounding
};

// For each box, the window rectangle of the pixels whose drawn point lies in the box,
// widened by two pixels; an empty rectangle (width 0) when no drawn point does. A closed
// shadow volume inside the box changes the stencil only at such pixels: elsewhere the
// volume's faces behind the drawn point cancel out. The depth's rounding is allowed for: a
// pixel counts when any depth it may stand for puts its point in the box.
std::vector<ShadowRect> PixelsInsideBoxes(const DepthPicture& picture, const std::vector<WorldBox>& boxes);

// Lowest world height of the box lo..hi placed by `object`.
float LowestWorldY(const cMath::Matrix4x4& object, const cMath::vector4& lo, const cMath::vector4& hi);
