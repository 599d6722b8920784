#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "ImageTestData.h"
#include "engine/images/ImagePayload.h"
#include "engine/images/PatternLayout.h"
#include "framework/Streams.h"

namespace qel {
namespace {

constexpr TPoint MaxSize{16384, 16384};

TEST(ImagePayloadHeader, RoundTripsThroughItsLittleEndianBytes) {
  TMemoryStream S;
  TImagePayloadHeader H = test::SmallFontHeader();
  H.PatternCount = -2;
  ASSERT_TRUE(WriteImagePayloadHeader(S, H));
  ASSERT_EQ(S.Size(), ImagePayloadHeaderSize);
  const std::uint8_t Expected[ImagePayloadHeaderSize] = {7,  16, 0, 0, 0, 13, 0, 0, 0, 15,  0,    0,    0,    12, 0, 0, 0,
                                                         0xFE, 0xFF, 0xFF, 0xFF, 128, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0};
  for (int I = 0; I < ImagePayloadHeaderSize; ++I) EXPECT_EQ(S.Bytes()[I], Expected[I]) << "byte " << I;
  S.SetPosition(0);
  TImagePayloadHeader Back;
  ASSERT_TRUE(ReadImagePayloadHeader(S, Back));
  EXPECT_EQ(Back.Format, cfA4R4G4B4);
  EXPECT_EQ(Back.PatternSize, (TPoint{16, 13}));
  EXPECT_EQ(Back.VisibleSize, (TPoint{15, 12}));
  EXPECT_EQ(Back.PatternCount, -2);
  EXPECT_EQ(Back.TextureSize, (TPoint{128, 256}));
  EXPECT_EQ(Back.TextureCount, 1);
  S.SetSize(32);
  S.SetPosition(0);
  EXPECT_FALSE(ReadImagePayloadHeader(S, Back)) << "32 bytes are a short header";
}

TEST(ImagePayloadHeader, PixelBytesAreCountTimesRowsTimesRowBytes) {
  EXPECT_EQ(ImagePayloadPixelBytes(test::SmallFontHeader()), 65536);
  TImagePayloadHeader H = test::SmallFontHeader();
  H.TextureCount = INT_MAX;
  H.TextureSize = {INT_MAX, INT_MAX};
  EXPECT_EQ(ImagePayloadPixelBytes(H), -1) << "too large to count, not wrapped";
  H.TextureSize = {-1, 4};
  EXPECT_EQ(ImagePayloadPixelBytes(H), -1);
}

TEST(IsLoadableImagePayload, AcceptsTheEmbeddedShapesWithExactlyTheirPixels) {
  EXPECT_TRUE(IsLoadableImagePayload(test::SmallFontHeader(), 65536, MaxSize));
  EXPECT_TRUE(IsLoadableImagePayload(test::SmallFontHeader(), 70000, MaxSize)) << "trailing bytes are not its business";
  EXPECT_FALSE(IsLoadableImagePayload(test::SmallFontHeader(), 65535, MaxSize)) << "one byte short";
  TImagePayloadHeader Bg;
  Bg.Format = cfA8R8G8B8;
  Bg.PatternSize = Bg.VisibleSize = Bg.TextureSize = {256, 256};
  Bg.PatternCount = 1;
  Bg.TextureCount = 1;
  EXPECT_TRUE(IsLoadableImagePayload(Bg, 262144, MaxSize));
  Bg.PatternSize = Bg.VisibleSize = {0, 0};
  Bg.PatternCount = 0;
  EXPECT_TRUE(IsLoadableImagePayload(Bg, 262144, MaxSize)) << "sizes below 1 mean the texture's";
}

TEST(IsLoadableImagePayload, RefusesDamagedHeaders) {
  const auto Refused = [](auto Change, std::int64_t Bytes = 1 << 30) {
    TImagePayloadHeader H = test::SmallFontHeader();
    Change(H);
    return !IsLoadableImagePayload(H, Bytes, MaxSize);
  };
  EXPECT_TRUE(Refused([](auto& H) { H.Format = cfUnknown; }));
  EXPECT_TRUE(Refused([](auto& H) { H.Format = static_cast<TColorFormat>(200); }));
  EXPECT_TRUE(Refused([](auto& H) { H.TextureSize.X = 0; }));
  EXPECT_TRUE(Refused([](auto& H) { H.TextureSize.Y = -256; }));
  EXPECT_FALSE(Refused([](auto& H) {
    H.TextureCount = 0;
    H.TextureSize.X = 1 << 20;
    H.PatternCount = 9999;
  })) << "no textures: an empty image, nothing made, nothing drawn";
  EXPECT_TRUE(Refused([](auto& H) {
    H.TextureCount = 0;
    H.PatternSize.X = 129;
  })) << "cells that cannot fit even so";
  EXPECT_TRUE(Refused([](auto& H) { H.TextureCount = -1; }));
  EXPECT_TRUE(Refused([](auto& H) { H.TextureSize.X = 16385; }));
  EXPECT_TRUE(Refused([](auto& H) { H.PatternSize.X = 129; }));
  EXPECT_TRUE(Refused([](auto& H) { H.VisibleSize.Y = 14; }));
  EXPECT_TRUE(Refused([](auto& H) { H.VisibleSize = {0, 0}; }))
      << "the visible size defaults to the texture's, larger than the pattern";
  EXPECT_TRUE(Refused([](auto& H) { H.PatternCount = 153; })) << "152 cells per texture";
  EXPECT_FALSE(Refused([](auto& H) { H.PatternCount = 152; }));
  EXPECT_TRUE(Refused([](auto& H) { H.TextureCount = INT_MAX; })) << "a billion textures the stream cannot hold";
  EXPECT_TRUE(Refused([](auto&) {}, -5));
}

TEST(LayOutPatterns, CountsWholeCellsAndDefaultsToTheTexture) {
  TPatternLayout L;
  ASSERT_TRUE(LayOutPatterns({128, 256}, {16, 13}, {15, 12}, L));
  EXPECT_EQ(L.PatternsPerRow, 8);
  EXPECT_EQ(L.PatternsPerColumn, 19);
  EXPECT_EQ(L.PatternsPerTexture, 152);
  ASSERT_TRUE(LayOutPatterns({32, 128}, {0, -1}, {0, 0}, L));
  EXPECT_EQ(L.PatternSize, (TPoint{32, 128}));
  EXPECT_EQ(L.VisibleSize, (TPoint{32, 128}));
  EXPECT_EQ(L.PatternsPerTexture, 1);
  EXPECT_FALSE(LayOutPatterns({64, 64}, {16, 16}, {0, 0}, L)) << "visible size becomes 64 x 64, above the cell";
  EXPECT_EQ(L.VisibleSize, (TPoint{64, 64}));
  EXPECT_FALSE(LayOutPatterns({0, 64}, {0, 0}, {0, 0}, L));
  EXPECT_FALSE(LayOutPatterns({64, 64}, {65, 1}, {1, 1}, L));
  EXPECT_FALSE(LayOutPatterns({65536, 65536}, {1, 1}, {1, 1}, L)) << "more cells than an int counts";
}

}  // namespace
}  // namespace qel
