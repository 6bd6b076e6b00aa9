#include "formstream/NumberText.h"
#include "tests/numbers/ExtendedBits.h"

#include <gtest/gtest.h>

namespace kep::test {
namespace {

struct TextCase {
    Extended value;
    const char* text;
};

Extended X(uint16_t top, uint64_t significand) { return ExtendedFromParts(top, significand); }

const Extended kZero = X(0x0000, 0);
const Extended kNegativeZero = X(0x8000, 0);
const Extended kDenormal = X(0x0000, 0x0000000663278E62);
const Extended kPseudoDenormal = X(0x0000, 0x8000000000000001);
const Extended kUnnormal = X(0x3FFF, 0x4000000000000000);
const Extended kInfinity = X(0x7FFF, 0x8000000000000000);
const Extended kNegativeInfinity = X(0xFFFF, 0x8000000000000000);
const Extended kPseudoInfinity = X(0x7FFF, 0x4000000000000001); // integer bit clear
const Extended kQuietNaN = X(0x7FFF, 0xC000000000000000);
const Extended kNegativeNaN = X(0xFFFF, 0xC000000000000001);

TEST(GeneralNotation, Examples) {
    const TextCase cases[] = {
        {X(0x3FFF, 0x8000000000000000), "1"},
        {X(0x3FFF, 0xC000000000000000), "1.5"},
        {X(0x3FFA, 0xCCCCCCCCCCCCCCCD), "0.05"},
        {X(0x3FF1, 0xD1B71758E219652C), "0.0001"},
        {X(0x3FEE, 0xA7C5AC471B478423), "1E-5"},
        {X(0x4030, 0xE35FA931A0000000), "1E15"},
        {X(0x402D, 0xE0910C1BBEF20000), "123456789012345"},
        {kZero, "0"},
        {SingleBits(0x3DCCCCCD), "0.100000001490116"},
        {SingleBits(0x4048F5C3), "3.14000010490417"},
        {SingleBits(0x3727C5AC), "9.99999974737875E-6"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeneralNotation(c.value), c.text) << ToString(BitsOf(c.value));
}

TEST(GeneralNotation, LayoutBoundaries) {
    const TextCase cases[] = {
        {X(0x402D, 0xB5E620F480000000), "100000000000000"}, // 10^14
        {X(0xBFFF, 0xC000000000000000), "-1.5"},
        {X(0x3FF5, 0x83126E978D4FDF3B), "0.001"},
        {X(0x4002, 0xA000000000000000), "10"},
        {X(0x3FFE, 0xAAAAAAAAAAAAAAAB), "0.666666666666667"},
        {X(0x7FFE, 0xFFFFFFFFFFFFFFFF), "1.18973149535723E4932"},
        {X(0x0001, 0x8000000000000000), "3.36210314311209E-4932"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeneralNotation(c.value), c.text) << ToString(BitsOf(c.value));
}

// The decimal exponent estimate is one too high in some binades of very
// small numbers: the first digit is then 0 and counts towards the precision.
TEST(GeneralNotation, LeadingZeroDigitWhenTheEstimateIsHigh) {
    EXPECT_EQ(GeneralNotation(DoubleBits(0x1560000000000000)), "0.99671949510976E-205"); // 2^-681
    const DecimalDigits d = ToDecimalDigits(DoubleBits(0x1560000000000000), 15, 9999);
    EXPECT_EQ(d.Exponent, -204);
    EXPECT_EQ(d.Digits, "099671949510976");
}

TEST(FixedNotation, Examples) {
    const TextCase cases[] = {
        {X(0x3FFF, 0xC000000000000000), "1.500000000000000000"},
        {kZero, "0.000000000000000000"},
        {X(0xC000, 0x9000000000000000), "-2.250000000000000000"},
        {X(0x3FFB, 0xCCCCCCCCCCCCCCCD), "0.100000000000000000"},
        {X(0x3FFE, 0xAAAAAAAAAAAAAAAB), "0.666666666666666700"},
        {X(0x4019, 0xEB79A2A3F35BA6E7), "123456789.123456800000000000"},
        {X(0x4030, 0xE35FA931A0000000), "1000000000000000.000000000000000000"},
        {X(0x4034, 0x8E1BC9BF04000000), "1E16"},
        {X(0x4034, 0xAF715175AD2E1C00), "1.234567890123457E16"}, // 12345678901234567
        {X(0x3FC3, 0x9392EE8E921D5D07), "0.000000000000000001"},
        {X(0x3FC1, 0xEC1E4A7DB69561A5), "0.000000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedNotation(c.value), c.text) << ToString(BitsOf(c.value));
}

TEST(FixedNotation, RoundingAtTheLastDecimal) {
    const TextCase cases[] = {
        {X(0x3FC2, 0x9392EE8E921D5D07), "0.000000000000000001"}, // 5e-19 rounds up
        {X(0x3FFE, 0xFFFFFFFFFFFFFFFF), "1.000000000000000000"},  // 9s carry into a new digit
        {X(0x4033, 0xE35FA931A0000000), "8000000000000000.000000000000000000"},
        {X(0x3FFE, 0x8000000000000000), "0.500000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FixedNotation(c.value), c.text) << ToString(BitsOf(c.value));
}

TEST(NumberText, SpecialValues) {
    const struct {
        Extended value;
        const char* general;
        const char* fixed;
    } cases[] = {
        {kNegativeZero, "0", "0.000000000000000000"},
        {kDenormal, "0", "0.000000000000000000"},
        {kPseudoDenormal, "0", "0.000000000000000000"},
        {kInfinity, "INF", "INF"},
        {kNegativeInfinity, "-INF", "-INF"},
        {kPseudoInfinity, "INF", "INF"},
        {kQuietNaN, "NAN", "NAN"},
        {kNegativeNaN, "NAN", "NAN"},
        {kUnnormal, "NAN", "NAN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToString(BitsOf(c.value)));
        EXPECT_EQ(GeneralNotation(c.value), c.general);
        EXPECT_EQ(FixedNotation(c.value), c.fixed);
    }
}

TEST(ToDecimalDigits, Records) {
    DecimalDigits d = ToDecimalDigits(X(0xBFFF, 0xC000000000000000), 15, 9999);
    EXPECT_EQ(d.Exponent, 1);
    EXPECT_TRUE(d.Negative);
    EXPECT_EQ(d.Digits, "15");

    d = ToDecimalDigits(kNegativeInfinity, 15, 9999);
    EXPECT_EQ(d.Exponent, kDecimalInfinity);
    EXPECT_TRUE(d.Negative);

    d = ToDecimalDigits(kNegativeNaN, 15, 9999);
    EXPECT_EQ(d.Exponent, kDecimalNaN);
    EXPECT_FALSE(d.Negative);

    // Nothing left after rounding: the exponent stays, the sign goes.
    d = ToDecimalDigits(X(0xBFC1, 0xEC1E4A7DB69561A5), 16, 18); // -4e-19
    EXPECT_EQ(d.Exponent, -18);
    EXPECT_FALSE(d.Negative);
    EXPECT_EQ(d.Digits, "");

    // Below every decimal place: Exponent 0.
    d = ToDecimalDigits(X(0xBF00, 0x8000000000000000), 16, 18);
    EXPECT_EQ(d.Exponent, 0);
    EXPECT_FALSE(d.Negative);
    EXPECT_EQ(d.Digits, "");

    // A precision of 18 or more keeps all 18 digits, trailing zeros dropped.
    d = ToDecimalDigits(X(0x3FFE, 0xAAAAAAAAAAAAAAAB), 18, 9999);
    EXPECT_EQ(d.Exponent, 0);
    EXPECT_EQ(d.Digits, "666666666666666667");
}

TEST(IntegerText, SignedDecimal) {
    EXPECT_EQ(IntegerText(0), "0");
    EXPECT_EQ(IntegerText(504), "504");
    EXPECT_EQ(IntegerText(-128), "-128");
    EXPECT_EQ(IntegerText(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(IntegerText(INT64_MAX), "9223372036854775807");
}

} // namespace
} // namespace kep::test
