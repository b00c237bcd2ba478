// Camera: wheel zoom, drags and keys through the real input object on the headless window
// layer, the limits, and the matrices compared with what the fixed-function GL builds.
#include "app/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "platform/cinput.h"
#include "platform/window.h"

namespace {

class CameraTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        window = morva::CreateMainWindow("Morva", &error);
        ASSERT_NE(window, nullptr) << error;
    }
    static void TearDownTestSuite() {
        morva::DestroyMainWindow(window);
        window = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(window, nullptr);
        input = std::make_unique<Cinput>(window);
        for (int code : {1, 2, 4, 0x41, 0x44, 0x53, 0x57, 0x2E}) morva::SetHeadlessKey(window, code, false);
        InitCamera(cam);
        Move(500, 300);
    }
    void Move(int x, int y) { morva::SetHeadlessCursorInClient(window, x, y); }
    void Frame(const cMath::vector4* steps = nullptr) {
        input->Update();
        input->GetPos();
        input->GetWindow();
        ApplyCameraInput(cam, *input, steps, nullptr);
    }

    static morva::Window* window;
    std::unique_ptr<Cinput> input;
    CameraState cam;
};
morva::Window* CameraTest::window = nullptr;

void ExpectMatrixNear(const cMath::Matrix4x4& a, const float* b, float tol) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a.m[i], b[i], tol) << "element " << i;
}

TEST(CameraZoom, WheelNotchesStopAtBothLimits) {
    float zoom = 2.0f;
    for (int i = 0; i < 10; ++i) zoom = ZoomAfterWheel(zoom, -120);
    EXPECT_FLOAT_EQ(zoom, 2.0f);
    for (int i = 0; i < 10; ++i) zoom = ZoomAfterWheel(zoom, 120);
    EXPECT_NEAR(zoom, 0.8f, 1e-5f);
    for (int i = 0; i < 10; ++i) zoom = ZoomAfterWheel(zoom, 120);
    EXPECT_FLOAT_EQ(zoom, 0.0f);
    EXPECT_FLOAT_EQ(ZoomAfterWheel(1.25f, 0), 1.25f);
}

TEST(CameraLimits, ClampTranslationAndPitchButNeverYaw) {
    CameraState cam;
    cam.camX = 5;
    cam.camY = 0;
    cam.camZ = -7;
    cam.camPitch = -50;
    cam.camYaw = 630;
    ClampCamera(cam);
    EXPECT_FLOAT_EQ(cam.camX, 1.3f);
    EXPECT_FLOAT_EQ(cam.camY, -0.3f);
    EXPECT_FLOAT_EQ(cam.camZ, -1.8f);
    EXPECT_FLOAT_EQ(cam.camPitch, 0.0f);
    EXPECT_FLOAT_EQ(cam.camYaw, 630.0f);
    cam.camPitch = 200;
    cam.camY = -9;
    ClampCamera(cam);
    EXPECT_FLOAT_EQ(cam.camPitch, 120.0f);
    EXPECT_FLOAT_EQ(cam.camY, -3.0f);
}

TEST_F(CameraTest, StartViewIsTheSpecifiedOne) {
    EXPECT_FLOAT_EQ(cam.camPitch, 0);
    EXPECT_FLOAT_EQ(cam.camYaw, -90);
    EXPECT_FLOAT_EQ(cam.camX, -1);
    EXPECT_FLOAT_EQ(cam.camY, -1);
    EXPECT_FLOAT_EQ(cam.camZ, -2);
}

TEST_F(CameraTest, MiddleDragTurnsOneDegreePerPixel) {
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, true);
    Frame();  // the drag starts: nothing moves
    EXPECT_FLOAT_EQ(cam.camYaw, -90);
    Move(510, 305);
    Frame();
    Move(530, 310);
    Frame();
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, false);
    Frame();
    EXPECT_FLOAT_EQ(cam.camYaw, -60);
    EXPECT_FLOAT_EQ(cam.camPitch, 10);
    EXPECT_FALSE(cam.rotating);
}

TEST_F(CameraTest, PitchDragStopsAtItsLimits) {
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, true);
    Frame();
    Move(500, 250);
    Frame();
    EXPECT_FLOAT_EQ(cam.camPitch, 0);
    Move(500, 450);
    Frame();
    EXPECT_FLOAT_EQ(cam.camPitch, 120);
}

TEST_F(CameraTest, ReleaseOutsideTheClientKeepsTheDragUntilTheCursorReturns) {
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, true);
    Frame();
    Move(1100, 300);  // outside, to the right
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, false);
    Frame();
    EXPECT_FLOAT_EQ(cam.camYaw, -90);
    EXPECT_TRUE(cam.rotating);
    Move(520, 300);
    Frame();
    EXPECT_FLOAT_EQ(cam.camYaw, -70);
    EXPECT_FALSE(cam.rotating);
}

TEST_F(CameraTest, RightDragPansAlongTheViewSteps) {
    cMath::vector4 steps[5] = {{0, 0, 0.5f, 0}, {0, 0, -0.5f, 0}, {0.01f, 0, 0, 0}, {-0.01f, 0, 0, 0},
                               {0, 0.01f, 0, 0}};
    morva::SetHeadlessKey(window, morva::kVkRightButton, true);
    Frame(steps);
    Move(510, 320);
    Frame(steps);
    EXPECT_NEAR(cam.camX, -1 + 10 * 0.01f, 1e-5f);
    EXPECT_NEAR(cam.camY, -1 - 20 * 0.01f, 1e-5f);
}

TEST_F(CameraTest, WithoutViewStepsPanAndKeysDoNothing) {
    morva::SetHeadlessKey(window, morva::kVkRightButton, true);
    morva::SetHeadlessKey(window, morva::kVkW, true);
    Frame();
    Move(600, 400);
    Frame();
    EXPECT_FLOAT_EQ(cam.camX, -1);
    EXPECT_FLOAT_EQ(cam.camY, -1);
    // The start z of -2 lies outside [-1.8, 1.8]; the first frame's limits take it in.
    EXPECT_FLOAT_EQ(cam.camZ, -1.8f);
}

TEST_F(CameraTest, KeysStepOncePerFrameAndOpposingKeysCancel) {
    cMath::vector4 steps[5] = {{0, 0, 0.25f, 0}, {0, 0, -0.25f, 0}, {0.1f, 0, 0, 0}, {-0.1f, 0, 0, 0},
                               {0, 0.1f, 0, 0}};
    morva::SetHeadlessKey(window, morva::kVkA, true);
    Frame(steps);
    Frame(steps);
    EXPECT_NEAR(cam.camX, -0.8f, 1e-5f);
    morva::SetHeadlessKey(window, morva::kVkA, false);
    morva::SetHeadlessKey(window, morva::kVkW, true);
    morva::SetHeadlessKey(window, morva::kVkS, true);
    const float z = cam.camZ;
    Frame(steps);
    EXPECT_FLOAT_EQ(cam.camZ, z);
    morva::SetHeadlessKey(window, morva::kVkS, false);
    for (int i = 0; i < 40; ++i) Frame(steps);
    EXPECT_FLOAT_EQ(cam.camZ, 1.8f);  // pushed beyond the limit, ends exactly on it
}

TEST_F(CameraTest, MatricesMatchTheFixedFunctionPipeline) {
    CameraState c;
    c.camPitch = 25;
    c.camYaw = -130;
    c.camX = 0.4f;
    c.camY = -1.5f;
    c.camZ = 0.7f;
    const float zoom = 1.3f;

    float gl[16];
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(c.camPitch, 1, 0, 0);
    glRotatef(c.camYaw, 0, 1, 0);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    cMath::Matrix4x4 R = RotationMatrix(c);
    ExpectMatrixNear(R, gl, 1e-4f);

    glLoadIdentity();
    glTranslatef(0, 0, -zoom);
    glRotatef(c.camPitch, 1, 0, 0);
    glRotatef(c.camYaw, 0, 1, 0);
    glTranslatef(c.camX, c.camY, c.camZ);
    glGetFloatv(GL_MODELVIEW_MATRIX, gl);
    ExpectMatrixNear(ViewMatrix(c, zoom, R), gl, 1e-4f);
    glPopMatrix();

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(90, 1024.0 / 768.0, 0.01, 1000);
    glGetFloatv(GL_PROJECTION_MATRIX, gl);
    ExpectMatrixNear(ProjectionMatrix(1024.0f / 768.0f), gl, 1e-5f);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace
