#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "ImageTestData.h"
#include "SoftDeviceFixture.h"
#include "engine/images/GlowImage.h"

namespace qel {
namespace {

using test::CountingPayload;
using test::Payload;
using test::Texel;
using test::TextureBytes;

bool Load(TGlowImage& Image, const std::vector<std::uint8_t>& Bytes) {
  TResourceStream S(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
  return Image.LoadFromStream(S);
}

// One pixel row payload of the given little-endian values.
std::vector<std::uint8_t> RowPayload(TColorFormat Format, const std::vector<std::uint32_t>& Values) {
  TImagePayloadHeader H;
  H.Format = Format;
  H.TextureSize = {static_cast<int>(Values.size()), 1};
  H.TextureCount = 1;
  std::vector<std::uint8_t> Pixels;
  for (std::uint32_t V : Values)
    for (int I = 0; I < FormatBytes(Format); ++I) Pixels.push_back(static_cast<std::uint8_t>(V >> (8 * I)));
  return Payload(H, Pixels);
}

TEST(GlowImageDefaults, NamedUnnamedWithHighQualityFullAlpha) {
  TGlowImage Image;
  EXPECT_EQ(Image.Name(), "[unnamed]");
  EXPECT_EQ(Image.Quality(), qlHigh);
  EXPECT_EQ(Image.AlphaLevel(), avFull);
  EXPECT_EQ(Image.PatternCount(), 0);
  EXPECT_EQ(Image.PatternSize(), (TPoint{0, 0}));
  EXPECT_EQ(Image.VisibleSize(), (TPoint{0, 0}));
  EXPECT_EQ(Image.PatternsPerTexture(), 0);
  TPoint4 Corners{};
  int Index = -1;
  EXPECT_FALSE(Image.GetPatternCoords(DefaultTexCoord, Corners, Index));
}

using GlowImage = SoftDeviceTest;

TEST_F(GlowImage, ArgbPayloadGoesByteForByteIntoAnArgbTexture) {
  TGlowImage Image;
  const auto Bytes = CountingPayload(cfA8R8G8B8, 3, 2, 2);
  ASSERT_TRUE(Load(Image, Bytes));
  EXPECT_EQ(Image.State(), tsReady);
  EXPECT_EQ(Image.Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Image.TextureCount(), 2);
  EXPECT_EQ(Image.Size(), (TPoint{3, 2}));
  EXPECT_EQ(Image.PatternCount(), 2) << "one whole-texture pattern per texture";
  const std::vector<std::uint8_t> First(Bytes.begin() + 33, Bytes.begin() + 33 + 24);
  const std::vector<std::uint8_t> Second(Bytes.begin() + 33 + 24, Bytes.end());
  EXPECT_EQ(TextureBytes(Image, 0, 4), First);
  EXPECT_EQ(TextureBytes(Image, 1, 4), Second);
}

TEST_F(GlowImage, ConvertsRowsIntoTheChosenFormat) {
  {
    TGlowImage Image;  // R5G6B5 into A8R8G8B8: decoded through ARGB
    ASSERT_TRUE(Load(Image, RowPayload(cfR5G6B5, {0xFFFF, 0xF800, 0x07E0, 0x8401})));
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(Texel(Image, 0, 1, 0), 0xFFFF0000u);
    EXPECT_EQ(Texel(Image, 0, 2, 0), 0xFF00FF00u);
    EXPECT_EQ(Texel(Image, 0, 3, 0), 0xFF848208u);
  }
  {
    TGlowImage Image;  // A8R8G8B8 into A4R4G4B4: encoded straight from the payload row
    Image.SetQuality(qlLow);
    ASSERT_TRUE(Load(Image, RowPayload(cfA8R8G8B8, {0x88FF00FF, 0x12345678})));
    EXPECT_EQ(Image.Format(), D3DFMT_A4R4G4B4);
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0x8F0Fu);
    EXPECT_EQ(Texel(Image, 0, 1, 0), 0x1357u);
  }
  {
    TGlowImage Image;  // X1R5G5B5 into A1R5G5B5: the twins are converted, so opaque
    Image.SetAlphaLevel(avMask);
    ASSERT_TRUE(Load(Image, RowPayload(cfX1R5G5B5, {0x7C1F, 0x0000})));
    EXPECT_EQ(Image.Format(), D3DFMT_A1R5G5B5);
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0xFC1Fu);
    EXPECT_EQ(Texel(Image, 0, 1, 0), 0x8000u);
  }
  {
    TGlowImage Image;  // X8R8G8B8 into A8R8G8B8: same layout, the unused byte becomes alpha
    ASSERT_TRUE(Load(Image, RowPayload(cfX8R8G8B8, {0x00123456, 0x7F654321})));
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0x00123456u);
    EXPECT_EQ(Texel(Image, 0, 1, 0), 0x7F654321u);
  }
  {
    TGlowImage Image;  // R3G3B2 has no texture here: low quality falls back to R5G6B5
    Image.SetQuality(qlLow);
    Image.SetAlphaLevel(avNone);
    ASSERT_TRUE(Load(Image, RowPayload(cfR3G3B2, {0xFF, 0x03, 0xE0})));
    EXPECT_EQ(Image.Format(), D3DFMT_R5G6B5);
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0xFFFFu);
    EXPECT_EQ(Texel(Image, 0, 1, 0), 0x001Fu);
    EXPECT_EQ(Texel(Image, 0, 2, 0), 0xF800u);
  }
  {
    TGlowImage Image;  // A2R2G2B2 exists only as storage
    Image.SetAlphaLevel(avOnly);
    ASSERT_TRUE(Load(Image, RowPayload(cfA2R2G2B2, {0b10011011})));
    EXPECT_EQ(Image.Format(), D3DFMT_A8);
    EXPECT_EQ(Texel(Image, 0, 0, 0), 0xAAu);
  }
}

TEST_F(GlowImage, FontImageLaysOutItsGlyphCells) {
  const std::vector<std::uint8_t> Pixels(65536, 0x5A);
  TGlowImage Image;
  Image.SetQuality(qlLow);
  ASSERT_TRUE(Load(Image, Payload(test::SmallFontHeader(), Pixels)));
  EXPECT_EQ(Image.Format(), D3DFMT_A4R4G4B4);
  EXPECT_EQ(Image.PatternsPerRow(), 8);
  EXPECT_EQ(Image.PatternsPerColumn(), 19);
  EXPECT_EQ(Image.PatternsPerTexture(), 152);
  EXPECT_EQ(Image.PatternCount(), 90);

  TPoint4 C{};
  int Index = -1;
  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(9), C, Index));
  EXPECT_EQ(Index, 0);
  EXPECT_EQ(C[0], Point2(16.0 / 128, 13.0 / 256));
  EXPECT_EQ(C[1], Point2(31.0 / 128, 13.0 / 256));
  EXPECT_EQ(C[2], Point2(31.0 / 128, 25.0 / 256));
  EXPECT_EQ(C[3], Point2(16.0 / 128, 25.0 / 256));

  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(-5), C, Index));
  EXPECT_EQ(C[0], Point2(0, 0)) << "below 0 is pattern 0";
  EXPECT_EQ(C[2], Point2(15.0 / 128, 12.0 / 256));
  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(INT_MAX), C, Index));
  EXPECT_EQ(C[0], Point2(16.0 / 128, 143.0 / 256)) << "beyond the last is pattern 89: column 1, row 11";

  TTexCoord Part = TexPattern(9);
  Part.SrcX = 2;
  Part.SrcY = 3;
  Part.SrcWidth = 4;
  Part.SrcHeight = 5;
  Part.FlipX = true;
  ASSERT_TRUE(Image.GetPatternCoords(Part, C, Index));
  EXPECT_EQ(C[0], Point2(22.0 / 128, 16.0 / 256)) << "mirrored: top-left takes the right edge";
  EXPECT_EQ(C[1], Point2(18.0 / 128, 16.0 / 256));
  EXPECT_EQ(C[2], Point2(18.0 / 128, 21.0 / 256));
  Part.FlipX = false;
  Part.FlipY = true;
  ASSERT_TRUE(Image.GetPatternCoords(Part, C, Index));
  EXPECT_EQ(C[0], Point2(18.0 / 128, 21.0 / 256));
  EXPECT_EQ(C[3], Point2(18.0 / 128, 16.0 / 256));

  Image.SetVisibleSize({12, 8});  // allowed while ready; the visible part is centred
  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(0), C, Index));
  EXPECT_EQ(C[0], Point2(2.0 / 128, 2.0 / 256));
  EXPECT_EQ(C[2], Point2(14.0 / 128, 10.0 / 256));
}

TEST_F(GlowImage, PatternsSpillOverIntoFurtherTextures) {
  TImagePayloadHeader H;
  H.Format = cfA8;
  H.PatternSize = H.VisibleSize = {2, 2};
  H.TextureSize = {4, 2};
  H.TextureCount = 3;
  TGlowImage Image;
  ASSERT_TRUE(Load(Image, Payload(H, std::vector<std::uint8_t>(24, 9))));
  EXPECT_EQ(Image.PatternCount(), 6) << "a count below 1 means every cell";
  TPoint4 C{};
  int Index = -1;
  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(5), C, Index));
  EXPECT_EQ(Index, 2);
  EXPECT_EQ(C[0], Point2(0.5, 0));
}

TEST_F(GlowImage, FrozenWishesAndCellsWhileTexturesExist) {
  TGlowImage Image;
  ASSERT_TRUE(Load(Image, CountingPayload(cfA8R8G8B8, 4, 4)));
  Image.SetQuality(qlLow);
  Image.SetAlphaLevel(avNone);
  Image.SetPatternSize({2, 2});
  EXPECT_EQ(Image.Quality(), qlHigh);
  EXPECT_EQ(Image.AlphaLevel(), avFull);
  EXPECT_EQ(Image.PatternSize(), (TPoint{4, 4}));
  Image.SetState(tsNone);
  Image.SetQuality(qlLow);
  EXPECT_EQ(Image.Quality(), qlLow);
}

TEST_F(GlowImage, VisibleSizeDefaultingToTheTextureFailsSmallerCells) {
  TGlowImage Image;
  Image.SetSize({64, 64});
  Image.SetPatternSize({16, 16});
  Image.SetState(tsReady);
  EXPECT_EQ(Image.State(), tsNone);
  EXPECT_EQ(Image.VisibleSize(), (TPoint{64, 64}));
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0);
}

TEST_F(GlowImage, NoUsableFormatFailsPrepare) {
  soft::Adapter().Textures.clear();
  TGlowImage Image;
  EXPECT_FALSE(Load(Image, CountingPayload(cfA8R8G8B8, 2, 2)));
  EXPECT_EQ(Image.State(), tsNone);
}

// A stream that claims more bytes than it delivers, as a damaged medium might.
class TShortStream : public TResourceStream {
 public:
  TShortStream(const std::vector<std::uint8_t>& Bytes, std::int64_t Claimed)
      : TResourceStream(Bytes.data(), static_cast<std::int64_t>(Bytes.size())), FClaimed(Claimed) {}
  std::int64_t Size() override { return FClaimed; }

 private:
  std::int64_t FClaimed;
};

TEST_F(GlowImage, DamagedPayloadsCreateNothing) {
  const int Objects = soft::LiveObjects();
  const auto Good = CountingPayload(cfR5G6B5, 8, 4, 2);
  const auto Refused = [&](std::vector<std::uint8_t> Bytes) {
    TGlowImage Image;
    soft::CallLog().Clear();
    const bool Loaded = Load(Image, Bytes);
    return !Loaded && Image.State() == tsNone && soft::CallLog().Count("CreateTexture") == 0;
  };
  EXPECT_TRUE(Refused(std::vector<std::uint8_t>(Good.begin(), Good.end() - 1))) << "one byte short";
  EXPECT_TRUE(Refused(std::vector<std::uint8_t>(Good.begin(), Good.begin() + 20))) << "short header";
  EXPECT_TRUE(Refused({}));
  const auto Patched = [&](int Offset, std::int32_t Value) {
    auto Bytes = Good;
    for (int I = 0; I < 4; ++I) Bytes[Offset + I] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(Value) >> (8 * I));
    return Bytes;
  };
  EXPECT_TRUE(Refused(Patched(21, 0))) << "texture width 0";
  EXPECT_TRUE(Refused(Patched(25, -4))) << "negative texture height";
  EXPECT_TRUE(Refused(Patched(29, 1 << 30))) << "textures the stream cannot hold";
  EXPECT_TRUE(Refused(Patched(21, 1 << 20))) << "wider than the device allows";
  EXPECT_TRUE(Refused(Patched(1, 9))) << "a cell wider than the texture";
  EXPECT_TRUE(Refused(Patched(17, 3))) << "more patterns than cells";
  auto BadFormat = Good;
  BadFormat[0] = 11;
  EXPECT_TRUE(Refused(BadFormat)) << "no pixels to decode";
  BadFormat[0] = 0xFF;
  EXPECT_TRUE(Refused(BadFormat));

  // The stream promises what it does not hold: textures are made, then released again.
  const std::vector<std::uint8_t> Short(Good.begin(), Good.end() - 10);
  TShortStream Lying(Short, static_cast<std::int64_t>(Good.size()));
  TGlowImage Image;
  EXPECT_FALSE(Image.LoadFromStream(Lying));
  EXPECT_EQ(Image.State(), tsNone);
  EXPECT_EQ(Image.TextureCount(), 2);
  EXPECT_EQ(Image.Texture(0), nullptr);
  EXPECT_EQ(soft::LiveObjects(), Objects);
}

TEST_F(GlowImage, LoadingAgainReplacesTheTextures) {
  TGlowImage Image;
  ASSERT_TRUE(Load(Image, CountingPayload(cfA8R8G8B8, 4, 4, 1, 10)));
  const auto Second = CountingPayload(cfA8R8G8B8, 2, 8, 3, 20);
  ASSERT_TRUE(Load(Image, Second));
  EXPECT_EQ(Image.Size(), (TPoint{2, 8}));
  EXPECT_EQ(Image.TextureCount(), 3);
  EXPECT_EQ(TextureBytes(Image, 2, 4), std::vector<std::uint8_t>(Second.begin() + 33 + 128, Second.end()));
  EXPECT_FALSE(Load(Image, {1, 2, 3})) << "a header that does not even read leaves the image alone";
  EXPECT_EQ(Image.State(), tsReady);
}

TEST_F(GlowImage, TheStreamIsReadFromItsPositionToTheEndOfThePayload) {
  std::vector<std::uint8_t> Bytes = {0xAA, 0xBB};
  const auto P = CountingPayload(cfA8, 2, 2);
  Bytes.insert(Bytes.end(), P.begin(), P.end());
  Bytes.push_back(0xCC);
  TResourceStream S(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
  S.SetPosition(2);
  TGlowImage Image;
  Image.SetAlphaLevel(avOnly);
  ASSERT_TRUE(Image.LoadFromStream(S));
  EXPECT_EQ(S.Position(), static_cast<std::int64_t>(Bytes.size()) - 1);
  EXPECT_EQ(TextureBytes(Image, 0, 1), std::vector<std::uint8_t>(P.begin() + 33, P.end()));
}

TEST_F(GlowImage, LoadRecordReadsAnyRecordOfTheArchive) {
  TComponent Owner(nullptr);
  const auto P = CountingPayload(cfA8R8G8B8, 4, 2);
  TGlowDb* Db = testsupport::MemoryArchive(&Owner, {{"notes", 7, P}});
  TGlowImage Image;
  ASSERT_TRUE(Image.LoadRecord("NOTES", *Db));
  EXPECT_EQ(TextureBytes(Image, 0, 4), std::vector<std::uint8_t>(P.begin() + 33, P.end()));
  TGlowImage Other;
  EXPECT_FALSE(Other.LoadRecord("missing", *Db));
  EXPECT_EQ(Other.State(), tsNone);
}

// Cells of Cell texels, drawn whole, on textures of Texture texels: as the screensaver sets up
// the image it builds from the desktop.
void ShapeForBitmap(TGlowImage& Image, TPoint Cell, TPoint Texture) {
  Image.SetPatternSize(Cell);
  Image.SetSize(Texture);
  Image.SetVisibleSize(Cell);
}

// A 32-bit bitmap whose pixel (X, Y) has blue X, green Y and red X + Y (all modulo 256).
void Gradient(TBitmap& B, int Width, int Height) {
  B.SetSize(Width, Height, TPixelFormat::pf32bit);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X) {
      std::uint8_t* P = B.ScanLine(Y) + X * 4;
      P[0] = static_cast<std::uint8_t>(X);
      P[1] = static_cast<std::uint8_t>(Y);
      P[2] = static_cast<std::uint8_t>(X + Y);
      P[3] = 0;
    }
}

TEST_F(GlowImage, DesktopPictureBecomesOneR5G6B5Texture) {
  TBitmap Desktop;
  Gradient(Desktop, 1024, 768);
  TGlowImage Image;
  Image.SetQuality(qlMedium);
  Image.SetAlphaLevel(avNone);
  ShapeForBitmap(Image, {1024, 768}, {1024, 768});
  ASSERT_TRUE(Image.LoadFromBitmap(Desktop, false, 0, 0));
  EXPECT_EQ(Image.Format(), D3DFMT_R5G6B5);
  EXPECT_EQ(Image.TextureCount(), 1);
  EXPECT_EQ(Image.PatternCount(), 1);
  EXPECT_EQ(Image.PatternsPerTexture(), 1);
  const std::vector<std::uint8_t> Texels = TextureBytes(Image, 0, 2);
  ASSERT_EQ(Texels.size(), 1024u * 768 * 2);
  int Wrong = 0;
  for (int Y = 0; Y < 768; ++Y)
    for (int X = 0; X < 1024; ++X) {
      const std::uint32_t Red = (X + Y) & 255, Green = Y & 255, Blue = X & 255;
      const std::uint32_t Want = ((Red >> 3) << 11) | ((Green >> 2) << 5) | (Blue >> 3);
      const std::size_t At = (static_cast<std::size_t>(Y) * 1024 + X) * 2;
      if (static_cast<std::uint32_t>(Texels[At] | (Texels[At + 1] << 8)) != Want) ++Wrong;
    }
  EXPECT_EQ(Wrong, 0);
  TPoint4 C{};
  int Index = -1;
  ASSERT_TRUE(Image.GetPatternCoords(DefaultTexCoord, C, Index));
  EXPECT_EQ(C[0], Point2(0, 0));
  EXPECT_EQ(C[2], Point2(1, 1));
}

TEST_F(GlowImage, BitmapCellsFillPagesAndLeaveEmptySlotsTransparent) {
  TBitmap Cells;
  Gradient(Cells, 12, 4);  // three 4 x 4 cells side by side
  TGlowImage Image;
  ShapeForBitmap(Image, {4, 4}, {8, 8});
  Image.SetMipMapping(false);
  ASSERT_TRUE(Image.LoadFromBitmap(Cells, false, 0, 0));
  EXPECT_EQ(Cells.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(Image.TextureCount(), 1);
  EXPECT_EQ(Image.PatternCount(), 4) << "counted from the cells of the texture";
  EXPECT_EQ(Texel(Image, 0, 0, 0), 0x00000000u) << "alpha of a 32-bit source is kept";
  EXPECT_EQ(Texel(Image, 0, 5, 1), 0x00060105u) << "cell 1 at (4, 0)";
  EXPECT_EQ(Texel(Image, 0, 2, 7), 0x000D030Au) << "cell 2 at (0, 4)";
  EXPECT_EQ(Texel(Image, 0, 6, 6), 0u) << "the fourth slot is empty";
}

TEST_F(GlowImage, A24BitBitmapIsMadeOpaque) {
  TBitmap Picture(2, 2, TPixelFormat::pf24bit);
  Picture.ScanLine(1)[3] = 0x40;  // blue of (1, 1)
  TGlowImage Image;
  ShapeForBitmap(Image, {2, 2}, {2, 2});
  ASSERT_TRUE(Image.LoadFromBitmap(Picture, false, 0, 0));
  EXPECT_EQ(Picture.PixelFormat(), TPixelFormat::pf32bit) << "converted in place";
  EXPECT_EQ(Texel(Image, 0, 1, 1), 0xFF000040u);
  EXPECT_EQ(Texel(Image, 0, 0, 0), 0xFF000000u);
}

TEST_F(GlowImage, ColourKeyMakesTheKeyTransparent) {
  TBitmap Picture(2, 1);
  const std::uint8_t Pixels[8] = {0x00, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};  // green, white
  std::memcpy(Picture.ScanLine(0), Pixels, 8);
  TGlowImage Image;
  ShapeForBitmap(Image, {2, 1}, {2, 1});
  ASSERT_TRUE(Image.LoadFromBitmap(Picture, true, 0x00FF00, 10));
  EXPECT_EQ(Texel(Image, 0, 0, 0), 0x0000FF00u);
  EXPECT_EQ(Texel(Image, 0, 1, 0), 0xFFFFFFFFu);
}

TEST_F(GlowImage, ABitmapSmallerThanOneCellGivesNoTextures) {
  TBitmap Small;
  Gradient(Small, 3, 3);
  TGlowImage Image;
  ShapeForBitmap(Image, {4, 4}, {8, 8});
  EXPECT_TRUE(Image.LoadFromBitmap(Small, false, 0, 0));
  EXPECT_EQ(Image.State(), tsReady);
  EXPECT_EQ(Image.TextureCount(), 0);
  TPoint4 C{};
  int Index = -1;
  EXPECT_FALSE(Image.GetPatternCoords(DefaultTexCoord, C, Index)) << "nothing of it is drawn";
}

TEST_F(GlowImage, BitmapLoadingRefusesSizesItCannotUse) {
  TBitmap Picture;
  Gradient(Picture, 8, 8);
  TGlowImage NoCell;
  NoCell.SetSize({8, 8});
  EXPECT_FALSE(NoCell.LoadFromBitmap(Picture, false, 0, 0)) << "pattern size left at 0";
  TGlowImage NoTexture;
  NoTexture.SetSize({0, 8});
  NoTexture.SetPatternSize({4, 4});
  EXPECT_FALSE(NoTexture.LoadFromBitmap(Picture, false, 0, 0));
  TGlowImage Huge;
  Huge.SetSize({1 << 20, 8});
  Huge.SetPatternSize({4, 4});
  EXPECT_FALSE(Huge.LoadFromBitmap(Picture, false, 0, 0)) << "beyond the device's largest texture";
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0);
}

TEST_F(GlowImage, ABitmapReloadCountsItsPatternsAfresh) {
  TBitmap Four, One;
  Gradient(Four, 16, 4);  // four 4 x 4 cells: two textures of two cells
  Gradient(One, 4, 4);
  TGlowImage Image;
  ShapeForBitmap(Image, {4, 4}, {8, 4});
  ASSERT_TRUE(Image.LoadFromBitmap(Four, false, 0, 0));
  EXPECT_EQ(Image.PatternCount(), 4);
  ASSERT_TRUE(Image.LoadFromBitmap(One, false, 0, 0));
  EXPECT_EQ(Image.TextureCount(), 1);
  EXPECT_EQ(Image.PatternCount(), 2);
  TPoint4 C{};
  int Index = -1;
  ASSERT_TRUE(Image.GetPatternCoords(TexPattern(3), C, Index));
  EXPECT_EQ(Index, 0) << "the last pattern lies on the one texture left";
}

TEST_F(GlowImage, NoTexturesLoadAsAnEmptyReadyImage) {
  TImagePayloadHeader H = test::SmallFontHeader();
  H.TextureCount = 0;
  TGlowImage Image;
  soft::CallLog().Clear();
  ASSERT_TRUE(Load(Image, Payload(H, {})));
  EXPECT_EQ(Image.State(), tsReady);
  EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0);
  TPoint4 C{};
  int Index = -1;
  EXPECT_FALSE(Image.GetPatternCoords(DefaultTexCoord, C, Index)) << "nothing of it is drawn";
}

TEST_F(GlowImage, AFailedLockKeepsTheBitmapTextures) {
  TBitmap Picture;
  Gradient(Picture, 4, 4);
  TGlowImage Image;
  ShapeForBitmap(Image, {4, 4}, {4, 4});
  soft::FailNext("LockRect", 1);
  EXPECT_FALSE(Image.LoadFromBitmap(Picture, false, 0, 0));
  EXPECT_EQ(Image.State(), tsReady);
  EXPECT_NE(Image.Texture(0), nullptr);
}

}  // namespace
}  // namespace qel
