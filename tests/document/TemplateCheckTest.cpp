// The round-trip check of template code: same bytes, named differences, and
// templates that do not convert.
#include "DocumentFixture.h"

#include "document/TemplateCheck.h"
#include "formstream/FormTextToBinary.h"

namespace kep::test {
namespace {

// object A: TB with one property Width, whose value bytes are given.
Bytes Stream(const Bytes& value, const Bytes& prefix = {}, const Bytes& after = {}) {
    return Bytes("TPF0", 4) + prefix + Bytes("\x02TB\x01" "A\x05Width", 11) + value + Bytes(2, '\0') + after;
}

TemplateCheckResult Check(const Bytes& file) {
    return CheckTemplateBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(TemplateCheckTest, CodeThatConvertsBackToItsBytesIsTheSame) {
    TemplateCheckResult result = Check(BuildTemplate(Stream(Bytes("\x03\xB0\x04", 3))));
    EXPECT_TRUE(result.Converts);
    EXPECT_TRUE(result.SameBytes);
    EXPECT_EQ(result.FirstDifference, -1);
    EXPECT_EQ(result.OriginalSize, 42 + 20);
    EXPECT_EQ(result.ConvertedSize, 42 + 20);
}

struct DifferenceCase {
    const char* Title;
    Bytes File;
    int64_t FirstDifference;
    std::string Difference;
};

// Width's value starts at stream offset 15 (file offset 57).
const DifferenceCase kDifferences[] = {
    {"wider integer tag", BuildTemplate(Stream(Bytes("\x04\x05\0\0\0", 5))), 38,
     "the stream length 22 becomes 19; first change in the stream at offset 57, "
     "in A.Width: Int32 tag where Int8 suffices (value 5)"},
    {"Int64 tag for a small number", BuildTemplate(Stream(Bytes("\x13\x80\0\0\0\0\0\0\0", 9))), 38,
     "the stream length 26 becomes 20; first change in the stream at offset 57, "
     "in A.Width: Int64 tag where Int16 suffices (value 128)"},
    {"long string tag for a short string", BuildTemplate(Stream(Bytes("\x0C\x03\0\0\0" "abc", 8))), 38,
     "the stream length 25 becomes 22; first change in the stream at offset 57, "
     "in A.Width: LString tag where String suffices (value 'abc')"},
    {"wide string of ASCII letters", BuildTemplate(Stream(Bytes("\x12\x02\0\0\0a\0b\0", 9))), 38,
     "the stream length 26 becomes 21; first change in the stream at offset 57, "
     "in A.Width: WString tag where String suffices (value 'ab')"},
    {"identifier spelled in capitals", BuildTemplate(Stream(Bytes("\x07\x04TRUE", 6))), 38,
     "the stream length 23 becomes 18; first change in the stream at offset 57, "
     "in A.Width: Ident TRUE becomes the True tag"},
    {"object prefix without flags", BuildTemplate(Stream(Bytes("\x02\x07", 2), Bytes("\xF0", 1))), 38,
     "the stream length 20 becomes 19; first change in the stream at offset 46, "
     "the object prefix F0 is dropped"},
    {"bytes after the root object", BuildTemplate(Stream(Bytes("\x02\x07", 2), {}, "XYZ")), 38,
     "the stream length 22 becomes 19; first change in the stream at offset 61, "
     "3 bytes after the root object are dropped"},
    {"bytes after the stream", BuildTemplate(Stream(Bytes("\x02\x07", 2)), "tail"), 61,
     "4 bytes after the stream are dropped"},
    {"negative binary count", BuildTemplate(Stream(Bytes("\x0A\xFF\xFF\xFF\xFF", 5))), 58,
     "in A.Width: Binary value -1 bytes becomes 0 bytes"},
};

class TemplateCheckDifferenceTest : public ::testing::TestWithParam<DifferenceCase> {};

TEST_P(TemplateCheckDifferenceTest, NamesTheFirstOffsetAndTheValue) {
    const DifferenceCase& c = GetParam();
    TemplateCheckResult result = Check(c.File);
    ASSERT_TRUE(result.Converts) << result.Error;
    EXPECT_FALSE(result.SameBytes);
    EXPECT_EQ(result.FirstDifference, c.FirstDifference);
    EXPECT_EQ(result.Difference, c.Difference);
}

INSTANTIATE_TEST_SUITE_P(Cases, TemplateCheckDifferenceTest, ::testing::ValuesIn(kDifferences),
                         [](const auto& info) {
                             std::string name = info.param.Title;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(TemplateCheckTest, TemplatesThatDoNotConvertCarryTheMessage) {
    const std::pair<Bytes, std::string> cases[] = {
        {BuildTemplate("XXXX"), "Invalid stream format"},
        {BuildTemplate(Stream(Bytes("\x15", 1))), ""}, // a tag above 20: the conversion's own message
        {Bytes(41, 'a'), "The template file is shorter than its 42-byte header."},
        {BuildTemplate(Stream(Bytes("\x02\x07", 2))).substr(0, 50),
         "The template file holds 50 bytes, fewer than its header and its 19-byte component stream."},
    };
    for (const auto& [file, message] : cases) {
        TemplateCheckResult result = Check(file);
        EXPECT_FALSE(result.Converts);
        EXPECT_FALSE(result.SameBytes);
        EXPECT_FALSE(result.Error.empty());
        if (!message.empty()) {
            EXPECT_EQ(result.Error, message);
        }
    }
}

TEST(TemplateCheckTest, DifferencesDeepInTheTreeNameTheirPlace) {
    // object A: TB / object B: TC with a collection Cols whose second item
    // (order value 3) holds P = 1 in an Int16 tag.
    Bytes stream = Bytes("TPF0\x02TB\x01" "A\x00", 10) + Bytes("\x02TC\x01" "B\x04" "Cols\x0E", 11) +
                   Bytes("\x01\x01P\x02\x01\x00", 6) + Bytes("\x02\x03\x01\x01P\x03\x01\x00\x00", 9) + Bytes(4, '\0');
    TemplateCheckResult result = Check(BuildTemplate(stream));
    ASSERT_TRUE(result.Converts) << result.Error;
    EXPECT_NE(result.Difference.find("in A.B.Cols item 1.P: Int16 tag where Int8 suffices (value 1)"),
              std::string::npos)
        << result.Difference;
}

class CheckDocumentTest : public DocumentTest {};

TEST_F(CheckDocumentTest, ChecksEveryTemplateOfAPackAndReportsEachMember) {
    fs::path pack = UserFile("p.tme", BuildPack("P", {{"same.tme", BuildTemplate(Stream(Bytes("\x02\x07", 2)))},
                                                      {"wide.tme", BuildTemplate(Stream(Bytes("\x04\x07\0\0\0", 5)))},
                                                      {"back.jpg", Bytes("\xFF\xD8 not checked", 15)},
                                                      {"bad.tme", BuildTemplate("XXXX")}}));
    Open(pack);
    std::vector<TemplateCheckResult> results = CheckDocument(Document);
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(FormatCheckReport(results),
              "same.tme: same bytes\n"
              "wide.tme: differs at offset 38: the stream length 22 becomes 19; first change in the stream at "
              "offset 57, in A.Width: Int32 tag where Int8 suffices (value 7)\n"
              "back.jpg: not a template\n"
              "bad.tme: does not convert: Invalid stream format\n");
    EXPECT_FALSE(EveryTemplateConverts(results));
    results.pop_back();
    EXPECT_TRUE(EveryTemplateConverts(results));
}

TEST_F(CheckDocumentTest, ChecksTheSingleTemplatesWorkingCopy) {
    Open(UserFile("single.tme", BuildTemplate(Stream(Bytes("\x02\x07", 2)), "x")));
    EXPECT_EQ(FormatCheckReport(CheckDocument(Document)),
              "single.tme: differs at offset 61: 1 bytes after the stream are dropped\n");
}

TEST_F(CheckDocumentTest, AMissingMemberFileIsReportedNotThrown) {
    Open(UserFile("p.tme", BuildPack("P", {{"gone.tme", BuildTemplate(Stream(Bytes("\x02\x07", 2)))}})));
    fs::remove(fs::path(Document.State.WorkDir) / "gone.tme");
    std::vector<TemplateCheckResult> results = CheckDocument(Document);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].Converts);
    EXPECT_NE(results[0].Error.find("Cannot open file"), std::string::npos);
}

} // namespace
} // namespace kep::test

namespace kep::test {
namespace {

// Every kind of value, made by the text-to-binary conversion.
Bytes RichStream() {
    TStringStream text(
        "inherited Form1: TForm\r\n"
        "  Left = 120\r\n  Big = 3000000000\r\n  Hint = 'abc'#13#10'def'\r\n  Wide = 'Gr'#252\r\n"
        "  Scale = 1.5\r\n  Ratio = 0.1s\r\n  Price = 15000c\r\n  Stamp = 37000.5d\r\n"
        "  Data = {000102}\r\n  Columns = <\r\n    item [0]\r\n      Width = 64\r\n    end\r\n"
        "    item\r\n      Caption = 'x'\r\n    end>\r\n  Items = (\r\n    'one'\r\n    2\r\n    nil)\r\n"
        "  Style = [fsBold, fsItalic]\r\n  OnClick = OKButtonClick\r\n  Default = True\r\n"
        "  object OKButton: TButton [1]\r\n    Tag = 70000\r\n  end\r\nend\r\n");
    TMemoryStream stream;
    FormTextToBinary(text, stream);
    return Bytes(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

TEST(TemplateCheckTest, DamagedStreamsAreDescribedWithinTheirBounds) {
    const Bytes original = RichStream();
    ASSERT_TRUE(Check(BuildTemplate(original)).SameBytes);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = original;
        for (int changes = 1 + static_cast<int>(next() % 3); changes > 0; --changes) {
            size_t at = next() % damaged.size();
            switch (next() % 3) {
            case 0: damaged[at] = static_cast<char>(next() >> 24); break;
            case 1: damaged.erase(at, 1 + next() % 4); break;
            default: damaged.insert(at, 1, static_cast<char>(next() >> 24)); break;
            }
            if (damaged.empty()) damaged = "T";
        }
        int64_t offset = -2;
        std::string description =
            DescribeStreamDifference(reinterpret_cast<const uint8_t*>(original.data()), original.size(),
                                     reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size(), offset);
        EXPECT_EQ(offset < 0, damaged == original);
        EXPECT_EQ(description.empty(), damaged == original);
        TemplateCheckResult result = Check(BuildTemplate(damaged));
        EXPECT_EQ(result.SameBytes, result.Converts && result.FirstDifference < 0);
    }
}

} // namespace
} // namespace kep::test
