// Number readers: the eight-digit loads and the exact decimal fast path agree with a
// correctly rounded reference on every form, and never read past their range.
#include "model/text_numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

// Correctly rounded reference.
float Reference(const std::string& text) {
    float value = 0.0f;
    fast_float::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

float Read(const std::string& text, size_t* consumed = nullptr) {
    const char* p = text.data();
    float value = ScanFloat(p, text.data() + text.size());
    if (consumed) *consumed = size_t(p - text.data());
    return value;
}

}  // namespace

TEST(TextNumbers, EightDigitLoadsReadRunsOfEveryLength) {
    for (int length = 1; length <= 19; ++length) {
        std::string digits;
        for (int i = 0; i < length; ++i) digits += char('1' + (i * 7) % 9);
        // Followed by each kind of line end and by more text in the same load.
        for (const char* tail : {"\n", "\r\n", "/12", " 5", "........"}) {
            const std::string text = digits + tail;
            const char* p = text.data();
            size_t count = 0;
            const uint64_t value = ReadDigits(p, text.data() + text.size(), text.data() + text.size(), count);
            EXPECT_EQ(count, size_t(length)) << text;
            EXPECT_EQ(value, std::stoull(digits)) << text;
            EXPECT_EQ(p, text.data() + length);
        }
    }
}

TEST(TextNumbers, DigitRunStopsAtTheLineEvenWhenMoreTextCouldBeLoaded) {
    const std::string text = "123\n456789012";
    const char* p = text.data();
    size_t count = 0;
    // The line ends at the line feed; the load may look beyond it but must not count it.
    EXPECT_EQ(ReadDigits(p, text.data() + 3, text.data() + text.size(), count), 123u);
    EXPECT_EQ(count, 3u);
    // Without eight readable bytes the run stops at the range end.
    const std::string short_text = "98765";
    p = short_text.data();
    EXPECT_EQ(ReadDigits(p, p + 3, p + 3, count), 987u);
}

TEST(TextNumbers, PlainDecimalsMatchCorrectRoundingOnRandomNumbers) {
    std::mt19937_64 rng(99);
    int short_numbers = 0, short_taken = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        if (rng() % 2) text += '-';
        const int int_digits = int(rng() % 10);
        const int fraction_digits = int(rng() % 12);
        for (int k = 0; k < int_digits; ++k) text += char('0' + rng() % 10);
        if (fraction_digits > 0 || int_digits == 0) {
            text += '.';
            for (int k = 0; k < std::max(fraction_digits, 1); ++k) text += char('0' + rng() % 10);
        }
        const float expected = Reference(text);
        size_t consumed = 0;
        const float got = Read(text, &consumed);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
        ASSERT_EQ(consumed, text.size()) << text;
        // The short reader takes such numbers with fewer than eight digits a side (all but
        // exact ties between two floats) and reads them the same; anything it refuses is left
        // to the general reader untouched.
        const std::string line = text + " 1\n........";
        const char* p = line.data();
        float short_value = 0.0f;
        const bool taken = ReadShortDecimal(p, line.data() + text.size() + 2, short_value);
        if (int_digits < 8 && fraction_digits < 8) {
            ++short_numbers;
            short_taken += taken;
        }
        if (taken) {
            ASSERT_EQ(std::memcmp(&short_value, &expected, sizeof short_value), 0) << text;
            ASSERT_EQ(p, line.data() + text.size()) << text;
        } else {
            ASSERT_EQ(p, line.data()) << text;
        }
    }
    EXPECT_GT(short_taken, short_numbers * 99 / 100);
}

TEST(TextNumbers, ShortReaderRoundsDecimalsNextToHalfwayPointsLikeTheReference) {
    // Points halfway between two floats that a short decimal can write exactly (floats from
    // 2^10 to 2^23, whose halfway points need at most seven digits after the dot), and the
    // decimals one unit of their last digit either side, where a product with an inexact
    // power of ten could round the wrong way.
    std::mt19937_64 rng(3);
    int checked = 0;
    for (int exponent = 10; exponent < 24; ++exponent) {
        for (int i = 0; i < 200; ++i) {
            const float f = std::ldexp(1.0f + float(rng() % (1u << 23)) / float(1u << 23), exponent);
            const double half = (double(f) + double(std::nextafter(f, 2.0f * f))) / 2.0;
            char exact[64];
            std::snprintf(exact, sizeof exact, "%.7f", half);
            std::string text = exact;
            while (text.back() == '0') text.pop_back();
            if (text.back() == '.') text.pop_back();
            const size_t dot = text.find('.');
            const size_t fraction = dot == std::string::npos ? 0 : text.size() - dot - 1;
            const std::string digits = dot == std::string::npos ? text : text.substr(0, dot) + text.substr(dot + 1);
            const long long whole = std::stoll(digits);
            for (long long step : {-1LL, 0LL, 1LL}) {
                std::string near = std::to_string(whole + step);
                if (fraction > 0) near.insert(near.size() - fraction, ".");
                const std::string line = near + "\n........";
                const char* p = line.data();
                float value = 0.0f;
                if (!ReadShortDecimal(p, line.data() + near.size(), value)) continue;
                const float expected = Reference(near);
                ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << near;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 4000);
}

TEST(TextNumbers, ShortReaderRefusesWhatItCannotSettle) {
    // A decimal exactly halfway between two floats, a number running into other text, and
    // forms without digits: refused with p unchanged.
    for (const std::string number : {"8388609.5", "1e5", "2/3", "-", ".", "+1", "12345678.5", "1.12345678"}) {
        const std::string line = number + "\n........";
        const char* p = line.data();
        float value = 0.0f;
        EXPECT_FALSE(ReadShortDecimal(p, line.data() + number.size(), value)) << number;
        EXPECT_EQ(p, line.data()) << number;
    }
    EXPECT_EQ(Read("8388609.5"), 8388610.0f);  // the general reader rounds the tie to even
}

TEST(TextNumbers, HalfwayDecimalsRoundToEven) {
    // 16777217 lies exactly between the floats 16777216 and 16777218.
    EXPECT_EQ(Read("16777217"), 16777216.0f);
    EXPECT_EQ(Read("16777219"), 16777220.0f);
    EXPECT_EQ(Read("16777217.000001"), 16777218.0f);
    EXPECT_EQ(Read("0.1"), 0.1f);
    EXPECT_EQ(Read("-0.30000001192092896"), -0.3f);
}

TEST(TextNumbers, OtherFormsUseTheGeneralParser) {
    EXPECT_EQ(Read("1e-3"), 0.001f);
    EXPECT_EQ(Read("1.5E+2"), 150.0f);
    EXPECT_EQ(Read("-.5"), -0.5f);
    EXPECT_EQ(Read("+3"), 3.0f);
    EXPECT_EQ(Read("12345678901234567890123"), Reference("12345678901234567890123"));
    EXPECT_EQ(Read("0.00000000000000000000000001"), 1e-26f);
    EXPECT_EQ(Read("3.4e39"), 0.0f);
    size_t consumed = 0;
    EXPECT_EQ(Read("abc", &consumed), 0.0f);
    EXPECT_EQ(consumed, 3u);
}

TEST(TextNumbers, IndexReaderReturnsValueMinusOneAndZeroWhenNothingIsLeft) {
    const std::string text = "f 12/7";
    const char* p = text.data();
    const char* end = text.data() + text.size();
    EXPECT_EQ(ScanIndexMinusOne(p, end), 11u);
    EXPECT_EQ(ScanIndexMinusOne(p, end), 6u);
    EXPECT_EQ(ScanIndexMinusOne(p, end), 0u);
    const std::string zero = "0";
    p = zero.data();
    EXPECT_EQ(ScanIndexMinusOne(p, zero.data() + 1), 4294967295u);
}
