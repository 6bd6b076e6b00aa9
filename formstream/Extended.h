#pragma once
// The 80-bit extended type: x87 long double (64-bit significand, explicit
// integer bit, 15-bit exponent biased by 16383). Its first 10 bytes in memory
// are exactly the 10 bytes of a stream's extended value.
#include <cfloat>
#include <cstdint>
#include <cstring>

static_assert(LDBL_MANT_DIG == 64, "the number code needs the x87 80-bit extended type");

namespace kep {

using Extended = long double;

inline void ExtendedToBytes(Extended value, uint8_t bytes[10]) { std::memcpy(bytes, &value, 10); }
inline Extended ExtendedFromBytes(const uint8_t bytes[10]) {
    Extended value = 0;
    std::memcpy(&value, bytes, 10);
    return value;
}
inline uint64_t ExtendedSignificand(Extended value) {
    uint64_t m;
    std::memcpy(&m, &value, 8);
    return m;
}
// Sign bit (bit 15) and biased exponent (bits 0 to 14).
inline uint16_t ExtendedTopWord(Extended value) {
    uint16_t w;
    std::memcpy(&w, reinterpret_cast<const uint8_t*>(&value) + 8, 2);
    return w;
}
inline Extended ExtendedFromParts(uint16_t topWord, uint64_t significand) {
    uint8_t bytes[10];
    std::memcpy(bytes, &significand, 8);
    std::memcpy(bytes + 8, &topWord, 2);
    return ExtendedFromBytes(bytes);
}

} // namespace kep
