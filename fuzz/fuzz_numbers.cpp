// Parses the input as a float text and as an integer text. A parsed float
// written in either notation parses again (below the top binade, whose rounded
// text can lie above the largest extended value); a parsed integer's text
// parses to the same integer.
#include "formstream/Exceptions.h"
#include "formstream/NumberText.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace kep;

void Reparse(const std::string& source, const std::string& text) {
    try {
        (void)ParseExtended(text);
    } catch (const EConvertError&) {
        std::fprintf(stderr, "'%s' parsed, but its text '%s' does not\n", source.c_str(), text.c_str());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const Extended x = ParseExtended(text);
        if ((ExtendedTopWord(x) & 0x7FFF) < 0x7FFE) {
            Reparse(text, FixedNotation(x));
            Reparse(text, GeneralNotation(x));
        }
    } catch (const EConvertError&) {
    }
    try {
        const int64_t n = ParseInteger64(text);
        if (ParseInteger64(IntegerText(n)) != n) {
            std::fprintf(stderr, "'%s' gives %s, which reads back differently\n", text.c_str(), IntegerText(n).c_str());
            std::abort();
        }
    } catch (const EConvertError&) {
    }
    return 0;
}
