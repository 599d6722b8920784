#pragma once
#include <cstdint>
#include <vector>

#include "framework/Object.h"

namespace qel {

enum class TPixelFormat { pf24bit, pf32bit };

// A device-independent bitmap stored top-down. A 32-bit pixel is the bytes B, G, R, X in
// memory (0xXXRRGGBB as a little-endian word); a 24-bit pixel is B, G, R. Rows are packed
// to a multiple of four bytes.
class TBitmap : public TObject {
 public:
  TBitmap() = default;
  TBitmap(int Width, int Height, TPixelFormat Format = TPixelFormat::pf32bit) { SetSize(Width, Height, Format); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  TPixelFormat PixelFormat() const { return FFormat; }
  int BytesPerPixel() const { return FFormat == TPixelFormat::pf32bit ? 4 : 3; }
  int Pitch() const { return FPitch; }

  // Sizes below zero count as zero; the pixels become zero. A size whose pixels would
  // take more than MaxBytes leaves the bitmap empty and answers false.
  static constexpr std::int64_t MaxBytes = std::int64_t{1} << 30;
  static bool SizeFits(int Width, int Height, TPixelFormat Format);
  bool SetSize(int Width, int Height, TPixelFormat Format);
  void SetPixelFormat(TPixelFormat Format) { SetSize(FWidth, FHeight, Format); }

  std::uint8_t* ScanLine(int Y) { return FPixels.data() + static_cast<std::size_t>(Y) * FPitch; }
  const std::uint8_t* ScanLine(int Y) const { return FPixels.data() + static_cast<std::size_t>(Y) * FPitch; }

 private:
  int FWidth = 0;
  int FHeight = 0;
  int FPitch = 0;
  TPixelFormat FFormat = TPixelFormat::pf32bit;
  std::vector<std::uint8_t> FPixels;
};

}  // namespace qel
