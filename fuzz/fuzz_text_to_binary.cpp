// Tokenizes the input with TParser to its end, then converts it as the text
// form to a component stream. When that succeeds, the stream's text converts
// back to a stream whose text is the same.
#include "fuzz/Conversions.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/Parser.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace kep;
using kep::fuzz::ToStream;
using kep::fuzz::ToText;

void Tokenize(const std::string& text) {
    TStringStream input(text);
    try {
        TParser parser(input);
        for (int guard = 0; parser.Token() != TokenKind::EndOfText && guard < 100000; ++guard) {
            switch (parser.Token()) {
            case TokenKind::Symbol: (void)parser.TokenDottedName(); break;
            case TokenKind::String:
            case TokenKind::WideString: (void)parser.TokenText(); (void)parser.TokenAsWideText(); break;
            case TokenKind::Integer:
                try {
                    (void)parser.TokenAsInteger();
                } catch (const EConvertError&) {
                }
                break;
            case TokenKind::Float:
                try {
                    (void)parser.TokenAsFloat();
                } catch (const EConvertError&) {
                }
                break;
            case '{': {
                TStringStream sink;
                parser.ReadHexBlock(sink);
                break;
            }
            default: break;
            }
            parser.Advance();
        }
    } catch (const Exception&) {
    }
}

[[noreturn]] void Fail(const char* what, const std::string& a, const std::string& b) {
    std::fprintf(stderr, "%s\n--- first\n%s\n--- second\n%s\n", what, a.c_str(), b.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string source(reinterpret_cast<const char*>(data), size);
    Tokenize(source);
    std::string stream, text, stream2, text2;
    if (!ToStream(source, stream)) return 0;
    // Every stream the conversion writes is one the reverse conversion reads.
    if (!ToText(stream, text)) Fail("the written stream does not convert to text", source, "");
    // The text form cannot carry every value back (the top binade of extended values).
    if (!ToStream(text, stream2)) return 0;
    if (!ToText(stream2, text2) || text2 != text) Fail("round trip changed the text", text, text2);
    return 0;
}
