#include "platform/wayland/CaptureFormats.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cstring>

namespace qel::wl {
namespace {

// A format by where its channels sit: bytes per pixel, and for each of red, green and blue
// the shift of the channel in the little-endian pixel value and its width in bits.
struct TLayout {
  std::uint32_t Format;
  int Bytes;
  int RedShift, GreenShift, BlueShift, Bits;
  int GreenBits;  // differs from Bits only in 5-6-5
};

constexpr TLayout Layouts[] = {
    {WL_SHM_FORMAT_XRGB8888, 4, 16, 8, 0, 8, 8},     {WL_SHM_FORMAT_ARGB8888, 4, 16, 8, 0, 8, 8},
    {WL_SHM_FORMAT_XBGR8888, 4, 0, 8, 16, 8, 8},     {WL_SHM_FORMAT_ABGR8888, 4, 0, 8, 16, 8, 8},
    {WL_SHM_FORMAT_RGBX8888, 4, 24, 16, 8, 8, 8},    {WL_SHM_FORMAT_RGBA8888, 4, 24, 16, 8, 8, 8},
    {WL_SHM_FORMAT_BGRX8888, 4, 8, 16, 24, 8, 8},    {WL_SHM_FORMAT_BGRA8888, 4, 8, 16, 24, 8, 8},
    {WL_SHM_FORMAT_RGB888, 3, 16, 8, 0, 8, 8},       {WL_SHM_FORMAT_BGR888, 3, 0, 8, 16, 8, 8},
    {WL_SHM_FORMAT_XRGB2101010, 4, 20, 10, 0, 10, 10}, {WL_SHM_FORMAT_ARGB2101010, 4, 20, 10, 0, 10, 10},
    {WL_SHM_FORMAT_XBGR2101010, 4, 0, 10, 20, 10, 10}, {WL_SHM_FORMAT_ABGR2101010, 4, 0, 10, 20, 10, 10},
    {WL_SHM_FORMAT_RGB565, 2, 11, 5, 0, 5, 6},       {WL_SHM_FORMAT_BGR565, 2, 0, 5, 11, 5, 6},
};

const TLayout* LayoutOf(std::uint32_t Format) {
  for (const TLayout& L : Layouts)
    if (L.Format == Format) return &L;
  return nullptr;
}

// A channel of Bits bits to 8 bits, full scale staying full scale.
std::uint32_t To8(std::uint32_t Value, int Bits) {
  if (Bits >= 8) return Value >> (Bits - 8);
  return (Value << (8 - Bits)) | (Value >> (2 * Bits - 8));
}

}  // namespace

bool CaptureFormatReadable(std::uint32_t Format) { return LayoutOf(Format) != nullptr; }

bool ConvertCapture(std::uint32_t Format, const std::uint8_t* Data, int Width, int Height, int Stride, bool YInvert,
                    TBitmap& Bitmap) {
  const TLayout* L = LayoutOf(Format);
  if (!L || !Data || Width <= 0 || Height <= 0 || Stride < Width * L->Bytes ||
      Bitmap.PixelFormat() != TPixelFormat::pf32bit)
    return false;
  const int W = std::min(Width, Bitmap.Width());
  const int H = std::min(Height, Bitmap.Height());
  const std::uint32_t Mask = (1u << L->Bits) - 1, GreenMask = (1u << L->GreenBits) - 1;
  for (int Row = 0; Row < H; ++Row) {
    const int From = YInvert ? Height - 1 - Row : Row;
    const std::uint8_t* In = Data + static_cast<std::size_t>(From) * static_cast<std::size_t>(Stride);
    auto* Out = reinterpret_cast<std::uint32_t*>(Bitmap.ScanLine(Row));
    if (Format == WL_SHM_FORMAT_XRGB8888 || Format == WL_SHM_FORMAT_ARGB8888) {
      std::memcpy(Out, In, static_cast<std::size_t>(W) * 4);
      for (int X = 0; X < W; ++X) Out[X] &= 0xFFFFFFu;
      continue;
    }
    for (int X = 0; X < W; ++X, In += L->Bytes) {
      std::uint32_t P = 0;
      for (int B = 0; B < L->Bytes; ++B) P |= static_cast<std::uint32_t>(In[B]) << (8 * B);
      const std::uint32_t R = To8((P >> L->RedShift) & Mask, L->Bits);
      const std::uint32_t G = To8((P >> L->GreenShift) & GreenMask, L->GreenBits);
      const std::uint32_t Bl = To8((P >> L->BlueShift) & Mask, L->Bits);
      Out[X] = R << 16 | G << 8 | Bl;
    }
  }
  return true;
}

}  // namespace qel::wl
