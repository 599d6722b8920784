// GoogleTest before Xlib: Xlib's macros (None, Bool) would break GoogleTest's headers.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/X11Keys.h"
#include "platform/x11/X11Visual.h"

namespace qel::x11 {
namespace {

TEST(X11Keys, KeysReachTheFormAsTheirVirtualKeyCodes) {
  EXPECT_EQ(VirtualKeyOf(XK_Escape), 27);
  EXPECT_EQ(VirtualKeyOf(XK_space), 32);
  EXPECT_EQ(VirtualKeyOf(XK_a), 'A');
  EXPECT_EQ(VirtualKeyOf(XK_Z), 'Z');
  EXPECT_EQ(VirtualKeyOf(XK_0), '0');
  EXPECT_EQ(VirtualKeyOf(XK_9), '9');
  EXPECT_EQ(VirtualKeyOf(XK_Return), 13);
  EXPECT_EQ(VirtualKeyOf(XK_KP_Enter), 13);
  EXPECT_EQ(VirtualKeyOf(XK_F1), 112);
  EXPECT_EQ(VirtualKeyOf(XK_F12), 123);
  EXPECT_EQ(VirtualKeyOf(XK_KP_5), 101);
  EXPECT_EQ(VirtualKeyOf(XK_Left), 37);
  EXPECT_EQ(VirtualKeyOf(XK_Shift_L), 16);
  // A key without a name of its own is still a key, and never Escape or Space.
  for (unsigned long Sym : {0x1008FF11ul /* a volume key */, static_cast<unsigned long>(XK_ydiaeresis), 0ul}) {
    EXPECT_NE(VirtualKeyOf(Sym), 0);
    EXPECT_NE(VirtualKeyOf(Sym), 27);
    EXPECT_NE(VirtualKeyOf(Sym), 32);
  }
}

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
