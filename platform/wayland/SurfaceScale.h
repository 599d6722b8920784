#pragma once

namespace qel::wl {

// A surface's scale in 120ths, as wp_fractional_scale_v1 states it (120: 1, 150: 1.25).
constexpr int ScaleDenominator = 120;

// The buffer pixels that show Logical surface pixels at Scale120: the product rounded half
// away from zero, as the fractional-scale protocol asks of full-screen surfaces; at least 1.
int BufferPixels(int Logical, int Scale120);

// The scale, in 120ths, at which Logical surface pixels show as Pixels output pixels (a
// full-output surface before the compositor said its scale), rounded to the nearest; 120
// where either is unknown.
int ScaleBetween(int Pixels, int Logical);

}  // namespace qel::wl
