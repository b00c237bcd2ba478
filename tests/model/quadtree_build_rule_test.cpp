// Quadtree building: every triangle ends in the node that the quadrant rule, applied box by
// box with IsTriangleInBBox, sends it to, also for corners on centre lines and quadrant edges.
#include "model/quadtree.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

cMath::vector4 QuadrantLo(const OuadTree& n, int q) {
    const float cx = (n.bbox_max->x + n.bbox_min->x) / 2.0f, cz = (n.bbox_max->z + n.bbox_min->z) / 2.0f;
    const float x = (q == 1 || q == 2) ? cx : n.bbox_min->x;
    const float z = (q == 1 || q == 3) ? cz : n.bbox_min->z;
    return cMath::vector4(x, n.bbox_min->y, z, 0.0f);
}

cMath::vector4 QuadrantHi(const OuadTree& n, int q) {
    const float cx = (n.bbox_max->x + n.bbox_min->x) / 2.0f, cz = (n.bbox_max->z + n.bbox_min->z) / 2.0f;
    const float x = (q == 1 || q == 2) ? n.bbox_max->x : cx;
    const float z = (q == 1 || q == 3) ? n.bbox_max->z : cz;
    return cMath::vector4(x, n.bbox_max->y, z, 0.0f);
}

// The node the rule sends a triangle to, following existing children box by box.
const OuadTree* RuleNode(const OuadTree& root, const tiangle_face* t, const cMath::vector4* positions) {
    const OuadTree* node = &root;
    for (;;) {
        int chosen = -1;
        for (int q = 0; q < 4 && chosen < 0 && node->depth < kQuadTreeMaxDepth; ++q) {
            if (node->IsTriangleInBBox(t, positions, QuadrantLo(*node, q), QuadrantHi(*node, q))) chosen = q;
        }
        if (chosen < 0) return node;
        if (!node->children[chosen]) return nullptr;
        node = node->children[chosen].get();
    }
}

void CollectHolders(const OuadTree& node, std::vector<std::pair<const tiangle_face*, const OuadTree*>>& out) {
    for (size_t k = 0; k < node.faces.size(); ++k) out.emplace_back(&node.Face(k), &node);
    for (const auto& c : node.children) {
        if (c) CollectHolders(*c, out);
    }
}

TEST(QuadTreeBuild, EveryTriangleSitsWhereTheBoxByBoxRuleSendsIt) {
    std::mt19937 rng(7);
    // Corners on a coarse grid, so that many lie exactly on centre lines of several levels.
    std::uniform_int_distribution<int> grid(0, 64);
    std::uniform_int_distribution<int> step(-2, 2);
    std::vector<cMath::vector4> positions;
    std::vector<tiangle_face> triangles;
    positions.emplace_back(0.0f, 0.0f, 0.0f, 0.0f);
    positions.emplace_back(64.0f, 1.0f, 96.0f, 0.0f);
    for (int i = 0; i < 20000; ++i) {
        const int x = grid(rng), z = grid(rng);
        const uint32_t base = uint32_t(positions.size());
        positions.emplace_back(float(x), 0.5f, float(z) * 1.5f, 0.0f);
        positions.emplace_back(float(std::min(64, std::max(0, x + step(rng)))), 0.5f,
                               float(std::min(64, std::max(0, z + step(rng)))) * 1.5f, 0.0f);
        positions.emplace_back(float(x), 0.5f, float(std::min(64, std::max(0, z + step(rng)))) * 1.5f, 0.0f);
        triangles.push_back(tiangle_face{base, 0, 0, base + 1, 0, 0, base + 2, 0, 0});
    }
    cMath::vector4 box[2] = {positions[0], positions[1]};
    OuadTree root;
    root.GiveBBox(box);
    root.GiveTriangles(triangles.data());
    for (tiangle_face& t : triangles) root.Push(&t, positions.data());
    std::vector<std::pair<const tiangle_face*, const OuadTree*>> holders;
    CollectHolders(root, holders);
    ASSERT_EQ(holders.size(), triangles.size());
    size_t below_root = 0;
    for (const auto& h : holders) {
        ASSERT_EQ(RuleNode(root, h.first, positions.data()), h.second);
        below_root += h.second != &root;
    }
    EXPECT_GT(below_root, triangles.size() / 2);
    EXPECT_GT(root.faces.size(), 100u);
}

}  // namespace
