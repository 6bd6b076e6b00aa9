#pragma once
// Float test inputs as exact bit patterns, never as decimal literals.
#include "formstream/Extended.h"

#include <bit>
#include <cstdio>
#include <cstdint>
#include <ostream>
#include <string>

namespace kep::test {

// Sign and biased exponent in the top word, then the 64-bit significand.
struct ExtendedBits {
    uint16_t top;
    uint64_t significand;
    Extended value() const { return ExtendedFromParts(top, significand); }
};

inline ExtendedBits BitsOf(Extended x) { return {ExtendedTopWord(x), ExtendedSignificand(x)}; }
inline bool operator==(const ExtendedBits& a, const ExtendedBits& b) {
    return a.top == b.top && a.significand == b.significand;
}
inline std::string ToString(const ExtendedBits& b) {
    char text[40];
    std::snprintf(text, sizeof text, "%04X:%016llX", b.top, static_cast<unsigned long long>(b.significand));
    return text;
}
inline void PrintTo(const ExtendedBits& b, std::ostream* os) { *os << ToString(b); }

inline Extended SingleBits(uint32_t bits) { return std::bit_cast<float>(bits); }
inline Extended DoubleBits(uint64_t bits) { return std::bit_cast<double>(bits); }

} // namespace kep::test
