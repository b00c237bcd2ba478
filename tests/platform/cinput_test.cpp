// Cinput on the headless window layer: click flags, live button state, keys, the cursor
// and client rectangle, and the two cursor conversions.
#include "platform/cinput.h"

#include "tests/platform/headless_window.h"

#include <cmath>
#include <vector>

namespace {

using morva::kVkLeftButton;
using morva::kVkMiddleButton;
using morva::kVkRightButton;

class CinputTest : public morva_test::HeadlessWindowTest {
protected:
    // Drives one button through a sequence of sampled states, one Update per state, and
    // returns the click report of each update.
    std::vector<bool> ClicksFor(Cinput& input, int button, const std::vector<bool>& states) {
        std::vector<bool> clicks;
        for (bool down : states) {
            morva::SetHeadlessKey(window, button, down);
            input.Update();
            clicks.push_back(ClickOf(input, button));
        }
        return clicks;
    }
    static bool ClickOf(Cinput& input, int button) {
        if (button == kVkLeftButton) return input.GetMouseLeft();
        if (button == kVkMiddleButton) return input.GetMouseMidle();
        return input.GetMouseRight();
    }
};

TEST_F(CinputTest, ClickIsReportedOnlyInTheUpdateThatFindsTheButtonNewlyDown) {
    const std::vector<bool> expected = {false, true, false, false, true};
    for (int button : {kVkLeftButton, kVkMiddleButton, kVkRightButton}) {
        Cinput input(window);
        EXPECT_EQ(ClicksFor(input, button, {false, true, true, false, true}), expected)
            << "button " << button;
        morva::SetHeadlessKey(window, button, false);
    }
}

TEST_F(CinputTest, ButtonsAreIndependent) {
    Cinput input(window);
    input.Update();  // all released
    morva::SetHeadlessKey(window, kVkRightButton, true);
    input.Update();
    EXPECT_TRUE(input.GetMouseRight());
    EXPECT_FALSE(input.GetMouseLeft());
    EXPECT_FALSE(input.GetMouseMidle());
}

TEST_F(CinputTest, ButtonHeldBeforeConstructionGivesNoClickUntilReleased) {
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    Cinput input(window);
    EXPECT_EQ(ClicksFor(input, kVkLeftButton, {true, true, false, true}),
              (std::vector<bool>{false, false, false, true}));
}

TEST_F(CinputTest, ClickShorterThanAFrameCountsOnce) {
    Cinput input(window);
    input.Update();
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    morva::SetHeadlessKey(window, kVkLeftButton, false);
    input.Update();
    EXPECT_TRUE(input.GetMouseLeft());
    input.Update();
    EXPECT_FALSE(input.GetMouseLeft());
    input.Update();
    EXPECT_FALSE(input.GetMouseLeft());
}

// Clicks made faster than the frames are drawn: every press is one click, in order, one per
// update, whatever happened between two updates.
TEST_F(CinputTest, QuickClicksEachGiveOneClickOnAFrameOfTheirOwn) {
    struct Case {
        const char* what;
        std::vector<int> pressesBeforeUpdate;  // quick press+release pairs made before each update
        std::vector<bool> clicks;
    };
    const Case cases[] = {
        {"three clicks between two frames", {3, 0, 0, 0}, {true, true, true, false}},
        {"one click per frame", {1, 1, 1, 0}, {true, true, true, false}},
        {"two clicks, one frame between them", {1, 0, 1, 0}, {true, false, true, false}},
        {"clicks keep coming while earlier ones wait", {2, 1, 0, 0, 0}, {true, true, true, false, false}},
    };
    for (const Case& c : cases) {
        for (int button : {kVkLeftButton, kVkMiddleButton, kVkRightButton}) {
            Cinput input(window);
            input.Update();
            std::vector<bool> clicks;
            for (int pairs : c.pressesBeforeUpdate) {
                for (int i = 0; i < pairs; ++i) {
                    morva::SetHeadlessKey(window, button, true);
                    morva::SetHeadlessKey(window, button, false);
                }
                input.Update();
                clicks.push_back(ClickOf(input, button));
            }
            EXPECT_EQ(clicks, c.clicks) << c.what << ", button " << button;
        }
    }
}

TEST_F(CinputTest, ACursorMovedAfterAQuickClickLeavesTheClickWhereItWasMade) {
    Cinput input(window);
    input.Update();
    MoveCursor(14, 8);  // "File"
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    morva::SetHeadlessKey(window, kVkLeftButton, false);
    MoveCursor(20, 24);  // "New Project", clicked before the next frame
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    morva::SetHeadlessKey(window, kVkLeftButton, false);
    MoveCursor(300, 300);
    std::vector<int> x, y;
    for (int frame = 0; frame < 3; ++frame) {
        input.Update();
        const POINT* p = input.GetPos();
        x.push_back(p->x - morva::kHeadlessClientLeft);
        y.push_back(p->y - morva::kHeadlessClientTop);
    }
    EXPECT_EQ(x, (std::vector<int>{14, 20, 300}));
    EXPECT_EQ(y, (std::vector<int>{8, 24, 300}));
}

TEST_F(CinputTest, PressHeldOverSeveralFramesIsOneClickAndAutoRepeatIsNoPress) {
    Cinput input(window);
    input.Update();
    std::vector<bool> clicks;
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    for (int frame = 0; frame < 4; ++frame) {
        morva::SetHeadlessKey(window, kVkLeftButton, true);  // repeated "down" while held
        input.Update();
        clicks.push_back(input.GetMouseLeft());
    }
    morva::SetHeadlessKey(window, kVkLeftButton, false);
    input.Update();
    clicks.push_back(input.GetMouseLeft());
    EXPECT_EQ(clicks, (std::vector<bool>{true, false, false, false, false}));
}

TEST_F(CinputTest, KeyPressesAreTakenOnceEachInOrderWithTheirModifiers) {
    Cinput input(window);
    EXPECT_FALSE(input.TakeKeyPress(morva::kVkEscape));
    // Ctrl+Z, then Z alone, all between two frames; then Escape pressed and held.
    morva::SetHeadlessKey(window, morva::kVkControl, true);
    morva::SetHeadlessKey(window, 'Z', true);
    morva::SetHeadlessKey(window, 'Z', false);
    morva::SetHeadlessKey(window, morva::kVkControl, false);
    morva::SetHeadlessKey(window, 'Z', true);
    morva::SetHeadlessKey(window, 'Z', false);
    morva::SetHeadlessKey(window, morva::kVkEscape, true);
    int modifiers = -1;
    ASSERT_TRUE(input.TakeKeyPress('Z', &modifiers));
    EXPECT_EQ(modifiers, morva::kModCtrl);
    ASSERT_TRUE(input.TakeKeyPress('Z', &modifiers));
    EXPECT_EQ(modifiers, 0);
    EXPECT_FALSE(input.TakeKeyPress('Z'));
    EXPECT_TRUE(input.TakeKeyPress(morva::kVkEscape));
    EXPECT_FALSE(input.TakeKeyPress(morva::kVkEscape)) << "a held key is one press";
    EXPECT_TRUE(input.GetKey(morva::kVkEscape)) << "the live state is still read as before";
    morva::SetHeadlessKey(window, morva::kVkShift, true);
    morva::SetHeadlessKey(window, morva::kVkAlt, true);
    morva::SetHeadlessKey(window, morva::kVkLeft, true);
    ASSERT_TRUE(input.TakeKeyPress(morva::kVkLeft, &modifiers));
    EXPECT_EQ(modifiers, morva::kModShift | morva::kModAlt);
}

TEST_F(CinputTest, TypedCharactersAreTakenInOrder) {
    Cinput input(window);
    for (uint32_t ch : {uint32_t('1'), uint32_t('.'), uint32_t(0x00F3)}) morva::PostHeadlessChar(window, ch);
    std::vector<uint32_t> typed;
    uint32_t ch = 0;
    while (input.TakeTypedChar(&ch)) typed.push_back(ch);
    EXPECT_EQ(typed, (std::vector<uint32_t>{'1', '.', 0x00F3}));
}

TEST_F(CinputTest, SelectReportsTheHeldButtonEveryFrameAndTheClickOnlyOnce) {
    Cinput input(window);
    input.Update();
    morva::SetHeadlessKey(window, kVkLeftButton, true);
    std::vector<bool> clicks, held;
    for (int frame = 0; frame < 3; ++frame) {
        input.Update();
        clicks.push_back(input.GetMouseLeft());
        held.push_back(input.GetMouseLeft_select());
    }
    EXPECT_EQ(clicks, (std::vector<bool>{true, false, false}));
    EXPECT_EQ(held, (std::vector<bool>{true, true, true}));
}

TEST_F(CinputTest, KeysAreReadByVirtualKeyCode) {
    Cinput input(window);
    morva::SetHeadlessKey(window, morva::kVkW, true);
    EXPECT_TRUE(input.GetKey(0x57));
    EXPECT_FALSE(input.GetKey(0x53));
    EXPECT_FALSE(input.GetKey(0x2E));
    morva::SetHeadlessKey(window, morva::kVkW, false);
    EXPECT_FALSE(input.GetKey(0x57));
    // A tap between two frames is seen by the next query only.
    morva::SetHeadlessKey(window, morva::kVkDelete, true);
    morva::SetHeadlessKey(window, morva::kVkDelete, false);
    EXPECT_TRUE(input.GetKey(0x2E));
    EXPECT_FALSE(input.GetKey(0x2E));
    EXPECT_FALSE(input.GetKey(-1));
    EXPECT_FALSE(input.GetKey(4096));
}

TEST_F(CinputTest, WindowIsTheClientAreaInScreenPixels) {
    Cinput input(window);
    const RECT* r = input.GetWindow();
    EXPECT_EQ(r->left, morva::kHeadlessClientLeft);
    EXPECT_EQ(r->top, morva::kHeadlessClientTop);
    EXPECT_EQ(r->right, morva::kHeadlessClientLeft + 1016);
    EXPECT_EQ(r->bottom, morva::kHeadlessClientTop + 736);
    const ClientSize* size = input.GetWindowSize();
    EXPECT_EQ(size->width, 1016);
    EXPECT_EQ(size->height, 736);
    EXPECT_EQ(r, input.clientRect.get());
}

TEST_F(CinputTest, PositionIsTheCursorInScreenPixels) {
    Cinput input(window);
    MoveCursor(-30, 5);
    const POINT* p = input.GetPos();
    EXPECT_EQ(p->x, morva::kHeadlessClientLeft - 30);
    EXPECT_EQ(p->y, morva::kHeadlessClientTop + 5);
    MoveCursor(7, 8);
    EXPECT_EQ(input.GetPos(), p);  // the same record, refilled
    EXPECT_EQ(p->x, morva::kHeadlessClientLeft + 7);
}

TEST_F(CinputTest, ClientCornersConvertToBothCoordinateSystems) {
    Cinput input(window);
    MoveCursor(0, 0);
    input.GetPos();
    input.GetWindow();
    float* gl = input.GetMouseGLfinal();
    EXPECT_EQ(gl[0], -1.0f);
    EXPECT_EQ(gl[1], 1.0f);
    gl = input.GetMouseGLprereder(1024, 768);
    EXPECT_EQ(gl[0], 0.0f);
    EXPECT_EQ(gl[1], 0.0f);

    MoveCursor(1016, 736);  // screen point (right, bottom)
    input.GetPos();
    gl = input.GetMouseGLfinal();
    EXPECT_EQ(gl[0], 1.0f);
    EXPECT_EQ(gl[1], -1.0f);
    gl = input.GetMouseGLprereder(1024, 768);
    EXPECT_EQ(gl[0], 1016.0f);
    EXPECT_EQ(gl[1], 736.0f);
}

TEST_F(CinputTest, InteriorPointsMapLinearly) {
    Cinput input(window);
    input.GetWindow();
    MoveCursor(508, 184);
    input.GetPos();
    float* gl = input.GetMouseGLfinal();
    EXPECT_FLOAT_EQ(gl[0], 0.0f);
    EXPECT_FLOAT_EQ(gl[1], 0.5f);
    MoveCursor(254, 552);
    input.GetPos();
    gl = input.GetMouseGLprereder(1024, 768);
    EXPECT_FLOAT_EQ(gl[0], 254.0f);
    EXPECT_FLOAT_EQ(gl[1], 552.0f);
    MoveCursor(-1016, 0);  // outside the client area: extrapolated, not clamped
    input.GetPos();
    gl = input.GetMouseGLfinal();
    EXPECT_FLOAT_EQ(gl[0], -3.0f);
}

TEST_F(CinputTest, ConversionsUseTheLastFetchedCursorAndShareOneResult) {
    Cinput input(window);
    input.GetWindow();
    MoveCursor(0, 0);
    input.GetPos();
    MoveCursor(1016, 736);  // not fetched yet
    float* final = input.GetMouseGLfinal();
    EXPECT_EQ(final[0], -1.0f);
    float* interface = input.GetMouseGLprereder(1024, 768);
    EXPECT_EQ(interface, final);
    EXPECT_EQ(final[0], 0.0f);  // overwritten by the later call
    input.GetMouseGLfinal();
    EXPECT_EQ(interface[0], -1.0f);
}

TEST_F(CinputTest, EmptyClientAreaGivesTheOriginInsteadOfDividingByZero) {
    Cinput input(window);
    MoveCursor(10, 10);
    input.GetPos();
    *input.clientRect = RECT{100, 60, 100, 796};
    float* gl = input.GetMouseGLfinal();
    EXPECT_EQ(gl[0], 0.0f);
    EXPECT_EQ(gl[1], 0.0f);
    *input.clientRect = RECT{100, 60, 1116, 60};
    gl = input.GetMouseGLprereder(1024, 768);
    EXPECT_FALSE(std::isnan(gl[0]) || std::isnan(gl[1]));
    EXPECT_EQ(gl[0], 0.0f);
    EXPECT_EQ(gl[1], 0.0f);
}

TEST_F(CinputTest, PointInRectIncludesLeftAndTopEdgesOnly) {
    Cinput input(window);
    RECT r{10, 20, 30, 40};
    auto inside = [&](int x, int y) {
        POINT p{x, y};
        return input.PointInRect(&r, &p);
    };
    EXPECT_TRUE(inside(10, 20));
    EXPECT_TRUE(inside(29, 39));
    EXPECT_FALSE(inside(30, 25));
    EXPECT_FALSE(inside(15, 40));
    EXPECT_FALSE(inside(9, 25));
    EXPECT_FALSE(inside(15, 19));
    EXPECT_FALSE(input.PointInRect(&r, nullptr));
}

}  // namespace
