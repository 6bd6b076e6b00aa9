#include "formstream/Exceptions.h"
#include "formstream/NumberText.h"
#include "tests/numbers/ExtendedBits.h"

#include <gtest/gtest.h>

#include <bit>

namespace kep::test {
namespace {

Extended X(uint16_t top, uint64_t significand) { return ExtendedFromParts(top, significand); }

TEST(ExtendedToSingle, RoundsToNearestTiesToEven) {
    const struct {
        ExtendedBits in;
        uint32_t out;
    } cases[] = {
        {{0x3FFF, 0xC000000000000000}, 0x3FC00000},                        // 1.5
        {{0x3FFB, 0xCCCCCCCCCCCCCCCD}, 0x3DCCCCCD},                        // 0.1
        {{0x3FFF, 0x8000008000000000}, 0x3F800000},                        // 1 + 2^-24: tie, to even
        {{0x3FFF, 0x8000018000000000}, 0x3F800002},                        // 1 + 3 * 2^-24: tie, to even
        {{0x3FFF, 0x8000008000000001}, 0x3F800001},                        // just above the tie
        {{0xBFFF, 0x8000008000000001}, 0xBF800001},
        {{0x407E, 0xFFFFFF7FFFFFFFFF}, 0x7F7FFFFF},                        // just below max + half an ulp
        {{0x3F6A, 0x8000000000000000}, 0x00000001},                        // 2^-149, the smallest denormal
        {{0x3F69, 0x8000000000000000}, 0x00000000},                        // 2^-150: tie, to even (zero)
        {{0x3F69, 0x8000000000000001}, 0x00000001},
        {{0x8000, 0}, 0x80000000},                                          // negative zero
        {{0x7FFF, 0x8000000000000000}, 0x7F800000},                        // infinity stays infinity
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::bit_cast<uint32_t>(ExtendedToSingle(c.in.value())), c.out) << ToString(c.in);
}

TEST(ExtendedToSingle, OverflowBeyondTheLargestFiniteValue) {
    for (const ExtendedBits& in : {ExtendedBits{0x407E, 0xFFFFFF8000000000}, // max + half an ulp: tie to even
                                   ExtendedBits{0xC07E, 0xFFFFFF8000000000},
                                   ExtendedBits{0x4080, 0x8000000000000000},  // 2^129
                                   ExtendedBits{0x4080, 0xBC143FA4E250EB31}}) { // nearest to 1e39
        try {
            ExtendedToSingle(in.value());
            ADD_FAILURE() << ToString(in);
        } catch (const EOverflow& e) {
            EXPECT_EQ(e.Message(), "Floating point overflow");
        }
    }
}

TEST(ExtendedToDouble, RoundsToNearestTiesToEven) {
    const struct {
        ExtendedBits in;
        uint64_t out;
    } cases[] = {
        {{0x3FFF, 0xC000000000000000}, 0x3FF8000000000000},
        {{0x3FFB, 0xCCCCCCCCCCCCCCCD}, 0x3FB999999999999A},
        {{0x3FFF, 0x8000000000000400}, 0x3FF0000000000000}, // tie, to even
        {{0x3FFF, 0x8000000000000C00}, 0x3FF0000000000002}, // tie, to even
        {{0x43FE, 0xFFFFFFFFFFFFFBFF}, 0x7FEFFFFFFFFFFFFF}, // just below max + half an ulp
        {{0x400E, 0x9088800000000000}, 0x40E2111000000000}, // 37000.5
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::bit_cast<uint64_t>(ExtendedToDouble(c.in.value())), c.out) << ToString(c.in);
    EXPECT_THROW(ExtendedToDouble(X(0x43FE, 0xFFFFFFFFFFFFFC00)), EOverflow);
    EXPECT_THROW(ExtendedToDouble(X(0xC3FF, 0x8000000000000000)), EOverflow);
}

TEST(ExtendedToCurrency, DividesMultipliesAndRoundsToEven) {
    const struct {
        ExtendedBits in;
        int64_t raw;
    } cases[] = {
        {{0x400C, 0xEA60000000000000}, 15000},          // 15000c
        {{0xBFFF, 0x8000000000000000}, -1},
        {{0x3FFE, 0x8000000000000000}, 0},              // 0.5: tie, to even
        {{0x3FFF, 0xC000000000000000}, 2},              // 1.5
        {{0x4000, 0xA000000000000000}, 2},              // 2.5
        {{0xC000, 0xA000000000000000}, -2},             // -2.5
        {{0xC03E, 0x8000000000000000}, INT64_MIN},      // -2^63
        {{0x403D, 0xC8BEAB129B531E3A}, 7232593574782144286}, // 7232593574782144285, moved by the rounding
        {{0x3FFB, 0xCCCCCCCCCCCCCCCD}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtendedToCurrency(c.in.value()), c.raw) << ToString(c.in);
}

TEST(ExtendedToCurrency, OutsideTheSigned64BitRange) {
    for (const ExtendedBits& in : {ExtendedBits{0x403E, 0x8000000000000000}, // 2^63
                                   ExtendedBits{0xC03E, 0x8000000000000001},
                                   ExtendedBits{0x7FFF, 0x8000000000000000},
                                   ExtendedBits{0x7FFF, 0xC000000000000000}}) {
        try {
            ExtendedToCurrency(in.value());
            ADD_FAILURE() << ToString(in);
        } catch (const EInvalidOp& e) {
            EXPECT_EQ(e.Message(), "Invalid floating point operation");
        }
    }
}

TEST(CurrencyToExtended, MultipliesAndDividesBy10000) {
    EXPECT_EQ(GeneralNotation(CurrencyToExtended(15000)), "15000");
    EXPECT_EQ(GeneralNotation(CurrencyToExtended(-1)), "-1");
    EXPECT_EQ(GeneralNotation(CurrencyToExtended(0)), "0");
    EXPECT_EQ(GeneralNotation(CurrencyToExtended(INT64_MIN)), "-9.22337203685478E18");
    // Beyond 2^64 / 10000 the product is rounded, and the value with it:
    // 7800209541717257273 comes back as 7800209541717257273.5.
    EXPECT_EQ(BitsOf(CurrencyToExtended(7800209541717257273)), BitsOf(X(0x403D, 0xD87FD2807756D873)));
    EXPECT_EQ(GeneralNotation(CurrencyToExtended(7800209541717257273)), "7.80020954171726E18");
}

} // namespace
} // namespace kep::test
