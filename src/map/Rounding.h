#pragma once

#include <cmath>

// Rounds to the nearest whole number, halves to the even neighbour (the platform's integer
// conversion), independent of the floating-point rounding mode in force.
inline double RoundHalfEven(double x)
{
    if (std::fabs(x - std::trunc(x)) == 0.5)
        return 2.0 * std::round(x / 2.0);
    return std::round(x);
}
