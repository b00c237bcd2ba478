// Finding what the cursor points at, in double precision: the cursor's ray through the
// scene from the near plane (the eye side) to the far plane, carried into each object's
// fitted frame (its box centred and scaled to about [-1, 1]), tested there against the
// object's triangles through its quadtree, and ranked by the nearest visible hit. The fitted
// frame keeps the arithmetic the same for a model of 1e-3 file units and one of 1e36.
// It never changes an object and never draws; the picking pass applies the result.
#pragma once

#include "project/project.h"

#include <cstdint>
#include <vector>

// A ray in scene coordinates: origin + t * direction, t = 0 on the near plane, 1 on the far.
struct PickRay {
    double origin[3] = {0, 0, 0};
    double direction[3] = {0, 0, 0};
};

// The ray under a cursor (normalised device coordinates of the viewport) for the camera's
// modelview and projection. False when their product cannot be inverted.
bool CursorRay(const cMath::Matrix4x4& modelview, const cMath::Matrix4x4& projection, const float* cursor,
               PickRay* ray);

// The ray parameter in [0, 1] of the nearest point where the ray meets the object as it is
// drawn (models: their triangles; images: their base square), or -1 when it does not.
// Uses the object's move and scale as they stand.
double PickObjectHit(const project::pObject& o, const PickRay& ray);

struct PickResult {
    int index = -1;   // -1: nothing under the cursor
    double t = -1.0;  // the ray parameter of the hit
};

// The object with the nearest hit; of equal hits the lower index.
PickResult PickNearest(const std::vector<project::pObject>& objects, const PickRay& ray);

// Ray/triangle tests made by the picking since the program started, for the benchmark.
uint64_t PickTriangleTests();
