#pragma once
// Small helpers of the stream and conversion tests and benchmarks: byte
// strings from numbers, the message of a thrown error, and the conversions
// between a component stream and its text held in strings (no GoogleTest here).
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/Stream.h"

#include <initializer_list>
#include <string>

namespace kep::test {

// The bytes 0..255 given as numbers.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// The message of the error that fn throws, or "(no exception)".
template <typename Fn>
std::string MessageOf(Fn&& fn) {
    try {
        fn();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

inline std::string StreamToText(const std::string& stream) {
    TStringStream input(stream);
    TStringStream output;
    BinaryToFormText(input, output);
    return output.TakeDataString();
}

inline std::string TextToStream(const std::string& text) {
    TStringStream input(text);
    TStringStream output;
    FormTextToBinary(input, output);
    return output.TakeDataString();
}

} // namespace kep::test
