#include "formstream/NumberText.h"
#include "tests/numbers/ExtendedBits.h"

#include <gtest/gtest.h>

#include <bit>
#include <vector>

namespace kep::test {
namespace {

// Exact big-integer check, independent of the generator: the entry times
// 2^k must be the nearest 64-bit multiple of a power of two to 10^n.
// Decimal literals are rounded correctly by the compiler, which gives a
// second, independent derivation.
struct PowerCase {
    const Extended* entry;
    Extended literal;
    int power;
};

const PowerCase kPowers[] = {
    {&SmallPowers[0], 1e0L, 0},       {&SmallPowers[1], 1e1L, 1},       {&SmallPowers[2], 1e2L, 2},
    {&SmallPowers[3], 1e3L, 3},       {&SmallPowers[4], 1e4L, 4},       {&SmallPowers[5], 1e5L, 5},
    {&SmallPowers[6], 1e6L, 6},       {&SmallPowers[7], 1e7L, 7},       {&SmallPowers[8], 1e8L, 8},
    {&SmallPowers[9], 1e9L, 9},       {&SmallPowers[10], 1e10L, 10},    {&SmallPowers[11], 1e11L, 11},
    {&SmallPowers[12], 1e12L, 12},    {&SmallPowers[13], 1e13L, 13},    {&SmallPowers[14], 1e14L, 14},
    {&SmallPowers[15], 1e15L, 15},    {&SmallPowers[16], 1e16L, 16},    {&SmallPowers[17], 1e17L, 17},
    {&SmallPowers[18], 1e18L, 18},    {&SmallPowers[19], 1e19L, 19},    {&SmallPowers[20], 1e20L, 20},
    {&SmallPowers[21], 1e21L, 21},    {&SmallPowers[22], 1e22L, 22},    {&SmallPowers[23], 1e23L, 23},
    {&SmallPowers[24], 1e24L, 24},    {&SmallPowers[25], 1e25L, 25},    {&SmallPowers[26], 1e26L, 26},
    {&SmallPowers[27], 1e27L, 27},    {&SmallPowers[28], 1e28L, 28},    {&SmallPowers[29], 1e29L, 29},
    {&SmallPowers[30], 1e30L, 30},    {&SmallPowers[31], 1e31L, 31},    {&MediumPowers[1], 1e32L, 32},
    {&MediumPowers[2], 1e64L, 64},    {&MediumPowers[3], 1e96L, 96},    {&MediumPowers[4], 1e128L, 128},
    {&MediumPowers[5], 1e160L, 160},  {&MediumPowers[6], 1e192L, 192},  {&MediumPowers[7], 1e224L, 224},
    {&MediumPowers[8], 1e256L, 256},  {&MediumPowers[9], 1e288L, 288},  {&MediumPowers[10], 1e320L, 320},
    {&MediumPowers[11], 1e352L, 352}, {&MediumPowers[12], 1e384L, 384}, {&MediumPowers[13], 1e416L, 416},
    {&MediumPowers[14], 1e448L, 448}, {&MediumPowers[15], 1e480L, 480}, {&LargePowers[1], 1e512L, 512},
    {&LargePowers[2], 1e1024L, 1024}, {&LargePowers[3], 1e1536L, 1536}, {&LargePowers[4], 1e2048L, 2048},
    {&LargePowers[5], 1e2560L, 2560}, {&LargePowers[6], 1e3072L, 3072}, {&LargePowers[7], 1e3584L, 3584},
    {&LargePowers[8], 1e4096L, 4096}, {&LargePowers[9], 1e4608L, 4608},
};

// Little-endian multi-word integer, just enough for 10^n and comparisons.
using BigInt = std::vector<uint32_t>;

BigInt PowerOfTen(int n) {
    BigInt value{1};
    for (int i = 0; i < n; ++i) {
        uint64_t carry = 0;
        for (auto& word : value) {
            const uint64_t product = uint64_t{word} * 10 + carry;
            word = static_cast<uint32_t>(product);
            carry = product >> 32;
        }
        if (carry)
            value.push_back(static_cast<uint32_t>(carry));
    }
    return value;
}

int BitLength(const BigInt& v) {
    return static_cast<int>(32 * (v.size() - 1)) + std::bit_width(v.back());
}

bool Bit(const BigInt& v, int i) {
    return i >= 0 && static_cast<size_t>(i / 32) < v.size() && ((v[i / 32] >> (i % 32)) & 1);
}

// Nearest 64-bit significand and unbiased exponent, ties to even.
ExtendedBits NearestExtended(const BigInt& v) {
    const int length = BitLength(v);
    uint64_t significand = 0;
    for (int i = 0; i < 64; ++i)
        significand = (significand << 1) | (Bit(v, length - 1 - i) ? 1 : 0);
    int exponent = length - 1;
    const int below = length - 65; // the first bit dropped
    if (below >= 0 && Bit(v, below)) {
        bool sticky = false;
        for (int i = 0; i < below && !sticky; ++i)
            sticky = Bit(v, i);
        if (sticky || (significand & 1)) {
            if (++significand == 0) {
                significand = uint64_t{1} << 63;
                ++exponent;
            }
        }
    }
    return {static_cast<uint16_t>(exponent + 16383), significand};
}

TEST(DecimalPowers, EveryEntryIsTheNearestExtendedValue) {
    for (const auto& c : kPowers) {
        SCOPED_TRACE(c.power);
        EXPECT_EQ(BitsOf(*c.entry), NearestExtended(PowerOfTen(c.power)));
        EXPECT_EQ(BitsOf(*c.entry), BitsOf(c.literal));
    }
}

TEST(DecimalPowers, KnownBitPatterns) {
    EXPECT_EQ(BitsOf(SmallPowers[0]), (ExtendedBits{0x3FFF, 0x8000000000000000}));
    EXPECT_EQ(BitsOf(SmallPowers[27]), (ExtendedBits{0x4058, 0xCECB8F27F4200F3A})); // last exact one
    EXPECT_EQ(BitsOf(SmallPowers[28]), (ExtendedBits{0x405C, 0x813F3978F8940984}));
    EXPECT_EQ(BitsOf(MediumPowers[1]), (ExtendedBits{0x4069, 0x9DC5ADA82B70B59E}));
    EXPECT_EQ(BitsOf(LargePowers[1]), (ExtendedBits{0x46A3, 0xE319A0AEA60E91C7}));
    EXPECT_EQ(BitsOf(LargePowers[8]), (ExtendedBits{0x7525, 0xC46052028A20979B}));
    EXPECT_EQ(BitsOf(LargePowers[9]), (ExtendedBits{0x7BCA, 0xAE3511626ED559F0}));
}

} // namespace
} // namespace kep::test
