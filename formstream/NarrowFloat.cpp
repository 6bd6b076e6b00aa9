// Roundings between the extended type and the narrower stored formats.
#include "formstream/NumberText.h"

#include "formstream/Exceptions.h"

#include <cmath>

namespace kep {

float ExtendedToSingle(Extended x) {
    const float result = static_cast<float>(x); // one rounding, ties to even
    if (std::isinf(result) && !std::isinf(x))
        throw EOverflow("Floating point overflow");
    return result;
}

double ExtendedToDouble(Extended x) {
    const double result = static_cast<double>(x);
    if (std::isinf(result) && !std::isinf(x))
        throw EOverflow("Floating point overflow");
    return result;
}

int64_t ExtendedToCurrency(Extended x) {
    Extended raw = x / 10000;
    raw = raw * 10000;
    raw = std::rint(raw);
    // NaN fails both comparisons.
    if (!(raw >= -0x1p63L && raw < 0x1p63L))
        throw EInvalidOp("Invalid floating point operation");
    return static_cast<int64_t>(raw);
}

Extended CurrencyToExtended(int64_t raw) {
    Extended value = static_cast<Extended>(raw);
    value = value * 10000;
    value = value / 10000;
    return value;
}

} // namespace kep
