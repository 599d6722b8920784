#include "engine/images/ColorKey.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "engine/images/ColorFormats.h"
#include "framework/Rounding.h"

namespace qel {

void ColorKeyLine(const void* Source, void* Dest, int Count, std::uint32_t KeyColor, int Tolerance) {
  constexpr double Pi = std::numbers::pi;
  // 57.73502692 = 100 / sqrt(3); the small constant keeps a zero tolerance from dividing by 0
  // and lets colours very close to the key fade too.
  const double Threshold = std::fabs(static_cast<double>(Tolerance)) / 57.73502692 + 0.025;
  const std::uint32_t Key = SwapRedBlue(KeyColor);
  const double KeyRed = ((Key >> 16) & 0xFF) / 255.0;
  const double KeyGreen = ((Key >> 8) & 0xFF) / 255.0;
  const double KeyBlue = (Key & 0xFF) / 255.0;

  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  for (int I = 0; I < Count; ++I, S += 4, D += 4) {
    const double Blue = S[0] / 255.0 - KeyBlue;
    const double Green = S[1] / 255.0 - KeyGreen;
    const double Red = S[2] / 255.0 - KeyRed;
    const double Distance = std::sqrt(Red * Red + Green * Green + Blue * Blue);
    const double Alpha = Distance > Threshold ? 1.0 : (std::sin(Pi * Distance / Threshold - Pi / 2) + 1) / 2;
    const std::uint8_t Pixel[4] = {S[0], S[1], S[2], static_cast<std::uint8_t>(nearest(Alpha * 255))};
    std::memcpy(D, Pixel, 4);
  }
}

}  // namespace qel
