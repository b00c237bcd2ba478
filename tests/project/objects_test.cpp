// Object list, accessors, the index rule, the placement rule and the import fit.
#include "project/project.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

project::pObject Image(float sx, float sy, float sz) {
    project::pObject o;
    o.type = 0;
    o.texture = 7;
    o.name = "img.png";
    o.size = cMath::vector4(sx, sy, sz, 1);
    return o;
}

void ExpectVector(const cMath::vector4& v, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
    EXPECT_FLOAT_EQ(v.w, w);
}

// A project of three images told apart by their x size.
struct ThreeObjects : ::testing::Test {
    project p{nullptr};
    void SetUp() override {
        p.objects.push_back(Image(1, 0.02f, 1));
        p.objects.push_back(Image(2, 0.02f, 1));
        p.objects.push_back(Image(3, 0.02f, 1));
    }
};

TEST(IndexRule, OnlyIndexesBelowTheCountAsUnsignedAreValid) {
    EXPECT_TRUE(IsValidObjectIndex(0, 3));
    EXPECT_TRUE(IsValidObjectIndex(2, 3));
    EXPECT_FALSE(IsValidObjectIndex(3, 3));
    EXPECT_FALSE(IsValidObjectIndex(-1, 3));
    EXPECT_FALSE(IsValidObjectIndex(INT32_MIN, 3));
    EXPECT_FALSE(IsValidObjectIndex(0, 0));
}

TEST_F(ThreeObjects, SettersWriteAllFourComponentsOfTheIndexedObject) {
    cMath::vector4 v(0.1f, -0.2f, 0.3f, 9);
    p.PositionOBJ(1, &v);
    p.RotateOBJ(1, &v);
    p.MoveOBJ(1, &v);
    p.ScaleOBJ(1, &v);
    ExpectVector(p.GetPositionOBJ(1), 0.1f, -0.2f, 0.3f, 9);
    ExpectVector(p.GetRotateOBJ(1), 0.1f, -0.2f, 0.3f, 9);
    ExpectVector(p.GetMoveOBJ(1), 0.1f, -0.2f, 0.3f, 9);
    ExpectVector(p.GetScaleOBJ(1), 0.1f, -0.2f, 0.3f, 9);
    ExpectVector(p.GetPositionOBJ(0), 0, 0, 0, 0);
    ExpectVector(p.GetPositionOBJ(2), 0, 0, 0, 0);
}

TEST_F(ThreeObjects, InvalidIndexesChangeNothingAndReadAsZero) {
    cMath::vector4 v(5, 5, 5, 5);
    for (int bad : {-1, 3, 5, INT32_MIN}) {
        p.PositionOBJ(bad, &v);
        p.SizeOBJ(bad, &v);
        p.RotateOBJ(bad, &v);
        p.DeleteOBJ(bad);
        ExpectVector(p.GetSizeOBJ(bad), 0, 0, 0, 0);
    }
    ASSERT_EQ(p.objects.size(), 3u);
    for (const project::pObject& o : p.objects) ExpectVector(o.position, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(p.objects[2].size.x, 3);
}

TEST_F(ThreeObjects, SizeFloorRaisesSmallComponentsInTheCallersVector) {
    cMath::vector4 v(0, 0.5f, -3, 1);
    p.SizeOBJ(0, &v);
    ExpectVector(v, 0.02f, 0.5f, 0.02f, 1);
    ExpectVector(p.GetSizeOBJ(0), 0.02f, 0.5f, 0.02f, 1);
}

TEST_F(ThreeObjects, SizeFloorKeepsExactlyOneMillimetreAndNaN) {
    cMath::vector4 v(0.02f, NAN, 0.019999f, -1);
    p.SizeOBJ(0, &v);
    EXPECT_EQ(v.x, 0.02f);
    EXPECT_TRUE(std::isnan(v.y));
    EXPECT_EQ(v.z, 0.02f);
    EXPECT_EQ(v.w, -1);  // w is not a size component
    EXPECT_TRUE(std::isnan(p.GetSizeOBJ(0).y));
}

TEST_F(ThreeObjects, SizeWithInvalidIndexLeavesTheCallersVectorAlone) {
    cMath::vector4 v(0, 0, 0, 0);
    p.SizeOBJ(5, &v);
    ExpectVector(v, 0, 0, 0, 0);
}

TEST_F(ThreeObjects, DeleteMovesLaterObjectsDownAndClearsTheSelection) {
    p.selected = 2;
    p.hovered = 1;
    p.DeleteOBJ(0);
    ASSERT_EQ(p.objects.size(), 2u);
    EXPECT_FLOAT_EQ(p.objects[0].size.x, 2);
    EXPECT_FLOAT_EQ(p.objects[1].size.x, 3);
    EXPECT_EQ(p.GetSelected(), -1);
    EXPECT_EQ(p.hovered, 1);
}

TEST_F(ThreeObjects, ResetEmptiesTheListAndSelectionButKeepsHovered) {
    p.selected = 1;
    p.hovered = 2;
    p.Reset();
    EXPECT_TRUE(p.objects.empty());
    EXPECT_EQ(p.GetSelected(), -1);
    EXPECT_EQ(p.hovered, 2);
}

TEST(PlacementRule, DefaultImageLiesOnTheAnchorCorner) {
    project::pObject o = Image(1, 0.02f, 1);
    PlaceObject(&o);
    ExpectVector(o.scale, 0.5f, 0.2f, 0.5f, 0);
    ExpectVector(o.move, -0.8f, 0.0201f, 1.3f, 1);
    // The square x, z in [-1, 1] spans x -1.3 .. -0.3 and z 0.8 .. 1.8.
    EXPECT_FLOAT_EQ(o.move.x - o.scale.x, -1.3f);
    EXPECT_FLOAT_EQ(o.move.x + o.scale.x, -0.3f);
    EXPECT_FLOAT_EQ(o.move.z - o.scale.z, 0.8f);
    EXPECT_FLOAT_EQ(o.move.z + o.scale.z, 1.8f);
}

TEST(PlacementRule, ImageFollowsTheClosedForm) {
    project::pObject o = Image(2.5f, 0.1f, 0.4f);
    PlaceObject(&o);
    ExpectVector(o.scale, 1.25f, 1.0f, 0.2f, 0);
    ExpectVector(o.move, 1.25f - 1.3f, 0.0201f, 1.8f - 0.2f, 1);
}

TEST(PlacementRule, ModelBoxSpansItsSizeFromTheAnchor) {
    const cMath::vector4 lo(-3, 1, -2, 0), hi(5, 3, 6, 0);
    const cMath::vector4 size(2, 0.5f, 1, 0);
    cMath::vector4 move, scale;
    ApplyPlacementRule(lo, hi, size, &move, &scale);
    // Corner (lo.x, lo.y, hi.z) lands on the anchor, the far corner size away from it.
    EXPECT_FLOAT_EQ(lo.x * scale.x + move.x, -1.3f);
    EXPECT_FLOAT_EQ(lo.y * scale.y + move.y, 0.0201f);
    EXPECT_FLOAT_EQ(hi.z * scale.z + move.z, 1.8f);
    EXPECT_FLOAT_EQ(hi.x * scale.x + move.x, -1.3f + 2);
    EXPECT_FLOAT_EQ(hi.y * scale.y + move.y, 0.0201f + 0.5f);
    EXPECT_FLOAT_EQ(lo.z * scale.z + move.z, 1.8f - 1);
    EXPECT_EQ(scale.w, 0);
    EXPECT_EQ(move.w, 1);
}

TEST(PlacementRule, FlatAxisKeepsScaleOneInsteadOfNaN) {
    const cMath::vector4 lo(0, 0.25f, -1, 0), hi(2, 0.25f, 1, 0);
    cMath::vector4 move, scale;
    ApplyPlacementRule(lo, hi, cMath::vector4(1, 0.02f, 1, 0), &move, &scale);
    EXPECT_EQ(scale.y, 1.0f);
    EXPECT_FLOAT_EQ(move.y, 0.0201f - 0.25f);
    EXPECT_FLOAT_EQ(scale.x, 0.5f);
    EXPECT_FALSE(std::isnan(move.x) || std::isnan(move.y) || std::isnan(move.z));
}

TEST(PlacementRule, OtherTypesAndUnreadModelsAreLeftAsTheyAre) {
    project::pObject other = Image(1, 1, 1);
    other.type = 7;
    other.move = cMath::vector4(1, 2, 3, 4);
    PlaceObject(&other);
    ExpectVector(other.move, 1, 2, 3, 4);

    project::pObject unread;
    unread.type = 1;  // no model
    unread.size = cMath::vector4(1, 1, 1, 0);
    unread.scale = cMath::vector4(9, 9, 9, 9);
    PlaceObject(&unread);
    ExpectVector(unread.scale, 9, 9, 9, 9);
}

TEST(ImportFit, ShrinksByTheLargestRelativeExcess) {
    EXPECT_FLOAT_EQ(FitFactor(cMath::vector4(5.2f, 0.4f, 1.0f, 0)), 2.0f);
    EXPECT_FLOAT_EQ(FitFactor(cMath::vector4(1.0f, 1.6f, 7.2f, 0)), 2.0f);
    EXPECT_FLOAT_EQ(FitFactor(cMath::vector4(1.0f, 0.4f, 10.8f, 0)), 3.0f);
    EXPECT_EQ(FitFactor(cMath::vector4(2.6f, 0.8f, 3.6f, 0)), 1.0f);  // limits do not shrink
    EXPECT_EQ(FitFactor(cMath::vector4(0.1f, 0.1f, 0.1f, 0)), 1.0f);  // never enlarges
}

TEST(ImportFit, SizesAreRoundedDownToWholeMillimetres) {
    cMath::vector4 s = ImportSize(cMath::vector4(5.2f, 0.4f, 1.0f, 0));
    EXPECT_FLOAT_EQ(s.x, 2.6f);
    EXPECT_FLOAT_EQ(s.y, 0.2f);
    EXPECT_FLOAT_EQ(s.z, 0.5f);

    s = ImportSize(cMath::vector4(1.234f, 0.5f, 0.5f, 0));
    EXPECT_EQ(s.x, 61.0f / 50.0f);
    EXPECT_EQ(s.y, 25.0f / 50.0f);

    s = ImportSize(cMath::vector4(1.0f, 1.6f, 7.2f, 0));
    EXPECT_FLOAT_EQ(s.x, 0.5f);
    EXPECT_FLOAT_EQ(s.y, 0.8f);
    EXPECT_FLOAT_EQ(s.z, 3.6f);
}

TEST(ImportFit, TinyAndFlatExtentsGetOneMillimetre) {
    const cMath::vector4 s = ImportSize(cMath::vector4(0.015f, 0.0f, 0.5f, 0));
    EXPECT_EQ(s.x, 0.02f);
    EXPECT_EQ(s.y, 0.02f);
    EXPECT_FLOAT_EQ(s.z, 0.5f);
    const cMath::vector4 n = ImportSize(cMath::vector4(NAN, INFINITY, 1.0f, 0));
    EXPECT_EQ(n.x, 0.02f);
    EXPECT_EQ(n.y, 0.02f);
}

}  // namespace
