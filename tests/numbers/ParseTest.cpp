#include "formstream/Exceptions.h"
#include "formstream/NumberText.h"
#include "tests/numbers/ExtendedBits.h"

#include <gtest/gtest.h>

#include <cfenv>

namespace kep::test {
namespace {

TEST(ParseInteger64, ValidTexts) {
    const struct {
        const char* text;
        int64_t value;
    } cases[] = {
        {"0", 0},
        {"-0", 0},
        {"007", 7},
        {"-128", -128},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"-00009223372036854775808", INT64_MIN},
        {"$0", 0},
        {"$0F", 15},
        {"$ff", 255},
        {"$80000000", 2147483648},
        {"$FFFFFFFFFFFFFFFF", -1},
        {"$8000000000000000", INT64_MIN},
        {"$0000FFFFFFFFFFFFFFFF", -1}, // leading zeros are free
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseInteger64(c.text), c.value) << c.text;
}

TEST(ParseInteger64, InvalidTextsNameTheText) {
    const char* cases[] = {
        "-", "", "$", "$10000000000000000", "9223372036854775808", "-9223372036854775809",
        "99999999999999999999", "1.5", "5-3", "--5", "+5", " 5", "5 ", "$G", "-$1", "1e3",
    };
    for (const char* text : cases) {
        try {
            ParseInteger64(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
        }
    }
}

struct FloatCase {
    const char* text;
    ExtendedBits bits;
};

TEST(ParseExtended, Values) {
    const FloatCase cases[] = {
        {"1", {0x3FFF, 0x8000000000000000}},
        {"1e", {0x3FFF, 0x8000000000000000}},
        {"1e+", {0x3FFF, 0x8000000000000000}},
        {"1E-", {0x3FFF, 0x8000000000000000}},
        {"5.", {0x4001, 0xA000000000000000}},
        {"+5", {0x4001, 0xA000000000000000}},
        {"  5  ", {0x4001, 0xA000000000000000}},
        {"1.5", {0x3FFF, 0xC000000000000000}},
        {"-2.25", {0xC000, 0x9000000000000000}},
        {".", {0x0000, 0}},
        {"-.", {0x8000, 0}},
        {"-0.0", {0x8000, 0}},
        {"0.1", {0x3FFB, 0xCCCCCCCCCCCCCCCD}},
        {"2.5e-3", {0x3FF6, 0xA3D70A3D70A3D70A}}, // not the nearest to 0.0025
        {"123456789.123456789", {0x4019, 0xEB79A2A3F35BA6E7}},
        {"1e400", {0x452F, 0xDA763FC8CB9FF9E5}},
        {"1e4932", {0x7FFE, 0xD72CB2A95C7EF6CD}},
        {"1e-4940", {0x0000, 0x0000000663278E62}}, // underflow is silent
        {"1e-4950", {0x0000, 0x0000000000000003}},
        {"1e0499", {0x4678, 0xC7C265EA160544AC}},
        // 34 digits accumulate beyond 64 bits: one ulp above 10^15.
        {"1000000000000000.000000000000000000", {0x4030, 0xE35FA931A0000001}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BitsOf(ParseExtended(c.text)), c.bits) << c.text;
}

// Fraction digits can push the scale to -5120 or below: the value is then
// zero, unless the digits overflowed on the way.
TEST(ParseExtended, FarBelowTheRangeGivesZero) {
    const std::string zeros(200, '0');
    EXPECT_EQ(BitsOf(ParseExtended("0." + zeros + "1e-4999")), (ExtendedBits{0x0000, 0}));
    EXPECT_EQ(BitsOf(ParseExtended("-0." + zeros + "1e-4999")), (ExtendedBits{0x8000, 0}));
    const std::string huge(4940, '9');
    EXPECT_THROW(ParseExtended(huge + "." + zeros + "e-4999"), EConvertError);
}

TEST(ParseExtended, InvalidTextsNameTheText) {
    const std::string longDigits(5000, '1');
    const std::string cases[] = {
        "", "-", "+", "e5", "-e5", "1.2.3", "5-3", "--5", "1e4933", "1e5000", "1e-5119", "1e500x",
        "1x", "1 2", "\t1", "1\t", "1e++5", longDigits, "INF", "NAN",
    };
    for (const std::string& text : cases) {
        try {
            ParseExtended(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), "'" + text + "' is not a valid floating point value");
        }
    }
    EXPECT_THROW(ParseExtended(std::string("1\0", 2)), EConvertError);
}

TEST(ParseExtended, LeavesTheCallersFloatFlagsAlone) {
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_THROW(ParseExtended("1e4933"), EConvertError);
    ParseExtended("1e-4950");
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);

    std::feraiseexcept(FE_OVERFLOW); // a flag left over by the caller is no failure
    EXPECT_EQ(BitsOf(ParseExtended("2")), (ExtendedBits{0x4000, 0x8000000000000000}));
    EXPECT_NE(std::fetestexcept(FE_OVERFLOW), 0);
    std::feclearexcept(FE_ALL_EXCEPT);
}

// The texts written for finite values come back as the same value where
// the digits are enough to tell them apart.
TEST(ParseExtended, ReadsBackFormattedTexts) {
    const ExtendedBits values[] = {
        {0x3FFF, 0xC000000000000000}, {0xC000, 0x9000000000000000}, {0x4002, 0xA000000000000000},
        {0x3FFB, 0xCCCCCCCCCCCCCCCD}, {0x0000, 0},
    };
    for (const auto& v : values) {
        EXPECT_EQ(BitsOf(ParseExtended(FixedNotation(v.value()))), v);
        EXPECT_EQ(BitsOf(ParseExtended(GeneralNotation(v.value()))), v);
    }
}

} // namespace
} // namespace kep::test
