#include "framework/Bitmap.h"

#include <algorithm>

namespace qel {

bool TBitmap::SetSize(int Width, int Height, TPixelFormat Format) {
  FFormat = Format;
  const std::int64_t W = std::max(Width, 0);
  const std::int64_t H = std::max(Height, 0);
  const std::int64_t Pitch = (W * BytesPerPixel() + 3) & ~std::int64_t{3};
  const bool Fits = H == 0 || Pitch <= MaxBytes / H;
  FWidth = Fits ? static_cast<int>(W) : 0;
  FHeight = Fits ? static_cast<int>(H) : 0;
  FPitch = Fits ? static_cast<int>(Pitch) : 0;
  FPixels.assign(static_cast<std::size_t>(FPitch) * static_cast<std::size_t>(FHeight), 0);
  return Fits;
}

}  // namespace qel
