// GoogleTest before Xlib: Xlib's macros (None, Bool) would break GoogleTest's headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "platform/x11/X11Visual.h"

namespace qel::x11 {
namespace {

TEST(X11Visual, PixelsOfOtherLayoutsConvertBothWays) {
  Visual Plain{};
  Plain.red_mask = 0xFF0000;
  Plain.green_mask = 0xFF00;
  Plain.blue_mask = 0xFF;
  EXPECT_TRUE(TChannelMasks(&Plain).IsPlainXrgb());

  Visual Bgr{};
  Bgr.red_mask = 0xFF;
  Bgr.green_mask = 0xFF00;
  Bgr.blue_mask = 0xFF0000;
  const TChannelMasks B(&Bgr);
  EXPECT_FALSE(B.IsPlainXrgb());
  EXPECT_EQ(B.FromXrgb(0x123456), 0x563412u);
  EXPECT_EQ(B.ToXrgb(0x563412), 0x123456u);

  Visual R5G6B5{};
  R5G6B5.red_mask = 0xF800;
  R5G6B5.green_mask = 0x07E0;
  R5G6B5.blue_mask = 0x001F;
  const TChannelMasks S(&R5G6B5);
  EXPECT_EQ(S.FromXrgb(0xFFFFFF), 0xFFFFu);
  EXPECT_EQ(S.ToXrgb(0xFFFF), 0xFFFFFFu);  // full scale stays full scale
  EXPECT_EQ(S.ToXrgb(S.FromXrgb(0x84C710)), 0x84C710u);
  EXPECT_EQ(S.ToXrgb(0), 0u);
}

}  // namespace
}  // namespace qel::x11
