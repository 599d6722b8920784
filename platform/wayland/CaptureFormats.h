#pragma once
#include <cstdint>

#include "framework/Bitmap.h"

namespace qel::wl {

// Whether ConvertCapture reads captures of this wl_shm format.
bool CaptureFormatReadable(std::uint32_t Format);

// Copies a screen capture in a wl_shm pixel format (Stride bytes a row) into the top-left
// corner of a 32-bit bitmap as 0x00RRGGBB words, turning a capture whose rows run bottom-up
// (YInvert) upright. False, leaving the bitmap as it is, for a format it cannot read or a
// stride too short for the width.
bool ConvertCapture(std::uint32_t Format, const std::uint8_t* Data, int Width, int Height, int Stride, bool YInvert,
                    TBitmap& Bitmap);

}  // namespace qel::wl
