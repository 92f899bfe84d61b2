#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "core/params/param_conversions.h"

namespace {

struct Reading {
    const char* text;
    double value;
};

TEST(ParseLeadingDecimal, ReadsTheNumberAtTheStart) {
    const Reading cases[] = {
        {"12.9", 12.9}, {"  300", 300}, {"\t-4.5x", -4.5}, {"+7", 7},      {"1.5V", 1.5},
        {".5", 0.5},    {"5.", 5},      {"1e2", 100},      {"1E+2z", 100}, {"2e", 2},
        {"2e-", 2},     {"3e-1", 0.3},  {"", 0},           {"abc", 0},     {"-", 0},
        {".", 0},       {"- 5", 0},     {"0x1A", 0},       {"inf", 0},     {"nan", 0},
        {"1e-400", 0},  {"12 34", 12},  {"007", 7},
    };
    for (const Reading& c : cases)
        EXPECT_EQ(ParseLeadingDecimal(c.text), c.value) << c.text;
    EXPECT_EQ(ParseLeadingDecimal("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(ParseLeadingDecimal("-1e400"), -std::numeric_limits<double>::infinity());
}

// Numbers beyond the double range: huge ones read as infinity, tiny ones as zero, wherever
// the digits stand (a long run of fraction zeros is as tiny as a large negative exponent).
TEST(ParseLeadingDecimal, BeyondTheRangeByItsDigits) {
    const std::string zeros(400, '0');
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::string, double> cases[] = {
        {"0." + zeros + "1", 0.0},
        {"-0." + zeros + "7x", -0.0},
        {"0." + zeros + "1e+5", 0.0},
        {"." + zeros + "3e-2", 0.0},
        {"1" + zeros, inf},
        {"00001" + zeros + ".5", inf},
        {"0.0001e400", inf},
        {"1" + zeros + "e-600", 1e-200},
        {"0." + zeros + "1e450", 1e49},
        {"1e99999999999999999999999", inf},
        {"1e-99999999999999999999999", 0.0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseLeadingDecimal(text), value)
            << text.substr(0, 12) << "... of " << text.size();
}

TEST(FieldWeakeningByte, TruncatesAndKeepsEightBits) {
    EXPECT_EQ(FieldWeakeningByte("12.9"), 12);
    EXPECT_EQ(FieldWeakeningByte("300"), 44);
    EXPECT_EQ(FieldWeakeningByte(""), 0);
    EXPECT_EQ(FieldWeakeningByte("-1"), 255);
    EXPECT_EQ(FieldWeakeningByte("-0.9"), 0);
    EXPECT_EQ(FieldWeakeningByte("1e30"), 0);  // out of range: 0x80000000
}

TEST(TruncateToInt32, TowardZeroAndDefinedOutOfRange) {
    EXPECT_EQ(TruncateToInt32(2.9), 2);
    EXPECT_EQ(TruncateToInt32(-2.9), -2);
    EXPECT_EQ(TruncateToInt32(2147483647.9), 2147483647);
    EXPECT_EQ(TruncateToInt32(-2147483648.9), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(TruncateToInt32(2147483648.0), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(TruncateToInt32(-3e9), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(TruncateToInt32(std::numeric_limits<double>::quiet_NaN()),
              std::numeric_limits<std::int32_t>::min());
}

// The pages show floats with "%.*g" at precision 6 and read them back with "%lf". The command
// line relies on every decoded value surviving that unchanged, so that it can save without a
// window and still write what the window would.
bool SurvivesThePage(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", 6, static_cast<double>(value));
    return static_cast<float>(std::strtod(text, nullptr)) == value;
}

TEST(DecodedFloats, SurviveThePagesExchangeAndEncodeBack) {
    for (int v = -32768; v <= 32767; ++v) {
        const float f = TenthsFromRaw(v);
        ASSERT_TRUE(SurvivesThePage(f)) << v;
        ASSERT_EQ(static_cast<std::int16_t>(RawFromTenths(f)), v);
    }
    for (int b = 0; b <= 255; ++b) {
        ASSERT_TRUE(SurvivesThePage(HundredthsFromRaw(b))) << b;
        ASSERT_TRUE(SurvivesThePage(ThrottleVoltsFromRaw(b))) << b;
        ASSERT_EQ(RawFromHundredths(HundredthsFromRaw(b)), b);
        ASSERT_EQ(RawFromThrottleVolts(ThrottleVoltsFromRaw(b)), b);
    }
}

TEST(PushAssist, WholePercentBothWays) {
    for (std::uint32_t p = 0; p <= 99; ++p) {
        const std::uint32_t word = WordFromPushAssistPercent(p);
        ASSERT_EQ(PushAssistPercentFromWord(static_cast<std::int16_t>(word)), p);
    }
    EXPECT_EQ(WordFromPushAssistPercent(100), 0x7FFFu);
    EXPECT_EQ(PushAssistPercentFromWord(-32768), 4294967197u);
    EXPECT_EQ(PushAssistPercentFromWord(-1), 0u);  // (-100 + 99) / 32768 truncates to 0
    // Beyond the word the formula still holds exactly: 214748364799 / 32768 = 6553599, whose
    // low 16 bits 0xFFFF sign-extend to -1.
    EXPECT_EQ(PushAssistPercentFromWord(std::numeric_limits<std::int32_t>::max()), 4294967295u);
}

}  // namespace
