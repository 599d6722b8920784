#include "platform/wayland/SurfaceScale.h"

#include <algorithm>
#include <cstdint>

namespace qel::wl {

int BufferPixels(int Logical, int Scale120) {
  if (Logical <= 0 || Scale120 <= 0) return 1;
  const std::int64_t Product = std::int64_t{Logical} * Scale120;
  // Sizes are capped at 65535 logical pixels by the platform; the product fits an int.
  return static_cast<int>(std::max<std::int64_t>((Product + ScaleDenominator / 2) / ScaleDenominator, 1));
}

int ScaleBetween(int Pixels, int Logical) {
  if (Pixels <= 0 || Logical <= 0) return ScaleDenominator;
  const std::int64_t Scaled = std::int64_t{Pixels} * ScaleDenominator;
  return static_cast<int>(std::max<std::int64_t>((Scaled + Logical / 2) / Logical, 1));
}

}  // namespace qel::wl
