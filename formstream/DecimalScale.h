#pragma once
// Scaling by a power of ten with the three power tables, one rounded
// multiplication (or division) per table.
#include "formstream/NumberText.h"

namespace kep {

// x * 10^n for n > 0, x / 10^-n for n < 0; |n| below 5120.
inline Extended ScaleByPowerOfTen(Extended x, int n) {
    if (n > 0) {
        x = x * SmallPowers[n % 32];
        if ((n / 32) % 16 != 0)
            x = x * MediumPowers[(n / 32) % 16];
        if (n / 512 != 0)
            x = x * LargePowers[n / 512];
    } else if (n < 0) {
        n = -n;
        x = x / SmallPowers[n % 32];
        if ((n / 32) % 16 != 0)
            x = x / MediumPowers[(n / 32) % 16];
        if (n / 512 != 0)
            x = x / LargePowers[n / 512];
    }
    return x;
}

} // namespace kep
