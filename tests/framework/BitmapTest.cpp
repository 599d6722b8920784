#include <gtest/gtest.h>

#include <climits>

#include "framework/Bitmap.h"

namespace qel {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytesAndStartCleared) {
  TBitmap B(3, 2, TPixelFormat::pf24bit);
  EXPECT_EQ(B.Pitch(), 12);
  EXPECT_EQ(B.ScanLine(1) - B.ScanLine(0), 12);
  EXPECT_EQ(B.ScanLine(1)[8], 0);
  B.ScanLine(0)[0] = 7;
  B.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_EQ(B.Pitch(), 12);
  EXPECT_EQ(B.ScanLine(0)[0], 0) << "a new format starts from cleared pixels";
}

TEST(Bitmap, RefusesSizesItCannotHold) {
  TBitmap B(4, 4);
  EXPECT_FALSE(B.SetSize(INT_MAX, INT_MAX, TPixelFormat::pf32bit));
  EXPECT_EQ(B.Width(), 0);
  EXPECT_EQ(B.Height(), 0);
  EXPECT_FALSE(B.SetSize(70000, 70000, TPixelFormat::pf32bit)) << "16 GB of pixels";
  EXPECT_TRUE(B.SetSize(-5, 10, TPixelFormat::pf32bit));
  EXPECT_EQ(B.Width(), 0);
  EXPECT_EQ(B.Height(), 10);
  // A 24-bit picture can fit where its 32-bit form would not: widening must ask first.
  EXPECT_TRUE(TBitmap::SizeFits(16384, 21845, TPixelFormat::pf24bit));
  EXPECT_FALSE(TBitmap::SizeFits(16384, 21845, TPixelFormat::pf32bit));
  EXPECT_TRUE(TBitmap::SizeFits(16384, 16384, TPixelFormat::pf32bit)) << "the largest screen, exactly 1 GiB";
}

}  // namespace
}  // namespace qel
