#include "platform/wayland/CaptureFormats.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <vector>

namespace qel::wl {
namespace {

std::uint32_t At(const TBitmap& B, int X, int Y) { return reinterpret_cast<const std::uint32_t*>(B.ScanLine(Y))[X]; }

// One pixel of colour 0xRRGGBB = 0x80C0FF (or its nearest in a narrower format) in each format,
// as the compositor's bytes in memory.
TEST(CaptureFormats, EveryOfferedLayoutReadsAsTheSameColour) {
  struct TCase {
    std::uint32_t Format;
    std::vector<std::uint8_t> Bytes;
    std::uint32_t Expected;
  };
  const TCase Cases[] = {
      {WL_SHM_FORMAT_XRGB8888, {0xFF, 0xC0, 0x80, 0x00}, 0x80C0FF},
      {WL_SHM_FORMAT_ARGB8888, {0xFF, 0xC0, 0x80, 0x7F}, 0x80C0FF},
      {WL_SHM_FORMAT_XBGR8888, {0x80, 0xC0, 0xFF, 0x00}, 0x80C0FF},
      {WL_SHM_FORMAT_ABGR8888, {0x80, 0xC0, 0xFF, 0xFF}, 0x80C0FF},
      {WL_SHM_FORMAT_RGBX8888, {0x00, 0xFF, 0xC0, 0x80}, 0x80C0FF},
      {WL_SHM_FORMAT_BGRA8888, {0xFF, 0x80, 0xC0, 0xFF}, 0x80C0FF},
      {WL_SHM_FORMAT_RGB888, {0xFF, 0xC0, 0x80}, 0x80C0FF},
      {WL_SHM_FORMAT_BGR888, {0x80, 0xC0, 0xFF}, 0x80C0FF},
      // 10 bits a channel: 0x200, 0x300, 0x3FF.
      {WL_SHM_FORMAT_XRGB2101010, {0xFF, 0x03, 0x0C, 0x20}, 0x80C0FF},
      {WL_SHM_FORMAT_XBGR2101010, {0x00, 0x02, 0xFC, 0x3F}, 0x80C0FF},
      // 5-6-5: 0x10, 0x30, 0x1F; full scale stays full scale.
      {WL_SHM_FORMAT_RGB565, {0x1F, 0x86}, 0x84C3FF},
      {WL_SHM_FORMAT_BGR565, {0x10, 0xFE}, 0x84C3FF},
  };
  for (const TCase& Case : Cases) {
    TBitmap B(1, 1);
    EXPECT_TRUE(CaptureFormatReadable(Case.Format));
    ASSERT_TRUE(ConvertCapture(Case.Format, Case.Bytes.data(), 1, 1, static_cast<int>(Case.Bytes.size()), false, B))
        << std::hex << Case.Format;
    EXPECT_EQ(At(B, 0, 0), Case.Expected) << std::hex << Case.Format;
  }
}

TEST(CaptureFormats, RowsFollowTheStrideAndAnInvertedCaptureTurnsUpright) {
  // Two rows of two XRGB pixels, each row padded to 12 bytes.
  const std::uint32_t Rows[2][3] = {{0x010203, 0x040506, 0xDEAD}, {0x070809, 0x0A0B0C, 0xBEEF}};
  const auto* Data = reinterpret_cast<const std::uint8_t*>(Rows);
  TBitmap B(2, 2);
  ASSERT_TRUE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, Data, 2, 2, 12, false, B));
  EXPECT_EQ(At(B, 1, 0), 0x040506u);
  EXPECT_EQ(At(B, 0, 1), 0x070809u);
  ASSERT_TRUE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, Data, 2, 2, 12, true, B));
  EXPECT_EQ(At(B, 0, 0), 0x070809u);
  EXPECT_EQ(At(B, 1, 1), 0x040506u);
  // A capture larger than the bitmap fills it from its top-left corner.
  TBitmap Small(1, 1);
  ASSERT_TRUE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, Data, 2, 2, 12, true, Small));
  EXPECT_EQ(At(Small, 0, 0), 0x070809u);
}

TEST(CaptureFormats, UnreadableCapturesLeaveTheBitmapAsItWas) {
  const std::uint8_t Pixel[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  TBitmap B(2, 1);
  reinterpret_cast<std::uint32_t*>(B.ScanLine(0))[0] = 0x123456;
  EXPECT_FALSE(CaptureFormatReadable(WL_SHM_FORMAT_C8));
  EXPECT_FALSE(ConvertCapture(WL_SHM_FORMAT_C8, Pixel, 2, 1, 8, false, B));
  EXPECT_FALSE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, Pixel, 2, 1, 7, false, B));  // stride too short
  EXPECT_FALSE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, nullptr, 2, 1, 8, false, B));
  EXPECT_FALSE(ConvertCapture(WL_SHM_FORMAT_XRGB8888, Pixel, 0, 1, 8, false, B));
  EXPECT_EQ(At(B, 0, 0), 0x123456u);
}

}  // namespace
}  // namespace qel::wl
