// The quick keys' rules: held-key repeat by the clock, arrow rows, typed values.
#include "app/quick_logic.h"

#include <gtest/gtest.h>

#include "platform/window.h"

namespace {

TEST(KeyRepeat, RepeatsAfterTheDelayAtTenASecondByTheClockNotTheFrames) {
    KeyRepeat r;
    StartKeyRepeat(r, morva::kVkRight, 1, 1000);
    // Many frames inside the delay give nothing.
    for (int frame = 0; frame < 50; ++frame) EXPECT_EQ(DueRepeats(r, true, 1000 + 399), 0);
    EXPECT_EQ(DueRepeats(r, true, 1400), 1);
    EXPECT_EQ(DueRepeats(r, true, 1450), 0);
    EXPECT_EQ(DueRepeats(r, true, 1500), 1);
    // One slow frame takes every repeat it spans.
    EXPECT_EQ(DueRepeats(r, true, 1800), 3);
    // A frame held up for seconds gives at most the cap.
    EXPECT_EQ(DueRepeats(r, true, 60000), kMaxRepeatsPerFrame);
    EXPECT_EQ(DueRepeats(r, true, 60050), 0);
    // Released: the repeat ends and stays ended.
    EXPECT_EQ(DueRepeats(r, false, 60100), 0);
    EXPECT_EQ(r.key, 0);
    EXPECT_EQ(DueRepeats(r, true, 70000), 0);
}

TEST(NudgeKeys, ArrowsStepXAndZPageKeysStepY) {
    struct Row {
        int key, row, sign;
    };
    const Row rows[] = {
        {morva::kVkLeft, 0, -1}, {morva::kVkRight, 0, 1},   {morva::kVkUp, 2, 1},
        {morva::kVkDown, 2, -1}, {morva::kVkPageUp, 1, 1}, {morva::kVkPageDown, 1, -1},
    };
    for (const Row& r : rows) {
        int row = -1, sign = 0;
        ASSERT_TRUE(NudgeRowOfKey(r.key, &row, &sign)) << r.key;
        EXPECT_EQ(row, r.row) << r.key;
        EXPECT_EQ(sign, r.sign) << r.key;
    }
    int row = 0, sign = 0;
    EXPECT_FALSE(NudgeRowOfKey(morva::kVkW, &row, &sign));
    EXPECT_FALSE(NudgeRowOfKey(morva::kVkHome, &row, &sign));
}

TEST(TypedValue, AcceptsSignedDecimalsInPanelUnitsAndRefusesTheRest) {
    struct Row {
        const char* text;
        int mode;
        bool ok;
        float value;
    };
    const Row rows[] = {
        {"12", 0, true, 0.24f},   {"-3.5", 0, true, -0.07f}, {"+1", 2, true, 0.02f},
        {".5", 0, true, 0.01f},   {"45", 1, true, 45.0f},    {"-0.25", 1, true, -0.25f},
        {"7.", 2, true, 0.14f},   {"", 0, false, 0},         {"-", 0, false, 0},
        {".", 1, false, 0},       {"1.2.3", 0, false, 0},    {"--4", 0, false, 0},
        {"4-", 0, false, 0},      {"1e5", 0, false, 0},      {"abc", 1, false, 0},
        {"99999999999", 1, true, 99999999999.0f},
    };
    for (const Row& r : rows) {
        float v = 123.0f;
        EXPECT_EQ(ParseTypedValue(r.text, r.mode, &v), r.ok) << r.text;
        EXPECT_FLOAT_EQ(v, r.ok ? r.value : 123.0f) << r.text;
    }
}

TEST(TypedValue, FieldTakesDigitsSignsAndPointOnly) {
    EXPECT_EQ(ValueFieldChar('7'), '7');
    EXPECT_EQ(ValueFieldChar('-'), '-');
    EXPECT_EQ(ValueFieldChar('+'), '+');
    EXPECT_EQ(ValueFieldChar('.'), '.');
    EXPECT_EQ(ValueFieldChar(','), '.');
    EXPECT_EQ(ValueFieldChar('e'), 0);
    EXPECT_EQ(ValueFieldChar(' '), 0);
    EXPECT_EQ(ValueFieldChar(0x0661), 0);  // an Arabic-Indic digit
}

}  // namespace
