#include "formstream/FormTextToBinary.h"

#include "formstream/Filer.h"
#include "formstream/NumberText.h"
#include "formstream/Parser.h"

#include <string>

namespace kep {

namespace {

// Objects, lists and collections nest at most this deep; a deeper text is
// refused before the recursion below could exhaust the stack.
constexpr int kMaxNesting = 1000;

// A short string's length byte of 240 or more reads back as an object prefix.
constexpr size_t kFirstPrefixByte = 0xF0;

bool IsNullIdent(const std::string& name) {
    if (name.size() != 4) return false;
    static const char kNull[] = "null";
    for (size_t i = 0; i < 4; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != kNull[i]) return false;
    }
    return true;
}

// One conversion: the text's grammar, one step per construct, written
// through the writer as it is read.
class TextToBinary {
public:
    TextToBinary(TParser& parser, TWriter& writer) : P(parser), W(writer) {}

    void ParseObject();

private:
    void ParseHeader(bool isInherited, bool isInline);
    int32_t ParseOrderIndex();
    void ParseProperty();
    void ParseValue(bool inList);
    std::u16string JoinStringParts();

    void EnterLevel() {
        if (++Level > kMaxNesting) P.FailFormat("Nesting deeper than %s levels", std::to_string(kMaxNesting));
    }
    void LeaveLevel() { --Level; }

    TParser& P;
    TWriter& W;
    int Level = 0;
};

void TextToBinary::ParseObject() {
    EnterLevel();
    bool isInherited = false;
    bool isInline = false;
    if (P.IsKeyword("INHERITED")) isInherited = true;
    else if (P.IsKeyword("INLINE")) isInline = true;
    else P.ExpectKeyword("OBJECT");
    P.Advance();
    ParseHeader(isInherited, isInline);
    while (!P.IsKeyword("END") && !P.IsKeyword("OBJECT") && !P.IsKeyword("INHERITED") && !P.IsKeyword("INLINE"))
        ParseProperty();
    W.WriteEndMarker();
    while (!P.IsKeyword("END")) ParseObject();
    W.WriteEndMarker();
    P.Advance();
    LeaveLevel();
}

void TextToBinary::ParseHeader(bool isInherited, bool isInline) {
    P.Expect(TokenKind::Symbol);
    std::string className = P.TokenText();
    std::string objectName;
    if (P.Advance() == ':') {
        P.Advance();
        P.Expect(TokenKind::Symbol);
        objectName = std::move(className);
        className = P.TokenText();
        P.Advance();
    }
    int32_t position = ParseOrderIndex();
    uint8_t flags = 0;
    if (isInherited) flags |= ObjectFlag::Inherited;
    if (isInline) flags |= ObjectFlag::Inline;
    if (position >= 0) flags |= ObjectFlag::ChildPosition;
    if (flags == 0 && className.size() >= kFirstPrefixByte) {
        // Without a prefix the class name's length byte would be taken for
        // one; a prefix without flags keeps the name readable.
        const uint8_t emptyPrefix = 0xF0;
        W.WriteRaw(&emptyPrefix, 1);
    }
    W.WriteObjectPrefix(flags, position);
    W.WriteShortString(className);
    W.WriteShortString(objectName);
}

int32_t TextToBinary::ParseOrderIndex() {
    if (P.Token() != '[') return -1;
    P.Advance();
    P.Expect(TokenKind::Integer);
    auto value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(P.TokenAsInteger())));
    P.Advance();
    P.Expect(']');
    P.Advance();
    return value;
}

void TextToBinary::ParseProperty() {
    P.Expect(TokenKind::Symbol);
    std::string name = P.TokenText();
    P.Advance();
    while (P.Token() == '.') {
        P.Advance();
        P.Expect(TokenKind::Symbol);
        name += '.';
        name += P.TokenText();
        P.Advance();
    }
    W.WriteShortString(name);
    P.Expect('=');
    P.Advance();
    ParseValue(false);
}

void TextToBinary::ParseValue(bool inList) {
    switch (P.Token()) {
    case TokenKind::String:
    case TokenKind::WideString:
        // The token after the last part is already current.
        W.WriteWideValue(JoinStringParts());
        return;
    case TokenKind::Symbol: {
        std::string name = P.TokenDottedName();
        // Null is written as the byte 0, which would end the list.
        if (inList && IsNullIdent(name)) P.Fail("Null cannot stand in a list");
        W.WriteIdentValue(name);
        break;
    }
    case TokenKind::Integer:
        W.WriteInt64Value(P.TokenAsInteger());
        break;
    case TokenKind::Float: {
        Extended value = P.TokenAsFloat();
        switch (P.FloatSuffix()) {
        case 's':
        case 'S': W.WriteSingleValue(ExtendedToSingle(value)); break;
        case 'd':
        case 'D': W.WriteDateValue(ExtendedToDouble(value)); break;
        case 'c':
        case 'C': W.WriteCurrencyValue(ExtendedToCurrency(value)); break;
        default: W.WriteExtendedValue(value); break;
        }
        break;
    }
    case '[':
        P.Advance();
        W.WriteTag(ValueTag::Set);
        if (P.Token() != ']') {
            for (;;) {
                if (P.Token() != TokenKind::Integer) P.Expect(TokenKind::Symbol);
                W.WriteShortString(P.TokenText());
                if (P.Advance() == ']') break;
                P.Expect(',');
                P.Advance();
            }
        }
        W.WriteShortString(std::string());
        break;
    case '(':
        EnterLevel();
        P.Advance();
        W.WriteListOpen();
        while (P.Token() != ')') ParseValue(true);
        W.WriteEndMarker();
        LeaveLevel();
        break;
    case '{':
        W.WriteBinaryValue([this](TStream& bytes) { P.ReadHexBlock(bytes); });
        break;
    case '<':
        EnterLevel();
        P.Advance();
        W.WriteTag(ValueTag::Collection);
        while (P.Token() != '>') {
            P.ExpectKeyword("item");
            P.Advance();
            int32_t order = ParseOrderIndex();
            if (order != -1) W.WriteInt32Value(order);
            W.WriteListOpen();
            while (!P.IsKeyword("end")) ParseProperty();
            W.WriteEndMarker();
            P.Advance();
        }
        W.WriteEndMarker();
        LeaveLevel();
        break;
    default:
        P.Fail("Invalid property value");
    }
    P.Advance();
}

std::u16string TextToBinary::JoinStringParts() {
    std::u16string value = P.TokenAsWideText();
    while (P.Advance() == '+') {
        P.Advance();
        if (P.Token() != TokenKind::String && P.Token() != TokenKind::WideString) P.Expect(TokenKind::String);
        value += P.TokenAsWideText();
    }
    return value;
}

} // namespace

void FormTextToBinary(TStream& input, TStream& output) {
    // The parser is destroyed last: the writer delivers its bytes first, also
    // when the conversion fails. Number texts never consult the locale, so no
    // decimal separator needs setting.
    TParser parser(input);
    TWriter writer(output, kFilerBufferSize);
    writer.PutSignature();
    TextToBinary(parser, writer).ParseObject();
    writer.FlushOutput();
}

} // namespace kep
