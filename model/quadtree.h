// Triangle quadtree of a model over the horizontal x-z plane, and the ray/triangle test used
// for picking. A node refers to triangles owned by the model (by their place in the model's
// triangle array) and reads the model's positions only when it is built or asked; it never
// changes a triangle or a position.
#pragma once

#include "math/Cmath.h"
#include "model/model_records.h"

#include <cstdint>
#include <memory>
#include <vector>

// The triangles of a node, in insertion order, as indices into the model's triangle array,
// kept as runs of consecutive indices: neighbouring triangles of a mesh mostly arrive one
// after another and land in the same node, so one run of 8 bytes stands for many of them.
// Reads like a sequence of indices: size() counts triangles and [k] is the k-th index.
struct TriangleRun {
    uint32_t first;
    uint32_t count;
};

struct TriangleList {
    std::vector<TriangleRun> runs;
    uint32_t total = 0;   // triangles in all runs

    size_t size() const { return total; }
    bool empty() const { return total == 0; }
    // Appends an index, extending the last run when it follows on from it.
    void push_back(uint32_t index);
    // Appends every index of `other`, in order.
    void append(const TriangleList& other);
    // The k-th index (k < size()); walks the runs.
    uint32_t operator[](size_t k) const;
    void clear() {
        runs.clear();
        total = 0;
    }
    void shrink_to_fit() { runs.shrink_to_fit(); }
};

// Deepest node that may still take triangles below it; with the width floor of 1/64 of the
// root the tree stops at depth 5 by itself, this only guards degenerate (subnormal) boxes.
constexpr unsigned kQuadTreeMaxDepth = 8;

// A node. The root lives inside the model and points at the model's bounding box; every
// other node is owned by its parent and points at its own bounds.
class OuadTree {
public:
    cMath::vector4* bbox_min = nullptr;
    cMath::vector4* bbox_max = nullptr;
    // Triangles held by this node itself, in insertion order, as indices into the model's
    // triangle array (`triangles`) grouped in runs instead of one pointer each. Face(k)
    // gives the k-th one as a record.
    TriangleList faces;
    std::unique_ptr<OuadTree> children[4];         // quadrants 0 to 3, null until used
    // Slivers pushed through this node (indices as in `faces`), wherever they were placed;
    // TestIntersection on this node tests them before searching.
    std::vector<uint32_t> slivers;

    // The model's triangle array that `faces` index (set on the root by GiveTriangles before
    // the first Push, inherited by every node).
    const tiangle_face* triangles = nullptr;

    // Bounds of a child node (bbox_min/bbox_max point here); unused by the root.
    cMath::vector4 own_bounds[2];
    // A quadrant at most this wide along x (or z) takes no triangles: 1/64 of the root's
    // width, inherited by every node.
    float floor_x = 0.0f;
    float floor_z = 0.0f;
    unsigned depth = 0;

    OuadTree() = default;
    OuadTree(const OuadTree&) = delete;
    OuadTree& operator=(const OuadTree&) = delete;

    // The node's bounds become elements 0 and 1 of `box` (no copy); sets the width floors.
    void GiveBBox(cMath::vector4* box);
    // The model's triangle array, which every triangle pushed must belong to. Without it,
    // the first triangle pushed is taken as the array's first element.
    void GiveTriangles(const tiangle_face* first) { triangles = first; }
    // Inserts one triangle (an element of the array given to GiveTriangles) below this node.
    // A sliver (corners on one line within rounding, two edges of some length) is also noted
    // in `slivers`: its ray test may report a hit anywhere along the ray, which no quadrant
    // bounds.
    void Push(const tiangle_face* triangle, const cMath::vector4* positions);
    // The k-th triangle this node holds.
    const tiangle_face& Face(size_t k) const { return triangles[faces[k]]; }
    // Whether the quadrant lo-hi takes the triangle: wide enough and holding all three
    // corners in x and z (bounds inclusive).
    bool IsTriangleInBBox(const tiangle_face* triangle, const cMath::vector4* positions,
                          const cMath::vector4& lo, const cMath::vector4& hi) const;
    // Collapses every subtree holding fewer than 100 triangles into one node.
    void Optimize();
    // Moves every triangle of the subtree into this node and deletes the children.
    void MergeData();
    unsigned CountTriangles() const;
    // Smallest accepted hit parameter t in the subtree: t > 0 (flag false) or t > -1 (flag
    // true); 0 or -1 when nothing is hit. Equal to testing every triangle in turn. Nodes the
    // ray cannot reach are skipped only while every coordinate of the root's box, the origin
    // and the direction lies within +-1e12 (beyond, the test's products overflow); past
    // that every triangle is tested.
    float TestIntersection(const cMath::vector4* positions, const float* origin,
                           const float* direction, bool flag) const;
    // Releases the children and the triangle pointers.
    void Clear();
};

// Minimum triangles a subtree needs to keep its children.
constexpr unsigned kQuadTreeCollapseBelow = 100;

// Ray/triangle test (no back-face culling): the hit parameter t along the direction,
// whatever its sign, or -1 when the ray is parallel to the plane or misses the triangle.
float intersect_triangle(const float* origin, const float* direction, const float* corner0,
                         const float* corner1, const float* corner2);
float DOT(const float* a, const float* b);
void SUB(float* result, const float* a, const float* b);
void CROSS(float* result, const float* a, const float* b);

// Ray/triangle tests made by TestIntersection since the program started (all trees), for
// the benchmark; a plain running count on the picking thread.
uint64_t QuadTreeTriangleTests();

// Shape of a tree, for the inspector and the benchmark.
unsigned CountTreeNodes(const OuadTree& node);
unsigned TreeDepth(const OuadTree& node);   // 1 for a lone root
