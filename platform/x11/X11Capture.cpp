#include "platform/x11/X11Capture.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

#include "platform/x11/X11Errors.h"
#include "platform/x11/X11Visual.h"

namespace qel::x11 {

bool ReadDrawable(Display* D, Drawable Source, const Visual* SourceVisual, int Depth, int X, int Y, int W, int H,
                  TBitmap& Bitmap) {
  if (!SourceVisual || SourceVisual->c_class != TrueColor || (Depth != 15 && Depth != 16 && Depth != 24 && Depth != 32))
    return false;
  W = std::min(W, Bitmap.Width());
  H = std::min(H, Bitmap.Height());
  if (W <= 0 || H <= 0 || Bitmap.PixelFormat() != TPixelFormat::pf32bit) return false;
  XImage* Image = nullptr;
  {
    TErrorTrap Trap(D);
    Image = XGetImage(D, Source, X, Y, static_cast<unsigned>(W), static_cast<unsigned>(H), AllPlanes, ZPixmap);
    if (Trap.Failed() && Image) {
      XDestroyImage(Image);
      Image = nullptr;
    }
  }
  if (!Image) return false;
  const TChannelMasks Masks(SourceVisual);
  const bool Plain = Masks.IsPlainXrgb() && Image->bits_per_pixel == 32 && Image->byte_order == LSBFirst;
  for (int Row = 0; Row < H; ++Row) {
    auto* Out = reinterpret_cast<std::uint32_t*>(Bitmap.ScanLine(Row));
    if (Plain) {
      std::memcpy(Out, Image->data + static_cast<std::size_t>(Row) * Image->bytes_per_line,
                  static_cast<std::size_t>(W) * 4);
      continue;
    }
    for (int Col = 0; Col < W; ++Col) Out[Col] = Masks.ToXrgb(XGetPixel(Image, Col, Row));
  }
  XDestroyImage(Image);
  return true;
}

}  // namespace qel::x11
