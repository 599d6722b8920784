#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/images/ColorFormats.h"
#include "engine/images/LineConversion.h"

namespace qel {
namespace {

// Decodes one pixel given as its little-endian integer value.
std::uint32_t Decode(TColorFormat Code, std::uint32_t Value) {
  std::uint8_t Bytes[4] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
                           static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 24)};
  std::uint32_t Out = 0;
  LineToARGB(Bytes, &Out, 1, Code);
  return Out;
}

// Encodes one ARGB pixel and gives the written bytes as a little-endian integer.
std::uint32_t Encode(TColorFormat Code, std::uint32_t ARGB) {
  std::uint8_t Out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  TARGBLineConverter Converter = ARGBLineConverter(Code);
  EXPECT_NE(Converter, nullptr);
  Converter(&ARGB, Out, 1);
  std::uint32_t Value = 0;
  for (int I = 0; I < FormatBytes(Code); ++I) Value |= std::uint32_t{Out[I]} << (8 * I);
  for (int I = FormatBytes(Code); I < 4; ++I) EXPECT_EQ(Out[I], 0xEE) << "wrote past the pixel";
  return Value;
}

TEST(ColorFormats, BytesNamesAndLookup) {
  const int Expected[] = {1, 2, 4, 2, 2, 4, 2, 2, 2, 1, 1, 0};
  for (int I = 0; I < ColorFormatCount; ++I) EXPECT_EQ(FormatBytes(static_cast<TColorFormat>(I)), Expected[I]);
  EXPECT_EQ(FormatBytes(static_cast<TColorFormat>(200)), 0);
  for (int I = 0; I < cfUnknown; ++I) {
    TColorFormat Code = cfUnknown;
    ASSERT_TRUE(FormatFromName(FormatName(static_cast<TColorFormat>(I)), Code));
    EXPECT_EQ(Code, I);
  }
  TColorFormat Code = cfUnknown;
  EXPECT_TRUE(FormatFromName("A4R4G4B4", Code));
  EXPECT_EQ(Code, cfA4R4G4B4);
  EXPECT_EQ(FormatName(cfR5G6B5), "r5g6b5");
  EXPECT_FALSE(FormatFromName("unknown", Code));
  EXPECT_FALSE(FormatFromName("a8r8g8b", Code));
  EXPECT_FALSE(FormatFromName("", Code));
  EXPECT_EQ(FormatName(static_cast<TColorFormat>(99)), "unknown");
}

TEST(ColorFormats, SwapRedBlueExchangesBytesZeroAndTwo) {
  EXPECT_EQ(SwapRedBlue(0x00BB2211u), 0x001122BBu);
  EXPECT_EQ(SwapRedBlue(0x80123456u), 0x80563412u);
  EXPECT_EQ(SwapRedBlue(SwapRedBlue(0xCAFEBABEu)), 0xCAFEBABEu);
}

TEST(LineToARGB, ExpandsEveryFormatsChannels) {
  EXPECT_EQ(Decode(cfR5G6B5, 0xFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(Decode(cfR5G6B5, 0x0000), 0xFF000000u);
  // red 16/31 -> 132, green 32/63 -> 130, blue 1/31 -> 8
  EXPECT_EQ(Decode(cfR5G6B5, (16u << 11) | (32u << 5) | 1u), 0xFF848208u);
  EXPECT_EQ(Decode(cfA4R4G4B4, 0x8F0F), 0x88FF00FFu);
  EXPECT_EQ(Decode(cfX4R4G4B4, 0x8F0F), 0xFFFF00FFu) << "the unused nibble is not alpha";
  EXPECT_EQ(Decode(cfR3G3B2, 0xFF), 0xFFFFFFFFu);
  // red 5/7 -> 182, green 2/7 -> 73, blue 1/3 -> 85
  EXPECT_EQ(Decode(cfR3G3B2, (5u << 5) | (2u << 2) | 1u), 0xFFB64955u);
  EXPECT_EQ(Decode(cfX1R5G5B5, 0x7C00), 0xFFFF0000u);
  EXPECT_EQ(Decode(cfX1R5G5B5, 0x8000), 0xFF000000u);
  EXPECT_EQ(Decode(cfA1R5G5B5, 0x8000 | 0x03E0), 0xFF00FF00u);
  EXPECT_EQ(Decode(cfA1R5G5B5, 0x001F), 0x000000FFu);
  EXPECT_EQ(Decode(cfA8R3G3B2, 0x40E0), 0x40FF0000u);
  EXPECT_EQ(Decode(cfA2R2G2B2, 0b10011011), 0xAA55AAFFu);
  EXPECT_EQ(Decode(cfA8, 0x7F), 0x7FFFFFFFu);
  EXPECT_EQ(Decode(cfX8R8G8B8, 0x00123456), 0xFF123456u);
  EXPECT_EQ(Decode(cfA8R8G8B8, 0x00123456), 0x00123456u);
}

TEST(LineToARGB, DecodesWholeUnalignedRows) {
  // Three R5G6B5 pixels starting at an odd address, into an odd destination.
  std::vector<std::uint8_t> Source = {0x99, 0xFF, 0xFF, 0x00, 0x00, 0x1F, 0x00};
  std::vector<std::uint8_t> Dest(1 + 12, 0);
  LineToARGB(Source.data() + 1, Dest.data() + 1, 3, cfR5G6B5);
  const std::vector<std::uint8_t> Expected = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF};
  EXPECT_EQ(Dest, Expected);
  LineToARGB(Source.data(), Dest.data(), 0, cfR5G6B5);
  EXPECT_EQ(Dest, Expected) << "a count of 0 writes nothing";
}

TEST(ARGBLineConverter, PacksTheHighBitsOfEachChannel) {
  EXPECT_EQ(Encode(cfR3G3B2, 0xFFFFFFFF), 0xFFu);
  EXPECT_EQ(Encode(cfR3G3B2, 0xFF0000FF), 0x03u);
  EXPECT_EQ(Encode(cfR5G6B5, 0xFF848208), (16u << 11) | (32u << 5) | 1u);
  EXPECT_EQ(Encode(cfR5G6B5, 0x00FF0000), 0xF800u);
  EXPECT_EQ(Encode(cfX8R8G8B8, 0x12345678), 0xFF345678u);
  EXPECT_EQ(Encode(cfA8R8G8B8, 0x12345678), 0x12345678u);
  EXPECT_EQ(Encode(cfX1R5G5B5, 0xFFFFFFFF), 0x7FFFu) << "bit 15 stays clear without alpha";
  EXPECT_EQ(Encode(cfA1R5G5B5, 0x80FF0000), 0xFC00u);
  EXPECT_EQ(Encode(cfA1R5G5B5, 0x7FFF0000), 0x7C00u) << "alpha below 128 clears bit 15";
  EXPECT_EQ(Encode(cfX4R4G4B4, 0xFF12345F), 0x0135u);
  EXPECT_EQ(Encode(cfA4R4G4B4, 0x88FF00FF), 0x8F0Fu);
  EXPECT_EQ(Encode(cfA8R3G3B2, 0x40FF0000), 0x40E0u);
  EXPECT_EQ(Encode(cfA2R2G2B2, 0xAA55AAFF), 0b10011011u);
  EXPECT_EQ(Encode(cfA8, 0x7F000000), 0x7Fu);
  EXPECT_EQ(ARGBLineConverter(cfUnknown), nullptr);
  EXPECT_EQ(ARGBLineConverter(static_cast<TColorFormat>(42)), nullptr);
}

TEST(ARGBLineConverter, EncodingADecodedPixelGivesItBack) {
  // Every value of every format survives a trip through ARGB, except bits without meaning.
  for (int F = 0; F < cfUnknown; ++F) {
    const auto Code = static_cast<TColorFormat>(F);
    const int Bits = 8 * FormatBytes(Code);
    std::uint32_t Meaningful = Bits == 32 ? 0xFFFFFFFFu : (1u << Bits) - 1;
    if (Code == cfX8R8G8B8) Meaningful = 0x00FFFFFF;
    if (Code == cfX1R5G5B5) Meaningful = 0x7FFF;
    if (Code == cfX4R4G4B4) Meaningful = 0x0FFF;
    const std::uint32_t Step = Bits == 32 ? 0x010307u : 1u;
    for (std::uint64_t V = 0; V <= Meaningful; V += Step) {
      const auto Value = static_cast<std::uint32_t>(V);
      if ((Value & Meaningful) != Value) continue;
      const std::uint32_t Back = Encode(Code, Decode(Code, Value));
      if (Code == cfX8R8G8B8) {
        ASSERT_EQ(Back, Value | 0xFF000000u) << FormatName(Code);
      } else {
        ASSERT_EQ(Back, Value) << FormatName(Code) << " value " << Value;
      }
    }
  }
}

TEST(ARGBLineConverter, WholeRowsMatchPixelByPixelEncoding) {
  // 37 pixels: two blocks of sixteen and a tail, written at an odd address.
  std::vector<std::uint32_t> Row(37);
  std::uint32_t Seed = 0x9E3779B9u;
  for (std::uint32_t& P : Row) P = Seed = Seed * 1664525u + 1013904223u;
  for (int F = 0; F < cfUnknown; ++F) {
    const auto Code = static_cast<TColorFormat>(F);
    const int Bytes = FormatBytes(Code);
    std::vector<std::uint8_t> Whole(1 + Row.size() * Bytes + 1, 0xEE), Single(Row.size() * Bytes);
    ARGBLineConverter(Code)(Row.data(), Whole.data() + 1, static_cast<int>(Row.size()));
    for (std::size_t I = 0; I < Row.size(); ++I) ARGBLineConverter(Code)(&Row[I], Single.data() + I * Bytes, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(Whole.begin() + 1, Whole.end() - 1), Single) << FormatName(Code);
    EXPECT_EQ(Whole.front(), 0xEE);
    EXPECT_EQ(Whole.back(), 0xEE) << FormatName(Code) << " wrote past the row";
  }
}

TEST(SameLayout, OnlyIdenticalRowsAndTheFourAndEightBitTwins) {
  for (int A = 0; A < cfUnknown; ++A)
    for (int B = 0; B < cfUnknown; ++B) {
      const bool Twins = (A == cfX4R4G4B4 && B == cfA4R4G4B4) || (A == cfA4R4G4B4 && B == cfX4R4G4B4) ||
                         (A == cfX8R8G8B8 && B == cfA8R8G8B8) || (A == cfA8R8G8B8 && B == cfX8R8G8B8);
      EXPECT_EQ(SameLayout(static_cast<TColorFormat>(A), static_cast<TColorFormat>(B)), A == B || Twins)
          << A << " " << B;
    }
}

TEST(SameLayout, FiveBitTwinsAreConvertedSoAlphaComesOutOpaque) {
  // An X1R5G5B5 row whose unused bit is clear, loaded into an A1R5G5B5 texture.
  const std::uint8_t Source[2] = {0x1F, 0x7C};  // 0x7C1F: red and blue full
  std::uint32_t ARGB = 0;
  LineToARGB(Source, &ARGB, 1, cfX1R5G5B5);
  EXPECT_EQ(ARGB, 0xFFFF00FFu);
  std::uint8_t Dest[2] = {};
  ARGBLineConverter(cfA1R5G5B5)(&ARGB, Dest, 1);
  EXPECT_EQ(Dest[1], 0xFC) << "bit 15 set: opaque";
  EXPECT_EQ(Dest[0], 0x1F);
}

}  // namespace
}  // namespace qel
