#pragma once
// Rounding of numbers as the runtime rounds them.

#include <cmath>

namespace core::text {

// Rounds to the nearest whole number, halves to the even neighbour
// (212.5 -> 212, 213.5 -> 214), whatever the FPU rounding mode is.
inline double RoundHalfEven(double x) {
    const double down = std::floor(x);
    const double diff = x - down;
    if (diff > 0.5) return down + 1;
    if (diff < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

}  // namespace core::text
