#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/images/BitmapPatterns.h"
#include "engine/images/ColorKey.h"

namespace qel {
namespace {

std::uint32_t PixelAt(const TBitmap& B, int X, int Y) {
  std::uint32_t V = 0;
  std::memcpy(&V, B.ScanLine(Y) + X * B.BytesPerPixel(), B.BytesPerPixel());
  return V;
}

void SetPixel(TBitmap& B, int X, int Y, std::uint32_t V) { std::memcpy(B.ScanLine(Y) + X * B.BytesPerPixel(), &V, B.BytesPerPixel()); }

std::uint8_t KeyedAlpha(std::uint32_t Pixel, std::uint32_t Key, int Tolerance) {
  std::uint32_t Out = 0;
  ColorKeyLine(&Pixel, &Out, 1, Key, Tolerance);
  EXPECT_EQ(Out & 0xFFFFFF, Pixel & 0xFFFFFF) << "colour bytes are kept";
  return static_cast<std::uint8_t>(Out >> 24);
}

TEST(ColorKeyLine, AlphaRisesWithTheDistanceToTheKey) {
  // Tolerance 100: every distance is inside the ramp.
  EXPECT_EQ(KeyedAlpha(0x00808080, 0x000000, 100), 125);
  EXPECT_EQ(KeyedAlpha(0x00FFFFFF, 0x000000, 100), 255) << "254.87 rounds up";
  EXPECT_EQ(KeyedAlpha(0xFF000000, 0x000000, 100), 0) << "the pixel's own alpha is discarded";
  // Tolerance 0: only colours within 0.025 fade; 0.025 * 255 = 6.4 steps on one channel.
  EXPECT_EQ(KeyedAlpha(0x00FF00FF, 0xFF00FF, 0), 0);
  const std::uint8_t Near = KeyedAlpha(0x00FB00FF, 0xFF00FF, 0);  // distance 4/255
  EXPECT_GT(Near, 0);
  EXPECT_LT(Near, 255);
  EXPECT_EQ(KeyedAlpha(0x00F800FF, 0xFF00FF, 0), 255) << "7/255 lies beyond 0.025";
  EXPECT_EQ(KeyedAlpha(0x00808080, 0x000000, -100), 125) << "the tolerance's sign is ignored";
}

TEST(ColorKeyLine, ComparesRedWithRedAcrossTheTwoLayouts) {
  // Key 0x0000FF is framework red; the ARGB pixel 0x00FF0000 is red too.
  EXPECT_EQ(KeyedAlpha(0x00FF0000, 0x0000FF, 10), 0);
  EXPECT_EQ(KeyedAlpha(0x000000FF, 0x0000FF, 10), 255) << "blue is far from red";
}

TEST(FillBitmap, WidensAndFillsWithTheSwappedColour) {
  TBitmap B(3, 2, TPixelFormat::pf24bit);
  FillBitmap(B, 0x80332211);
  ASSERT_EQ(B.PixelFormat(), TPixelFormat::pf32bit);
  for (int Y = 0; Y < 2; ++Y)
    for (int X = 0; X < 3; ++X) EXPECT_EQ(PixelAt(B, X, Y), 0x80112233u);
}

TEST(ForceOpaque, KeepsColoursAndSetsAlpha) {
  TBitmap B(2, 2, TPixelFormat::pf24bit);
  SetPixel(B, 1, 1, 0x123456);
  SetPixel(B, 0, 1, 0xABCDEF);
  EXPECT_TRUE(ForceOpaque(B));
  ASSERT_EQ(B.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(PixelAt(B, 1, 1), 0xFF123456u);
  EXPECT_EQ(PixelAt(B, 0, 1), 0xFFABCDEFu);
  EXPECT_EQ(PixelAt(B, 0, 0), 0xFF000000u);
  SetPixel(B, 0, 0, 0x00777777);
  ForceOpaque(B);
  EXPECT_EQ(PixelAt(B, 0, 0), 0xFF777777u);
}

// A source whose cell k is filled with the value k + 1 (alpha 0x40 so it is told apart from
// the opaque pixels ForceOpaque makes).
TBitmap& NumberedCells(TBitmap& B, int Columns, int Rows, int CellW, int CellH, int ExtraW = 0, int ExtraH = 0) {
  B.SetSize(Columns * CellW + ExtraW, Rows * CellH + ExtraH, TPixelFormat::pf32bit);
  for (int Y = 0; Y < B.Height(); ++Y)
    for (int X = 0; X < B.Width(); ++X) {
      const bool InCell = X < Columns * CellW && Y < Rows * CellH;
      SetPixel(B, X, Y, InCell ? 0x40000000u + static_cast<std::uint32_t>((Y / CellH) * Columns + X / CellW + 1) : 0xFFFFFFFFu);
    }
  return B;
}

TEST(PackPatterns, ThreeCellsOnOnePageLeaveTheLastSlotEmpty) {
  TBitmap Source, Dest;
  NumberedCells(Source, 3, 1, 100, 100);
  PackPatterns(Dest, Source, {256, 256}, {100, 100}, {100, 100}, false, 0, 0);
  ASSERT_EQ(Dest.Width(), 256);
  ASSERT_EQ(Dest.Height(), 256);
  EXPECT_EQ(PixelAt(Dest, 0, 0), 0x40000001u);
  EXPECT_EQ(PixelAt(Dest, 99, 99), 0x40000001u);
  EXPECT_EQ(PixelAt(Dest, 100, 0), 0x40000002u);
  EXPECT_EQ(PixelAt(Dest, 199, 99), 0x40000002u);
  EXPECT_EQ(PixelAt(Dest, 0, 100), 0x40000003u);
  EXPECT_EQ(PixelAt(Dest, 99, 199), 0x40000003u);
  EXPECT_EQ(PixelAt(Dest, 100, 100), 0u) << "fourth slot";
  EXPECT_EQ(PixelAt(Dest, 200, 0), 0u) << "right margin";
  EXPECT_EQ(PixelAt(Dest, 0, 200), 0u) << "bottom margin";
  EXPECT_EQ(PixelAt(Dest, 255, 255), 0u);
}

TEST(PackPatterns, SpillsIntoFurtherPagesAndIgnoresSourceRemainders) {
  TBitmap Source, Dest;
  NumberedCells(Source, 3, 2, 4, 3, 2, 1);  // 6 cells of 4 x 3, plus a strip that is no cell
  PackPatterns(Dest, Source, {9, 7}, {4, 3}, {4, 3}, false, 0, 0);
  // 2 cells per page row, 2 cell rows per page: 4 per page, 2 pages.
  ASSERT_EQ(Dest.Width(), 9);
  ASSERT_EQ(Dest.Height(), 14);
  const int Expected[2][4] = {{1, 2, 3, 4}, {5, 6, 0, 0}};
  for (int Page = 0; Page < 2; ++Page)
    for (int Slot = 0; Slot < 4; ++Slot) {
      const int X = (Slot % 2) * 4, Y = Page * 7 + (Slot / 2) * 3;
      const std::uint32_t Want = Expected[Page][Slot] ? 0x40000000u + Expected[Page][Slot] : 0u;
      EXPECT_EQ(PixelAt(Dest, X, Y), Want) << Page << "/" << Slot;
      EXPECT_EQ(PixelAt(Dest, X + 3, Y + 2), Want) << Page << "/" << Slot;
    }
  for (int Y = 0; Y < 14; ++Y) {
    EXPECT_EQ(PixelAt(Dest, 8, Y), 0u) << "the ninth column holds no cell";
  }
  EXPECT_EQ(PixelAt(Dest, 0, 6), 0u) << "the seventh row of a page holds no cell";
}

TEST(PackPatterns, WidensA24BitSourceInPlaceToOpaque) {
  TBitmap Source(2, 2, TPixelFormat::pf24bit), Dest;
  SetPixel(Source, 1, 0, 0x0000FF);
  PackPatterns(Dest, Source, {4, 4}, {2, 2}, {2, 2}, false, 0, 0);
  EXPECT_EQ(Source.PixelFormat(), TPixelFormat::pf32bit) << "the caller's bitmap changed";
  EXPECT_EQ(PixelAt(Source, 0, 0), 0xFF000000u);
  EXPECT_EQ(PixelAt(Dest, 1, 0), 0xFF0000FFu);
  EXPECT_EQ(PixelAt(Dest, 2, 0), 0u);
}

TEST(PackPatterns, KeysColoursOnTheWay) {
  TBitmap Source(2, 1), Dest;
  SetPixel(Source, 0, 0, 0xFF00FF00);  // green: the key
  SetPixel(Source, 1, 0, 0xFFFFFFFF);
  PackPatterns(Dest, Source, {2, 1}, {2, 1}, {2, 1}, true, 0x00FF00, 5);
  EXPECT_EQ(PixelAt(Dest, 0, 0), 0x0000FF00u);
  EXPECT_EQ(PixelAt(Dest, 1, 0), 0xFFFFFFFFu);
}

TEST(PackPatterns, DegenerateSizesGiveAnEmptyPicture) {
  TBitmap Source, Dest;
  NumberedCells(Source, 2, 2, 3, 3);
  PackPatterns(Dest, Source, {8, 8}, {10, 10}, {10, 10}, false, 0, 0);
  EXPECT_EQ(Dest.Height(), 0) << "the source is smaller than one cell";
  PackPatterns(Dest, Source, {8, 8}, {0, 3}, {3, 3}, false, 0, 0);
  EXPECT_EQ(Dest.Height(), 0);
  PackPatterns(Dest, Source, {2, 2}, {3, 3}, {3, 3}, false, 0, 0);
  EXPECT_EQ(Dest.Height(), 0) << "no cell fits a page";
  PackPatterns(Dest, Source, {-5, 8}, {3, 3}, {3, 3}, false, 0, 0);
  EXPECT_EQ(Dest.Width(), 0);
  EXPECT_EQ(Dest.Height(), 0);
}

TEST(PackPatterns, ClipsASourceCellLargerThanTheDestinationCell) {
  TBitmap Source, Dest;
  NumberedCells(Source, 2, 1, 4, 4);
  PackPatterns(Dest, Source, {6, 3}, {3, 3}, {4, 4}, false, 0, 0);
  ASSERT_EQ(Dest.Height(), 3);
  EXPECT_EQ(PixelAt(Dest, 2, 2), 0x40000001u);
  EXPECT_EQ(PixelAt(Dest, 3, 0), 0x40000002u);
  EXPECT_EQ(PixelAt(Dest, 5, 2), 0x40000002u);
}

TEST(PatternPacking, DirectRowsAreTheComposedRowsOfWholeWidthCells) {
  TBitmap Source;
  NumberedCells(Source, 1, 3, 5, 2, 0, 1);  // three cells of 5 x 2 stacked, one spare row
  const TPatternPacking OnePerPage(Source, {5, 3}, {5, 2}, {5, 2});
  ASSERT_EQ(OnePerPage.Pages(), 3);
  std::uint8_t Composed[5 * 4];
  for (int Y = 0; Y < OnePerPage.Height(); ++Y) {
    OnePerPage.ComposeRow(Y, Composed, false, 0, 0);
    const std::uint8_t* Direct = OnePerPage.DirectRow(Y);
    if (Y % 3 == 2) {
      EXPECT_EQ(Direct, nullptr) << "row " << Y << " lies below the cell";
      continue;
    }
    ASSERT_NE(Direct, nullptr) << "row " << Y;
    EXPECT_EQ(std::memcmp(Direct, Composed, sizeof(Composed)), 0) << "row " << Y;
  }
  const TPatternPacking TwoPerRow(Source, {10, 2}, {5, 2}, {5, 2});
  EXPECT_EQ(TwoPerRow.DirectRow(0), nullptr);
  const TPatternPacking Narrower(Source, {6, 2}, {5, 2}, {5, 2});
  EXPECT_EQ(Narrower.DirectRow(0), nullptr) << "the margin must be cleared";
}

}  // namespace
}  // namespace qel
