#pragma once
// Numbers to decimal text and back, in 80-bit extended arithmetic. Never
// consults the locale: the decimal separator is always ".".
#include "formstream/Extended.h"

#include <cstdint>
#include <string>

namespace kep {

constexpr int16_t kDecimalInfinity = 0x7FFF;
constexpr int16_t kDecimalNaN = static_cast<int16_t>(0x8000);

struct DecimalDigits {
    int16_t Exponent = 0;
    bool Negative = false;
    std::string Digits; // up to 18 digit characters, no trailing zeros
};

extern const Extended SmallPowers[32];  // 10^0 .. 10^31
extern const Extended MediumPowers[16]; // [k] = 10^(32k), k = 1 .. 15; [0] unused
extern const Extended LargePowers[10];  // [k] = 10^(512k), k = 1 .. 9; [0] unused

std::string IntegerText(int64_t value);
DecimalDigits ToDecimalDigits(Extended x, int precision, int decimals);
std::string GeneralNotation(Extended x); // precision 15
std::string FixedNotation(Extended x);   // precision 16, 18 decimals

// EConvertError "'%s' is not a valid integer value".
int64_t ParseInteger64(const std::string& text);
// EConvertError "'%s' is not a valid floating point value".
Extended ParseExtended(const std::string& text);

// Rounding to the narrower formats (ties to even); EOverflow
// "Floating point overflow" beyond the largest finite value.
float ExtendedToSingle(Extended x);
double ExtendedToDouble(Extended x);
// The currency computation of the text form: EInvalidOp
// "Invalid floating point operation" outside the signed 64-bit range.
int64_t ExtendedToCurrency(Extended x);
// A stored currency's raw integer (the amount times 10000) as the extended
// value that the text form shows: multiplied by 10000, then divided by 10000,
// rounding after each step.
Extended CurrencyToExtended(int64_t raw);

} // namespace kep
