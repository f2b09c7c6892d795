// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Rounding to a whole number the one way this program rounds: to the nearest, an exact half to the
// even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), whatever the processor's rounding mode.

#include <cmath>

// The whole number nearest dblValue, halves to even. Infinities and not-a-number come back as they
// went in.
inline double RoundHalfEven(double dblValue) {
    const double dblWhole = std::floor(dblValue);
    const double dblFraction = dblValue - dblWhole;
    if (dblFraction > 0.5 || (dblFraction == 0.5 && std::fmod(dblWhole, 2.0) != 0.0)) {
        return dblWhole + 1.0;
    }
    return dblWhole;
}
