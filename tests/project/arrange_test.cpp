// Arrange and Scale to fit: boxes as drawn, placement without overlap, what does not fit.
#include "project/arrange.h"

#include <gtest/gtest.h>

namespace {

project::pObject Image(float sx, float sz, float turn_y = 0.0f) {
    project::pObject o;
    o.type = 0;
    o.texture = 1;
    o.name = "/data/img.png";
    o.size = cMath::vector4(sx, 0.02f, sz, 1);
    o.rotate = cMath::vector4(0, turn_y, 0, 0);
    return o;
}

struct Box {
    cMath::vector4 lo, hi;
};

Box BoxOf(const project::pObject& o) {
    Box b;
    EXPECT_TRUE(ObjectWorldBox(o, &b.lo, &b.hi));
    return b;
}

void ExpectInsideWorkArea(const Box& b) {
    EXPECT_GE(b.lo.x, -1.3f - 1e-4f);
    EXPECT_LE(b.hi.x, 1.3f + 1e-4f);
    EXPECT_GE(b.lo.z, -1.8f - 1e-4f);
    EXPECT_LE(b.hi.z, 1.8f + 1e-4f);
}

bool Apart(const Box& a, const Box& b) {
    const float gap = kArrangeGap - 1e-3f;
    return a.hi.x + gap <= b.lo.x || b.hi.x + gap <= a.lo.x || a.hi.z + gap <= b.lo.z || b.hi.z + gap <= a.lo.z;
}

TEST(ObjectWorldBox, ImportedImageLiesOnTheImportCornerAndRotationTurnsItsFootprint) {
    Box b = BoxOf(Image(1.0f, 0.5f));
    EXPECT_NEAR(b.lo.x, -1.3f, 1e-5f);
    EXPECT_NEAR(b.hi.x, -0.3f, 1e-5f);
    EXPECT_NEAR(b.hi.z, 1.8f, 1e-5f);
    EXPECT_NEAR(b.lo.z, 1.3f, 1e-5f);
    // The drawing scales after turning: an eighth turn widens the square's footprint by root 2.
    Box turned = BoxOf(Image(1.0f, 0.5f, 45.0f));
    EXPECT_NEAR(turned.hi.x - turned.lo.x, 1.41421f, 1e-4f);
    EXPECT_NEAR(turned.hi.z - turned.lo.z, 0.70711f, 1e-4f);
    project::pObject other;
    other.type = 5;
    cMath::vector4 lo, hi;
    EXPECT_FALSE(ObjectWorldBox(other, &lo, &hi));
}

TEST(Arrange, SpreadsOverlappingObjectsLargestFirstKeepingRotationAndHeight) {
    project p{nullptr};
    p.objects.push_back(Image(1.0f, 1.0f));
    p.objects.push_back(Image(0.5f, 0.5f));
    p.objects.push_back(Image(1.2f, 1.1f, 45.0f));
    p.objects[1].position.y = 0.3f;
    std::vector<int> left_out{99};
    EXPECT_TRUE(ArrangeObjects(p, &left_out));
    EXPECT_TRUE(left_out.empty());
    std::vector<Box> boxes;
    for (const project::pObject& o : p.objects) boxes.push_back(BoxOf(o));
    for (size_t i = 0; i < boxes.size(); ++i) {
        ExpectInsideWorkArea(boxes[i]);
        for (size_t j = i + 1; j < boxes.size(); ++j) EXPECT_TRUE(Apart(boxes[i], boxes[j])) << i << " " << j;
    }
    // The largest footprint takes the import corner.
    EXPECT_NEAR(boxes[2].lo.x, -1.3f, 1e-4f);
    EXPECT_NEAR(boxes[2].hi.z, 1.8f, 1e-4f);
    EXPECT_FLOAT_EQ(p.objects[2].rotate.y, 45.0f);
    EXPECT_FLOAT_EQ(p.objects[1].position.y, 0.3f);
    // Arranging again finds the same places.
    EXPECT_FALSE(ArrangeObjects(p, &left_out));
}

TEST(Arrange, ObjectsThatDoNotFitStayWhereTheyAreAndAreNamed) {
    project p{nullptr};
    for (int i = 0; i < 4; ++i) p.objects.push_back(Image(1.5f, 1.5f));
    p.objects[3].position = cMath::vector4(0.25f, 0, 0.5f, 0);
    const cMath::vector4 before2 = p.objects[2].position, before3 = p.objects[3].position;
    std::vector<int> left_out;
    EXPECT_TRUE(ArrangeObjects(p, &left_out));
    ASSERT_EQ(left_out, (std::vector<int>{2, 3}));
    EXPECT_FLOAT_EQ(p.objects[2].position.x, before2.x);
    EXPECT_FLOAT_EQ(p.objects[3].position.x, before3.x);
    EXPECT_FLOAT_EQ(p.objects[3].position.z, before3.z);
    EXPECT_TRUE(Apart(BoxOf(p.objects[0]), BoxOf(p.objects[1])));
    // An object larger than the whole work area is left out on its own.
    project big{nullptr};
    big.objects.push_back(Image(2.7f, 1.0f));
    EXPECT_FALSE(ArrangeObjects(big, &left_out));
    EXPECT_EQ(left_out, std::vector<int>{0});
}

TEST(ScaleToFit, ScalesUpOrDownKeepingProportionsAndCentresOnTheWorkArea) {
    project p{nullptr};
    p.objects.push_back(Image(0.5f, 0.4f));
    p.objects.push_back(Image(5.2f, 2.0f));
    p.objects.push_back(Image(1.0f, 0.5f, 45.0f));
    ASSERT_TRUE(ScaleObjectToFit(p, 0));
    // x is the tightest axis: 0.5 -> 2.6 (factor 5.2), z 0.4 -> 2.08, y 0.02 -> 0.104 -> 0.1.
    EXPECT_NEAR(p.objects[0].size.x, 2.6f, 1e-5f);
    EXPECT_NEAR(p.objects[0].size.z, 2.08f, 1e-5f);
    EXPECT_NEAR(p.objects[0].size.y, 0.1f, 1e-5f);
    Box b = BoxOf(p.objects[0]);
    EXPECT_NEAR(b.lo.x, -1.3f, 1e-4f);
    EXPECT_NEAR(b.lo.z + b.hi.z, 0.0f, 1e-4f);
    // Too large: halved (x limits).
    ASSERT_TRUE(ScaleObjectToFit(p, 1));
    EXPECT_NEAR(p.objects[1].size.x, 2.6f, 1e-5f);
    EXPECT_NEAR(p.objects[1].size.z, 1.0f, 1e-5f);
    ExpectInsideWorkArea(BoxOf(p.objects[1]));
    // Turned an eighth: its footprint (not its size) is what must fit.
    ASSERT_TRUE(ScaleObjectToFit(p, 2));
    Box t = BoxOf(p.objects[2]);
    EXPECT_NEAR(t.hi.x - t.lo.x, 2.6f, 0.03f);
    ExpectInsideWorkArea(t);
    EXPECT_NEAR(p.objects[2].size.x / p.objects[2].size.z, 2.0f, 0.03f);
    EXPECT_FALSE(ScaleObjectToFit(p, 3));
    // A 1 mm cube-sized image scaled by 40 in single precision is 40 mm, not 39.
    project speck{nullptr};
    speck.objects.push_back(Image(0.02f, 0.02f));
    ASSERT_TRUE(ScaleObjectToFit(speck, 0));
    EXPECT_NEAR(speck.objects[0].size.y, 0.8f, 1e-6f);
    EXPECT_NEAR(speck.objects[0].size.x, 0.8f, 1e-6f);
    EXPECT_FALSE(ScaleObjectToFit(p, -1));
}

TEST(ObjectFileName, GivesTheLastPartOfThePath) {
    EXPECT_EQ(ObjectFileName(Image(1, 1)), "img.png");
    project::pObject bare = Image(1, 1);
    bare.name = "plain.jpg";
    EXPECT_EQ(ObjectFileName(bare), "plain.jpg");
}

}  // namespace
