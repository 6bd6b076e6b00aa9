#include "formstream/CodePage.h"

#include <gtest/gtest.h>

namespace kep {
namespace {

TEST(CodePage, Windows1252HighBytes) {
    struct Case {
        unsigned char byte;
        char16_t unit;
    } cases[] = {
        {0x41, u'A'},    {0x7F, 0x7F},    {0x80, 0x20AC}, {0x81, 0x81},   {0x82, 0x201A},
        {0x8D, 0x8D},    {0x8F, 0x8F},    {0x90, 0x90},   {0x9D, 0x9D},   {0x9F, 0x0178},
        {0x99, 0x2122},  {0xA0, 0xA0},    {0xE9, 0xE9},   {0xFF, 0xFF},   {0x00, 0x00},
    };
    for (const Case& c : cases) {
        std::string byte(1, static_cast<char>(c.byte));
        EXPECT_EQ(AnsiToWide(byte), std::u16string(1, c.unit)) << int(c.byte);
        bool lossy = true;
        EXPECT_EQ(WideToAnsi(std::u16string(1, c.unit), &lossy), byte) << int(c.byte);
        EXPECT_FALSE(lossy);
    }
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::u16string wide = AnsiToWide(all);
    ASSERT_EQ(wide.size(), 256u);
    bool lossy = true;
    EXPECT_EQ(WideToAnsi(wide, &lossy), all);
    EXPECT_FALSE(lossy);
    for (int b = 0; b < 256; ++b) EXPECT_FALSE(IsLeadByte(static_cast<unsigned char>(b)));
}

TEST(CodePage, UnitsWithoutAByteBecomeQuestionMarks) {
    bool lossy = false;
    EXPECT_EQ(WideToAnsi(u"a\u0080b\u0100\u20AC\xD83D", &lossy), "a?b?\x80?");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(WideToAnsi(u"plain"), "plain");
}

} // namespace
} // namespace kep
