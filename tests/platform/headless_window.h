// Fixture for tests that need the editor's window: opens the headless window (its own
// offscreen context, 1016 x 736 client) for each test and closes it afterwards.
#pragma once

#include "platform/window.h"

#include <gtest/gtest.h>

#include <string>

namespace morva_test {

class HeadlessWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        window = morva::CreateMainWindow("Morva", &error);
        ASSERT_NE(window, nullptr) << error;
    }
    void TearDown() override { morva::DestroyMainWindow(window); }

    // Puts the cursor at a point relative to the client's top-left corner.
    void MoveCursor(int clientX, int clientY) {
        morva::SetHeadlessCursorInClient(window, clientX, clientY);
    }

    morva::Window* window = nullptr;
};

}  // namespace morva_test
