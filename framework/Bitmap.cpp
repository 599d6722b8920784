#include "framework/Bitmap.h"

#include <algorithm>

namespace qel {

void TBitmap::SetSize(int Width, int Height, TPixelFormat Format) {
  FWidth = std::max(Width, 0);
  FHeight = std::max(Height, 0);
  FFormat = Format;
  FPitch = (FWidth * BytesPerPixel() + 3) & ~3;
  FPixels.assign(static_cast<std::size_t>(FPitch) * static_cast<std::size_t>(FHeight), 0);
}

}  // namespace qel
