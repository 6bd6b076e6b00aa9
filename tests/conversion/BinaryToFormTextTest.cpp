#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "support/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace kep {
namespace {

using test::Bytes;
using test::StreamToText;

std::string Stream(const std::function<void(TWriter&)>& fill) {
    TStringStream out;
    {
        TWriter writer(out);
        fill(writer);
    }
    return out.DataString();
}

struct Failure {
    std::string message;
    std::string output;
};

Failure ConvertFailing(const std::string& input) {
    TStringStream in(input);
    TStringStream out;
    try {
        BinaryToFormText(in, out);
    } catch (const EReadError& e) {
        return {e.Message(), out.DataString()};
    }
    return {"(no exception)", out.DataString()};
}

// A root object F: TForm with one property P whose value bytes are given.
std::string WithProperty(const std::string& value) {
    return "TPF0" + Bytes({5}) + "TForm" + Bytes({1, 'F', 1, 'P'}) + value + Bytes({0, 0});
}
std::string PropertyText(const std::string& text) { return "object F: TForm\r\n  P = " + text + "\r\nend\r\n"; }

std::string ShortString(const std::string& s) { return std::string(1, static_cast<char>(s.size())) + s; }
std::string Count(int32_t n) { return std::string(reinterpret_cast<const char*>(&n), 4); }
std::string AnsiValue(const std::string& s) { return Bytes({6}) + ShortString(s); }
std::string WideValue(const std::u16string& s) {
    return Bytes({18}) + Count(static_cast<int32_t>(s.size())) +
           std::string(reinterpret_cast<const char*>(s.data()), 2 * s.size());
}
std::string BinaryValue(int32_t count, int32_t present) {
    std::string v = Bytes({10}) + Count(count);
    for (int32_t i = 0; i < present; ++i) v.push_back(static_cast<char>(i));
    return v;
}

TEST(BinaryToFormText, CompleteExample) {
    std::string input = Stream([](TWriter& w) {
        w.PutSignature();
        w.WriteShortString("TF_Select");
        w.WriteShortString("F_Select");
        w.WriteShortString("Left");
        w.WriteInt32Value(504);
        w.WriteShortString("Caption");
        w.WriteWideValue(u"It's done");
        w.WriteShortString("Hint");
        w.WriteWideValue(std::u16string(70, u'A') + u"\r\n" + std::u16string(10, u'B'));
        w.WriteShortString("Font.Style");
        w.WriteTag(ValueTag::Set);
        w.WriteShortString("fsBold");
        w.WriteShortString("fsItalic");
        w.WriteShortString("");
        w.WriteShortString("DesignSize");
        w.WriteListOpen();
        w.WriteInt32Value(337);
        w.WriteInt32Value(-5);
        w.WriteEndMarker();
        w.WriteShortString("Scale");
        w.WriteExtendedValue(ExtendedFromParts(0x3FFF, 0xC000000000000000ULL));
        w.WriteShortString("Ratio");
        uint32_t tenth = 0x3DCCCCCD;
        float single;
        std::memcpy(&single, &tenth, 4);
        w.WriteSingleValue(single);
        w.WriteShortString("Price");
        w.WriteCurrencyValue(15000);
        w.WriteShortString("Stamp");
        w.WriteDateValue(37000.5);
        w.WriteShortString("Title");
        w.WriteWideValue(u"Gr\u00FC");
        w.WriteShortString("Data");
        w.WriteBinaryValue([](TStream& s) {
            for (uint8_t b = 0; b < 40; ++b) s.Write(&b, 1);
        });
        w.WriteShortString("Columns");
        w.WriteTag(ValueTag::Collection);
        w.WriteInt32Value(0);
        w.WriteListOpen();
        w.WriteShortString("Width");
        w.WriteInt32Value(64);
        w.WriteEndMarker();
        w.WriteListOpen();
        w.WriteShortString("Caption");
        w.WriteWideValue(u"x");
        w.WriteEndMarker();
        w.WriteEndMarker();
        w.WriteShortString("OnClick");
        w.WriteIdentValue("OKButtonClick");
        w.WriteShortString("Default");
        w.WriteIdentValue("True");
        w.WriteEndMarker();
        w.WriteObjectPrefix(ObjectFlag::ChildPosition, 1);
        w.WriteShortString("TButton");
        w.WriteShortString("OKButton");
        w.WriteShortString("Tag");
        w.WriteInt32Value(70000);
        w.WriteEndMarker();
        w.WriteEndMarker();
        w.WriteEndMarker();
    });
    const char* expected =
        "object F_Select: TF_Select\r\n"
        "  Left = 504\r\n"
        "  Caption = 'It'#39's done'\r\n"
        "  Hint = \r\n"
        "    'AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA' +\r\n"
        "    'AAAAAA'#13#10'BBBBBBBBBB'\r\n"
        "  Font.Style = [fsBold, fsItalic]\r\n"
        "  DesignSize = (\r\n"
        "    337\r\n"
        "    -5)\r\n"
        "  Scale = 1.500000000000000000\r\n"
        "  Ratio = 0.100000001490116s\r\n"
        "  Price = 15000c\r\n"
        "  Stamp = 37000.5d\r\n"
        "  Title = 'Gr'#252\r\n"
        "  Data = {\r\n"
        "    000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F\r\n"
        "    2021222324252627}\r\n"
        "  Columns = <\r\n"
        "    item [0]\r\n"
        "      Width = 64\r\n"
        "    end\r\n"
        "    item\r\n"
        "      Caption = 'x'\r\n"
        "    end>\r\n"
        "  OnClick = OKButtonClick\r\n"
        "  Default = True\r\n"
        "  object OKButton: TButton [1]\r\n"
        "    Tag = 70000\r\n"
        "  end\r\n"
        "end\r\n";

    TStringStream in(input + "trailing bytes are not read");
    TStringStream out("kept");
    out.Seek(0, SeekOrigin::End); // the text is appended at the position
    BinaryToFormText(in, out);
    EXPECT_EQ(out.DataString(), std::string("kept") + expected);
    EXPECT_EQ(in.Position(), static_cast<int32_t>(input.size()));
}

struct ValueCase {
    const char* name;
    std::string value; // the value's bytes
    std::string text;  // its text after "P = "
};

class ValueText : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueText, IsWrittenExactly) {
    EXPECT_EQ(StreamToText(WithProperty(GetParam().value)), PropertyText(GetParam().text));
}

std::string Hex(int from, int count) {
    std::string s;
    for (int i = from; i < from + count; ++i) {
        s += "0123456789ABCDEF"[(i >> 4) & 15];
        s += "0123456789ABCDEF"[i & 15];
    }
    return s;
}

const std::string k64(64, 'a');

INSTANTIATE_TEST_SUITE_P(
    Edges, ValueText,
    ::testing::Values(
        ValueCase{"Null", Bytes({0}), "Null"}, // ends the property list: read as a value first
        ValueCase{"False", Bytes({8}), "False"},
        ValueCase{"Nil", Bytes({13}), "nil"},
        ValueCase{"Ident", Bytes({7, 2, 'o', 'k'}), "ok"},
        ValueCase{"Int8Min", Bytes({2, 0x80}), "-128"},
        ValueCase{"Int16", Bytes({3, 0x2C, 0x01}), "300"},
        ValueCase{"Int32Min", Bytes({4, 0, 0, 0, 0x80}), "-2147483648"},
        ValueCase{"Int64Min", Bytes({19, 0, 0, 0, 0, 0, 0, 0, 0x80}), "-9223372036854775808"},
        ValueCase{"CurrencyMinusOne", Bytes({16, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "-1c"},
        ValueCase{"DateZero", Bytes({17, 0, 0, 0, 0, 0, 0, 0, 0}), "0d"},
        ValueCase{"DateNaN", Bytes({17, 0, 0, 0, 0, 0, 0, 0xF8, 0x7F}), "NANd"},
        ValueCase{"SingleInfinity", Bytes({15, 0, 0, 0x80, 0x7F}), "INFs"},
        ValueCase{"ExtendedMinusInfinity", Bytes({5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0xFF}), "-INF"},
        ValueCase{"ExtendedZero", Bytes({5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), "0.000000000000000000"},
        ValueCase{"EmptySet", Bytes({11, 0}), "[]"},
        ValueCase{"OneElementSet", Bytes({11, 1, 'a', 0}), "[a]"},
        ValueCase{"EmptyList", Bytes({1, 0}), "()"},
        ValueCase{"NestedList", Bytes({1, 2, 1, 1, 2, 2, 1, 0, 0, 0}), "(\r\n    1\r\n    (\r\n      2\r\n      ()))"},
        ValueCase{"EmptyCollection", Bytes({14, 0}), "<>"},
        ValueCase{"CollectionOrder300", Bytes({14, 3, 0x2C, 0x01, 1, 0, 0}), "<\r\n    item [300]\r\n    end>"},
        ValueCase{"EmptyString", AnsiValue(""), "''"},
        ValueCase{"Apostrophe", AnsiValue("'"), "#39"},
        ValueCase{"HighBytesArePlain", AnsiValue("\xE9\x80\xFF"), "'\xE9\x80\xFF'"},
        ValueCase{"ControlCodes", AnsiValue(std::string("a\0\x1F", 3)), "'a'#0#31"},
        ValueCase{"Exactly64", AnsiValue(k64), "'" + k64 + "'"},
        ValueCase{"Printable65", AnsiValue(k64 + "b"), "\r\n    '" + k64 + "' +\r\n    'b'"},
        ValueCase{"ControlAt64", AnsiValue(std::string(63, 'a') + "\t" + std::string(6, 'b')),
                  "\r\n    '" + std::string(63, 'a') + "'#9 +\r\n    'bbbbbb'"},
        ValueCase{"CodesFillLines", AnsiValue(std::string(66, '\n')),
                  "\r\n    " + [] { std::string s; for (int i = 0; i < 64; ++i) s += "#10"; return s; }() +
                      " +\r\n    #10#10"},
        ValueCase{"LongString300", Bytes({12}) + Count(300) + std::string(300, 'z'),
                  "\r\n    '" + std::string(64, 'z') + "' +\r\n    '" + std::string(64, 'z') + "' +\r\n    '" +
                      std::string(64, 'z') + "' +\r\n    '" + std::string(64, 'z') + "' +\r\n    '" +
                      std::string(44, 'z') + "'"},
        ValueCase{"Euro", WideValue(u"\u20AC"), "#8364"},
        ValueCase{"SurrogatePair", WideValue(u"\U0001F600"), "#55357#56832"},
        ValueCase{"WideLimits", WideValue(u"~\u007F\u0080 "), "'~\x7F'#128' '"},
        ValueCase{"Utf8", Bytes({20}) + Count(3) + "a\xC3\xA9", "'a'#233"},
        ValueCase{"MalformedUtf8", Bytes({20}) + Count(2) + "\xC3\x41", "''"},
        ValueCase{"Binary0", BinaryValue(0, 0), "{}"},
        ValueCase{"Binary2", Bytes({10}) + Count(2) + "\x0A\x0B", "{0A0B}"},
        ValueCase{"Binary31", BinaryValue(31, 31), "{" + Hex(0, 31) + "}"},
        ValueCase{"Binary32", BinaryValue(32, 32), "{\r\n    " + Hex(0, 32) + "}"},
        ValueCase{"Binary33", BinaryValue(33, 33), "{\r\n    " + Hex(0, 32) + "\r\n    " + Hex(32, 1) + "}"},
        ValueCase{"BinaryAllByteValues", BinaryValue(256, 256),
                  [] { std::string s = "{"; for (int i = 0; i < 256; i += 32) s += "\r\n    " + Hex(i, 32); return s + "}"; }()},
        ValueCase{"BinaryNegativeCount", Bytes({10}) + Count(-5), "{}"},
        ValueCase{"BinaryHighBytes", Bytes({10}) + Count(3) + "\xFF\x80\x7F", "{FF807F}"}),
    [](const ::testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

TEST(BinaryToFormText, Headers) {
    struct Case {
        std::string prefix;
        const char* objectName;
        const char* header;
    } cases[] = {
        {"", "", "object TButton"},
        {"", "B", "object B: TButton"},
        {Bytes({0xF1}), "B", "inherited B: TButton"},
        {Bytes({0xF4}), "B", "inline B: TButton"},
        {Bytes({0xF5}), "B", "inherited B: TButton"},
        {Bytes({0xF8}), "B", "object B: TButton"},
        {Bytes({0xF0}), "B", "object B: TButton"},
        {Bytes({0xF6, 3, 0x00, 0x80}), "", "inline TButton [-32768]"},
    };
    for (const Case& c : cases) {
        std::string input = "TPF0" + c.prefix + ShortString("TButton") + ShortString(c.objectName) + Bytes({0, 0});
        EXPECT_EQ(StreamToText(input), std::string(c.header) + "\r\nend\r\n");
    }
}

TEST(BinaryToFormText, Failures) {
    std::string child = Bytes({0xF2, 2, 1}) + ShortString("TButton") + ShortString("OKButton") + ShortString("Tag");
    std::string unnamedChild = ShortString("TButton") + ShortString("") + ShortString("Tag");
    std::string root = "TPF0" + ShortString("TForm") + ShortString("F") + Bytes({0});
    const std::string rootText = "object F: TForm\r\n";
    struct Case {
        std::string input;
        std::string message;
        std::string output;
    } cases[] = {
        {"", "Stream read error", ""},
        {"TP", "Stream read error", ""},
        {"TPF0", "Stream read error", ""},
        {"TPF1" + ShortString("TForm"), "Invalid stream format", ""},
        {root + child + Bytes({23}), "Error reading OKButton.Tag: 23",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = "},
        {root + unnamedChild + Bytes({200}), "Error reading TButton.Tag: 200",
         rootText + "  object TButton\r\n    Tag = "},
        {root + child + Bytes({1, 2, 5, 21}), "Error reading OKButton.Tag: 21",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = (\r\n      5\r\n      "},
        {root + child + Bytes({14, 2, 0, 7}), "Invalid property value",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = <\r\n      item [0]\r\n"},
        {root + Bytes({0xF2, 7}), "Invalid property value", rootText},
        {root + child + Bytes({6, 5, 'a', 'b'}), "Stream read error",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = "},
        {root + child + Bytes({12, 0xFF, 0xFF, 0xFF, 0xFF}) + "abc", "Stream read error",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = "},
        {root + child + Bytes({18, 0xFF, 0xFF, 0xFF, 0x7F}) + "abc", "Stream read error",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = "},
        // The complete lines of binary data read before the data ran out stay.
        {root + child + BinaryValue(100, 70), "Stream read error",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = {\r\n      " + Hex(0, 32) + "\r\n      " +
             Hex(32, 32) + "\r\n      "},
        // Properties of the child and its end, but not the root's final end marker.
        {root + child + Bytes({2, 1, 0, 0}), "Stream read error",
         rootText + "  object OKButton: TButton [1]\r\n    Tag = 1\r\n  end\r\n"},
    };
    for (const Case& c : cases) {
        Failure failure = ConvertFailing(c.input);
        EXPECT_EQ(failure.message, c.message) << ::testing::PrintToString(c.input);
        EXPECT_EQ(failure.output, c.output) << ::testing::PrintToString(c.input);
    }
}

TEST(BinaryToFormText, InputStandsAfterTheLastByteConsumedAfterAFailure) {
    std::string input = WithProperty(Bytes({30})) + std::string(5000, 'x');
    TStringStream in(input);
    TStringStream out;
    EXPECT_THROW(BinaryToFormText(in, out), EReadError);
    EXPECT_EQ(in.Position(), static_cast<int32_t>(input.size() - 5000 - 3)); // the bad tag was only peeked
}

// Streams that end exactly at, and one byte past, the reader's buffer
// boundaries; then the same streams one byte short.
TEST(BinaryToFormText, StreamsEndingAroundBufferBoundaries) {
    for (int32_t size : {4095, 4096, 4097, 8192, 8193}) {
        const int32_t overhead = static_cast<int32_t>(WithProperty(Bytes({12}) + Count(0)).size());
        std::string payload(static_cast<size_t>(size - overhead), 'q');
        std::string input = WithProperty(Bytes({12}) + Count(static_cast<int32_t>(payload.size())) + payload);
        ASSERT_EQ(static_cast<int32_t>(input.size()), size);
        std::string text = StreamToText(input);
        EXPECT_EQ(text.substr(text.size() - 9), "q'\r\nend\r\n") << size;
        TStringStream in(input + "after");
        TStringStream out;
        BinaryToFormText(in, out);
        EXPECT_EQ(in.Position(), size);
        Failure failure = ConvertFailing(input.substr(0, input.size() - 1));
        EXPECT_EQ(failure.message, "Stream read error") << size;
        EXPECT_EQ(failure.output, text.substr(0, text.size() - 5)) << size; // all but "end" CR LF
    }
}

// An output that takes at most `limit` bytes in all.
class LimitedStream : public TStringStream {
public:
    explicit LimitedStream(int32_t limit) : limit_(limit) {}
    int32_t Write(const void* source, int32_t count) override {
        return TStringStream::Write(source, std::min(count, std::max(0, limit_ - GetSize())));
    }

private:
    int32_t limit_;
};

TEST(BinaryToFormText, AnOutputThatRefusesTextIsAFailure) {
    for (int32_t limit : {10, 5000, 70000}) {
        // Many short properties, so that the text is far beyond every buffer.
        std::string input = "TPF0" + ShortString("TForm") + ShortString("F");
        for (int i = 0; i < 20000; ++i) input += ShortString("Prop") + Bytes({2, 1});
        input += Bytes({0, 0});
        TStringStream source(input);
        LimitedStream out(limit);
        try {
            BinaryToFormText(source, out);
            FAIL() << "no exception";
        } catch (const EWriteError& e) {
            EXPECT_EQ(e.Message(), "Stream write error");
        }
        EXPECT_EQ(out.GetSize(), limit);
        EXPECT_EQ(out.DataString(), StreamToText(input).substr(0, static_cast<size_t>(limit)));
    }
}

std::string NestedObjects(int levels) {
    std::string s = "TPF0";
    for (int i = 0; i < levels; ++i) s += ShortString("T") + ShortString("") + Bytes({0});
    for (int i = 0; i < levels; ++i) s += Bytes({0});
    return s;
}

std::string NestedLists(int levels) {
    return WithProperty(std::string(levels, '\x01') + Bytes({2, 7}) + std::string(levels, '\0'));
}

TEST(BinaryToFormText, NestingIsLimitedTo1000Levels) {
    std::string text = StreamToText(NestedObjects(1000));
    EXPECT_NE(text.find(std::string(2 * 999, ' ') + "object T\r\n"), std::string::npos);
    EXPECT_EQ(ConvertFailing(NestedObjects(1001)).message, "Nesting deeper than 1000 levels");

    // The root object counts as one level.
    EXPECT_NO_THROW(StreamToText(NestedLists(999)));
    EXPECT_EQ(ConvertFailing(NestedLists(1000)).message, "Nesting deeper than 1000 levels");
    EXPECT_EQ(ConvertFailing(NestedLists(200000)).message, "Nesting deeper than 1000 levels");
    std::string collections = WithProperty(
        [] { std::string s; for (int i = 0; i < 1000; ++i) s += Bytes({14, 1, 1, 'P'}); return s; }());
    EXPECT_EQ(ConvertFailing(collections).message, "Nesting deeper than 1000 levels");
}

} // namespace
} // namespace kep
