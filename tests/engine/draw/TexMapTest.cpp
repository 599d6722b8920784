#include "engine/images/GlowImage.h"
#include "engine/images/ImagePayload.h"
#include "tests/engine/draw/SoftDrawFixture.h"

namespace qel::testing {
namespace {

class TexMapTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    Start();
    Device->BeginScene();
  }
  void TearDown() override {
    Device->EndScene();
    Image.SetState(tsNone);
    DrawTest::TearDown();
  }

  // The glyph image of the small font: 16 x 13 cells, 15 x 12 visible, 90 patterns on one
  // 128 x 256 texture.
  void LoadGlyphImage(TPoint Cell = {16, 13}, TPoint Visible = {15, 12}) {
    TMemoryStream S;
    TImagePayloadHeader H;
    H.Format = cfA8R8G8B8;
    H.PatternSize = Cell;
    H.VisibleSize = Visible;
    H.PatternCount = 90;
    H.TextureSize = {128, 256};
    H.TextureCount = 1;
    ASSERT_TRUE(WriteImagePayloadHeader(S, H));
    const std::vector<std::uint8_t> Pixels(128 * 256 * 4, 0x7F);
    S.WriteBuffer(Pixels.data(), static_cast<std::int64_t>(Pixels.size()));
    S.SetPosition(0);
    ASSERT_TRUE(Image.LoadFromStream(S));
  }
  // U and V of the last staged quad's corner.
  std::pair<float, float> UV(int C) const {
    const TVertex2D& V = Corner(StagedQuads() - 1, C);
    return {V.U, V.V};
  }
  void Map(TDXBaseTexture* Texture, const TTexCoord& T) { Canvas->TexMap(Texture, Square, Color4(0xFFFFFFFFu), T, 1284); }

  const TPoint4 Square = Bounds4(0, 0, 8, 8);
  TGlowImage Image;
};

using P = std::pair<float, float>;

TEST_F(TexMapTest, APatternMapsToItsVisibleCell) {
  LoadGlyphImage();
  Map(&Image, TexPattern(9));
  EXPECT_EQ(UV(0), P(0.125f, 0.05078125f));
  EXPECT_EQ(UV(1), P(0.2421875f, 0.05078125f));
  EXPECT_EQ(UV(2), P(0.2421875f, 0.09765625f));
  EXPECT_EQ(UV(3), P(0.125f, 0.09765625f));
  EXPECT_EQ(Calls("SetTexture").back().Arg(1), reinterpret_cast<std::uintptr_t>(Image.Texture(0)));

  TTexCoord Mirrored = TexPattern(9);
  Mirrored.FlipX = true;
  Map(&Image, Mirrored);
  EXPECT_EQ(UV(0), P(0.2421875f, 0.05078125f));
  EXPECT_EQ(UV(1), P(0.125f, 0.05078125f));
}

TEST_F(TexMapTest, PatternIndexesAreClampedAndSourceRectanglesOffset) {
  LoadGlyphImage();
  Map(&Image, TexPattern(-3));
  EXPECT_EQ(UV(0), P(0.0f, 0.0f));
  Map(&Image, TexPattern(90));  // the last pattern, 89: column 1, row 11
  EXPECT_EQ(UV(0), P(16.0f / 128, 143.0f / 256));
  TTexCoord Shifted = TexPattern(0);
  Shifted.SrcX = 4;
  Map(&Image, Shifted);
  EXPECT_EQ(UV(0).first, 4.0f / 128);
  EXPECT_EQ(UV(1).first, 19.0f / 128);  // left + visible width
}

TEST_F(TexMapTest, ACellSmallerThanItsVisibleAreaMovesItOneTexelBack) {
  LoadGlyphImage({16, 13}, {16, 13});
  Image.SetVisibleSize({19, 13});  // difference -3 divides to -1
  Map(&Image, TexPattern(0));
  EXPECT_EQ(UV(0).first, -1.0f / 128);
}

TEST_F(TexMapTest, PlainTexturesAreAddressedByEdgesInTexels) {
  TDXMultiTexture Plain;
  Plain.SetFormat(D3DFMT_A8R8G8B8);
  Plain.SetState(tsReady);
  TTexCoord T = TexPattern(7);  // the pattern means nothing here
  T.SrcWidth = 128;
  T.SrcHeight = 64;
  Map(&Plain, T);
  EXPECT_EQ(UV(0), P(0.0f, 0.0f));
  EXPECT_EQ(UV(2), P(0.5f, 0.25f));
  T.SrcX = 64;
  T.FlipX = true;
  Map(&Plain, T);
  EXPECT_EQ(UV(0), P(0.25f, 0.0f));
  EXPECT_EQ(UV(1), P(0.5f, 0.0f));
  Map(&Plain, TexPattern(0));
  EXPECT_EQ(UV(2), P(1.0f, 1.0f));
  Plain.SetState(tsNone);
}

TEST_F(TexMapTest, WithoutATextureTheWholeTextureCoordinatesAreUsed) {
  TTexCoord T = TexPattern(0);
  Map(nullptr, T);
  T.SrcWidth = 10;
  T.SrcHeight = 10;  // nothing to divide by
  Map(nullptr, T);
  ASSERT_EQ(StagedQuads(), 2);
  for (int Q = 0; Q < 2; ++Q) {
    EXPECT_EQ(Corner(Q, 0).U, 0.0f);
    EXPECT_EQ(Corner(Q, 2).U, 1.0f);
    EXPECT_EQ(Corner(Q, 2).V, 1.0f);
  }
  EXPECT_EQ(Calls("SetTexture").back().Arg(1), 0u);
}

TEST_F(TexMapTest, AnImageThatRefusesDrawsNothingAndChangesNoState) {
  Canvas->FillRect({0, 0, 4, 4}, Color4(0x80FFFFFFu), 1284);
  soft::CallLog().Clear();
  Map(&Image, TexPattern(0));  // never loaded
  EXPECT_EQ(StagedQuads(), 1);
  EXPECT_TRUE(soft::CallLog().Calls().empty());
}

TEST_F(TexMapTest, RectanglesUseTheirRightAndBottomEdgesAsTheyAre) {
  Canvas->FillRect({0, 0, 800, 600}, Color4(0x80FFFFFFu), 1284);
  EXPECT_EQ(Corner(0, 1).X, 800.0f);
  EXPECT_EQ(Corner(0, 2).Y, 600.0f);
  EXPECT_EQ(Corner(0, 3).X, 0.0f);
}

}  // namespace
}  // namespace qel::testing
