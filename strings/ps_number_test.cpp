#include "strings/ps_number.h"

#include "strings/bounded.h"
#include "testing/comma_locale.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

namespace klv {
namespace {

std::string Fixed2(double value, DWORD capacity = 32) {
    char out[32] = "untouched";
    FormatFixed2(out, capacity, value);
    return out;
}

std::string Printf(const char* format, double value) {
    char out[64];
    std::snprintf(out, sizeof out, format, value);
    return out;
}

TEST(FormatFixed2, RoundsAsPrintfDoes) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0.00"},
        {-0.0, "-0.00"},
        {1.0, "1.00"},
        {128.0 / 255, "0.50"},
        {0.125, "0.12"}, // exact ties go to the even hundredth
        {0.375, "0.38"},
        {2.675, "2.67"}, // just below the tie in binary
        {-0.001, "-0.00"},
        {-1.005, "-1.00"},
        {0.995, "0.99"},
        {0.9951, "1.00"},
        {123456789.125, "123456789.12"},
        {1e-300, "0.00"},
        {4503599627370495.5, "4503599627370495.50"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fixed2(c.value), c.text) << c.value;
        EXPECT_EQ(Fixed2(c.value), Printf("%1.2f", c.value)) << c.value;
    }
}

TEST(FormatFixed2, RefusesWhatItCannotRoundExactly) {
    for (double value : {std::ldexp(1.0, 53), -1e300, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
        char out[32] = "untouched";
        EXPECT_EQ(FormatFixed2(out, sizeof out, value), E_INVALIDARG) << value;
        EXPECT_STREQ(out, "");
    }
    char out[4] = "abc";
    EXPECT_EQ(FormatFixed2(out, 0, 0.5), E_INVALIDARG);
    EXPECT_STREQ(out, "abc");
    EXPECT_EQ(FormatFixed2(out, 3, 0.5), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(out, "0.");
}

// Values of every magnitude the formatter takes, and values a hair away
// from a tie, give printf's bytes.
TEST(FormatFixed2, MatchesPrintfOverRandomValues) {
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<int> exponent(-40, 52);
    std::uniform_real_distribution<double> fraction(-1.0, 1.0);
    std::uniform_int_distribution<int> hundredths(0, 100000);
    for (int i = 0; i < 200000; ++i) {
        const double value = i % 2 == 0
                                 ? std::ldexp(fraction(random), exponent(random))
                                 : std::nextafter((hundredths(random) + 0.5) / 100, i % 4 == 1 ? 0.0 : 1e9);
        ASSERT_EQ(Fixed2(value), Printf("%1.2f", value)) << std::hexfloat << value;
    }
}

TEST(FormatIntegers, MatchPrintf) {
    for (long value : {0L, 7L, -1L, 30L, -45L, 32767L, -32768L, 4294967295L, LONG_MIN, LONG_MAX}) {
        char out[32];
        FormatDecimal(out, sizeof out, value);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%ld", value);
        EXPECT_STREQ(out, expected);
    }
    for (unsigned long value : {0UL, 9UL, 15UL, 16UL, 0x3042UL, 0xFFFFUL, 0xFFFFFFFFUL}) {
        char out[32];
        FormatHex(out, sizeof out, value, 2);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%02lx", value);
        EXPECT_STREQ(out, expected);
    }
}

// printf writes "0,50" here; the formatter's bytes do not move.
TEST(FormatFixed2, IgnoresTheLocalesDecimalComma) {
    testing::CommaDecimalLocale locale;
    if (!locale.Active())
        GTEST_SKIP() << locale.Why();
    ASSERT_EQ(Printf("%1.2f", 0.5), "0,50");
    EXPECT_EQ(Fixed2(0.5), "0.50");
    EXPECT_EQ(Fixed2(-1234.567), "-1234.57");
    char out[16];
    FormatDecimal(out, sizeof out, -32768);
    EXPECT_STREQ(out, "-32768");
}

} // namespace
} // namespace klv
