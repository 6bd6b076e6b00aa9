// Extended values to decimal digits and the two float layouts; integer texts.
#include "formstream/NumberText.h"

#include "formstream/DecimalScale.h"

#include <charconv>
#include <cmath>

namespace kep {

namespace {

DecimalDigits ZeroDigits(int exponent) {
    DecimalDigits result;
    result.Exponent = static_cast<int16_t>(exponent);
    return result;
}

// The 18 digits of an integer below 10^18, leading zeros included.
void EighteenDigits(uint64_t value, char digits[18]) {
    for (int i = 17; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

bool SpecialText(const DecimalDigits& d, std::string& text) {
    if (d.Exponent == kDecimalInfinity) {
        text = d.Negative ? "-INF" : "INF";
        return true;
    }
    if (d.Exponent == kDecimalNaN) {
        text = "NAN";
        return true;
    }
    return false;
}

// "-"? d[.ddd]E[-]x, the exponent written as Exponent - 1.
std::string ExponentForm(const DecimalDigits& d) {
    std::string text;
    if (d.Negative)
        text += '-';
    if (d.Digits.empty()) {
        text += '0';
    } else {
        text += d.Digits[0];
        if (d.Digits.size() > 1) {
            text += '.';
            text.append(d.Digits, 1);
        }
    }
    text += 'E';
    text += IntegerText(static_cast<int64_t>(d.Exponent) - 1);
    return text;
}

// The first `count` digits, padded with "0" when Digits are shorter.
void AppendIntegerPart(const std::string& digits, int count, std::string& text) {
    const size_t taken = std::min<size_t>(digits.size(), static_cast<size_t>(count));
    text.append(digits, 0, taken);
    text.append(static_cast<size_t>(count) - taken, '0');
}

} // namespace

std::string IntegerText(int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

DecimalDigits ToDecimalDigits(Extended x, int precision, int decimals) {
    const uint16_t top = ExtendedTopWord(x);
    const int biased = top & 0x7FFF;
    const bool sign = (top & 0x8000) != 0;
    const uint64_t m = ExtendedSignificand(x);
    const uint64_t integerBit = uint64_t{1} << 63;

    DecimalDigits result;
    if (biased == 0)
        return result; // zero, denormal, pseudo-denormal: unsigned zero
    if (biased == 0x7FFF) {
        if ((m & integerBit) == 0 || m == integerBit) {
            result.Exponent = kDecimalInfinity;
            result.Negative = sign;
        } else {
            result.Exponent = kDecimalNaN;
        }
        return result;
    }
    if ((m & integerBit) == 0) { // unnormal: no valid value
        result.Exponent = kDecimalNaN;
        return result;
    }

    // Estimate of the decimal exponent; one too high in some binades of
    // very small numbers, which then get a leading digit 0.
    int exponent = (((biased - 16383) * 19728) >> 16) + 1;
    Extended y = ScaleByPowerOfTen(std::fabs(x), 18 - exponent);
    y = std::rint(y);
    if (y >= 1e18L) {
        y = y / 10;
        ++exponent;
    }
    y = std::rint(y);
    char d[18];
    EighteenDigits(static_cast<uint64_t>(y), d);

    int n = exponent + decimals;
    if (n < 0)
        return ZeroDigits(0);
    if (n > precision)
        n = precision;

    int length; // digits kept from d
    if (n >= 18) {
        length = 18;
    } else if (d[n] >= '5') {
        int i = n - 1;
        while (i >= 0 && d[i] == '9')
            --i;
        if (i < 0) {
            result.Exponent = static_cast<int16_t>(exponent + 1);
            result.Negative = sign;
            result.Digits = "1";
            return result;
        }
        ++d[i];
        length = i + 1;
    } else {
        length = n;
    }
    while (length > 0 && d[length - 1] == '0')
        --length;
    if (length == 0)
        return ZeroDigits(exponent);
    result.Exponent = static_cast<int16_t>(exponent);
    result.Negative = sign;
    result.Digits.assign(d, static_cast<size_t>(length));
    return result;
}

std::string GeneralNotation(Extended x) {
    const DecimalDigits d = ToDecimalDigits(x, 15, 9999);
    std::string text;
    if (SpecialText(d, text))
        return text;
    if (d.Exponent > 15 || d.Exponent < -3)
        return ExponentForm(d);
    if (d.Negative)
        text += '-';
    if (d.Exponent > 0) {
        AppendIntegerPart(d.Digits, d.Exponent, text);
        if (d.Digits.size() > static_cast<size_t>(d.Exponent)) {
            text += '.';
            text.append(d.Digits, static_cast<size_t>(d.Exponent));
        }
    } else {
        text += '0';
        if (!d.Digits.empty()) {
            text += '.';
            text.append(static_cast<size_t>(-d.Exponent), '0');
            text += d.Digits;
        }
    }
    return text;
}

std::string FixedNotation(Extended x) {
    constexpr size_t kDecimals = 18;
    const DecimalDigits d = ToDecimalDigits(x, 16, static_cast<int>(kDecimals));
    std::string text;
    if (SpecialText(d, text))
        return text;
    if (d.Exponent > 16)
        return ExponentForm(d);
    if (d.Negative)
        text += '-';
    size_t used = 0;
    if (d.Exponent <= 0) {
        text += '0';
    } else {
        AppendIntegerPart(d.Digits, d.Exponent, text);
        used = std::min<size_t>(d.Digits.size(), static_cast<size_t>(d.Exponent));
    }
    text += '.';
    const size_t start = text.size();
    if (d.Exponent < 0)
        text.append(std::min<size_t>(static_cast<size_t>(-d.Exponent), kDecimals), '0');
    text.append(d.Digits, used);
    text.resize(start + kDecimals, '0');
    return text;
}

} // namespace kep
