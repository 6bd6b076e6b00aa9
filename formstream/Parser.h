#pragma once
// The tokenizer of the text form. It reads the text through a window of 4096
// bytes that, while more text follows, holds only whole lines; the size of the
// window decides which lines fail with "Line too long".
#include "formstream/Extended.h"
#include "formstream/Stream.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kep {

// Kinds of the current token. Any other value (33 to 255) is a single
// character token: the character itself.
struct TokenKind {
    enum : uint8_t {
        EndOfText = 0,
        Symbol = 1,
        String = 2,     // quoted string with no character code above 127
        Integer = 3,
        Float = 4,
        WideString = 5, // quoted string with a character code above 127
    };
};

class TParser {
public:
    static constexpr int32_t kWindowSize = 4096;

    // Scans the first token at once, so creation can fail.
    explicit TParser(TStream& input);
    // Moves the input back to the first byte of the current token.
    ~TParser();
    TParser(const TParser&) = delete;
    TParser& operator=(const TParser&) = delete;

    // Skips blanks, scans one token and returns its kind.
    uint8_t Advance();
    uint8_t Token() const { return Token_; }
    // For a Float token, the suffix letter as written (c, C, d, D, s, S), or 0.
    uint8_t FloatSuffix() const { return FloatSuffix_; }
    int32_t LineNumber() const { return LineNumber_; }

    // Fails unless the current token is exactly of this kind.
    void Expect(uint8_t kind) const {
        if (Token_ != kind) ExpectFailed(kind);
    }
    // A Symbol equal to word, ASCII letters compared without regard to case.
    bool IsKeyword(std::string_view word) const {
        return Token_ == TokenKind::Symbol && static_cast<size_t>(Cursor - TokenStart) == word.size() &&
               SameWord(word);
    }
    void ExpectKeyword(std::string_view word) const;

    // For a String token its decoded bytes; otherwise the token as written.
    std::string TokenText() const;
    int64_t TokenAsInteger() const;
    // The token's characters without its suffix letter.
    Extended TokenAsFloat() const;
    // For a String its bytes through the code page; for a WideString its value.
    std::u16string TokenAsWideText() const;
    // The current Symbol extended over directly following ".name" parts.
    std::string TokenDottedName();
    // Called just after a "{" token: decodes hexadecimal digit pairs up to the
    // "}" into sink, then makes the "}" the current token.
    void ReadHexBlock(TStream& sink);

    // EParserError "<message> on line <LineNumber>".
    [[noreturn]] void Fail(const std::string& message) const;
    // Formats the message (each "%s" replaced by argument), then Fail.
    [[noreturn]] void FailFormat(const char* format, std::string_view argument) const;

private:
    [[noreturn]] void ExpectFailed(uint8_t kind) const;
    bool SameWord(std::string_view word) const;
    void Refill();
    void SkipWhitespace();
    void ScanString();

    TStream& Input;
    // The window, and a spare 0 byte after it: scanning never goes past the
    // end marker, but a pair of digits is read two bytes at a time.
    uint8_t Buffer[kWindowSize + 1] = {};
    int32_t DataEnd = 0;               // one past the last byte read into the window
    const int32_t BufferEnd = kWindowSize;
    int32_t Cursor = 0;                // next character to scan
    int32_t VisibleEnd = 0;            // the byte here is covered by a 0 end marker
    int32_t TokenStart = 0;
    int32_t StringEnd = 0;             // end of a String token's decoded value
    int32_t LineNumber_ = 1;
    uint8_t SavedChar = 0;             // the text byte that the end marker covers
    uint8_t Token_ = TokenKind::EndOfText;
    uint8_t FloatSuffix_ = 0;
    std::u16string WideValue;
};

} // namespace kep
