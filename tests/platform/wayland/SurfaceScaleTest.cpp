#include "platform/wayland/SurfaceScale.h"

#include <gtest/gtest.h>

namespace qel::wl {
namespace {

TEST(SurfaceScale, BuffersHoldTheOutputsPixelsRoundedHalfAwayFromZero) {
  struct TCase {
    int Logical, Scale120, Pixels;
  } Cases[] = {
      {1920, 150, 2400}, {1080, 150, 1350},  // 1.25: KDE's usual fractional scale
      {1920, 120, 1920}, {1920, 240, 3840},  // integer scales
      {1, 180, 2},                           // 1.5 exactly: half away from zero
      {3, 100, 3},                           // 2.5 up
      {5, 132, 6},                           // 5.5 up
      {7, 130, 8},                           // 7.58 to the nearest
      {0, 150, 1}, {100, 0, 1},              // nothing known: still a pixel
  };
  for (const TCase& C : Cases)
    EXPECT_EQ(BufferPixels(C.Logical, C.Scale120), C.Pixels) << C.Logical << " at " << C.Scale120;
}

TEST(SurfaceScale, AnOutputsPixelsAndLogicalSizeGiveItsScale) {
  EXPECT_EQ(ScaleBetween(2400, 1920), 150);
  EXPECT_EQ(ScaleBetween(3840, 1920), 240);
  EXPECT_EQ(ScaleBetween(2560, 1707), 180);  // 1.5, its logical size rounded by the compositor
  EXPECT_EQ(ScaleBetween(2400, 0), 120);
}

}  // namespace
}  // namespace qel::wl
