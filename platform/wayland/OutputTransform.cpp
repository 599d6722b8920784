#include "platform/wayland/OutputTransform.h"

#include <wayland-client-protocol.h>

#include <cstring>
#include <utility>

namespace qel::wl {
namespace {

bool Known(std::int32_t Transform) {
  return Transform >= WL_OUTPUT_TRANSFORM_NORMAL && Transform <= WL_OUTPUT_TRANSFORM_FLIPPED_270;
}
bool Turned(std::int32_t Transform) { return Transform & 1; }  // by 90 or 270 degrees

}  // namespace

void UprightSize(std::int32_t Transform, int Width, int Height, int& UprightWidth, int& UprightHeight) {
  UprightWidth = Width;
  UprightHeight = Height;
  if (Turned(Transform)) std::swap(UprightWidth, UprightHeight);
}

void CapturedPixel(std::int32_t Transform, int Width, int Height, int X, int Y, int& CapturedX, int& CapturedY) {
  int W = 0, H = 0;
  UprightSize(Transform, Width, Height, W, H);
  // The compositor flips the picture first, then turns it counter-clockwise in steps of 90.
  if (Transform & WL_OUTPUT_TRANSFORM_FLIPPED) X = W - 1 - X;
  for (int Step = 0; Step < (Transform & 3); ++Step) {
    const int Turned = Y;
    Y = W - 1 - X;
    X = Turned;
    std::swap(W, H);
  }
  CapturedX = X;
  CapturedY = Y;
}

bool TurnUpright(const TBitmap& Captured, std::int32_t Transform, TBitmap& Upright) {
  if (!Known(Transform) || Captured.PixelFormat() != TPixelFormat::pf32bit) return false;
  const int Width = Captured.Width(), Height = Captured.Height();
  int W = 0, H = 0;
  UprightSize(Transform, Width, Height, W, H);
  if (&Upright == &Captured || !TBitmap::SizeFits(W, H, TPixelFormat::pf32bit)) return false;
  Upright.SetSize(W, H, TPixelFormat::pf32bit);
  for (int Y = 0; Y < H; ++Y) {
    auto* Out = reinterpret_cast<std::uint32_t*>(Upright.ScanLine(Y));
    for (int X = 0; X < W; ++X) {
      int Cx = 0, Cy = 0;
      CapturedPixel(Transform, Width, Height, X, Y, Cx, Cy);
      std::memcpy(&Out[X], Captured.ScanLine(Cy) + static_cast<std::size_t>(Cx) * 4, 4);
    }
  }
  return true;
}

}  // namespace qel::wl
