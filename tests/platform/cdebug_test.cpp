// The message log drawn into the headless window: lines shown per tab, the tab clicks
// through Cinput, and copied texts. Font and frame are plain white textures, so glyphs are
// solid blocks in their draw colour and positions can be read straight from the pixels
// (client image rows are interface y).
#include "render/cdebug.h"

#include "platform/cinput.h"
#include "render/ctext.h"
#include "render/ctexture.h"
#include "tests/platform/headless_window.h"
#include "tests/render/grid_texture.h"
#include "tests/support/gl_test.h"

#include <GL/gl.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

using morva::ClientImage;

using Rgb = morva_test::ClientRgb;
const auto At = morva_test::ClientPixel;

bool Near(Rgb c, int r, int g, int b) {
    return std::abs(c.r - r) <= 2 && std::abs(c.g - g) <= 2 && std::abs(c.b - b) <= 2;
}

bool IsBlack(Rgb c) { return Near(c, 0, 0, 0); }
bool IsPanel(Rgb c) { return Near(c, 153, 153, 153); }  // 0.2 grey at half opacity over white
bool IsGreen(Rgb c) { return Near(c, 0, 229, 0); }
bool IsRed(Rgb c) { return Near(c, 229, 0, 0); }
bool IsGrey(Rgb c) { return Near(c, 128, 128, 128); }

class CdebugTest : public morva_test::HeadlessWindowTest {
protected:
    void SetUp() override {
        HeadlessWindowTest::SetUp();
        if (HasFatalFailure()) return;
        white = morva_test::MakeWhiteTexture();
        text = std::make_unique<Ctext>(int(white), int(white));
        input = std::make_unique<Cinput>(window);
        input->Update();  // the button has been seen released
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    void TearDown() override {
        input.reset();
        text.reset();
        if (white) glDeleteTextures(1, &white);
        HeadlessWindowTest::TearDown();
    }

    // One frame of the log with the cursor at an interface point, optionally clicking there.
    ClientImage Frame(cdebug& log, float x, float y, bool click = false) {
        morva::SetHeadlessKey(window, morva::kVkLeftButton, click);
        input->Update();
        morva::SetHeadlessKey(window, morva::kVkLeftButton, false);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        text->SetDrawBackground(true);
        float mouse[2] = {x, y};
        log.Render(mouse);
        input->Update();  // release seen, ready for the next click
        ClientImage image;
        EXPECT_TRUE(morva::ReadHeadlessClientImage(window, &image));
        return image;
    }

    int ClickTabAt(cdebug& log, int startTab, float x, float y) {
        log.selected_tab = startTab;
        Frame(log, x, y, true);
        return log.selected_tab;
    }

    GLuint white = 0;
    std::unique_ptr<Ctext> text;
    std::unique_ptr<Cinput> input;
};

TEST_F(CdebugTest, EmptyLogShowsTabsAndPanelOnly) {
    cdebug log(text.get(), input.get());
    const ClientImage image = Frame(log, 900, 100);
    EXPECT_TRUE(IsBlack(At(image, 25, 508))) << "selected Info tab is drawn black";
    EXPECT_TRUE(IsGrey(At(image, 105, 508)));
    EXPECT_TRUE(IsGrey(At(image, 185, 508)));
    EXPECT_TRUE(IsPanel(At(image, 10, 698)));
    EXPECT_TRUE(IsPanel(At(image, 591, 723)));
    EXPECT_FALSE(IsPanel(At(image, 592, 600)));
    EXPECT_FALSE(IsPanel(At(image, 300, 724)));
}

TEST_F(CdebugTest, TwelveInfoLinesShowTheNewestNineWithTheNewestLowest) {
    cdebug log(text.get(), input.get());
    for (int k = 1; k <= 12; ++k) log.AddLine(std::string(size_t(k), 'M').c_str(), Debug_Info);
    const ClientImage image = Frame(log, 900, 100);
    for (int n = 0; n < 9; ++n) {
        const int k = 12 - n;  // message k has k letters M, 15 px each, glyphs 20 px wide
        const int row = 690 - 20 * n + 8;
        const int lastTextPixel = 56 + 15 * (k - 1) + 19;
        EXPECT_TRUE(IsGreen(At(image, 10, row))) << "prefix of line " << n;
        EXPECT_TRUE(IsBlack(At(image, 56, row))) << "text starts after the 46 px prefix";
        EXPECT_TRUE(IsBlack(At(image, lastTextPixel, row))) << "message " << k;
        EXPECT_TRUE(IsPanel(At(image, lastTextPixel + 1, row))) << "message " << k;
    }
    EXPECT_TRUE(IsPanel(At(image, 10, 520))) << "no tenth line above y = 530";
    EXPECT_TRUE(IsPanel(At(image, 60, 528)));
}

TEST_F(CdebugTest, ErrorIsHiddenUnderInfoAndShownInRedAfterClickingItsTab) {
    cdebug log(text.get(), input.get());
    log.AddLine("aaa", Debug_Info);
    log.AddLine("bb", Debug_Error);
    ClientImage image = Frame(log, 900, 100);
    EXPECT_TRUE(IsGreen(At(image, 10, 698)));
    EXPECT_TRUE(IsPanel(At(image, 10, 678))) << "the error line is not listed";

    image = Frame(log, 110, 508, true);
    EXPECT_EQ(log.selected_tab, 1);
    EXPECT_TRUE(IsRed(At(image, 10, 698))) << "the error line shows in the click frame";
    EXPECT_TRUE(IsPanel(At(image, 10, 678)));
    EXPECT_TRUE(IsBlack(At(image, 105, 508)));

    image = Frame(log, 900, 100);
    EXPECT_TRUE(IsGrey(At(image, 25, 508))) << "Info is no longer selected";
    EXPECT_TRUE(IsBlack(At(image, 105, 508)));
    EXPECT_TRUE(IsRed(At(image, 10, 698)));
}

TEST_F(CdebugTest, HoveredTabIsDrawnBlackWithoutSelectingIt) {
    cdebug log(text.get(), input.get());
    const ClientImage image = Frame(log, 190, 510);
    EXPECT_TRUE(IsBlack(At(image, 185, 508)));
    EXPECT_EQ(log.selected_tab, 0);
}

TEST_F(CdebugTest, InfoTabHitAreaRunsFromX20To51AndY500To516) {
    cdebug log(text.get(), input.get());
    EXPECT_EQ(ClickTabAt(log, 1, 20, 500), 0);
    EXPECT_EQ(ClickTabAt(log, 1, 51, 516), 0);
    EXPECT_EQ(ClickTabAt(log, 1, 52, 508), 1);
    EXPECT_EQ(ClickTabAt(log, 1, 19, 508), 1);
    EXPECT_EQ(ClickTabAt(log, 1, 30, 517), 1);
    EXPECT_EQ(ClickTabAt(log, 1, 30, 499), 1);
    EXPECT_EQ(ClickTabAt(log, 0, 185, 508), 2);
}

TEST_F(CdebugTest, ClickOutsideTheTabsKeepsTheSelectedTab) {
    cdebug log(text.get(), input.get());
    EXPECT_EQ(ClickTabAt(log, 2, 300, 600), 2);
    EXPECT_EQ(ClickTabAt(log, 1, 5, 5), 1);
}

TEST_F(CdebugTest, NoClickNoTabChange) {
    cdebug log(text.get(), input.get());
    Frame(log, 110, 508, false);
    EXPECT_EQ(log.selected_tab, 0);
}

TEST_F(CdebugTest, TextBackgroundIsOffForLinesAndOnAfterwards) {
    cdebug log(text.get(), input.get());
    log.AddLine("x", Debug_Info);
    text->SetDrawBackground(false);
    float mouse[2] = {900, 100};
    log.Render(mouse);
    EXPECT_TRUE(text->draw_background);
    EXPECT_FLOAT_EQ(text->back_color[3], 1.0f) << "panel colour restored to opaque white";
}

TEST(CdebugLines, TextsAreCopiedIntoTheLog) {
    cdebug log(nullptr, nullptr);
    char buffer[] = "Open Project OK";
    log.AddLine(buffer, Debug_Info);
    std::strcpy(buffer, "overwritten!!!");
    log.AddLine(nullptr, Debug_Error);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0]->text, "Open Project OK");
    EXPECT_EQ(log.lines[0]->kind, Debug_Info);
    EXPECT_EQ(log.lines[1]->text, "");
}

// The log with the editor's font and frame bitmaps, written for a person to look at.
TEST_F(CdebugTest, RendersSampleWithTheEditorAssets) {
    const std::string fontPath = morva_test::AssetsDir() + "/maps/font.bmp";
    const std::string backPath = morva_test::AssetsDir() + "/maps/back.jpg";
    if (!std::ifstream(fontPath)) GTEST_SKIP() << "font not generated yet";
    Ctexture textures;
    const int font = textures.Load(fontPath.c_str());
    ASSERT_GE(font, 0);
    int back = std::ifstream(backPath) ? textures.Load(backPath.c_str()) : int(white);
    if (back < 0) back = int(white);
    Ctext assetText(font, back);
    cdebug log(&assetText, input.get());
    log.AddLine("Inicjalized Morva v0.0.1", Debug_Info);
    log.AddLine("Open 3D object OK", Debug_Info);
    log.AddLine("Open Project FAIL", Debug_Error);
    log.AddLine("Save Project OK", Debug_Info);
    glClearColor(0.45f, 0.55f, 0.7f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    assetText.SetDrawBackground(true);
    float mouse[2] = {110, 508};
    log.Render(mouse);
    ClientImage image;
    ASSERT_TRUE(morva::ReadHeadlessClientImage(window, &image));
    morva_test::Pixels pixels;  // bottom-up for the PNG writer
    pixels.width = image.width;
    pixels.height = image.height;
    pixels.rgba.resize(image.rgba.size());
    const size_t stride = size_t(image.width) * 4;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(&pixels.rgba[size_t(image.height - 1 - y) * stride],
                    &image.rgba[size_t(y) * stride], stride);
    EXPECT_TRUE(morva_test::WritePng(morva_test::OutputDir() + "/cdebug_sample.png", pixels));
    int greenPixels = 0;
    for (int x = 10; x < 56; ++x)
        for (int y = 690; y < 706; ++y) greenPixels += At(image, x, y).g > 150 && At(image, x, y).r < 100;
    EXPECT_GT(greenPixels, 20) << "the Info prefix shows green glyphs";
}

}  // namespace
