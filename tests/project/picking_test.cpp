// The picking pass on the matrices the editor builds: what is found under the cursor,
// what gets selected and hovered, and the view steps. Images need no GL; models are
// covered in model_scene_test.cpp.
#include "project/project.h"
#include "tests/project/view_helpers.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using project_test::Camera;
using project_test::CursorOver;

project::pObject Image(float px = 0, float py = 0, float pz = 0) {
    project::pObject o;
    o.type = 0;
    o.texture = 1;
    o.name = "i.png";
    o.size = cMath::vector4(1, 0.02f, 1, 1);
    o.position = cMath::vector4(px, py, pz, 0);
    return o;
}

// Scene point of an image's own coordinates (x, 0, z) for an unrotated image.
void ImagePoint(const project::pObject& placed, float x, float z, float* out) {
    out[0] = placed.move.x + placed.position.x + placed.scale.x * x;
    out[1] = placed.move.y + placed.position.y;
    out[2] = placed.move.z - placed.position.z + placed.scale.z * z;
}

struct Picking : ::testing::Test {
    project p{nullptr};
    Camera camera = project_test::TopCamera();
    cMath::Matrix4x4 V = project_test::View(camera);
    cMath::Matrix4x4 P = project_test::Projection();

    // Cursor over the scene point of image i's own (x, 0, z).
    void CursorOverImage(size_t i, float x, float z, float* cursor) {
        project::pObject placed = p.objects[i];
        PlaceObject(&placed);
        float s[3];
        ImagePoint(placed, x, z, s);
        ASSERT_TRUE(CursorOver(V, P, s[0], s[1], s[2], cursor)) << "point off screen";
    }
    int Pick(float* cursor, bool commit) { return p.SelectOBJ(&V, &P, cursor, commit); }
};

TEST_F(Picking, CursorIsCorrectedInPlaceToTheViewport) {
    float cursor[2] = {1.0f, -1.0f};
    Pick(cursor, false);
    EXPECT_FLOAT_EQ(cursor[0], 1008.0f / 1024.0f);  // right edge of the client: pixel 1016 of 1024
    EXPECT_FLOAT_EQ(cursor[1], -1.0f);              // bottom edges coincide
    float top_left[2] = {-1.0f, 1.0f};
    Pick(top_left, false);
    EXPECT_FLOAT_EQ(top_left[0], -1.0f);
    EXPECT_FLOAT_EQ(top_left[1], 704.0f / 768.0f);  // client top: pixel 736 of 768
}

TEST_F(Picking, EmptyProjectFindsNothingAndCommitClearsTheSelection) {
    p.selected = 3;
    p.hovered = 3;
    float cursor[2] = {0, 0};
    EXPECT_EQ(Pick(cursor, false), -1);
    EXPECT_EQ(p.hovered, -1);
    EXPECT_EQ(p.selected, 3);
    float again[2] = {0, 0};
    EXPECT_EQ(Pick(again, true), -1);
    EXPECT_EQ(p.selected, -1);
}

TEST_F(Picking, ImageUnderTheCursorIsHoveredAndSelectedOnCommit) {
    p.objects.push_back(Image());
    float cursor[2];
    CursorOverImage(0, 0.3f, -0.2f, cursor);
    float hover[2] = {cursor[0], cursor[1]};
    EXPECT_EQ(Pick(hover, false), 0);
    EXPECT_EQ(p.hovered, 0);
    EXPECT_EQ(p.selected, -1);
    EXPECT_EQ(Pick(cursor, true), 0);
    EXPECT_EQ(p.selected, 0);
}

TEST_F(Picking, CommitOverEmptySpaceClearsTheSelection) {
    p.objects.push_back(Image());
    p.selected = 0;
    float cursor[2];
    CursorOverImage(0, 3.0f, 0.0f, cursor);  // beside the square
    EXPECT_EQ(Pick(cursor, true), -1);
    EXPECT_EQ(p.selected, -1);
    EXPECT_EQ(p.hovered, -1);
}

TEST_F(Picking, ImageEdgesAreFoundJustInsideAndMissedJustOutside) {
    p.objects.push_back(Image(0.5f, 0, 0.5f));
    const float in = 0.995f, out = 1.005f;
    const float spots[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (const auto& s : spots) {
        SCOPED_TRACE(testing::Message() << s[0] << "," << s[1]);
        float c[2];
        CursorOverImage(0, s[0] * in, s[1] * in, c);
        EXPECT_EQ(Pick(c, false), 0);
        CursorOverImage(0, s[0] * out, s[1] * out, c);
        EXPECT_EQ(Pick(c, false), -1);
    }
}

TEST_F(Picking, CursorCorrectionHitsTheExactPixelNearTheTop) {
    // Far from the client's bottom-left anchor a wrong correction misses by pixels: the
    // far edge of an image high on the screen is found 1.5 pixels inside and missed
    // 1.5 pixels outside.
    p.objects.push_back(Image(0.8f, 0, 5.0f));
    project::pObject placed = p.objects[0];
    PlaceObject(&placed);
    float edge[3];
    ImagePoint(placed, 0.0f, -1.0f, edge);
    float vx, vy;
    ASSERT_TRUE(project_test::ToViewport(V, P, edge[0], edge[1], edge[2], &vx, &vy));
    ASSERT_GT(vy, 0.7f);
    const float pixel = 2.0f / 768.0f;
    float cursor[2];
    project_test::ViewportToCursor(vx, vy - 1.5f * pixel, cursor);
    EXPECT_EQ(Pick(cursor, false), 0);
    project_test::ViewportToCursor(vx, vy + 1.5f * pixel, cursor);
    EXPECT_EQ(Pick(cursor, false), -1);
}

TEST_F(Picking, RotatedImageIsTestedInItsRotatedPlace) {
    p.objects.push_back(Image(0.8f, 0, 0.8f));
    p.objects[0].rotate = cMath::vector4(0, 45, 0, 0);
    project::pObject placed = p.objects[0];
    PlaceObject(&placed);
    const float c = std::cos(0.785398f), s = std::sin(0.785398f);
    // Own corner (0.95, 0, 0.95) turned 45 degrees about y lies on the own x axis of the
    // unturned square, 1.34 out: outside the unturned square, inside the turned one.
    auto scene = [&](float x, float z, float* out) {
        const float rx = c * x + s * z, rz = -s * x + c * z;
        out[0] = placed.move.x + placed.position.x + placed.scale.x * rx;
        out[1] = placed.move.y;
        out[2] = placed.move.z - placed.position.z + placed.scale.z * rz;
    };
    float pt[3], cursor[2];
    scene(0.95f, 0.95f, pt);
    ASSERT_TRUE(CursorOver(V, P, pt[0], pt[1], pt[2], cursor));
    EXPECT_EQ(Pick(cursor, false), 0);
    // The unturned square's own corner region is empty after the turn.
    ImagePoint(placed, 0.95f, 0.95f, pt);
    ASSERT_TRUE(CursorOver(V, P, pt[0], pt[1], pt[2], cursor));
    EXPECT_EQ(Pick(cursor, false), -1);
}

TEST_F(Picking, EqualHitsGoToTheLowerIndex) {
    p.objects.push_back(Image(2.0f, 0, 0));  // elsewhere
    p.objects.push_back(Image());
    p.objects.push_back(Image());
    float cursor[2];
    CursorOverImage(1, 0, 0, cursor);
    EXPECT_EQ(Pick(cursor, false), 1);
}

TEST_F(Picking, TheObjectNearestTheViewerWins) {
    p.objects.push_back(Image());                 // on the bed
    p.objects.push_back(Image(0.2f, 0.3f, 0.1f));  // above it, overlapping on screen
    p.objects.push_back(Image(-0.1f, 0.1f, 0));    // between them
    float cursor[2];
    CursorOverImage(1, 0, 0, cursor);
    EXPECT_EQ(Pick(cursor, false), 1);
    std::swap(p.objects[0], p.objects[1]);
    CursorOverImage(0, 0, 0, cursor);
    EXPECT_EQ(Pick(cursor, false), 0);
}

TEST_F(Picking, DegenerateRayFindsNothing) {
    p.objects.push_back(Image());
    p.objects.push_back(Image(-1.0f, 0, -1.0f));  // square around the scene origin
    cMath::Matrix4x4 singular(0.0f);
    float cursor[2] = {0, 0};
    EXPECT_EQ(p.SelectOBJ(&V, &singular, cursor, true), -1);
    EXPECT_EQ(p.selected, -1);
}

TEST_F(Picking, PassRestoresPlacementAndLeavesOtherTypesAlone) {
    p.objects.push_back(Image());
    project::pObject other = Image();
    other.type = 4;
    other.move = cMath::vector4(7, 7, 7, 7);
    other.scale = cMath::vector4(8, 8, 8, 8);
    p.objects.push_back(other);
    cMath::vector4 junk(9, 9, 9, 9);
    p.MoveOBJ(0, &junk);
    p.ScaleOBJ(0, &junk);
    float cursor[2], same_spot[2];
    CursorOverImage(0, 0, 0, cursor);
    same_spot[0] = cursor[0];
    same_spot[1] = cursor[1];
    EXPECT_EQ(Pick(cursor, false), 0);
    EXPECT_FLOAT_EQ(p.objects[0].move.x, -0.8f);
    EXPECT_FLOAT_EQ(p.objects[0].scale.y, 0.2f);
    EXPECT_EQ(p.objects[1].move.x, 7);
    EXPECT_EQ(p.objects[1].scale.w, 8);
    // Placed exactly where the other record would be drawn, it is still never found.
    p.objects[1].move = p.objects[0].move;
    p.objects[1].scale = p.objects[0].scale;
    p.objects.erase(p.objects.begin());
    EXPECT_EQ(Pick(same_spot, false), -1);
}

TEST(ViewSteps, StartViewStepsFollowTheViewAxes) {
    project p(nullptr);
    cMath::Matrix4x4 V = project_test::View(Camera{});
    cMath::Matrix4x4 P = project_test::Projection();
    cMath::vector4* steps = p.GetVecors(&V, &P);
    ASSERT_EQ(steps, p.view_steps);
    // At the start view (yaw -90) the view looks along scene -x, the screen's right is
    // scene -z and its top is +y.
    EXPECT_LT(steps[1].x, 0.0f);  // step 1 runs into the view, step 0 out of it
    EXPECT_FLOAT_EQ(steps[0].x, -steps[1].x);
    EXPECT_FLOAT_EQ(steps[0].z, -steps[1].z);
    EXPECT_NEAR(steps[1].y, 0.0f, 1e-4f);
    EXPECT_NEAR(steps[1].z, 0.0f, 1e-4f);
    EXPECT_LT(steps[2].z, 0.0f);  // toward the right edge
    EXPECT_GT(steps[3].z, 0.0f);  // toward the left edge
    EXPECT_FLOAT_EQ(steps[3].z, -steps[2].z);
    EXPECT_GT(steps[4].y, 0.0f);  // toward the top edge
    EXPECT_NEAR(steps[2].x, 0.0f, 1e-4f);
}

TEST(RayTriangle, MollerTrumboreFollowsTheRaysParameter) {
    float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0};
    float o[3] = {0.25f, 0.25f, 2}, d[3] = {0, 0, -1};
    EXPECT_FLOAT_EQ(project::intersect_triangle(o, d, a, b, c), 2.0f);
    float behind[3] = {0.25f, 0.25f, -3};
    EXPECT_FLOAT_EQ(project::intersect_triangle(behind, d, a, b, c), -3.0f);
    float parallel[3] = {1, 0, 0};
    EXPECT_EQ(project::intersect_triangle(o, parallel, a, b, c), -1.0f);
    float outside[3] = {0.8f, 0.8f, 2};
    EXPECT_EQ(project::intersect_triangle(outside, d, a, b, c), -1.0f);
    float corner[3] = {1, 0, 2};
    EXPECT_FLOAT_EQ(project::intersect_triangle(corner, d, a, b, c), 2.0f);
}

}  // namespace
