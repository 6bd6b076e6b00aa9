#pragma once
// Both conversions over whole strings, failing softly: the fuzz targets check
// properties of what converts, and a refusal is an answer, not a finding.
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/Stream.h"

#include <string>

namespace kep::fuzz {

inline bool ToText(const std::string& stream, std::string& text) {
    TStringStream input(stream);
    TStringStream output;
    try {
        BinaryToFormText(input, output);
    } catch (const Exception&) {
        return false;
    }
    text = output.TakeDataString();
    return true;
}

inline bool ToStream(const std::string& text, std::string& stream) {
    TStringStream input(text);
    TStringStream output;
    try {
        FormTextToBinary(input, output);
    } catch (const Exception&) {
        return false;
    }
    stream = output.TakeDataString();
    return true;
}

} // namespace kep::fuzz
