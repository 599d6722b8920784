#pragma once
#include <cstdint>

namespace qel {

// A point of two 32-bit integers; the engine uses it for sizes in texels (X = width,
// Y = height).
struct TPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;

  friend bool operator==(const TPoint&, const TPoint&) = default;
};

}  // namespace qel
