#include "formstream/Parser.h"

#include "formstream/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace kep {
namespace {

using namespace std::string_literals;

// A text source that hands out at most Step bytes per read, as a pipe might.
class ChunkedStream : public TStream {
public:
    ChunkedStream(std::string data, int32_t step) : data_(std::move(data)), step_(step) {}
    int32_t Read(void* destination, int32_t count) override {
        int32_t left = static_cast<int32_t>(data_.size()) - position_;
        int32_t taken = std::max(0, std::min({count, step_, left}));
        std::memcpy(destination, data_.data() + position_, static_cast<size_t>(taken));
        position_ += taken;
        return taken;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int32_t Seek(int32_t offset, SeekOrigin origin) override {
        int32_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_
                                                                                           : static_cast<int32_t>(data_.size());
        return position_ = base + offset;
    }
    void SetSize(int32_t) override {}

private:
    std::string data_;
    int32_t step_;
    int32_t position_ = 0;
};

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", c);
            out += code;
        }
    }
    return out;
}

// One word per token: kind letter and text ("S:abc", "s:It's", "I:$0F",
// "F:12s", "W:63 E9" for the code units of a WideString), or the character.
std::string DescribeToken(const TParser& parser) {
    switch (parser.Token()) {
    case TokenKind::Symbol: return "S:" + parser.TokenText();
    case TokenKind::String: return "s:" + Escaped(parser.TokenText());
    case TokenKind::Integer: return "I:" + parser.TokenText();
    case TokenKind::Float: return "F:" + parser.TokenText();
    case TokenKind::WideString: {
        std::string out = "W:";
        for (char16_t unit : parser.TokenAsWideText()) {
            char code[8];
            std::snprintf(code, sizeof code, "%s%X", out.size() > 2 ? " " : "", static_cast<unsigned>(unit));
            out += code;
        }
        return out;
    }
    default: return Escaped(std::string(1, static_cast<char>(parser.Token())));
    }
}

std::string ScanAll(TStream& input) {
    TParser parser(input);
    std::string out;
    for (int guard = 0; parser.Token() != TokenKind::EndOfText && guard < 100000; ++guard) {
        out += (out.empty() ? "" : "|") + DescribeToken(parser);
        parser.Advance();
    }
    // Once at the end, every further scan stays there.
    EXPECT_EQ(parser.Advance(), TokenKind::EndOfText);
    return out;
}

std::string ScanAll(const std::string& text) {
    TStringStream whole(text);
    std::string result = ScanAll(whole);
    ChunkedStream chunked(text, 7);
    EXPECT_EQ(ScanAll(chunked), result) << "chunked input";
    return result;
}

std::string ScanError(const std::string& text) {
    try {
        ScanAll(text);
    } catch (const EParserError& e) {
        return e.what();
    }
    return "no error";
}

struct TokenCase {
    std::string text;
    std::string tokens;
};

class TokenTable : public ::testing::TestWithParam<TokenCase> {};

TEST_P(TokenTable, ScansTokens) { EXPECT_EQ(ScanAll(GetParam().text), GetParam().tokens) << GetParam().text; }

INSTANTIATE_TEST_SUITE_P(
    Parser, TokenTable,
    ::testing::Values(
        TokenCase{"", ""}, TokenCase{" \t\r\n \x01\x1F ", ""},
        TokenCase{"object Form1: TForm1", "S:object|S:Form1|:|S:TForm1"},
        TokenCase{"_a1 b_2.c3", "S:_a1|S:b_2|.|S:c3"},
        TokenCase{"Font . Height=-1", "S:Font|.|S:Height|=|I:-1"},
        // Strings: doubled apostrophes, code parts, parts back to back.
        TokenCase{"'It''s'", "s:It's"}, TokenCase{"''", "s:"}, TokenCase{"''''", "s:'"},
        TokenCase{"'abc'#13#10'def'", "s:abc\\x0D\\x0Adef"}, TokenCase{"'abc' 'def'", "s:abc|s:def"},
        TokenCase{"#65", "s:A"}, TokenCase{"#", "s:\\x00"}, TokenCase{"#$41", "s:\\x00|I:$41"},
        TokenCase{"#127", "s:\\x7F"}, TokenCase{"#4294967105", "s:A"}, // negative: low 8 bits
        TokenCase{"#233", "W:E9"}, TokenCase{"'caf'#233", "W:63 61 66 E9"},
        TokenCase{"#128'x'", "W:80 78"}, TokenCase{"#65601", "W:41"}, // low 16 bits
        // A quoted byte above 127 does not make the token wide; its value
        // comes through the code page.
        TokenCase{"'caf\xE9'", "s:caf\\xE9"},
        // The code wraps modulo 2^32; read as signed it is negative, so narrow.
        TokenCase{"#4294967295", "s:\\xFF"}, TokenCase{"#2147483648", "s:\\x00"},
        // Numbers.
        TokenCase{"8 300 $0F $ -", "I:8|I:300|I:$0F|I:$|I:-"},
        TokenCase{"1.5 1e+ 5-3 1.2.3 --5", "F:1.5|F:1e+|F:5-3|F:1.2.3|F:--5"},
        TokenCase{"12s 7c 1.5D 2S", "F:12s|F:7c|F:1.5D|F:2S"},
        TokenCase{"0x1F", "I:0|S:x1F"}, TokenCase{"+5", "+|I:5"}, TokenCase{"1.5sx", "F:1.5s|S:x"},
        TokenCase{"$ABCDEFabcdefg", "I:$ABCDEFabcdef|S:g"},
        // Single characters, bytes above 127 included.
        TokenCase{"=:.,+()[]<>{}", "=|:|.|,|+|(|)|[|]|<|>|{|}"}, TokenCase{"\xE9\xFF", "\\xE9|\\xFF"},
        // A 0 byte ends the text, between tokens and right after one.
        TokenCase{"a \0 b"s, "S:a"}, TokenCase{"a\0b"s, "S:a"}));

struct ErrorCase {
    std::string text;
    std::string message;
};

class ScanErrorTable : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ScanErrorTable, FailsWithLine) { EXPECT_EQ(ScanError(GetParam().text), GetParam().message); }

INSTANTIATE_TEST_SUITE_P(
    Parser, ScanErrorTable,
    ::testing::Values(ErrorCase{"'abc", "Invalid string constant on line 1"},
                      ErrorCase{"a\r\n b\n'abc\r\n'", "Invalid string constant on line 3"},
                      ErrorCase{"'ab\rc'", "Invalid string constant on line 1"},
                      ErrorCase{"'ab\0c'"s, "Invalid string constant on line 1"},
                      ErrorCase{"x\n'ok'#10'open", "Invalid string constant on line 2"},
                      // Lines that end with carriage returns alone are one line.
                      ErrorCase{"a\rb\rc\r'open", "Invalid string constant on line 1"},
                      // Text after a 0 byte is never scanned.
                      ErrorCase{"a\0'open"s, "no error"}));

TEST(Parser, ExpectMessages) {
    struct Case {
        std::string text;
        uint8_t kind;
        std::string message;
    } cases[] = {
        {"= x", TokenKind::Symbol, "Identifier expected on line 1"},
        {"\n\n#233", TokenKind::String, "String expected on line 3"}, // a WideString is not a String
        {"x", TokenKind::WideString, "String expected on line 1"},
        {"x", TokenKind::Integer, "Number expected on line 1"},
        {"x", TokenKind::Float, "Number expected on line 1"},
        {"x", '=', "''='' expected on line 1"},
        {"", ']', "'']'' expected on line 1"},
    };
    for (const auto& c : cases) {
        TStringStream input(c.text);
        TParser parser(input);
        try {
            parser.Expect(c.kind);
            ADD_FAILURE() << c.text;
        } catch (const EParserError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.text;
        }
    }
    TStringStream input("12 =");
    TParser parser(input);
    EXPECT_NO_THROW(parser.Expect(TokenKind::Integer));
    parser.Advance();
    EXPECT_NO_THROW(parser.Expect('='));
}

TEST(Parser, Keywords) {
    TStringStream input("OBJECT\nobjects");
    TParser parser(input);
    EXPECT_TRUE(parser.IsKeyword("object"));
    EXPECT_TRUE(parser.IsKeyword("OBJECT"));
    EXPECT_FALSE(parser.IsKeyword("objec"));
    EXPECT_NO_THROW(parser.ExpectKeyword("Object"));
    parser.Advance();
    EXPECT_FALSE(parser.IsKeyword("object"));
    try {
        parser.ExpectKeyword("item");
        ADD_FAILURE();
    } catch (const EParserError& e) {
        EXPECT_STREQ(e.what(), "item expected on line 2");
    }
    // A string with the same letters is no keyword.
    TStringStream quoted("'end'");
    TParser quotedParser(quoted);
    EXPECT_FALSE(quotedParser.IsKeyword("end"));
}

TEST(Parser, DottedNames) {
    struct Case {
        std::string text;
        std::string name;  // or the error message
        std::string next;  // the token after the name
    } cases[] = {
        {"Form1.Panel2.Button3 x", "Form1.Panel2.Button3", "S:x"},
        {"A._b1=", "A._b1", "="},
        {"Form1 .Panel2", "Form1", "."},
        {"Form1. x", "Identifier expected on line 1", ""},
        {"\nA.1", "Identifier expected on line 2", ""},
        {"A.", "Identifier expected on line 1", ""},
    };
    for (const auto& c : cases) {
        TStringStream input(c.text);
        TParser parser(input);
        try {
            EXPECT_EQ(parser.TokenDottedName(), c.name) << c.text;
            EXPECT_EQ(parser.Token(), TokenKind::Symbol);
            parser.Advance();
            EXPECT_EQ(DescribeToken(parser), c.next) << c.text;
        } catch (const EParserError& e) {
            EXPECT_EQ(std::string(e.what()), c.name) << c.text;
        }
    }
    TStringStream notSymbol("'x'");
    TParser parser(notSymbol);
    EXPECT_THROW(parser.TokenDottedName(), EParserError);
}

std::string ReadBlock(const std::string& text, std::string* after = nullptr, int* line = nullptr) {
    TStringStream input(text);
    TParser parser(input);
    EXPECT_EQ(parser.Token(), '{');
    TMemoryStream bytes;
    try {
        parser.ReadHexBlock(bytes);
    } catch (const EParserError& e) {
        return e.what();
    }
    EXPECT_EQ(parser.Token(), '}');
    if (line) *line = parser.LineNumber();
    parser.Advance();
    if (after) *after = DescribeToken(parser);
    std::string hex;
    for (int32_t i = 0; i < bytes.GetSize(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", bytes.Memory()[i]);
        hex += pair;
    }
    return hex;
}

TEST(Parser, HexBlocks) {
    struct Case {
        std::string text;
        std::string result;
    } cases[] = {
        {"{0A1B}", "0A1B"},
        {"{0a1b}", "0A1B"},
        {"{ 0A 1B }", "0A1B"},
        {"{}", ""},
        {"{\r\n  0001\r\n  FEFF}", "0001FEFF"},
        {"{0A1}", "Invalid binary value on line 1"},
        {"{0G}", "Invalid binary value on line 1"},
        {"{0A\n0 A}", "Invalid binary value on line 2"},
        {"{0A1B", "Invalid binary value on line 1"},
        {"{0A1B\0}"s, "Invalid binary value on line 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadBlock(c.text), c.result) << Escaped(c.text);

    // Runs longer than one step of 256 pairs, a token after the block, and the
    // line count through it.
    std::string digits;
    for (int i = 0; i < 700; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", i & 0xFF);
        digits += pair;
    }
    std::string after;
    int line = 0;
    EXPECT_EQ(ReadBlock("{" + digits + "\n" + digits + "\n}\nx", &after, &line), digits + digits);
    EXPECT_EQ(after, "S:x");
    EXPECT_EQ(line, 3);

    // Long runs of both letter cases, and a character that is no digit at
    // any place among them.
    std::string mixed = "0123456789abcdefABCDEF0a1B2c3D4e5F6a7b8C9dAeBf";
    std::string upper = mixed;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(ReadBlock("{" + mixed + mixed + "}"), upper + upper);
    for (char bad : {'G', 'g', '@', '`', '/', ':', '\x7F', '\x80', '\xC6', '\xE6', '}'}) {
        for (size_t at = 0; at < 40; ++at) {
            std::string digits = mixed + mixed;
            digits[at] = bad;
            std::string result = ReadBlock("{" + digits + "}");
            if (bad == '}' && at % 2 == 0) EXPECT_EQ(result, upper.substr(0, at)) << at; // the block ends there
            else EXPECT_EQ(result, "Invalid binary value on line 1") << Escaped(std::string(1, bad)) << " at " << at;
        }
    }
}

TEST(Parser, TokenValues) {
    TStringStream input("'caf\xE9'#8364 '\x80' -7 12.5s $FF");
    TParser parser(input);
    EXPECT_EQ(parser.TokenAsWideText(), u"caf\u00E9\u20AC");
    parser.Advance();
    EXPECT_EQ(parser.TokenAsWideText(), u"\u20AC"); // byte 0x80 through the code page
    parser.Advance();
    EXPECT_EQ(parser.TokenAsInteger(), -7);
    parser.Advance();
    EXPECT_EQ(parser.FloatSuffix(), 's');
    EXPECT_EQ(parser.TokenAsFloat(), 12.5L);
    parser.Advance();
    EXPECT_EQ(parser.TokenAsInteger(), 255);

    TStringStream lone("- x");
    TParser loneParser(lone);
    try {
        loneParser.TokenAsInteger();
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'-' is not a valid integer value");
    }
}

TEST(Parser, DestructionMovesInputBackToTheCurrentToken) {
    std::string text = "first second";
    TStringStream input(text);
    {
        TParser parser(input);
        parser.Advance();
    }
    EXPECT_EQ(input.Position(), 6);
    // Also after the window has been refilled several times.
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "token" + std::to_string(i) + "\n";
    TStringStream many(lines);
    {
        TParser parser(many);
        for (int i = 0; i < 1500; ++i) parser.Advance();
        EXPECT_EQ(parser.TokenText(), "token1500");
    }
    EXPECT_EQ(many.Position(), static_cast<int32_t>(lines.find("token1500")));
}

// ---- The window: 4096 bytes, whole lines while more text follows.

std::string Line(size_t length, char fill = 'a') { return std::string(length, fill) + "\n"; }

TEST(ParserWindow, LineTooLong) {
    struct Case {
        std::string text;
        std::string result;
    } cases[] = {
        // A first line of 4095 characters fails once 4096 bytes remain from its start.
        {Line(4095) + "b", "Line too long on line 1"},
        {Line(4094) + "b", "S:" + std::string(4094, 'a') + "|S:b"},
        {std::string(4095, 'a') + "\r\n" + "b", "Line too long on line 1"}, // the CR counts
        // A text shorter than 4096 bytes may be one line of any length.
        {std::string(4095, 'a'), "S:" + std::string(4095, 'a')},
        {std::string(4094, 'a') + "\n", "S:" + std::string(4094, 'a')},
        // Exactly 4096 bytes with the line feed last: position 4095 is not examined.
        {Line(4095), "Line too long on line 1"},
        // The line at which the refill happened: after ten short lines.
        {std::string("a\n") + "a\na\na\na\na\na\na\na\na\n" + std::string(5000, 'b'), "Line too long on line 11"},
        // A 0 byte refills like the end of the window, even with text after it.
        {"a \0"s + std::string(5000, 'x'), "Line too long on line 1"},
        {"a \0"s + Line(5000, 'x') + "y", "Line too long on line 1"},
        {"a\n \0"s + std::string(100, 'x'), "S:a"},
    };
    for (const auto& c : cases) {
        std::string got;
        try {
            got = ScanAll(c.text);
        } catch (const EParserError& e) {
            got = e.what();
        }
        EXPECT_EQ(got, c.result) << "text of " << c.text.size() << " bytes";
    }
}

// Tokens of every kind placed so that the window ends exactly at, and one
// byte past, a 4096-byte boundary: the tokens must come out unchanged.
TEST(ParserWindow, TokensAcrossWindowBoundaries) {
    const std::string tail[] = {"'It''s'#13", "Name.Sub", "$7F", "-1.5e3s", "#233'x'", "0A1B", "="};
    const std::string expected[] = {"s:It's\\x0D", "S:Name|.|S:Sub", "I:$7F", "F:-1.5e3s", "W:E9 78", "I:0|S:A1B", "="};
    for (size_t k = 0; k < std::size(tail); ++k) {
        for (int shift = -2; shift <= 2; ++shift) {
            for (size_t window : {4096u, 8192u}) {
                // Short lines, then a filler line, so that the token starts at
                // window - tokenLength + shift from the start of the text.
                std::string text;
                std::string tokens;
                while (text.size() + 40 < window - 200) {
                    text += "ab cd\r\n";
                    tokens += (tokens.empty() ? "" : "|") + "S:ab|S:cd"s;
                }
                size_t start = window - tail[k].size() + shift;
                size_t filler = start - text.size() - 1;
                text += std::string(filler, 'f') + " " + tail[k] + "\r\n" + "last\r\n";
                tokens += "|S:" + std::string(filler, 'f') + "|" + expected[k] + "|S:last";
                ASSERT_EQ(text.find(tail[k], start), start);
                EXPECT_EQ(ScanAll(text), tokens) << "token " << tail[k] << ", shift " << shift << ", window " << window;
            }
        }
    }
}

// Texts that end exactly at, and one byte past, a window.
TEST(ParserWindow, TextEndingAtTheWindowBoundary) {
    for (size_t size : {4095u, 4096u, 4097u, 8191u, 8192u, 8193u}) {
        std::string text;
        std::string tokens;
        int i = 0;
        while (text.size() + 12 < size) {
            std::string word = "w" + std::to_string(i++);
            text += word + "\n";
            tokens += (tokens.empty() ? "" : "|") + ("S:" + word);
        }
        std::string last = "z" + std::string(size - text.size() - 1, 'z');
        text += last;
        tokens += "|S:" + last;
        ASSERT_EQ(text.size(), size);
        EXPECT_EQ(ScanAll(text), tokens) << size;
        // A hexadecimal block that ends at the very last byte.
        std::string block = "{\r\n";
        std::string hex;
        for (int value = 0, onLine = 0; block.size() < size - 1; ++onLine) {
            size_t room = size - 1 - block.size();
            if (room >= 2 && onLine < 32) {
                char pair[4];
                std::snprintf(pair, sizeof pair, "%02X", value++ & 0xFF);
                block += pair;
                hex += pair;
            } else {
                block += room >= 2 ? "\n" : " ";
                onLine = -1;
            }
        }
        block += "}";
        ASSERT_EQ(block.size(), size);
        EXPECT_EQ(ReadBlock(block), hex) << size;
    }
}

} // namespace
} // namespace kep
