#pragma once
#include <cmath>
#include <cstdint>

namespace qel {

// Rounds to the nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). The one rounding rule of the whole program. Values beyond the 64-bit range
// (infinities too) give its nearest end; NaN gives 0.
inline std::int64_t nearest(double X) {
  // 2^63 is exactly representable; every double below it converts without overflow.
  constexpr double Limit = 9223372036854775808.0;
  if (std::isnan(X)) return 0;
  if (X >= Limit) return INT64_MAX;
  if (X < -Limit) return INT64_MIN;
  return static_cast<std::int64_t>(std::nearbyint(X));
}

}  // namespace qel
