#include "platform/wayland/OutputTransform.h"

#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <string>

namespace qel::wl {
namespace {

// A picture as rows of letters, one letter a pixel.
std::string Rows(const TBitmap& B) {
  std::string Text;
  for (int Y = 0; Y < B.Height(); ++Y) {
    if (Y) Text += '/';
    for (int X = 0; X < B.Width(); ++X) Text += static_cast<char>(reinterpret_cast<const std::uint32_t*>(B.ScanLine(Y))[X]);
  }
  return Text;
}

// The output holds "abc/def"; what its user sees, by the protocol's words: the compositor
// flips the picture (where flipped), then turns it counter-clockwise.
TEST(OutputTransform, ACaptureTurnsUprightForEveryTransform) {
  TBitmap Captured(3, 2);
  const char* Letters = "abcdef";
  for (int I = 0; I < 6; ++I) reinterpret_cast<std::uint32_t*>(Captured.ScanLine(I / 3))[I % 3] = Letters[I];
  const struct {
    std::int32_t Transform;
    const char* Upright;
  } Cases[] = {
      {WL_OUTPUT_TRANSFORM_NORMAL, "abc/def"},     {WL_OUTPUT_TRANSFORM_90, "da/eb/fc"},
      {WL_OUTPUT_TRANSFORM_180, "fed/cba"},        {WL_OUTPUT_TRANSFORM_270, "cf/be/ad"},
      {WL_OUTPUT_TRANSFORM_FLIPPED, "cba/fed"},    {WL_OUTPUT_TRANSFORM_FLIPPED_90, "ad/be/cf"},
      {WL_OUTPUT_TRANSFORM_FLIPPED_180, "def/abc"}, {WL_OUTPUT_TRANSFORM_FLIPPED_270, "fc/eb/da"},
  };
  for (const auto& C : Cases) {
    TBitmap Upright;
    ASSERT_TRUE(TurnUpright(Captured, C.Transform, Upright)) << C.Transform;
    EXPECT_EQ(Rows(Upright), C.Upright) << C.Transform;
  }
}

TEST(OutputTransform, WhatItCannotTurnLeavesThePictureAsItWas) {
  TBitmap Captured(3, 2), Narrow(3, 2, TPixelFormat::pf24bit), Upright(5, 5);
  EXPECT_FALSE(TurnUpright(Captured, 8, Upright));
  EXPECT_FALSE(TurnUpright(Captured, -1, Upright));
  EXPECT_FALSE(TurnUpright(Narrow, WL_OUTPUT_TRANSFORM_90, Upright));
  EXPECT_FALSE(TurnUpright(Captured, WL_OUTPUT_TRANSFORM_90, Captured));
  EXPECT_EQ(Upright.Width(), 5);
  EXPECT_EQ(Captured.Width(), 3);
}

}  // namespace
}  // namespace qel::wl
