// SPDX-License-Identifier: MIT
#include "engine/numtext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace dovex;

TEST(LenientReading, TakesTheLeadingNumberAndStops) {
    EXPECT_DOUBLE_EQ(ParseLenient("1.5mm"), 1.5);
    EXPECT_DOUBLE_EQ(ParseLenient("abc"), 0);
    EXPECT_DOUBLE_EQ(ParseLenient(""), 0);
    EXPECT_DOUBLE_EQ(ParseLenient("1,5"), 1);  // a comma ends the number
    EXPECT_DOUBLE_EQ(ParseLenient("2.5E-4"), 0.00025);
    EXPECT_DOUBLE_EQ(ParseLenient("25.8e-5"), 0.000258);
    EXPECT_DOUBLE_EQ(ParseLenient("1.2.3"), 1.2);  // a second point ends it
    EXPECT_DOUBLE_EQ(ParseLenient(".5"), 0.5);
    EXPECT_DOUBLE_EQ(ParseLenient("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(ParseLenient("+7"), 7);
    EXPECT_DOUBLE_EQ(ParseLenient("-"), 0);
    EXPECT_DOUBLE_EQ(ParseLenient("3E"), 3);  // an exponent letter without digits
    EXPECT_DOUBLE_EQ(ParseLenient("3E+x"), 3);
    EXPECT_DOUBLE_EQ(ParseLenient("2D2"), 200);  // D also introduces an exponent
}

TEST(LenientReading, SkipsBlanksAnywhere) {
    EXPECT_DOUBLE_EQ(ParseLenient("  1 2 . 5 "), 12.5);
    EXPECT_DOUBLE_EQ(ParseLenient("\t- 3"), -3);
    EXPECT_DOUBLE_EQ(ParseLenient("1 E 2"), 100);
    EXPECT_DOUBLE_EQ(ParseLenient("\r\n4"), 4);
}

TEST(LenientReading, HexadecimalAndOctal) {
    EXPECT_DOUBLE_EQ(ParseLenient("&H1F"), 31);
    EXPECT_DOUBLE_EQ(ParseLenient("&hff"), 255);
    EXPECT_DOUBLE_EQ(ParseLenient("&O17"), 15);
    EXPECT_DOUBLE_EQ(ParseLenient("&O19"), 1);  // 9 is no octal digit
    EXPECT_DOUBLE_EQ(ParseLenient("&H"), 0);
    EXPECT_DOUBLE_EQ(ParseLenient("&X5"), 0);
}

TEST(LenientReading, NumberDetection) {
    EXPECT_TRUE(StartsWithNumber(" 12abc"));
    EXPECT_TRUE(StartsWithNumber("&H1"));
    EXPECT_FALSE(StartsWithNumber("-"));
    EXPECT_FALSE(StartsWithNumber("―"));
    EXPECT_FALSE(StartsWithNumber(""));
}

TEST(LenientReading, HugeExponentsDoNotHang) {
    std::string digits(100000, '9');
    EXPECT_TRUE(std::isinf(ParseLenient(digits + "E99999999999")));
    EXPECT_DOUBLE_EQ(ParseLenient("1E-99999999"), 0);
}

TEST(FormatPatterns, ExamplesOfTheWindows) {
    EXPECT_EQ(FormatPattern(1.2346, "#0.000"), "1.235");
    EXPECT_EQ(FormatPattern(5.3, "#00.00"), "05.30");
    EXPECT_EQ(FormatPattern(0.000258, "0.00E+0"), "2.58E-4");
    EXPECT_EQ(FormatPattern(0.0000258, "0.00E+00"), "2.58E-05");
    EXPECT_EQ(FormatPattern(2.5, "#0.00"), "2.50");
    EXPECT_EQ(FormatPattern(123.456, "#0.00"), "123.46");
    EXPECT_EQ(FormatPattern(0.1234, "##0.000"), "0.123");
    EXPECT_EQ(FormatPattern(1234.56, "###0.0"), "1234.6");
    EXPECT_EQ(FormatPattern(0.5, "0000.0"), "0000.5");
    EXPECT_EQ(FormatPattern(0.0123456, "0.00000"), "0.01235");
    EXPECT_EQ(FormatPattern(33.97, "00.00"), "33.97");
    EXPECT_EQ(FormatPattern(7, "00.0"), "07.0");
}

TEST(FormatPatterns, RoundsHalfAwayFromZeroOnTheDecimalValue) {
    EXPECT_EQ(FormatPattern(2.5, "0"), "3");
    EXPECT_EQ(FormatPattern(1.005, "0.00"), "1.01");  // 1.00499999... in binary
    EXPECT_EQ(FormatPattern(0.125, "0.00"), "0.13");
    EXPECT_EQ(FormatPattern(-1.235, "0.00"), "-1.24");
    EXPECT_EQ(FormatPattern(9.999, "#0.00"), "10.00");
    EXPECT_EQ(FormatPattern(-0.001, "0.00"), "0.00");  // no minus on a zero
}

TEST(FormatPatterns, ExponentCarriesAndZero) {
    EXPECT_EQ(FormatPattern(9.996e-5, "0.00E+0"), "1.00E-4");
    EXPECT_EQ(FormatPattern(0, "0.00E+0"), "0.00E+0");
    EXPECT_EQ(FormatPattern(123456, "0.00E+00"), "1.23E+05");
    EXPECT_EQ(FormatPattern(1, "0.00E+0"), "1.00E+0");
    EXPECT_EQ(FormatPattern(-2.5e3, "0.0E-0"), "-2.5E3");
}

TEST(FormatPatterns, OptionalDigits) {
    EXPECT_EQ(FormatPattern(0.05, "#0.00#"), "0.05");
    EXPECT_EQ(FormatPattern(0.125, "#0.00#"), "0.125");
    EXPECT_EQ(FormatPattern(0.1234, "#0.00#"), "0.123");
    EXPECT_EQ(FormatPattern(75, "#00.0"), "75.0");
    EXPECT_EQ(FormatPattern(5, "#00"), "05");
    EXPECT_EQ(FormatPattern(1234, "#00"), "1234");
}

TEST(PlainNumbers, ShortestText) {
    EXPECT_EQ(PlainNumber(0.25), "0.25");
    EXPECT_EQ(PlainNumber(20), "20");
    EXPECT_EQ(PlainNumber(-1.5), "-1.5");
    EXPECT_EQ(PlainNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(PlainNumber(10 * 15 * 4 * 0.001), "0.6");
    EXPECT_EQ(PlainNumber(0.0001), "0.0001");
    EXPECT_EQ(PlainNumber(0.00001), "1E-05");
    EXPECT_EQ(PlainNumber(1e15), "1E+15");
    EXPECT_EQ(PlainNumber(-0.0), "0");
    EXPECT_EQ(PlainNumber(2.5 * 0.1 * 10), "2.5");
}

// Whatever the writers print reads back as a finite number, up to the largest doubles, where
// rounding the last written digit up would carry the text beyond them.
TEST(NumberText, EveryWrittenNumberReadsBack) {
    const double big = std::numeric_limits<double>::max();
    for (double v : {big, -big, std::nextafter(big, 0.0), 9.9999999999999999e307, 1e308,
                     std::numeric_limits<double>::denorm_min(), 1.5, -0.0005}) {
        const std::string plain = PlainNumber(v);
        EXPECT_TRUE(std::isfinite(ParseLenient(plain))) << plain;
        EXPECT_NEAR(ParseLenient(plain) / v, 1.0, 1e-14) << plain;
        for (const char* p : {"0.00E+00", "#0.000", "#00.00", "0.000", "00.00", "##0.00", "##0.000",
                              "###0.0", "#0.0", "0000.0", "0.00000"}) {
            const std::string text = FormatPattern(v, p);
            EXPECT_TRUE(std::isfinite(ParseLenient(text))) << p << " " << text;
        }
    }
    EXPECT_EQ(FormatPattern(big, "0.00E+00"), "1.79E+308");  // cut, not rounded to 1.80E+308
    EXPECT_EQ(FormatPattern(1.2345, "0.00E+00"), "1.23E+00");
    EXPECT_EQ(FormatPattern(1.235, "#0.00"), "1.24");  // ordinary numbers still round
}

// Rounding a number to decimals gives what its pattern text reads back as, on cases where the
// binary value lies just below or above a half and where the product by ten rounds the other way.
class RoundToOneDecimal : public ::testing::TestWithParam<double> {};

TEST_P(RoundToOneDecimal, IsThePatternTextReadBack) {
    const double v = GetParam();
    const double r = RoundToDecimals(v, 1);
    EXPECT_EQ(r, ParseLenient(FormatPattern(v, "#0.0"))) << v;
    EXPECT_FALSE(r == 0 && std::signbit(r)) << v;
}

INSTANTIATE_TEST_SUITE_P(Depths, RoundToOneDecimal,
                         ::testing::Values(0.0, 10.0, 7.699999999999999, 22 * 0.35, 0.15, 1.05,
                                           2.4499999999999997, 2.45, 0.04999999999999999, -0.04,
                                           -0.05, -2.45, 19.95, 39.99999999999999, 1e-20, 1e15,
                                           123456.78949999999, 0.35 * 19 - 0.1));

TEST(RoundToDecimals, OtherDecimalsAndNonFinite) {
    EXPECT_EQ(RoundToDecimals(1.23456, 3), ParseLenient(FormatPattern(1.23456, "#0.000")));
    EXPECT_EQ(RoundToDecimals(2.5, 0), 3.0);
    EXPECT_EQ(RoundToDecimals(-2.5, 0), -3.0);
    EXPECT_TRUE(std::isinf(RoundToDecimals(HUGE_VAL, 1)));
    EXPECT_TRUE(std::isnan(RoundToDecimals(std::nan(""), 1)));
}
