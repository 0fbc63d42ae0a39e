// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/RuntimeError.h"

#include <cmath>
#include <limits>

namespace karvelo::resize_job {

// The product of two single-precision numbers, rounded once to single precision. Computing it in
// double is exact (24 + 24 bits fit in 53), so the result does not depend on whether the
// compiler keeps float arithmetic in wider registers.
inline float singleProduct(float a, float b) {
  return static_cast<float>(static_cast<double>(a) * static_cast<double>(b));
}

// Rounds to the nearest whole number, halves to the even neighbour (12.5 -> 12, 37.5 -> 38),
// whatever the floating-point rounding mode. A value outside the int range is an overflow.
inline int roundHalfEven(double value) {
  double whole = std::floor(value);
  const double rest = value - whole;
  if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  if (!(whole >= static_cast<double>(std::numeric_limits<int>::min()) &&
        whole <= static_cast<double>(std::numeric_limits<int>::max()))) {
    throw RuntimeError(RuntimeError::Overflow, "value out of range");
  }
  return static_cast<int>(whole);
}

}  // namespace karvelo::resize_job
