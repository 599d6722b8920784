#include "framework/Bitmap.h"

#include <algorithm>

namespace qel {

namespace {

std::int64_t RowBytes(std::int64_t Width, TPixelFormat Format) {
  return (Width * (Format == TPixelFormat::pf32bit ? 4 : 3) + 3) & ~std::int64_t{3};
}

}  // namespace

bool TBitmap::SizeFits(int Width, int Height, TPixelFormat Format) {
  const std::int64_t H = std::max(Height, 0);
  return H == 0 || RowBytes(std::max(Width, 0), Format) <= MaxBytes / H;
}

bool TBitmap::SetSize(int Width, int Height, TPixelFormat Format) {
  FFormat = Format;
  const std::int64_t W = std::max(Width, 0);
  const std::int64_t H = std::max(Height, 0);
  const std::int64_t Pitch = RowBytes(W, Format);
  const bool Fits = SizeFits(Width, Height, Format);
  FWidth = Fits ? static_cast<int>(W) : 0;
  FHeight = Fits ? static_cast<int>(H) : 0;
  FPitch = Fits ? static_cast<int>(Pitch) : 0;
  FPixels.assign(static_cast<std::size_t>(FPitch) * static_cast<std::size_t>(FHeight), 0);
  return Fits;
}

}  // namespace qel
