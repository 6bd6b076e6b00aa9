// Converts the input as a component stream to text. When that succeeds and the
// text converts back to a stream, that stream converts to the same text, or,
// when the first stream held what the text form cannot show, to a text that
// itself converts back unchanged.
#include "fuzz/Conversions.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace kep;
using kep::fuzz::ToStream;
using kep::fuzz::ToText;

[[noreturn]] void Fail(const std::string& first, const std::string& second) {
    std::fprintf(stderr, "round trip changed the text:\n--- first\n%s\n--- second\n%s\n", first.c_str(),
                 second.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text, stream, again;
    if (!ToText(std::string(reinterpret_cast<const char*>(data), size), text)) return 0;
    // Some streams hold what the text form cannot carry back (NAN, INF, the top
    // binade of extended values): their text may fail to convert.
    if (!ToStream(text, stream)) return 0;
    if (!ToText(stream, again)) Fail(text, again);
    if (again == text) return 0;
    // The text form records neither the tag of a string nor names that are no
    // identifiers (a String with bytes above 127 reads back as a wide string, a
    // name with a blank as two tokens); such a text reads back as another
    // stream, whose text must then convert back unchanged.
    std::string stream2, again2;
    if (!ToStream(again, stream2) || !ToText(stream2, again2) || again2 != again) Fail(again, again2);
    return 0;
}
