#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "framework/LittleEndian.h"
#include "framework/Streams.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

// The archive this test program carries, opened the way the screensaver opens it.
class EmbeddedArtwork : public ::testing::Test {
 protected:
  void SetUp() override {
    const void* Data = nullptr;
    std::int64_t Size = 0;
    ASSERT_TRUE(Platform.FindResource("glowdb", Data, Size));
    Bytes = static_cast<const std::uint8_t*>(Data);
    Db = Create<TGlowDb>(&Owner);
    Db->SetOpenMode(opReadOnly);
    Db->OpenStream(new TResourceStream(Data, Size));
    ASSERT_TRUE(Db->EnsureOpen());
  }

  std::vector<std::uint8_t> Read(const std::string& Key) {
    std::vector<std::uint8_t> Payload;
    EXPECT_TRUE(Db->ReadRecord(Key, Payload)) << Key << ": " << Db->LastError();
    return Payload;
  }

  THeadlessPlatform Platform;
  TComponent Owner{nullptr};
  TGlowDb* Db = nullptr;
  const std::uint8_t* Bytes = nullptr;
};

// The image payload header: format, pattern, visible, count, texture, texture count.
struct TImageHeader {
  int Format, PatternW, PatternH, VisibleW, VisibleH, Count, TextureW, TextureH, Textures;
};

TImageHeader ImageHeader(const std::uint8_t* P) {
  auto I = [&](int Field) { return static_cast<int>(le::Load32(P + 1 + 4 * Field)); };
  return {P[0], I(0), I(1), I(2), I(3), I(4), I(5), I(6), I(7)};
}

TEST_F(EmbeddedArtwork, HoldsFourPlainLevelNineRecordsInSetUpOrder) {
  ASSERT_EQ(Db->RecordCount(), 4);
  const char* Keys[] = {"Verdana9.font", "Verdana-B-12.font", "bg", "tex"};
  const int Types[] = {recFont, recFont, recImage, recImage};
  const std::uint32_t Sizes[] = {66305, 131881, 262177, 16417};
  for (int i = 0; i < 4; ++i) {
    const TRecordInfo& R = *Db->RecordInfo(i);
    EXPECT_EQ(R.Key, Keys[i]);
    EXPECT_EQ(R.RecordType, Types[i]);
    EXPECT_EQ(R.OrigSize, Sizes[i]);
    EXPECT_FALSE(R.Encrypted);
    EXPECT_EQ(Bytes[R.Offset + 44], 0x78);
    EXPECT_EQ(Bytes[R.Offset + 45], 0xDA);
    EXPECT_EQ(Read(Keys[i]).size(), Sizes[i]);
  }
}

TEST_F(EmbeddedArtwork, TheRibbonStripIsWhiteWithItsRowAlphas) {
  const auto P = Read("tex");
  ASSERT_EQ(P.size(), 16417u);
  const TImageHeader H = ImageHeader(P.data());
  EXPECT_EQ(H.Format, 5);
  EXPECT_EQ(H.PatternW, 32);
  EXPECT_EQ(H.PatternH, 128);
  EXPECT_EQ(H.VisibleW, 32);
  EXPECT_EQ(H.VisibleH, 128);
  EXPECT_EQ(H.Count, 1);
  EXPECT_EQ(H.TextureW, 32);
  EXPECT_EQ(H.TextureH, 128);
  EXPECT_EQ(H.Textures, 1);
  const int Alpha[74] = {0,   177, 225, 255, 255, 255, 255, 255, 253, 251, 249, 246, 243, 241, 238, 235, 232, 228, 225,
                         221, 218, 214, 210, 206, 202, 198, 194, 190, 185, 181, 176, 172, 167, 163, 158, 154, 149, 144,
                         139, 135, 130, 125, 120, 116, 111, 106, 101, 97,  92,  88,  83,  79,  74,  70,  65,  61,  57,
                         53,  49,  45,  41,  37,  34,  30,  27,  23,  20,  17,  14,  12,  9,   6,   4,   2};
  for (int Y = 0; Y < 128; ++Y)
    for (int X = 0; X < 32; ++X) {
      const std::uint32_t Pixel = le::Load32(P.data() + 33 + 4 * (Y * 32 + X));
      ASSERT_EQ(Pixel, std::uint32_t(Y < 74 ? Alpha[Y] : 0) << 24 | 0xFFFFFFu) << "row " << Y << " column " << X;
    }
}

TEST_F(EmbeddedArtwork, TheCloudsAreOpaqueGreySoftAndDoNotTile) {
  const auto P = Read("bg");
  ASSERT_EQ(P.size(), 262177u);
  const TImageHeader H = ImageHeader(P.data());
  EXPECT_EQ(H.Format, 5);
  EXPECT_EQ(H.PatternW * H.PatternH, 256 * 256);
  EXPECT_EQ(H.TextureW * H.TextureH * H.Textures, 256 * 256);
  auto Grey = [&](int X, int Y) {
    const std::uint32_t Pixel = le::Load32(P.data() + 33 + 4 * (Y * 256 + X));
    EXPECT_EQ(Pixel >> 24, 255u);
    EXPECT_EQ((Pixel >> 16) & 255, Pixel & 255);
    EXPECT_EQ((Pixel >> 8) & 255, Pixel & 255);
    return static_cast<int>(Pixel & 255);
  };
  int Low = 255, High = 0, Steepest = 0;
  double Sum = 0;
  for (int Y = 0; Y < 256; ++Y)
    for (int X = 0; X < 256; ++X) {
      const int G = Grey(X, Y);
      Low = std::min(Low, G);
      High = std::max(High, G);
      Sum += G;
      if (X > 0) Steepest = std::max(Steepest, std::abs(G - Grey(X - 1, Y)));
    }
  EXPECT_EQ(Low, 184);
  EXPECT_EQ(High, 251);
  EXPECT_NEAR(Sum / 65536, 206.0, 1.0);
  EXPECT_LE(Steepest, 12) << "blotches are soft: no sharp steps between neighbours";
  double EdgeGap = 0;
  for (int Y = 0; Y < 256; ++Y) EdgeGap += std::abs(Grey(0, Y) - Grey(255, Y));
  EXPECT_GT(EdgeGap / 256, 2.0) << "the left and right edges do not match up";
}

TEST_F(EmbeddedArtwork, TheFontsHaveTheirRangesCellsAndFormat) {
  struct TExpected {
    const char* Key;
    int First, Count, CellW, CellH, VisibleW, VisibleH, TextureW, TextureH;
  };
  for (const TExpected& E : {TExpected{"Verdana9.font", 33, 90, 16, 13, 15, 12, 128, 256},
                             TExpected{"Verdana-B-12.font", 32, 95, 22, 17, 21, 16, 256, 256}}) {
    SCOPED_TRACE(E.Key);
    const auto P = Read(E.Key);
    ASSERT_GT(P.size(), 16u);
    EXPECT_EQ(le::Load32(P.data()), std::uint32_t(E.First));
    EXPECT_EQ(le::Load32(P.data() + 4), 0u) << "spacing";
    EXPECT_EQ(le::Load32(P.data() + 8), 0u) << "reserved";
    ASSERT_EQ(le::Load32(P.data() + 12), std::uint32_t(E.Count));
    for (int i = 0; i < E.Count; ++i) {
      const auto Advance = static_cast<std::int32_t>(le::Load32(P.data() + 16 + 8 * i));
      EXPECT_GT(Advance, 0) << "glyph " << i;
      EXPECT_LE(Advance, E.VisibleW) << "glyph " << i;
      EXPECT_EQ(le::Load32(P.data() + 20 + 8 * i), std::uint32_t(E.VisibleH)) << "glyph height " << i;
    }
    const std::uint8_t* Image = P.data() + 16 + 8 * E.Count;
    const TImageHeader H = ImageHeader(Image);
    EXPECT_EQ(H.Format, 7);
    EXPECT_EQ(H.PatternW, E.CellW);
    EXPECT_EQ(H.PatternH, E.CellH);
    EXPECT_EQ(H.VisibleW, E.VisibleW);
    EXPECT_EQ(H.VisibleH, E.VisibleH);
    EXPECT_EQ(H.Count, E.Count);
    EXPECT_EQ(H.TextureW, E.TextureW);
    EXPECT_EQ(H.TextureH, E.TextureH);
    EXPECT_EQ(H.Textures, 1);
    EXPECT_EQ(P.size(), 16u + 8 * E.Count + 33 + 2u * E.TextureW * E.TextureH);

    // Ink of one glyph: white texels whose alpha is their coverage.
    auto Ink = [&](char C) {
      const int G = C - E.First, PerRow = E.TextureW / E.CellW;
      const int Left = (G % PerRow) * E.CellW, Top = (G / PerRow) * E.CellH;
      int Texels = 0;
      for (int Y = Top; Y < Top + E.CellH; ++Y)
        for (int X = Left; X < Left + E.CellW; ++X) {
          const std::uint16_t Texel = static_cast<std::uint16_t>(le::Load16(Image + 33 + 2 * (Y * E.TextureW + X)));
          if (Texel >> 12) {
            ++Texels;
            EXPECT_EQ(Texel & 0xFFF, 0xFFF) << "glyph texels are white";
          }
          if (X >= Left + E.VisibleW || Y >= Top + E.VisibleH) {
            EXPECT_EQ(Texel, 0) << "outside the visible part";
          }
        }
      return Texels;
    };
    EXPECT_GT(Ink('A'), 10);
    EXPECT_GT(Ink('g'), Ink('.'));
    if (E.First == 32) {
      EXPECT_EQ(Ink(' '), 0);
    }
  }
}

TEST(HeadlessResources, WhatATestAddsComesBeforeTheEmbeddedArchive) {
  THeadlessPlatform Platform;
  const void* Data = nullptr;
  std::int64_t Size = 0;
  ASSERT_TRUE(Platform.FindResource("glowdb", Data, Size));
  EXPECT_GT(Size, 12);
  Platform.AddResource("glowdb", {1, 2, 3});
  ASSERT_TRUE(Platform.FindResource("glowdb", Data, Size));
  EXPECT_EQ(Size, 3);
  EXPECT_FALSE(Platform.FindResource("no such resource", Data, Size));
}

}  // namespace
}  // namespace qel
