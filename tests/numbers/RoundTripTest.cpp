#include "formstream/Exceptions.h"
#include "formstream/NumberText.h"
#include "tests/numbers/ExtendedBits.h"

#include <gtest/gtest.h>

#include <random>

namespace kep::test {
namespace {

// Property over the whole exponent range: a text written by either layout
// reads back, and the value read gives the same text again.
TEST(NumberTextRoundTrip, TextsReadBackToTheSameText) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> exponent(1, 0x7FFD); // leaves out the top binade
    for (int i = 0; i < 20000; ++i) {
        const auto top = static_cast<uint16_t>(exponent(random) | ((random() & 1) << 15));
        const Extended x = ExtendedFromParts(top, random() | (uint64_t{1} << 63));
        const std::string general = GeneralNotation(x);
        const std::string fixed = FixedNotation(x);
        ASSERT_EQ(GeneralNotation(ParseExtended(general)), general) << ToString(BitsOf(x));
        ASSERT_EQ(FixedNotation(ParseExtended(fixed)), fixed) << ToString(BitsOf(x));
    }
}

// The top binade holds values whose rounded text lies above the largest
// extended value: such a text does not read back.
TEST(NumberTextRoundTrip, LargestValueTextOverflows) {
    const Extended largest = ExtendedFromParts(0x7FFE, 0xFFFFFFFFFFFFFFFF);
    EXPECT_EQ(FixedNotation(largest), "1.189731495357232E4932");
    EXPECT_THROW(ParseExtended(FixedNotation(largest)), EConvertError);
    EXPECT_EQ(BitsOf(ParseExtended(GeneralNotation(largest))), (ExtendedBits{0x7FFE, 0xFFFFFFFFFFFF9518}));
}

} // namespace
} // namespace kep::test
