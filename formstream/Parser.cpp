#include "formstream/Parser.h"

#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"
#include "formstream/NumberText.h"

#include <array>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kep {

namespace {

enum CharClass : uint8_t { kLetter = 1, kDigit = 2, kHex = 4, kNumberTail = 8, kSuffix = 16 };

constexpr std::array<uint8_t, 256> MakeClasses() {
    std::array<uint8_t, 256> classes{};
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] |= kLetter;
    for (int c = 'a'; c <= 'z'; ++c) classes[c] |= kLetter;
    classes['_'] |= kLetter;
    for (int c = '0'; c <= '9'; ++c) classes[c] |= kDigit | kHex | kNumberTail;
    for (int c = 'A'; c <= 'F'; ++c) classes[c] |= kHex;
    for (int c = 'a'; c <= 'f'; ++c) classes[c] |= kHex;
    for (char c : {'.', 'e', 'E', '+', '-'}) classes[static_cast<uint8_t>(c)] |= kNumberTail;
    for (char c : {'c', 'C', 'd', 'D', 's', 'S'}) classes[static_cast<uint8_t>(c)] |= kSuffix;
    return classes;
}

constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

constexpr std::array<int8_t, 256> MakeHexValues() {
    std::array<int8_t, 256> values{};
    for (auto& v : values) v = -1;
    for (int c = '0'; c <= '9'; ++c) values[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) values[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) values[c] = static_cast<int8_t>(c - 'a' + 10);
    return values;
}

constexpr std::array<int8_t, 256> kHexValues = MakeHexValues();

// The byte of every pair of hexadecimal digits, indexed by the two characters
// (the first in the low byte), or -1.
constexpr std::array<int16_t, 65536> MakeHexPairValues() {
    std::array<int16_t, 65536> values{};
    for (int i = 0; i < 65536; ++i) {
        int high = kHexValues[i & 0xFF];
        int low = kHexValues[i >> 8];
        values[i] = static_cast<int16_t>(high < 0 || low < 0 ? -1 : high << 4 | low);
    }
    return values;
}

constexpr std::array<int16_t, 65536> kHexPairValues = MakeHexPairValues();

inline bool IsLetter(uint8_t c) { return kClasses[c] & kLetter; }
inline bool IsDigit(uint8_t c) { return kClasses[c] & kDigit; }
inline bool IsNameChar(uint8_t c) { return kClasses[c] & (kLetter | kDigit); }

inline uint8_t FoldAscii(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }

#if defined(__SSE2__)
// Decodes 16 hexadecimal digits into 8 bytes; false when any of the 16
// characters is not a hexadecimal digit.
inline bool DecodeHex16(const uint8_t* in, uint8_t* out) {
    __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // Signed comparisons: bytes above 127 fall outside both ranges.
    __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(text, _mm_set1_epi8('0' - 1)),
                                  _mm_cmplt_epi8(text, _mm_set1_epi8('9' + 1)));
    __m128i lower = _mm_or_si128(text, _mm_set1_epi8(0x20));
    __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(lower, _mm_set1_epi8('a' - 1)),
                                   _mm_cmplt_epi8(lower, _mm_set1_epi8('f' + 1)));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xFFFF) return false;
    __m128i nibbles = _mm_or_si128(_mm_and_si128(digit, _mm_sub_epi8(text, _mm_set1_epi8('0'))),
                                   _mm_andnot_si128(digit, _mm_sub_epi8(lower, _mm_set1_epi8('a' - 10))));
    // Each 16-bit lane holds the high digit in its low byte.
    __m128i high = _mm_slli_epi16(_mm_and_si128(nibbles, _mm_set1_epi16(0x00FF)), 4);
    __m128i low = _mm_srli_epi16(nibbles, 8);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                     _mm_packus_epi16(_mm_or_si128(high, low), _mm_setzero_si128()));
    return true;
}
#endif

// A hexadecimal block decodes at most this many digit pairs at a time.
constexpr int kHexRun = 256;

} // namespace

TParser::TParser(TStream& input) : Input(input) {
    // The window starts empty, with the end marker at its first byte, so the
    // first scan refills it.
    Buffer[0] = 0;
    try {
        Advance();
    } catch (...) {
        Input.Seek(TokenStart - DataEnd, SeekOrigin::Current);
        throw;
    }
}

TParser::~TParser() {
    try {
        Input.Seek(TokenStart - DataEnd, SeekOrigin::Current);
    } catch (...) {
        // A stream that cannot move back keeps its position.
    }
}

void TParser::Fail(const std::string& message) const {
    throw EParserError(message + " on line " + std::to_string(LineNumber_));
}

void TParser::FailFormat(const char* format, std::string_view argument) const {
    std::string message;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            message += argument;
            ++p;
        } else {
            message += *p;
        }
    }
    Fail(message);
}

void TParser::Refill() {
    Buffer[VisibleEnd] = SavedChar;
    int32_t kept = DataEnd - Cursor;
    if (kept > 0 && Cursor > 0) std::memmove(Buffer, Buffer + Cursor, static_cast<size_t>(kept));
    // Keeps the current token's position relative to the input exact, so that
    // destruction moves the input back to it whatever happened since.
    TokenStart -= Cursor;
    DataEnd = kept;
    Cursor = 0;
    while (DataEnd < BufferEnd) {
        int32_t got = Input.Read(Buffer + DataEnd, BufferEnd - DataEnd);
        if (got <= 0) break;
        DataEnd += got;
    }
    if (DataEnd == BufferEnd) {
        // Only whole lines are visible: up to the last line feed among window
        // positions 1 to 4094.
        int32_t p = BufferEnd - 2;
        while (p >= 1 && Buffer[p] != '\n') --p;
        if (p < 1) Fail("Line too long");
        VisibleEnd = p + 1;
    } else {
        VisibleEnd = DataEnd;
    }
    SavedChar = Buffer[VisibleEnd];
    Buffer[VisibleEnd] = 0;
}

void TParser::SkipWhitespace() {
    int32_t p = Cursor;
    for (;;) {
        uint8_t c = Buffer[p];
        if (c > 32) break;
        if (c == '\n') {
            ++LineNumber_;
        } else if (c == 0) {
            Cursor = p;
            Refill();
            p = Cursor;
            if (Buffer[p] == 0) break;
            continue;
        }
        ++p;
    }
    Cursor = p;
}

uint8_t TParser::Advance() {
    SkipWhitespace();
    TokenStart = Cursor;
    const uint8_t* b = Buffer;
    int32_t p = Cursor;
    uint8_t c = b[p];
    uint8_t kind;
    if (IsLetter(c)) {
        ++p;
        while (IsNameChar(b[p])) ++p;
        kind = TokenKind::Symbol;
    } else if (c == '\'' || c == '#') {
        ScanString(); // sets Cursor and Token_
        return Token_;
    } else if (c == '$') {
        ++p;
        while (kClasses[b[p]] & kHex) ++p;
        kind = TokenKind::Integer;
    } else if (c == '-' || IsDigit(c)) {
        ++p;
        while (IsDigit(b[p])) ++p;
        kind = TokenKind::Integer;
        while (kClasses[b[p]] & kNumberTail) {
            ++p;
            kind = TokenKind::Float;
        }
        FloatSuffix_ = 0;
        if (kClasses[b[p]] & kSuffix) {
            FloatSuffix_ = b[p];
            ++p;
            kind = TokenKind::Float;
        }
    } else if (c == 0) {
        kind = TokenKind::EndOfText;
    } else {
        ++p;
        kind = c;
    }
    Cursor = p;
    Token_ = kind;
    return kind;
}

// A string token is a run of quoted parts ('...', with '' for one
// apostrophe) and code parts (# and decimal digits). The first pass checks
// it and counts its characters; the second stores them, in place over the
// token for a String (its value is never longer than its text), or into
// WideValue for a WideString.
void TParser::ScanString() {
    uint8_t* b = Buffer;
    int32_t count = 0;
    bool wide = false;
    int32_t p = TokenStart;
    for (;;) {
        if (b[p] == '\'') {
            ++p;
            for (;;) {
                uint8_t c = b[p];
                if (c == 0 || c == '\n' || c == '\r') Fail("Invalid string constant");
                ++p;
                if (c == '\'') {
                    if (b[p] != '\'') break;
                    ++p;
                }
                ++count;
            }
        } else if (b[p] == '#') {
            ++p;
            uint32_t code = 0;
            while (IsDigit(b[p])) code = code * 10 + (b[p++] - '0');
            if (static_cast<int32_t>(code) > 127) wide = true;
            ++count;
        } else {
            break;
        }
    }
    const int32_t end = p;

    int32_t out = TokenStart;
    char16_t* wout = nullptr;
    if (wide) {
        WideValue.assign(static_cast<size_t>(count), u'\0');
        wout = WideValue.data();
    }
    p = TokenStart;
    while (p < end) {
        if (b[p] == '\'') {
            ++p;
            for (;;) {
                uint8_t c = b[p++];
                if (c == '\'') {
                    if (b[p] != '\'') break;
                    ++p;
                }
                if (wide) *wout++ = c;
                else b[out++] = c;
            }
        } else {
            ++p;
            uint32_t code = 0;
            while (IsDigit(b[p])) code = code * 10 + (b[p++] - '0');
            if (wide) *wout++ = static_cast<char16_t>(code);
            else b[out++] = static_cast<uint8_t>(code);
        }
    }
    StringEnd = out;
    Cursor = end;
    Token_ = wide ? TokenKind::WideString : TokenKind::String;
}

void TParser::ExpectFailed(uint8_t kind) const {
    switch (kind) {
    case TokenKind::Symbol: Fail("Identifier expected");
    case TokenKind::String:
    case TokenKind::WideString: Fail("String expected");
    case TokenKind::Integer:
    case TokenKind::Float: Fail("Number expected");
    default: {
        char c = static_cast<char>(kind);
        FailFormat("''%s'' expected", std::string_view(&c, 1));
    }
    }
}

bool TParser::SameWord(std::string_view word) const {
    for (size_t i = 0; i < word.size(); ++i) {
        if (FoldAscii(Buffer[TokenStart + static_cast<int32_t>(i)]) != FoldAscii(static_cast<uint8_t>(word[i])))
            return false;
    }
    return true;
}

void TParser::ExpectKeyword(std::string_view word) const {
    if (!IsKeyword(word)) FailFormat("%s expected", word);
}

std::string TParser::TokenText() const {
    int32_t end = Token_ == TokenKind::String ? StringEnd : Cursor;
    return std::string(reinterpret_cast<const char*>(Buffer + TokenStart), static_cast<size_t>(end - TokenStart));
}

int64_t TParser::TokenAsInteger() const {
    // Up to 18 decimal digits always fit: the common case needs no text.
    const uint8_t* p = Buffer + TokenStart;
    const uint8_t* end = Buffer + Cursor;
    if (Token_ == TokenKind::Integer) {
        bool negative = *p == '-';
        if (negative) ++p;
        if (end > p && end - p <= 18) {
            int64_t value = 0;
            for (; p < end && IsDigit(*p); ++p) value = value * 10 + (*p - '0');
            if (p == end) return negative ? -value : value;
        }
    }
    return ParseInteger64(TokenText());
}

Extended TParser::TokenAsFloat() const {
    int32_t end = Cursor - (FloatSuffix_ != 0 ? 1 : 0);
    return ParseExtended(
        std::string(reinterpret_cast<const char*>(Buffer + TokenStart), static_cast<size_t>(end - TokenStart)));
}

std::u16string TParser::TokenAsWideText() const {
    if (Token_ == TokenKind::WideString) return WideValue;
    return AnsiToWide(TokenText());
}

std::string TParser::TokenDottedName() {
    Expect(TokenKind::Symbol);
    int32_t p = Cursor;
    while (Buffer[p] == '.') {
        if (!IsLetter(Buffer[p + 1])) Fail("Identifier expected");
        p += 2;
        while (IsNameChar(Buffer[p])) ++p;
    }
    Cursor = p;
    return TokenText();
}

void TParser::ReadHexBlock(TStream& sink) {
    // Decoded bytes are gathered and passed to the sink in large pieces.
    uint8_t bytes[16 * kHexRun];
    int32_t count = 0;
    SkipWhitespace();
    while (Buffer[Cursor] != '}') {
        // The byte after the end marker is the spare byte after the window.
        const uint8_t* b = Buffer + Cursor;
        int n = 0;
#if defined(__SSE2__)
        const uint8_t* visibleEnd = Buffer + VisibleEnd;
        while (n + 8 <= kHexRun && visibleEnd - b >= 16 && DecodeHex16(b, bytes + count + n)) {
            n += 8;
            b += 16;
        }
#endif
        while (n < kHexRun) {
            int value = kHexPairValues[b[0] | b[1] << 8];
            if (value < 0) break;
            bytes[count + n++] = static_cast<uint8_t>(value);
            b += 2;
        }
        if (n == 0) Fail("Invalid binary value");
        count += n;
        if (count > static_cast<int32_t>(sizeof bytes) - kHexRun) {
            sink.WriteBuffer(bytes, count);
            count = 0;
        }
        // The line break and indentation between lines of digits; the end of
        // the visible text (a 0 byte) is left to SkipWhitespace.
        int32_t p = Cursor + 2 * n;
        for (uint8_t c = Buffer[p]; c <= 32 && c != 0; c = Buffer[++p]) {
            if (c == '\n') ++LineNumber_;
        }
        Cursor = p;
        if (Buffer[p] == 0) SkipWhitespace();
    }
    sink.WriteBuffer(bytes, count);
    Advance();
}

} // namespace kep
