#pragma once
#include <cmath>
#include <cstdint>

namespace qel {

// Rounds to the nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). The one rounding rule of the whole program.
inline std::int64_t nearest(double X) { return static_cast<std::int64_t>(std::nearbyint(X)); }

}  // namespace qel
