#pragma once
#include <array>
#include <cstdint>

#include "framework/Rounding.h"

namespace qel {

// Screen-space point in pixels, X growing right, Y growing down.
struct TPoint2 {
  float X = 0.0f;
  float Y = 0.0f;

  friend bool operator==(const TPoint2&, const TPoint2&) = default;
};

// Quad corners, always top-left, top-right, bottom-right, bottom-left (clockwise on screen).
// Nothing requires a rectangle: the quad is drawn as triangles (0, 1, 3) and (1, 2, 3).
using TPoint4 = std::array<TPoint2, 4>;

// Engine colour: 0xAABBGGRR, red in the low byte, alpha in the high byte.
using TGlowColor = std::uint32_t;

// One colour per corner, in the corner order of TPoint4.
using TColor4 = std::array<TGlowColor, 4>;

// Which part of an image a textured quad shows. All zero except Pattern selects the whole
// pattern, upright; a width or height of 0 or less means the whole visible extent.
struct TTexCoord {
  std::int32_t Pattern = 0;
  std::int32_t SrcX = 0;
  std::int32_t SrcY = 0;
  std::int32_t SrcWidth = 0;
  std::int32_t SrcHeight = 0;
  bool FlipY = false;
  bool FlipX = false;

  friend bool operator==(const TTexCoord&, const TTexCoord&) = default;
};

// Integer rectangle by its edges.
struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// Coordinates come in as double and are stored as float, rounded to nearest.
inline TPoint2 Point2(double X, double Y) { return TPoint2{static_cast<float>(X), static_cast<float>(Y)}; }

inline TPoint4 Point4(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4, double Y4) {
  return TPoint4{Point2(X1, Y1), Point2(X2, Y2), Point2(X3, Y3), Point2(X4, Y4)};
}

inline TPoint4 Rect4(const TRect& R) {
  return Point4(R.Left, R.Top, R.Right, R.Top, R.Right, R.Bottom, R.Left, R.Bottom);
}

// The sums are formed in double and converted once; a negative extent mirrors the quad.
inline TPoint4 Bounds4(double Left, double Top, double Width, double Height) {
  return Point4(Left, Top, Left + Width, Top, Left + Width, Top + Height, Left, Top + Height);
}

// Only the extent is scaled, each side rounded half to even; the position stays put.
inline TPoint4 Bounds4Scaled(double Left, double Top, double Width, double Height, double Scale) {
  return Bounds4(Left, Top, static_cast<double>(nearest(Width * Scale)), static_cast<double>(nearest(Height * Scale)));
}

inline TPoint4 Point4Offset(const TPoint4& Points, const TPoint2& Offset) {
  TPoint4 Result = Points;
  for (TPoint2& P : Result) {
    P.X += Offset.X;
    P.Y += Offset.Y;
  }
  return Result;
}

inline TColor4 Color4(TGlowColor C) { return TColor4{C, C, C, C}; }

inline TColor4 Color4Corners(TGlowColor C1, TGlowColor C2, TGlowColor C3, TGlowColor C4) {
  return TColor4{C1, C2, C3, C4};
}

// White with alpha A; only the low byte of A counts (256 is the same as 0).
inline TColor4 Alpha4(std::int32_t A) {
  return Color4(((static_cast<std::uint32_t>(A) & 0xFFu) << 24) | 0xFFFFFFu);
}

// A framework colour (its alpha byte discarded) with alpha A; only the low byte of A counts.
inline TColor4 ColorAlpha4(TGlowColor C, std::int32_t A) {
  return Color4((C & 0xFFFFFFu) | ((static_cast<std::uint32_t>(A) & 0xFFu) << 24));
}

inline TTexCoord TexPattern(std::int32_t Pattern) {
  TTexCoord T;
  T.Pattern = Pattern;
  return T;
}

// Pattern 0, whole, upright: what the screensaver passes for all its textured quads.
inline const TTexCoord DefaultTexCoord{};

}  // namespace qel
