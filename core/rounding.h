#pragma once
// Banker's rounding, as the program's integer conversions do everywhere (half to even, in the
// default floating-point rounding mode).

#include <cmath>

namespace wavelot {

inline int RoundHalfEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

}  // namespace wavelot
