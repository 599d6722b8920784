#pragma once
// Exact 8-bit colour arithmetic shared by every path of the rasteriser, so that a fast path
// and the general one give the same bytes.
#include <algorithm>
#include <cstdint>

namespace qel::soft::px {

// std::llround (a half away from zero) for |X| < 2^63, inline: it runs for every span and row.
// From one half to 2^52 a half added and the sum cut towards zero is exact (a rounded sum
// never crosses the next integer); below one half the answer is 0, from 2^52 on X itself.
inline std::int64_t RoundHalfAway(double X) {
  if (X != X) return INT64_MIN;  // what llround gives for NaN here
  const double A = X < 0 ? -X : X;
  const double R = A < 0.5 ? 0.0 : A < 4503599627370496.0 ? A + 0.5 : A;
  const std::int64_t M = static_cast<std::int64_t>(R);  // towards zero
  return X < 0 ? -M : M;
}

// 32.32 fixed point of a value, clamped so that stepping across a target stays in 64 bits.
inline __attribute__((always_inline)) std::int64_t Fixed(double Value, double Limit) {
  return RoundHalfAway(std::clamp(Value, -Limit, Limit) * 4294967296.0);
}
inline __attribute__((always_inline)) std::int64_t FixedCoord(double Texels) { return Fixed(Texels, 536870912.0); }  // 2^29 texels
inline std::int64_t FixedStep(double Texels) { return Fixed(Texels, 8192.0); }        // 2^13 texels a pixel
// One half in 32.32 fixed point: from a texel's edge to its centre.
constexpr std::int64_t Half32 = std::int64_t{1} << 31;

// round(X / 255) for any X >= 0 (X / 255 never ends in exactly one half).
inline std::uint32_t Div255(std::uint32_t X) { return (X + 127) / 255; }

inline std::uint32_t Channel(std::uint32_t C, int Index) { return (C >> (8 * Index)) & 0xFF; }
inline std::uint32_t Pack(std::uint32_t B, std::uint32_t G, std::uint32_t R, std::uint32_t A) {
  return B | (G << 8) | (R << 16) | (A << 24);
}

// A colour spread over four 16-bit lanes (blue, red, green, alpha at bits 0, 16, 32, 48),
// so that one 64-bit multiply scales all four channels by the same 8-bit weight.
constexpr std::uint64_t LaneMask = 0x00FF00FF00FF00FFull;
inline std::uint64_t Spread(std::uint32_t C) {
  return (std::uint64_t{C} & 0x00FF00FFu) | ((std::uint64_t{C} & 0xFF00FF00u) << 24);
}
inline std::uint32_t Unspread(std::uint64_t S) {
  return static_cast<std::uint32_t>((S & 0x00FF00FFu) | ((S >> 24) & 0xFF00FF00u));
}
// (A * (256 - F) + B * F + 128) / 256 per lane, F in 0..255.
inline std::uint64_t Lerp(std::uint64_t A, std::uint64_t B, std::uint32_t F) {
  return ((A * (256 - F) + B * F + 0x0080008000800080ull) >> 8) & LaneMask;
}
// round(X / 255) per lane for lanes up to 255 * 255.
inline std::uint64_t Div255Lanes(std::uint64_t X) {
  X += 0x0080008000800080ull;
  return ((X + ((X >> 8) & LaneMask)) >> 8) & LaneMask;
}

// Bilinear filtering of four texels: across first, then down, rounding after each step.
inline std::uint32_t Bilinear(std::uint32_t T00, std::uint32_t T10, std::uint32_t T01, std::uint32_t T11,
                              std::uint32_t Fx, std::uint32_t Fy) {
  const std::uint64_t Top = Lerp(Spread(T00), Spread(T10), Fx);
  const std::uint64_t Bottom = Lerp(Spread(T01), Spread(T11), Fx);
  return Unspread(Lerp(Top, Bottom, Fy));
}

// Per channel round(A * B / 255).
inline std::uint32_t Modulate(std::uint32_t A, std::uint32_t B) {
  return Pack(Div255(Channel(A, 0) * Channel(B, 0)), Div255(Channel(A, 1) * Channel(B, 1)),
              Div255(Channel(A, 2) * Channel(B, 2)), Div255(Channel(A, 3) * Channel(B, 3)));
}

// Source over destination weighted by the source alpha (SRCALPHA, INVSRCALPHA, ADD).
inline std::uint32_t AlphaBlend(std::uint32_t Src, std::uint32_t Dst) {
  const std::uint32_t A = Src >> 24;
  return Unspread(Div255Lanes(Spread(Src) * A + Spread(Dst) * (255 - A)));
}

// Source weighted by its alpha added to the destination (SRCALPHA, ONE, ADD), saturating.
inline std::uint32_t AddBlend(std::uint32_t Src, std::uint32_t Dst) {
  std::uint64_t Sum = Div255Lanes(Spread(Src) * (Src >> 24)) + Spread(Dst);
  const std::uint64_t Over = (Sum >> 8) & 0x0001000100010001ull;
  return Unspread((Sum | (Over * 0xFF)) & LaneMask);
}

}  // namespace qel::soft::px
