#pragma once
#include <cstdint>

#include "framework/Bitmap.h"

namespace qel::wl {

// An output's pixels as the output holds them (what screencopy captures) against the picture
// it shows the right way up, for a wl_output transform: a turn of 90, 180 or 270 degrees,
// flipped or not.

// The size of the upright picture of a capture of Width x Height.
void UprightSize(std::int32_t Transform, int Width, int Height, int& UprightWidth, int& UprightHeight);
// Where the upright picture's pixel (X, Y) lies in a capture of Width x Height.
void CapturedPixel(std::int32_t Transform, int Width, int Height, int X, int Y, int& CapturedX, int& CapturedY);
// The upright picture of a 32-bit capture; false (Upright as it was) for another pixel format,
// a transform unknown to Wayland, a size the bitmap cannot take or Upright the capture itself.
bool TurnUpright(const TBitmap& Captured, std::int32_t Transform, TBitmap& Upright);

}  // namespace qel::wl
