#include <gtest/gtest.h>

#include "engine/draw/GlowTypes.h"

namespace qel {
namespace {

void ExpectCorners(const TPoint4& P, std::array<std::array<float, 2>, 4> Want) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(P[i].X, Want[i][0]) << "corner " << i;
    EXPECT_EQ(P[i].Y, Want[i][1]) << "corner " << i;
  }
}

TEST(GlowTypes, AlphaKeepsOnlyTheLowByte) {
  EXPECT_EQ(Alpha4(255), Color4(0xFFFFFFFFu));
  EXPECT_EQ(Alpha4(0), Color4(0x00FFFFFFu));
  EXPECT_EQ(Alpha4(256), Alpha4(0));
  EXPECT_EQ(Alpha4(-1), Alpha4(255));
  EXPECT_EQ(Alpha4(0x1280), Color4(0x80FFFFFFu));
}

TEST(GlowTypes, ColorAlphaReplacesTheColoursAlphaByte) {
  EXPECT_EQ(ColorAlpha4(0x000000FFu, 0x80), Color4(0x800000FFu));
  EXPECT_EQ(ColorAlpha4(0xAB123456u, 0x01), Color4(0x01123456u));
  EXPECT_EQ(ColorAlpha4(0x00808080u, 0x180), Color4(0x80808080u));
}

TEST(GlowTypes, ColorCornersKeepTheirOrder) {
  const TColor4 C = Color4Corners(1, 2, 3, 4);
  EXPECT_EQ(C, (TColor4{1, 2, 3, 4}));
}

TEST(GlowTypes, RectUsesRightAndBottomAsTheyAre) {
  ExpectCorners(Rect4(TRect{0, 0, 800, 600}), {{{0, 0}, {800, 0}, {800, 600}, {0, 600}}});
  ExpectCorners(Rect4(TRect{-5, 7, 3, -2}), {{{-5, 7}, {3, 7}, {3, -2}, {-5, -2}}});
}

TEST(GlowTypes, BoundsRunClockwiseAndAreNotNormalised) {
  ExpectCorners(Bounds4(10, 20, 30, 40), {{{10, 20}, {40, 20}, {40, 60}, {10, 60}}});
  // A negative width mirrors the quad to the left of its start.
  ExpectCorners(Bounds4(10, 20, -4, 2), {{{10, 20}, {6, 20}, {6, 22}, {10, 22}}});
}

TEST(GlowTypes, BoundsScaledRoundsTheExtentHalfToEvenAndKeepsThePosition) {
  ExpectCorners(Bounds4Scaled(10, 20, 15, 12, 0.5), {{{10, 20}, {18, 20}, {18, 26}, {10, 26}}});
  // 2.5 -> 2, 3.5 -> 4, -2.5 -> -2
  EXPECT_EQ(Bounds4Scaled(0, 0, 5, 7, 0.5)[2].X, 2.0f);
  EXPECT_EQ(Bounds4Scaled(0, 0, 5, 7, 0.5)[2].Y, 4.0f);
  EXPECT_EQ(Bounds4Scaled(0, 0, -5, 0, 0.5)[1].X, -2.0f);
}

TEST(GlowTypes, OffsetMovesEveryCornerAndLeavesTheInput) {
  const TPoint4 P = Point4(1, 2, 3, 4, 5, 6, 7, 8);
  const TPoint4 Q = Point4Offset(P, Point2(10, -1));
  ExpectCorners(Q, {{{11, 1}, {13, 3}, {15, 5}, {17, 7}}});
  ExpectCorners(P, {{{1, 2}, {3, 4}, {5, 6}, {7, 8}}});
}

TEST(GlowTypes, CoordinatesAreRoundedToNearestFloat) {
  // 0.1 has no exact float; the stored value is the nearest one, not a truncation.
  EXPECT_EQ(Point2(0.1, 0).X, 0.1f);
  EXPECT_EQ(Point2(1.0 + 1e-9, 0).X, 1.0f);
}

TEST(GlowTypes, TexPatternClearsEverythingButThePattern) {
  const TTexCoord T = TexPattern(5);
  EXPECT_EQ(T.Pattern, 5);
  EXPECT_EQ(T.SrcX, 0);
  EXPECT_EQ(T.SrcY, 0);
  EXPECT_EQ(T.SrcWidth, 0);
  EXPECT_EQ(T.SrcHeight, 0);
  EXPECT_FALSE(T.FlipX);
  EXPECT_FALSE(T.FlipY);
  EXPECT_EQ(DefaultTexCoord, TexPattern(0));
}

}  // namespace
}  // namespace qel
