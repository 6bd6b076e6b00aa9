#include "formstream/FormTextToBinary.h"

#include "formstream/Exceptions.h"

#include <gtest/gtest.h>

#include <string>

namespace kep {
namespace {

using namespace std::string_literals;

std::string Hex(const uint8_t* bytes, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%s%02X", i ? " " : "", bytes[i]);
        out += pair;
    }
    return out;
}

std::string HexOfText(const std::string& text) {
    return Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// The stream as spaced hexadecimal bytes, or the exception's class and message.
std::string Convert(const std::string& text, std::string* partial = nullptr) {
    TStringStream input(text);
    TMemoryStream output;
    try {
        FormTextToBinary(input, output);
    } catch (const Exception& e) {
        if (partial) *partial = Hex(output.Memory(), static_cast<size_t>(output.GetSize()));
        return std::string(e.ClassName()) + ": " + e.what();
    }
    return Hex(output.Memory(), static_cast<size_t>(output.GetSize()));
}

const std::string kSignature = "54 50 46 30";

struct Case {
    std::string text;
    std::string expected;
};

class TextToStreamTable : public ::testing::TestWithParam<Case> {};

TEST_P(TextToStreamTable, WritesBytes) {
    EXPECT_EQ(Convert(GetParam().text), kSignature + " " + GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    FormTextToBinary, TextToStreamTable,
    ::testing::Values(
        Case{"object T end", "01 54 00 00 00"}, Case{"OBJECT T END", "01 54 00 00 00"},
        Case{"object Form1: TForm1\r\n  Left = 8\r\n  Caption = 'Hi'\r\nend\r\n",
             "06 54 46 6F 72 6D 31 05 46 6F 72 6D 31 04 4C 65 66 74 02 08 07 43 61 70 74 69 6F 6E 06 02 48 69 00 00"},
        // Prefixes: flags and child positions.
        Case{"inherited A: TB [3] end", "F3 02 03 02 54 42 01 41 00 00"},
        Case{"inline C end", "F4 01 43 00 00 00"},
        Case{"Inline C [300] end", "F6 03 2C 01 01 43 00 00 00"},
        Case{"object D [-2] end", "01 44 00 00 00"},                 // a negative position is dropped
        Case{"object D [4294967296] end", "F2 02 00 01 44 00 00 00"}, // cut to 32 bits
        Case{"object D [$FFFFFFFF] end", "01 44 00 00 00"},           // -1 after the cut
        // Children follow the properties; text after the last end is not read.
        Case{"object A P = 1 object B end inherited C end end junk ]",
             "01 41 00 01 50 02 01 00 01 42 00 00 00 F1 01 43 00 00 00 00"},
        // Dotted property names, with or without blanks around the dots.
        Case{"object T Font . Height = 1 end", "01 54 00 0B 46 6F 6E 74 2E 48 65 69 67 68 74 02 01 00 00"},
        Case{"object T Font.\r\n  Height = 1 end", "01 54 00 0B 46 6F 6E 74 2E 48 65 69 67 68 74 02 01 00 00"}));

// Values as the property P of an object T: the bytes between the name and
// the two end markers.
class ValueTable : public ::testing::TestWithParam<Case> {};

TEST_P(ValueTable, WritesValue) {
    EXPECT_EQ(Convert("object T\r\n  P = " + GetParam().text + "\r\nend"),
              kSignature + " 01 54 00 01 50 " + GetParam().expected + " 00 00")
        << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    FormTextToBinary, ValueTable,
    ::testing::Values(
        // Integers in the smallest tag.
        Case{"8", "02 08"}, Case{"-128", "02 80"}, Case{"-129", "03 7F FF"}, Case{"300", "03 2C 01"},
        Case{"100000", "04 A0 86 01 00"}, Case{"3000000000", "13 00 5E D0 B2 00 00 00 00"},
        Case{"$FFFFFFFF", "13 FF FF FF FF 00 00 00 00"}, Case{"$FFFFFFFFFFFFFFFF", "02 FF"},
        Case{"-9223372036854775808", "13 00 00 00 00 00 00 00 80"},
        // Floats by suffix.
        Case{"1.5", "05 00 00 00 00 00 00 00 C0 FF 3F"}, Case{"1.5s", "0F 00 00 C0 3F"},
        Case{"1.5S", "0F 00 00 C0 3F"}, Case{"15000c", "10 98 3A 00 00 00 00 00 00"},
        Case{"-1C", "10 FF FF FF FF FF FF FF FF"}, Case{"0.5d", "11 00 00 00 00 00 00 E0 3F"},
        Case{"37000.5D", "11 00 00 00 00 10 11 E2 40"}, Case{"12s", "0F 00 00 40 41"},
        // Identifiers.
        Case{"True", "09"}, Case{"TRUE", "09"}, Case{"false", "08"}, Case{"nil", "0D"}, Case{"Null", "00"},
        Case{"Truth", "07 05 54 72 75 74 68"}, Case{"Form1.Button1", "07 0D 46 6F 72 6D 31 2E 42 75 74 74 6F 6E 31"},
        Case{"INF", "07 03 49 4E 46"}, Case{"NAN", "07 03 4E 41 4E"},
        // Strings: the tag follows from the value.
        Case{"''", "12 00 00 00 00"}, Case{"'abc'", "06 03 61 62 63"}, Case{"#0", "06 01 00"},
        Case{"#233", "12 01 00 00 00 E9 00"}, Case{"'caf\xE9'", "14 05 00 00 00 63 61 66 C3 A9"},
        Case{"'\x80'", "12 01 00 00 00 AC 20"}, Case{"'a' + 'b'", "06 02 61 62"},
        Case{"'a'\r\n    +\r\n    'b'", "06 02 61 62"}, Case{"'a' + #233", "14 03 00 00 00 61 C3 A9"},
        Case{"#55357#56832", "12 02 00 00 00 3D D8 00 DE"},
        // Sets keep each element's text as written.
        Case{"[]", "0B 00"}, Case{"[akLeft, 3]", "0B 06 61 6B 4C 65 66 74 01 33 00"},
        Case{"[$0F,-]", "0B 03 24 30 46 01 2D 00"},
        // Lists, binary data, collections.
        Case{"()", "01 00"}, Case{"(1 (2) 'x' nil)", "01 02 01 01 02 02 00 06 01 78 0D 00"},
        Case{"{0A1B}", "0A 02 00 00 00 0A 1B"}, Case{"{}", "0A 00 00 00 00"},
        Case{"{\r\n    0A1B\r\n    0C}", "0A 03 00 00 00 0A 1B 0C"},
        Case{"<item end item [2] end>", "0E 01 00 02 02 01 00 00"}, Case{"<>", "0E 00"},
        Case{"<item [-1] end>", "0E 01 00 00"}, Case{"<item [-3] end>", "0E 02 FD 01 00 00"},
        Case{"<\r\n    item\r\n      A = 1\r\n      Object = <>\r\n    end>", "0E 01 01 41 02 01 06 4F 62 6A 65 63 74 0E 00 00 00"}));

class FailureTable : public ::testing::TestWithParam<Case> {};

TEST_P(FailureTable, Fails) { EXPECT_EQ(Convert(GetParam().text), GetParam().expected) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    FormTextToBinary, FailureTable,
    ::testing::Values(
        Case{"", "EParserError: OBJECT expected on line 1"},
        Case{"  \r\n", "EParserError: OBJECT expected on line 2"},
        Case{"thing T end", "EParserError: OBJECT expected on line 1"},
        Case{"object T\r\n  A = 1\r\n", "EParserError: Identifier expected on line 3"},
        Case{"object T object U end\r\n A = 1 end", "EParserError: OBJECT expected on line 2"},
        Case{"object 'x' end", "EParserError: Identifier expected on line 1"},
        Case{"object A: 1 end", "EParserError: Identifier expected on line 1"},
        Case{"object A [x] end", "EParserError: Number expected on line 1"},
        Case{"object A [1.5] end", "EParserError: Number expected on line 1"},
        Case{"object A [1 end", "EParserError: '']'' expected on line 1"},
        Case{"object A [99999999999999999999] end",
             "EConvertError: '99999999999999999999' is not a valid integer value"},
        Case{"object A\r\n B 1 end", "EParserError: ''='' expected on line 2"},
        Case{"object A B = = end", "EParserError: Invalid property value on line 1"},
        Case{"object A B = 'x' + 1 end", "EParserError: String expected on line 1"},
        Case{"object A B = [1 2] end", "EParserError: '','' expected on line 1"},
        Case{"object A B = [=] end", "EParserError: Identifier expected on line 1"},
        Case{"object A B = [a, 'b'] end", "EParserError: Identifier expected on line 1"},
        Case{"object A B = <x end> end", "EParserError: item expected on line 1"},
        Case{"object A B = <", "EParserError: item expected on line 1"},
        Case{"object A B = <item", "EParserError: Identifier expected on line 1"},
        Case{"object A B = (1", "EParserError: Invalid property value on line 1"},
        Case{"object A B = C. D end", "EParserError: Identifier expected on line 1"},
        Case{"object A B = C .D end", "EParserError: Identifier expected on line 1"},
        Case{"object A B = {0G} end", "EParserError: Invalid binary value on line 1"},
        Case{"object A B = {0A1} end", "EParserError: Invalid binary value on line 1"},
        Case{"object A B = 'abc\r\n' end", "EParserError: Invalid string constant on line 1"},
        Case{"object T end 'open", "EParserError: Invalid string constant on line 1"},
        Case{"object A B = 1e39s end", "EOverflow: Floating point overflow"},
        Case{"object A B = 1e309d end", "EOverflow: Floating point overflow"},
        Case{"object A B = 1e30c end", "EInvalidOp: Invalid floating point operation"},
        Case{"object A B = 5-3 end", "EConvertError: '5-3' is not a valid floating point value"},
        Case{"object A B = -INF end", "EConvertError: '-' is not a valid integer value"},
        Case{"object A B = 9223372036854775808 end",
             "EConvertError: '9223372036854775808' is not a valid integer value"},
        // Null is the byte 0, which would close the list it stood in.
        Case{"object A B = (Null) end", "EParserError: Null cannot stand in a list on line 1"},
        Case{"object A B = (1\r\n (2\r\n nULL)) end", "EParserError: Null cannot stand in a list on line 3"}));

TEST(FormTextToBinary, OutputAfterAFailureHoldsTheBytesBeforeIt) {
    std::string partial;
    EXPECT_EQ(Convert("object A\r\n  B = 1\r\n  C = {0A0B0G}\r\nend", &partial),
              "EParserError: Invalid binary value on line 3");
    // The binary value under way is not among them.
    EXPECT_EQ(partial, kSignature + " 01 41 00 01 42 02 01 01 43");
}

TEST(FormTextToBinary, LongStrings) {
    for (size_t length : {255u, 256u, 300u}) {
        std::string expected = length <= 255 ? "06 " + HexOfText(std::string(1, static_cast<char>(length)))
                                             : "0C " + HexOfText(std::string{static_cast<char>(length & 0xFF),
                                                                             static_cast<char>(length >> 8), 0, 0});
        expected += " " + HexOfText(std::string(length, 'x'));
        EXPECT_EQ(Convert("object T P = '" + std::string(length, 'x') + "' end"),
                  kSignature + " 01 54 00 01 50 " + expected + " 00 00");
    }
}

TEST(FormTextToBinary, NamesAreCutTo255Bytes) {
    std::string name(300, 'N');
    EXPECT_EQ(Convert("object T " + name + " = " + name + " end"),
              kSignature + " 01 54 00 FF " + HexOfText(name.substr(0, 255)) + " 07 FF " +
                  HexOfText(name.substr(0, 255)) + " 00 00");
}

// A class name's length byte of 240 or more would read back as a prefix: such
// an object gets a prefix byte without flags.
TEST(FormTextToBinary, LongClassNamesGetAnEmptyPrefix) {
    struct {
        size_t length;
        std::string keyword;
        std::string prefix;
    } cases[] = {
        {239, "object", ""},     {240, "object", "F0 "},  {255, "object", "F0 "},
        {300, "object", "F0 "},  {240, "inline", "F4 "},
    };
    for (const auto& c : cases) {
        std::string name(c.length, 'C');
        size_t kept = std::min<size_t>(c.length, 255);
        EXPECT_EQ(Convert(c.keyword + " " + name + " end"),
                  kSignature + " " + c.prefix + HexOfText(std::string(1, static_cast<char>(kept))) + " " +
                      HexOfText(name.substr(0, kept)) + " 00 00 00")
            << c.length;
    }
}

// Nesting far beyond real templates is refused with a message instead of
// exhausting the stack; up to 1000 levels (the root object being one) are fine.
TEST(FormTextToBinary, NestingLimit) {
    auto objects = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "object O\r\n";
        for (int i = 0; i < depth; ++i) text += "end\r\n";
        return text;
    };
    auto lists = [](int depth) {
        std::string text = "object T P =";
        for (int i = 0; i < depth; ++i) text += "\r\n(";
        return text + std::string(depth, ')') + " end";
    };
    auto collections = [](int depth) {
        std::string text = "object T";
        for (int i = 0; i < depth; ++i) text += "\r\nP = <item";
        for (int i = 0; i < depth; ++i) text += "\r\nend>";
        return text + " end";
    };
    EXPECT_EQ(Convert(objects(1000)).substr(0, 14), kSignature + " 01");
    EXPECT_EQ(Convert(objects(1001)), "EParserError: Nesting deeper than 1000 levels on line 1001");
    EXPECT_EQ(Convert(lists(999)).substr(0, 14), kSignature + " 01");
    EXPECT_EQ(Convert(lists(1000)), "EParserError: Nesting deeper than 1000 levels on line 1001");
    EXPECT_EQ(Convert(collections(999)).substr(0, 14), kSignature + " 01");
    EXPECT_EQ(Convert(collections(1000)), "EParserError: Nesting deeper than 1000 levels on line 1001");
    // Far deeper texts fail the same way.
    EXPECT_EQ(Convert(lists(200000)), "EParserError: Nesting deeper than 1000 levels on line 1001");
}

TEST(FormTextToBinary, AppendsAtTheOutputPosition) {
    TStringStream input("object T end");
    TMemoryStream output;
    output.Write("ab", 2);
    FormTextToBinary(input, output);
    EXPECT_EQ(Hex(output.Memory(), static_cast<size_t>(output.GetSize())), "61 62 " + kSignature + " 01 54 00 00 00");
}

} // namespace
} // namespace kep
