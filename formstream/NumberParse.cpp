// Decimal and hexadecimal texts to 64-bit integers and 80-bit extended values.
#include "formstream/NumberText.h"

#include "formstream/DecimalScale.h"
#include "formstream/Exceptions.h"

#include <cfenv>
#include <cmath>

namespace kep {

namespace {

[[noreturn]] void InvalidInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}

[[noreturn]] void InvalidFloat(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid floating point value");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Restores the caller's floating-point status flags when the parse ends.
class FloatFlagsGuard {
public:
    FloatFlagsGuard() { std::fegetexceptflag(&saved_, FE_ALL_EXCEPT); }
    ~FloatFlagsGuard() { std::fesetexceptflag(&saved_, FE_ALL_EXCEPT); }
    FloatFlagsGuard(const FloatFlagsGuard&) = delete;
    FloatFlagsGuard& operator=(const FloatFlagsGuard&) = delete;

private:
    std::fexcept_t saved_;
};

} // namespace

int64_t ParseInteger64(const std::string& text) {
    const size_t size = text.size();
    if (size > 0 && text[0] == '$') {
        uint64_t value = 0;
        size_t significant = 0;
        for (size_t i = 1; i < size; ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0)
                InvalidInteger(text);
            if (significant > 0 || digit != 0)
                ++significant;
            if (significant > 16)
                InvalidInteger(text);
            value = (value << 4) | static_cast<uint64_t>(digit);
        }
        if (size == 1)
            InvalidInteger(text);
        return static_cast<int64_t>(value);
    }

    size_t i = 0;
    const bool negative = size > 0 && text[0] == '-';
    if (negative)
        i = 1;
    if (i == size)
        InvalidInteger(text);
    // Magnitude limit: 2^63 - 1, or 2^63 with the minus sign.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (; i < size; ++i) {
        if (!IsDigit(text[i]))
            InvalidInteger(text);
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (magnitude > (limit - digit) / 10)
            InvalidInteger(text);
        magnitude = magnitude * 10 + digit;
    }
    return negative ? static_cast<int64_t>(uint64_t{0} - magnitude) : static_cast<int64_t>(magnitude);
}

Extended ParseExtended(const std::string& text) {
    FloatFlagsGuard guard;
    std::feclearexcept(FE_OVERFLOW | FE_INVALID);

    const char* p = text.data();
    const size_t size = text.size();
    size_t i = 0;
    while (i < size && p[i] == ' ')
        ++i;
    bool negative = false;
    if (i < size && (p[i] == '+' || p[i] == '-')) {
        negative = p[i] == '-';
        ++i;
    }

    Extended accumulator = 0;
    bool taken = false;
    while (i < size && IsDigit(p[i])) {
        accumulator = accumulator * 10;
        accumulator = accumulator + (p[i] - '0');
        taken = true;
        ++i;
    }
    int64_t fractionDigits = 0;
    if (i < size && p[i] == '.') {
        taken = true;
        ++i;
        while (i < size && IsDigit(p[i])) {
            accumulator = accumulator * 10;
            accumulator = accumulator + (p[i] - '0');
            ++fractionDigits;
            ++i;
        }
    }
    if (!taken)
        InvalidFloat(text);

    int64_t exponent = 0;
    if (i < size && (p[i] == 'e' || p[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < size && (p[i] == '+' || p[i] == '-')) {
            exponentNegative = p[i] == '-';
            ++i;
        }
        // Stops right after the digit that brings the exponent to 500 or more.
        while (i < size && IsDigit(p[i]) && exponent < 500) {
            exponent = exponent * 10 + (p[i] - '0');
            ++i;
        }
        if (exponentNegative)
            exponent = -exponent;
    }
    while (i < size && p[i] == ' ')
        ++i;
    if (i != size)
        InvalidFloat(text);

    // The digits alone may already have overflowed; an overflow there
    // makes the text invalid even when the value is then scaled to zero.
    bool overflow = std::isinf(accumulator);
    const int64_t scale = exponent - fractionDigits;
    if (scale <= -5120)
        accumulator = 0;
    else
        accumulator = ScaleByPowerOfTen(accumulator, static_cast<int>(scale));
    if (negative)
        accumulator = -accumulator;

    // Forces every operation above to complete before the flags are read.
    volatile Extended result = accumulator;
    overflow = overflow || std::isinf(result) || std::fetestexcept(FE_OVERFLOW | FE_INVALID) != 0;
    if (overflow)
        InvalidFloat(text);
    return result;
}

} // namespace kep
