#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/WaveState.h"
#include "engine/draw/GlowTypes.h"
#include "framework/Rounding.h"

namespace qel {

// How the wave's fade turns into the opacities and shapes of a frame's layers. Fade runs
// from -1 (start-up: the desktop as it was) through 0 (wave invisible) to 1 (fully shown).

// The tint in the wave's colour: 1 ... 96.
inline std::int32_t TintAlpha(double Fade) {
  return static_cast<std::int32_t>(1 + std::max<std::int64_t>(0, nearest((Fade - 0.25) * 0.5 * 253)));
}
// The clouds multiplied over the tint: 1 ... 255.
inline std::int32_t CloudAlpha(double Fade) {
  return static_cast<std::int32_t>(1 + std::max<std::int64_t>(0, nearest((Fade - 0.25) * 1.33333 * 253)));
}
// The desktop picture: opaque at start-up, dissolving to 63 at fade 0 and staying there.
inline std::int32_t DesktopAlpha(double Fade) {
  return static_cast<std::int32_t>(Fade >= 0.0 ? 63 : 255 - nearest((Fade + 1.0) * 192));
}
// A ribbon's light: none until the wave shows.
inline std::int32_t RibbonOpacity(const TWaveLayer& L, double Fade) {
  return static_cast<std::int32_t>(nearest(std::max(Fade, 0.0) * L.Alpha));
}

// The strip of one layer, sampled every 41 pixels from 40 left of the screen until at least
// 40 right of it; Quad(Corners) is called for each pair of neighbouring samples, left to
// right. A quad's top edge (the bright one of the strip image) lies lift pixels off the
// curve, above it for kind 1 and below it for kind 2, and the strip glows across thick
// pixels back towards the curve.
constexpr int RibbonFirstX = -40;
constexpr int RibbonStep = 41;
constexpr int RibbonOverhang = 40;

template <class TQuad>
void ForEachRibbonQuad(const TWaveLayer& L, double Fade, int Width, TQuad&& Quad) {
  const double Rise = std::max(0.0, Fade - 0.25) * 1.33;
  const double S2 = std::sin(L.Ticks * L.SwingSpeed);
  const double A = L.Amplitude;
  const double Lift = std::max(0.1, Fade - 0.5) * (A * 2) * 2;
  const double Thick = std::max(0.1, Fade) * (A * 1.5);
  double QX = 0, QY = 0;
  for (int X = RibbonFirstX; X <= Width + RibbonOverhang; X += RibbonStep) {
    const double S1 = std::sin(1 + 20 * Rise + L.Phase + X * L.Frequency);
    const auto PX = static_cast<double>(nearest(X + L.Origin.X));
    const auto PY = static_cast<double>(nearest((S2 * L.Swing + L.Amplitude) * S1 * Rise + L.Origin.Y));
    if (X != RibbonFirstX) {
      Quad(L.Kind == 2 ? Point4(QX, QY + Lift, PX, PY + Lift, PX, PY - Thick + Lift, QX, QY - Thick + Lift)
                       : Point4(QX, QY - Lift, PX, PY - Lift, PX, PY + Thick - Lift, QX, QY + Thick - Lift));
    }
    QX = PX;
    QY = PY;
  }
}

}  // namespace qel
