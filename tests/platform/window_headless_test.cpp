// The headless window layer: the client image against the 1024 x 768 drawing space, the
// message queue, and the key table that tests and scripts drive.
#include "platform/window.h"

#include "app/screen.h"
#include "tests/platform/headless_window.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace {

using morva::ClientImage;

using Rgb = morva_test::ClientRgb;
const auto At = morva_test::ClientPixel;

bool IsRed(Rgb c) { return c.r == 255 && c.g == 0 && c.b == 0; }

class HeadlessWindowLayerTest : public morva_test::HeadlessWindowTest {};

TEST_F(HeadlessWindowLayerTest, OnlyOneWindowAtATime) {
    std::string error;
    EXPECT_EQ(morva::CreateMainWindow("Morva", &error), nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(HeadlessWindowLayerTest, ContextHasDepthAndStencilAndTheDrawingSpaceViewport) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1024);
    EXPECT_EQ(viewport[3], 768);
    GLint depth = 0, stencil = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depth);
    glGetIntegerv(GL_STENCIL_BITS, &stencil);
    EXPECT_GE(depth, 24);
    EXPECT_GE(stencil, 8);
    float sx = 0, sy = 0;
    morva::GetFramebufferScale(window, &sx, &sy);
    EXPECT_EQ(sx, 1.0f);
    EXPECT_EQ(sy, 1.0f);
    EXPECT_EQ(morva::GetNativeWindowId(window), 0ul);
}

TEST_F(HeadlessWindowLayerTest, ClientImageIsTheBottomLeftOfTheDrawingSpace) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3f(1, 0, 0);
    DrawOpenGLBox(0, 0, 10, 10);        // bottom-left corner of the client
    DrawOpenGLBox(1006, 726, 10, 10);   // top-right corner of the client
    glColor3f(0, 1, 0);
    DrawOpenGLBox(1016, 0, 8, 768);     // the 8 columns beyond the client
    DrawOpenGLBox(0, 736, 1024, 32);    // the 32 rows above it
    glColor3f(1, 1, 1);
    morva::SwapWindowBuffers(window);
    ClientImage image;
    ASSERT_TRUE(morva::ReadHeadlessClientImage(window, &image));
    ASSERT_EQ(image.width, 1016);
    ASSERT_EQ(image.height, 736);
    EXPECT_TRUE(IsRed(At(image, 0, 735)));
    EXPECT_TRUE(IsRed(At(image, 9, 726)));
    EXPECT_FALSE(IsRed(At(image, 10, 735)));
    EXPECT_TRUE(IsRed(At(image, 1015, 0)));
    EXPECT_TRUE(IsRed(At(image, 1006, 9)));
    EXPECT_FALSE(IsRed(At(image, 1005, 0)));
    EXPECT_EQ(At(image, 500, 0).g, 0) << "rows above the client area must not show";
    EXPECT_EQ(At(image, 1015, 300).g, 0) << "columns right of the client area must not show";
}

TEST_F(HeadlessWindowLayerTest, MessagesAreTakenOneAtATimeInOrder) {
    morva::WindowEvent event;
    EXPECT_FALSE(morva::PollWindowEvent(window, &event));
    morva::PostHeadlessWheel(window, 120);
    morva::PostHeadlessWheel(window, -240);
    morva::PostHeadlessClose(window);
    ASSERT_TRUE(morva::PollWindowEvent(window, &event));
    EXPECT_EQ(event.kind, morva::WindowEventKind::Wheel);
    EXPECT_EQ(event.wheelDelta, 120);
    ASSERT_TRUE(morva::PollWindowEvent(window, &event));
    EXPECT_EQ(event.wheelDelta, -240);
    ASSERT_TRUE(morva::PollWindowEvent(window, &event));
    EXPECT_EQ(event.kind, morva::WindowEventKind::Close);
    EXPECT_FALSE(morva::PollWindowEvent(window, &event));
}

TEST_F(HeadlessWindowLayerTest, KeyPressIsHeldUntilReleasedAndATapIsSeenOnce) {
    morva::SetHeadlessKey(window, morva::kVkA, true);
    EXPECT_TRUE(morva::IsKeyDown(window, morva::kVkA));
    EXPECT_TRUE(morva::IsKeyDown(window, morva::kVkA));
    morva::SetHeadlessKey(window, morva::kVkA, false);
    EXPECT_FALSE(morva::IsKeyDown(window, morva::kVkA));
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, true);
    morva::SetHeadlessKey(window, morva::kVkMiddleButton, false);
    EXPECT_TRUE(morva::IsKeyDown(window, morva::kVkMiddleButton));
    EXPECT_FALSE(morva::IsKeyDown(window, morva::kVkMiddleButton));
    morva::SetHeadlessKey(window, 999, true);  // unknown codes are ignored
    EXPECT_FALSE(morva::IsKeyDown(window, 999));
}

TEST_F(HeadlessWindowLayerTest, PressesAndReleasesAreRecordedInOrderPerCode) {
    morva::SetHeadlessKey(window, morva::kVkLeftButton, true);
    morva::SetHeadlessKey(window, morva::kVkA, true);
    morva::SetHeadlessKey(window, morva::kVkLeftButton, false);
    morva::SetHeadlessKey(window, morva::kVkLeftButton, false);  // no change: not recorded
    morva::SetHeadlessKey(window, morva::kVkLeftButton, true);
    EXPECT_TRUE(morva::IsKeyHeld(window, morva::kVkLeftButton));
    EXPECT_TRUE(morva::IsKeyDown(window, morva::kVkA)) << "IsKeyHeld must not take IsKeyDown's mark";
    morva::KeyTransition t;
    std::vector<bool> left;
    while (morva::TakeKeyTransition(window, morva::kVkLeftButton, &t)) left.push_back(t.down);
    EXPECT_EQ(left, (std::vector<bool>{true, false, true}));
    MoveCursor(5, 6);
    morva::SetHeadlessKey(window, morva::kVkShift, true);
    morva::SetHeadlessKey(window, morva::kVkA, false);
    ASSERT_TRUE(morva::TakeKeyTransition(window, morva::kVkA, &t));
    EXPECT_TRUE(t.down);
    EXPECT_EQ(t.modifiers, 0);
    ASSERT_TRUE(morva::TakeKeyTransition(window, morva::kVkA, &t));
    EXPECT_FALSE(t.down);
    EXPECT_EQ(t.modifiers, morva::kModShift);
    EXPECT_EQ(t.cursor.x, morva::kHeadlessClientLeft + 5);
    EXPECT_EQ(t.cursor.y, morva::kHeadlessClientTop + 6);
    EXPECT_FALSE(morva::TakeKeyTransition(window, morva::kVkA, nullptr));
    // Transitions nobody takes are kept up to a limit, the newest ones.
    for (int i = 0; i < 700; ++i) {
        morva::SetHeadlessKey(window, morva::kVkS, true);
        morva::SetHeadlessKey(window, morva::kVkS, false);
    }
    int kept = 0;
    t.down = true;
    while (morva::TakeKeyTransition(window, morva::kVkS, &t)) ++kept;
    EXPECT_EQ(kept, 1024);
    EXPECT_FALSE(t.down);
    EXPECT_FALSE(morva::TakeKeyTransition(nullptr, morva::kVkS, &t));
}

TEST_F(HeadlessWindowLayerTest, ClientRectangleSitsAtTheFixedScreenPosition) {
    const morva::WindowRect r = morva::GetClientScreenRect(window);
    EXPECT_EQ(r.left, morva::kHeadlessClientLeft);
    EXPECT_EQ(r.top, morva::kHeadlessClientTop);
    EXPECT_EQ(r.right - r.left, morva::kClientWidth);
    EXPECT_EQ(r.bottom - r.top, morva::kClientHeight);
    morva::SetHeadlessCursor(window, 3, 4);
    EXPECT_EQ(morva::GetCursorScreenPos(window).x, 3);
    EXPECT_EQ(morva::GetCursorScreenPos(window).y, 4);
}

TEST(HeadlessWindowLifecycle, ReopensAfterClosingAndIgnoresNull) {
    for (int i = 0; i < 2; ++i) {
        std::string error;
        morva::Window* window = morva::CreateMainWindow("Morva", &error);
        ASSERT_NE(window, nullptr) << error;
        morva::DestroyMainWindow(window);
    }
    morva::DestroyMainWindow(nullptr);
    morva::WindowEvent event;
    EXPECT_FALSE(morva::PollWindowEvent(nullptr, &event));
    EXPECT_FALSE(morva::IsKeyDown(nullptr, 1));
    ClientImage image;
    EXPECT_FALSE(morva::ReadHeadlessClientImage(nullptr, &image));
}

}  // namespace
