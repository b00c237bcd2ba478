// Fixture for tests that need the editor's window: opens the headless window (its own
// offscreen context, 1016 x 736 client) for each test and closes it afterwards.
#pragma once

#include "platform/window.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace morva_test {

struct ClientRgb {
    int r, g, b;
};

// A pixel of the client image; rows run from the top, so y is the interface y.
inline ClientRgb ClientPixel(const morva::ClientImage& image, int x, int y) {
    const uint8_t* p = &image.rgba[(std::size_t(y) * std::size_t(image.width) + std::size_t(x)) * 4];
    return {p[0], p[1], p[2]};
}

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
