// Triangle quadtree: quadrant rule, width floor, collapse, ray/triangle test and picking
// results equal to testing every triangle.
#include "model/quadtree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace {

// A model's triangles and positions with a tree over them, built as the loader builds it.
struct Mesh {
    std::vector<cMath::vector4> positions;
    std::vector<tiangle_face> triangles;
    cMath::vector4 bbox[2];
    OuadTree tree;

    uint32_t AddPoint(float x, float y, float z) {
        positions.emplace_back(x, y, z, 0.0f);
        return uint32_t(positions.size() - 1);
    }
    void AddTriangle(cMath::vector4 a, cMath::vector4 b, cMath::vector4 c) {
        uint32_t i = AddPoint(a.x, a.y, a.z), j = AddPoint(b.x, b.y, b.z), k = AddPoint(c.x, c.y, c.z);
        triangles.push_back(tiangle_face{i, 0, 0, j, 0, 0, k, 0, 0});
    }
    // Bounds, then every triangle pushed; Optimize only when asked.
    void Build(bool optimize) {
        bbox[0] = bbox[1] = positions[0];
        for (const cMath::vector4& p : positions) {
            bbox[0].x = std::min(bbox[0].x, p.x);
            bbox[0].y = std::min(bbox[0].y, p.y);
            bbox[0].z = std::min(bbox[0].z, p.z);
            bbox[1].x = std::max(bbox[1].x, p.x);
            bbox[1].y = std::max(bbox[1].y, p.y);
            bbox[1].z = std::max(bbox[1].z, p.z);
        }
        tree.GiveBBox(bbox);
        tree.GiveTriangles(triangles.data());
        for (tiangle_face& t : triangles) tree.Push(&t, positions.data());
        if (optimize) tree.Optimize();
    }
    float BruteForce(const float* o, const float* d, bool flag) const {
        const float lower = flag ? -1.0f : 0.0f;
        float best = lower;
        for (const tiangle_face& t : triangles) {
            float hit = intersect_triangle(o, d, &positions[t.pos0].x, &positions[t.pos1].x, &positions[t.pos2].x);
            if (hit != -1.0f && hit > lower && (best == lower || hit < best)) best = hit;
        }
        return best;
    }
};

cMath::vector4 P(float x, float y, float z) { return cMath::vector4(x, y, z, 0.0f); }

// A small flat triangle near (x, z).
void AddSmall(Mesh& m, float x, float z, float size = 0.01f) {
    m.AddTriangle(P(x, 0, z), P(x + size, 0, z), P(x, 0, z + size));
}

// Corners of a 64 x 64 area so that the root spans [0, 64] in x and z.
void AddFrame(Mesh& m) {
    m.AddTriangle(P(0, 0, 0), P(0, 0, 0), P(0, 0, 0));
    m.AddTriangle(P(64, 1, 64), P(64, 1, 64), P(64, 1, 64));
}

bool Holds(const OuadTree& node, const tiangle_face* t) {
    for (size_t k = 0; k < node.faces.size(); ++k) {
        if (&node.Face(k) == t) return true;
    }
    return false;
}

// Whether the node or any node below it holds the triangle.
bool Contains(const OuadTree& node, const tiangle_face* t) {
    if (Holds(node, t)) return true;
    for (const auto& child : node.children) {
        if (child && Contains(*child, t)) return true;
    }
    return false;
}

}  // namespace

TEST(QuadTreeBuild, TriangleInLowQuarterGoesToQuadrantZero) {
    Mesh m;
    AddFrame(m);
    m.AddTriangle(P(1, 0, 1), P(20, 0, 1), P(1, 0, 20));     // low x, low z
    m.AddTriangle(P(30, 0, 5), P(40, 0, 5), P(30, 0, 6));    // crosses x = 32
    m.AddTriangle(P(50, 0, 50), P(60, 0, 50), P(50, 0, 60)); // high x, high z
    m.AddTriangle(P(40, 0, 2), P(60, 0, 2), P(40, 0, 20));   // high x, low z
    m.Build(false);
    const OuadTree& root = m.tree;
    ASSERT_TRUE(root.children[0]);
    EXPECT_TRUE(Holds(*root.children[0], &m.triangles[2]));
    EXPECT_TRUE(Holds(root, &m.triangles[3]));
    ASSERT_TRUE(root.children[1]);
    EXPECT_TRUE(Contains(*root.children[1], &m.triangles[4]));
    EXPECT_FALSE(Holds(*root.children[1], &m.triangles[4]));
    ASSERT_TRUE(root.children[2]);
    EXPECT_TRUE(Holds(*root.children[2], &m.triangles[5]));
    EXPECT_FALSE(root.children[3]);
    // Child bounds are the quadrant's corners, y unsplit.
    EXPECT_EQ(root.children[2]->bbox_min->x, 32.0f);
    EXPECT_EQ(root.children[2]->bbox_max->z, 32.0f);
    EXPECT_EQ(root.children[2]->bbox_max->y, 1.0f);
}

TEST(QuadTreeBuild, TriangleOnCentreLineGoesToFirstQuadrantHoldingIt) {
    Mesh m;
    AddFrame(m);
    m.AddTriangle(P(32, 0, 2), P(32, 0, 10), P(32, 0, 20));  // on x = 32, z below 32
    m.Build(false);
    ASSERT_TRUE(m.tree.children[0]);
    EXPECT_TRUE(Contains(*m.tree.children[0], &m.triangles[2]));
    EXPECT_FALSE(m.tree.children[2]);
}

TEST(QuadTreeBuild, QuadrantAtMostOneSixtyFourthOfRootTakesNoTriangles) {
    Mesh m;
    AddFrame(m);
    AddSmall(m, 0.1f, 0.1f);
    m.Build(false);
    // Depth 5 quadrants are 2 units wide (64 / 32); their quadrants, 1 unit, are refused.
    const OuadTree* node = &m.tree;
    for (int depth = 0; depth < 5; ++depth) {
        ASSERT_TRUE(node->children[0]) << "depth " << depth;
        node = node->children[0].get();
    }
    EXPECT_EQ(node->bbox_max->x - node->bbox_min->x, 2.0f);
    EXPECT_TRUE(Holds(*node, &m.triangles[2]));
    for (const auto& child : node->children) EXPECT_FALSE(child);
    EXPECT_EQ(TreeDepth(m.tree), 6u);
}

TEST(QuadTreeBuild, SmallModelsAlsoSplitRelativeToTheirSize) {
    Mesh m;
    m.AddTriangle(P(0, 0, 0), P(0, 0, 0), P(0, 0, 0));
    m.AddTriangle(P(1, 0, 1), P(1, 0, 1), P(1, 0, 1));
    AddSmall(m, 0.1f, 0.1f, 0.001f);
    m.Build(false);
    EXPECT_TRUE(m.tree.children[0]);
}

TEST(QuadTreeBuild, FlatModelWithoutWidthKeepsEverythingInRoot) {
    Mesh m;
    m.AddTriangle(P(0, 0, 0), P(0, 1, 0), P(0, 0, 5));
    m.AddTriangle(P(0, 0, 6), P(0, 1, 9), P(0, 0, 7));
    m.Build(true);
    EXPECT_EQ(m.tree.faces.size(), 2u);
    EXPECT_EQ(CountTreeNodes(m.tree), 1u);
}

TEST(QuadTreeOptimize, FewerThanHundredTrianglesEndInRootWithoutChildren) {
    Mesh m;
    AddFrame(m);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(1.0f, 60.0f);
    for (int i = 0; i < 97; ++i) AddSmall(m, coord(rng), coord(rng));
    m.Build(true);
    EXPECT_EQ(m.tree.faces.size(), 99u);
    EXPECT_EQ(CountTreeNodes(m.tree), 1u);
}

TEST(QuadTreeOptimize, HundredTrianglesKeepTheirSubtrees) {
    Mesh m;
    AddFrame(m);
    for (int i = 0; i < 49; ++i) AddSmall(m, 1.0f + i * 0.5f, 1.0f);     // quadrant 0
    for (int i = 0; i < 49; ++i) AddSmall(m, 40.0f + i * 0.4f, 40.0f);  // quadrant 1
    m.Build(true);
    EXPECT_EQ(m.tree.CountTriangles(), 100u);
    EXPECT_EQ(m.tree.faces.size(), 0u);
    ASSERT_TRUE(m.tree.children[0]);
    ASSERT_TRUE(m.tree.children[1]);
    // Each quadrant holds 50 (< 100, a frame corner included): collapsed into one leaf.
    EXPECT_EQ(m.tree.children[0]->faces.size(), 50u);
    EXPECT_EQ(CountTreeNodes(*m.tree.children[0]), 1u);
    EXPECT_EQ(CountTreeNodes(m.tree), 3u);
}

TEST(QuadTreeOptimize, MergeKeepsOwnTrianglesFirstThenChildrenInOrder) {
    Mesh m;
    AddFrame(m);
    AddSmall(m, 50, 50);  // quadrant 1
    AddSmall(m, 1, 1);    // quadrant 0
    AddSmall(m, 50, 1);   // quadrant 2
    m.Build(false);
    m.tree.MergeData();
    ASSERT_EQ(m.tree.faces.size(), 5u);
    // Quadrant 0 (frame corner, then the small one at 1,1), quadrant 1 (whose own quadrant 0
    // holds the one at 50,50 and quadrant 1 the frame corner), quadrant 2.
    EXPECT_EQ(&m.tree.Face(0), &m.triangles[0]);
    EXPECT_EQ(&m.tree.Face(1), &m.triangles[3]);
    EXPECT_EQ(&m.tree.Face(2), &m.triangles[2]);
    EXPECT_EQ(&m.tree.Face(3), &m.triangles[1]);
    EXPECT_EQ(&m.tree.Face(4), &m.triangles[4]);
    EXPECT_EQ(CountTreeNodes(m.tree), 1u);
}

TEST(RayTriangle, ParallelRayMissesAndEdgesAndCornersHit) {
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 0, 1};
    const float down[3] = {0, -1, 0};
    const float sideways[3] = {1, 0, 0};
    const float above_inside[3] = {0.25f, 2, 0.25f};
    const float above_corner[3] = {1, 2, 0};
    const float above_edge[3] = {0.5f, 2, 0.5f};
    const float above_outside[3] = {0.75f, 2, 0.75f};
    EXPECT_EQ(intersect_triangle(above_inside, sideways, a, b, c), -1.0f);
    EXPECT_FLOAT_EQ(intersect_triangle(above_inside, down, a, b, c), 2.0f);
    EXPECT_FLOAT_EQ(intersect_triangle(above_corner, down, a, b, c), 2.0f);
    EXPECT_FLOAT_EQ(intersect_triangle(above_edge, down, a, b, c), 2.0f);
    EXPECT_EQ(intersect_triangle(above_outside, down, a, b, c), -1.0f);
    // Behind the origin: a negative parameter, whatever the winding.
    const float below[3] = {0.25f, -3, 0.25f};
    EXPECT_FLOAT_EQ(intersect_triangle(below, down, a, c, b), -3.0f);
}

TEST(RayTriangle, VectorHelpersComputeOnThreeComponents) {
    float r[3];
    const float x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
    CROSS(r, x, y);
    EXPECT_EQ(r[2], 1.0f);
    SUB(r, x, y);
    EXPECT_EQ(r[1], -1.0f);
    const float v[3] = {1, 2, 3};
    EXPECT_EQ(DOT(v, v), 14.0f);
}

TEST(QuadTreeQuery, FlagDecidesAboutHitsBehindTheOriginAndTheMissValue) {
    Mesh m;
    m.AddTriangle(P(0, 0, 0), P(1, 0, 0), P(0, 0, 1));
    m.Build(true);
    const float o[3] = {0.25f, -0.5f, 0.25f};
    const float d[3] = {0, 1, 0};
    EXPECT_FLOAT_EQ(m.tree.TestIntersection(m.positions.data(), o, d, false), 0.5f);
    const float away_from[3] = {0, -1, 0};
    EXPECT_EQ(m.tree.TestIntersection(m.positions.data(), o, away_from, false), 0.0f);
    EXPECT_FLOAT_EQ(m.tree.TestIntersection(m.positions.data(), o, away_from, true), -0.5f);
    const float away[3] = {5, 5, 5};
    EXPECT_EQ(m.tree.TestIntersection(m.positions.data(), away, d, true), -1.0f);
    EXPECT_EQ(m.tree.TestIntersection(m.positions.data(), away, d, false), 0.0f);
}

TEST(QuadTreeQuery, ShortDirectionStillFindsTrianglesDeepInTheTree) {
    Mesh m;
    AddFrame(m);
    for (int i = 0; i < 150; ++i) AddSmall(m, 1.0f + (i % 10) * 0.2f, 1.0f + (i / 10) * 0.2f, 0.1f);
    m.Build(true);
    ASSERT_GT(TreeDepth(m.tree), 1u);
    // A short direction from far above (its five-fold segment ends far above the triangles):
    // the hit lies at t = 1000.
    const float o[3] = {1.02f, 10.0f, 1.02f};
    const float d[3] = {0, -0.01f, 0};
    const float t = m.tree.TestIntersection(m.positions.data(), o, d, false);
    EXPECT_EQ(t, m.BruteForce(o, d, false));
    EXPECT_GT(t, 0.0f);
}

// Random rays over a random mesh: the tree returns exactly what testing every triangle in
// order returns.
TEST(QuadTreeQuery, IntersectionEqualsBruteForceOnRandomRays) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_real_distribution<float> sym(-1.0f, 1.0f);
    Mesh m;
    for (int i = 0; i < 6000; ++i) {
        const float x = unit(rng) * 2.6f - 1.3f, z = unit(rng) * 3.6f - 1.8f, y = unit(rng) * 0.8f;
        const float s = i % 50 == 0 ? 0.8f : 0.05f;
        m.AddTriangle(P(x, y, z), P(x + sym(rng) * s, y + sym(rng) * s, z + sym(rng) * s),
                      P(x + sym(rng) * s, y + sym(rng) * s, z + sym(rng) * s));
    }
    m.Build(true);
    ASSERT_GT(CountTreeNodes(m.tree), 20u);
    int hits = 0;
    for (int i = 0; i < 3000; ++i) {
        float o[3] = {sym(rng) * 3.0f, sym(rng) * 3.0f, sym(rng) * 3.0f};
        float d[3] = {sym(rng), sym(rng), sym(rng)};
        if (i % 3 == 0) {
            // Picking rays: from above, aimed into the area, some with short directions.
            o[1] = 5.0f;
            const float target[3] = {sym(rng) * 1.3f, unit(rng) * 0.8f, sym(rng) * 1.8f};
            const float k = i % 2 ? 1.0f : 0.01f;
            for (int a = 0; a < 3; ++a) d[a] = (target[a] - o[a]) * k;
        }
        if (i % 7 == 0) d[i % 3] = 0.0f;
        for (bool flag : {false, true}) {
            const float tree_t = m.tree.TestIntersection(m.positions.data(), o, d, flag);
            const float brute_t = m.BruteForce(o, d, flag);
            ASSERT_EQ(tree_t, brute_t) << "ray " << i << " flag " << flag;
            if (tree_t != (flag ? -1.0f : 0.0f)) ++hits;
        }
    }
    EXPECT_GT(hits, 500);
}

// Slivers (two corners equal, the third apart) have a determinant made only of rounding:
// their test reports hits anywhere along the ray, outside every quadrant. The root notes them
// wherever the quadrant rule places them, so that the tree still answers what testing every
// triangle answers.
TEST(QuadTreeQuery, SliverHitsBornOfRoundingAreFoundAsBruteForceFindsThem) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coord(0.5f, 63.5f);
    std::uniform_real_distribution<float> sym(-1.0f, 1.0f);
    Mesh m;
    AddFrame(m);
    for (int i = 0; i < 400; ++i) AddSmall(m, coord(rng), coord(rng), 0.3f);
    const size_t first_sliver = m.triangles.size();
    for (int i = 0; i < 200; ++i) {
        const cMath::vector4 far = P(coord(rng), sym(rng), coord(rng));
        const cMath::vector4 near = P(far.x + sym(rng) * 2, far.y * 0.01f, far.z + sym(rng) * 2);
        m.AddTriangle(far, near, near);
    }
    m.Build(true);
    ASSERT_GT(CountTreeNodes(m.tree), 4u);
    EXPECT_EQ(m.tree.slivers.size(), m.triangles.size() - first_sliver);
    EXPECT_EQ(m.tree.CountTriangles(), m.triangles.size()) << "placed once as the rule says";
    int sliver_wins = 0;
    for (int i = 0; i < 2000; ++i) {
        const float o[3] = {-1.0f - coord(rng), -1.0f - coord(rng) * 0.1f, -1.0f - coord(rng)};
        const float d[3] = {coord(rng) * 3 - o[0], 1.0f + sym(rng), coord(rng) * 3 - o[2]};
        for (bool flag : {false, true}) {
            const float brute_t = m.BruteForce(o, d, flag);
            ASSERT_EQ(m.tree.TestIntersection(m.positions.data(), o, d, flag), brute_t) << "ray " << i;
            for (size_t k = first_sliver; k < m.triangles.size(); ++k) {
                const tiangle_face& t = m.triangles[k];
                if (intersect_triangle(o, d, &m.positions[t.pos0].x, &m.positions[t.pos1].x,
                                       &m.positions[t.pos2].x) == brute_t) {
                    ++sliver_wins;
                    break;
                }
            }
        }
    }
    EXPECT_GT(sliver_wins, 0) << "the rays meet rounding-born hits";
}

// Coordinates around 1e28 make the ray test's products overflow: a triangle far from the ray
// then reports an infinite parameter. Past the pruning limit the tree tests every triangle,
// so it still answers what testing every triangle answers.
TEST(QuadTreeQuery, OverflowingCoordinatesAreSearchedWithoutPruning) {
    Mesh m;
    m.AddTriangle(P(-2, 0, -0.8f), P(-2, 0, -0.8f), P(-2, 0, -0.8f));
    m.AddTriangle(P(8.9e28f, 2e23f, 2e23f), P(8.9e28f, 2e23f, 2e23f), P(8.9e28f, 2e23f, 2e23f));
    for (int i = 0; i < 150; ++i) AddSmall(m, float(i), 0.5f, 0.1f);
    m.AddTriangle(P(8.888889e17f, 0.02f, 4.8e14f), P(8888.88f, 8.88f, 8.888889e14f), P(8.888889e14f, 0.78f, 88888.88f));
    m.Build(true);
    ASSERT_GT(CountTreeNodes(m.tree), 1u);
    const float o[3] = {4.444444e28f, 2e23f, 1e23f};
    const float d[3] = {0, -1, 0};
    for (bool flag : {false, true}) {
        const float brute_t = m.BruteForce(o, d, flag);
        EXPECT_EQ(m.tree.TestIntersection(m.positions.data(), o, d, flag), brute_t) << "flag " << flag;
    }
}

TEST(QuadTreeShape, CountsNodesAndDepth) {
    Mesh m;
    AddFrame(m);
    AddSmall(m, 1, 1);
    AddSmall(m, 50, 50);
    m.Build(false);
    EXPECT_EQ(TreeDepth(m.tree), 6u);
    // Two paths of five nodes below the root, and a third sharing two nodes with one of them.
    EXPECT_EQ(CountTreeNodes(m.tree), 14u);
    m.tree.Clear();
    EXPECT_EQ(CountTreeNodes(m.tree), 1u);
    EXPECT_EQ(m.tree.CountTriangles(), 0u);
}

TEST(QuadTreeTriangleList, KeepsInsertionOrderWhileGroupingConsecutiveIndices) {
    TriangleList a;
    for (uint32_t index : {4u, 5u, 6u, 9u, 3u, 4u}) a.push_back(index);
    EXPECT_EQ(a.size(), 6u);
    EXPECT_EQ(a.runs.size(), 3u);  // 4-6, 9, 3-4
    const uint32_t expected[6] = {4, 5, 6, 9, 3, 4};
    for (size_t k = 0; k < 6; ++k) EXPECT_EQ(a[k], expected[k]) << k;

    TriangleList b;
    for (uint32_t index : {5u, 6u, 0u}) b.push_back(index);
    a.append(b);  // 5 follows the last run's 4: joined
    EXPECT_EQ(a.size(), 9u);
    EXPECT_EQ(a.runs.size(), 4u);
    const uint32_t joined[9] = {4, 5, 6, 9, 3, 4, 5, 6, 0};
    for (size_t k = 0; k < 9; ++k) EXPECT_EQ(a[k], joined[k]) << k;
}

TEST(QuadTreeTriangleList, TreeOfMeshTriangleRowsHoldsFewRunsAndFindsTheBruteForceHits) {
    Mesh m;
    // A 60 x 60 grid of two triangles per cell, rows in order, as exporters write meshes.
    for (int i = 0; i < 60; ++i) {
        for (int j = 0; j < 60; ++j) {
            const float x = float(j), z = float(i);
            m.AddTriangle(P(x, 0, z), P(x + 1, 0.1f * float(j % 3), z), P(x + 1, 0, z + 1));
            m.AddTriangle(P(x, 0, z), P(x + 1, 0, z + 1), P(x, 0.1f * float(i % 2), z + 1));
        }
    }
    m.Build(true);
    size_t runs = 0;
    std::function<void(const OuadTree&)> count = [&](const OuadTree& node) {
        runs += node.faces.runs.size();
        for (const auto& child : node.children) {
            if (child) count(*child);
        }
    };
    count(m.tree);
    EXPECT_EQ(m.tree.CountTriangles(), 7200u);
    EXPECT_LT(runs * 2, m.triangles.size());  // more than two triangles a run on average
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> coord(0.0f, 60.0f);
    for (int r = 0; r < 200; ++r) {
        const float o[3] = {coord(rng), 5.0f, coord(rng)};
        const float d[3] = {0.01f, -1.0f, -0.02f};
        EXPECT_EQ(m.tree.TestIntersection(m.positions.data(), o, d, false), m.BruteForce(o, d, false));
    }
}
