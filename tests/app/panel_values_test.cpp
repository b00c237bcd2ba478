// The value panel's numbers: steps that stay on their grid, the text a value shows, and
// row text that never reaches the "+" button.
#include "app/panel_values.h"
#include "render/ctext.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

TEST(PanelValues, StepsOnTheGridNeverDrift) {
    struct Case {
        float start, step;
        int up, down;
        float expected;
        const char* shown;
    };
    const Case cases[] = {
        {0.0f, 0.02f, 10, 0, 0.2f, "10.000000"},
        {0.0f, 0.02f, 55, 0, 1.1f, "55.000000"},
        {0.0f, 0.02f, 0, 55, -1.1f, "-55.000000"},
        {0.0f, 0.02f, 1000, 1, 19.98f, "999.000000"},
        {1.1f, 0.02f, 3, 58, 0.0f, "0.000000"},       // down through zero without "-0"
        {0.0f, 1.0f, 15, 0, 15.0f, "15.000000"},      // degrees
        {0.0f, 1.0f, 0, 400, -400.0f, "-400.000000"},
    };
    for (const Case& c : cases) {
        float v = c.start;
        for (int i = 0; i < c.up; ++i) v = StepPanelValue(v, c.step, +1);
        for (int i = 0; i < c.down; ++i) v = StepPanelValue(v, c.step, -1);
        EXPECT_EQ(v, c.expected) << c.shown;
        EXPECT_EQ(FormatPanelNumber(v, c.step), c.shown);
    }
}

TEST(PanelValues, ValuesOffTheGridMoveByTheStepAndShowWhatTheyHold) {
    const float off = 0.0301f;  // 1.505 mm
    EXPECT_FLOAT_EQ(StepPanelValue(off, 0.02f, +1), off + 0.02f);
    EXPECT_EQ(FormatPanelNumber(off, 0.02f), "1.505000");
    EXPECT_EQ(FormatPanelNumber(0.5f, 1.0f), "0.500000");
    EXPECT_EQ(FormatPanelNumber(12.25f, 0.02f), "612.500000");
    // The nearest float to 1/3 mm shows the six places that read back as it.
    EXPECT_EQ(FormatPanelNumber(0.02f / 3.0f, 0.02f), "0.333333");
}

TEST(PanelValues, RowTextEndsBeforeThePlusButtonForEveryValueUpToFourDigits) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(-9999.999999, 9999.999999);
    std::vector<double> values = {0.0, 9.999999, 10.0, 15.0, -15.0, 999.999999, -9999.999999, 9999.999999};
    for (int i = 0; i < 2000; ++i) values.push_back(anywhere(random));
    int narrowed = 0;
    for (double shown : values) {
        for (const char* unit : {"mm", "deg"}) {
            char label[96];
            std::snprintf(label, sizeof label, "Z: %f%s", shown, unit);
            const float cell = PanelTextCellWidth(Ctext::TextWidth(20.0f, label), 20.0f, 160.0f);
            const float advance = float(Ctext::TextWidth(cell, label));
            EXPECT_LE(advance + cell / 4.0f, 158.5f) << label;
            EXPECT_GE(cell, 15.0f) << label << ": still readable";
            narrowed += cell < 20.0f;
        }
    }
    EXPECT_GT(narrowed, 0);
    // Short values keep the full width.
    EXPECT_EQ(PanelTextCellWidth(Ctext::TextWidth(20.0f, "X: 1.000000mm"), 20.0f, 160.0f), 20.0f);
}

}  // namespace
