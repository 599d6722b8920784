#include "platform/unix/KeyTable.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace qel::posix {
namespace {

// X11 and Wayland read keysyms of the same numbers; xkbcommon names them.
TEST(KeyTable, KeysReachTheFormAsTheirVirtualKeyCodes) {
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_Escape), 27);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_space), 32);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_a), 'A');
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_Z), 'Z');
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_0), '0');
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_9), '9');
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_Return), 13);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_KP_Enter), 13);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_F1), 112);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_F12), 123);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_KP_5), 101);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_Left), 37);
  EXPECT_EQ(VirtualKeyOf(XKB_KEY_Shift_L), 16);
  // A key without a name of its own is still a key, and never Escape or Space.
  for (unsigned long Sym : {0x1008FF11ul /* a volume key */, static_cast<unsigned long>(XKB_KEY_ydiaeresis), 0ul}) {
    EXPECT_NE(VirtualKeyOf(Sym), 0);
    EXPECT_NE(VirtualKeyOf(Sym), 27);
    EXPECT_NE(VirtualKeyOf(Sym), 32);
  }
}

}  // namespace
}  // namespace qel::posix
