#include "platform/wayland/kwin/ScreenImage.h"

#include <wayland-client-protocol.h>

namespace qel::kwin {
namespace {

// QImage's formats of whole bytes per pixel, each with the wl_shm format of the same layout in
// memory (QImage's 32-bit formats are native-endian words, its byte formats bytes in order).
// Premultiplied pixels are read as they are: what a screen shows is opaque.
struct TQImageFormat {
  std::uint32_t QImage;
  std::uint32_t Shm;
  int Bytes;
};
constexpr TQImageFormat Formats[] = {
    {4, WL_SHM_FORMAT_XRGB8888, 4},      // RGB32
    {5, WL_SHM_FORMAT_ARGB8888, 4},      // ARGB32
    {6, WL_SHM_FORMAT_ARGB8888, 4},      // ARGB32_Premultiplied
    {7, WL_SHM_FORMAT_RGB565, 2},        // RGB16
    {13, WL_SHM_FORMAT_BGR888, 3},       // RGB888: bytes R, G, B
    {16, WL_SHM_FORMAT_XBGR8888, 4},     // RGBX8888: bytes R, G, B, X
    {17, WL_SHM_FORMAT_ABGR8888, 4},     // RGBA8888
    {18, WL_SHM_FORMAT_ABGR8888, 4},     // RGBA8888_Premultiplied
    {19, WL_SHM_FORMAT_XBGR2101010, 4},  // BGR30
    {20, WL_SHM_FORMAT_ABGR2101010, 4},  // A2BGR30_Premultiplied
    {21, WL_SHM_FORMAT_XRGB2101010, 4},  // RGB30
    {22, WL_SHM_FORMAT_ARGB2101010, 4},  // A2RGB30_Premultiplied
    {29, WL_SHM_FORMAT_RGB888, 3},       // BGR888: bytes B, G, R
};

// Rows are padded to a word at most; more is not a layout KWin writes.
constexpr int MostPadding = 64;

}  // namespace

bool ReadShotFields(const TShotFields& Fields, int WantWidth, int WantHeight, TScreenImage& Image, std::string& Error) {
  if (Fields.Type != "raw") {
    Error = "the pixels come as \"" + Fields.Type + "\", not raw";
    return false;
  }
  if (!Fields.Width || !Fields.Height || !Fields.Stride || !Fields.Format) {
    Error = "the reply lacks the width, height, stride or format";
    return false;
  }
  const TQImageFormat* Format = nullptr;
  for (const TQImageFormat& F : Formats)
    if (F.QImage == *Fields.Format) Format = &F;
  if (!Format) {
    Error = "the pixels are in image format " + std::to_string(*Fields.Format) + ", which is not read here";
    return false;
  }
  const std::uint32_t W = *Fields.Width, H = *Fields.Height, Stride = *Fields.Stride;
  const std::string Size = std::to_string(W) + "x" + std::to_string(H);
  if (W == 0 || H == 0 || W > LargestSide || H > LargestSide) {
    Error = "a picture of " + Size + " pixels";
    return false;
  }
  if ((WantWidth || WantHeight) && (W != static_cast<std::uint32_t>(WantWidth) || H != static_cast<std::uint32_t>(WantHeight))) {
    Error = "a picture of " + Size + " pixels for a screen of " + std::to_string(WantWidth) + "x" +
            std::to_string(WantHeight);
    return false;
  }
  const std::uint32_t Row = W * static_cast<std::uint32_t>(Format->Bytes);
  if (Stride < Row || Stride > Row + MostPadding) {
    Error = "rows of " + std::to_string(Stride) + " bytes for " + std::to_string(W) + " pixels of " +
            std::to_string(Format->Bytes) + " bytes";
    return false;
  }
  Image.ShmFormat = Format->Shm;
  Image.Width = static_cast<int>(W);
  Image.Height = static_cast<int>(H);
  Image.Stride = static_cast<int>(Stride);
  return true;
}

}  // namespace qel::kwin
