#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "ImageTestData.h"
#include "DeviceFixture.h"
#include "framework/LittleEndian.h"
#include "engine/images/GlowImages.h"
#include "engine/images/LineConversion.h"
#include "platform/resources/EmbeddedResources.h"

namespace qel {
namespace {

using test::TextureBytes;

class EmbeddedArt : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    const void* Data = nullptr;
    std::int64_t Size = 0;
    ASSERT_TRUE(FindEmbeddedResource("glowdb", Data, Size)) << "the test carries the artwork archive";
    Db = Create<TGlowDb>(&Owner);
    Db->SetOpenMode(opReadOnly);
    Db->OpenStream(new TResourceStream(Data, Size));
    ASSERT_TRUE(Db->EnsureOpen());
  }
  std::vector<std::uint8_t> Record(const std::string& Key) {
    std::vector<std::uint8_t> Payload;
    EXPECT_TRUE(Db->ReadRecord(Key, Payload)) << Key;
    return Payload;
  }
  // The image payload a font record carries after its glyph table.
  std::vector<std::uint8_t> FontImage(const std::string& Key) {
    const std::vector<std::uint8_t> Font = Record(Key);
    if (Font.size() < 16) return {};
    const auto Glyphs = static_cast<std::size_t>(le::Load32(Font.data() + 12));
    return std::vector<std::uint8_t>(Font.begin() + static_cast<std::ptrdiff_t>(16 + 8 * Glyphs), Font.end());
  }

  TGlowDb* Db = nullptr;
};

TEST_F(EmbeddedArt, BackgroundAndRibbonLoadByteForByte) {
  auto* Images = Create<TGlowImages>(&Owner);
  Images->SetPublisher(Device);
  ASSERT_TRUE(Images->LoadFromGlowDb(*Db));
  ASSERT_EQ(Images->Count(), 2);
  struct {
    const char* Name;
    TPoint Size;
  } const Expected[] = {{"bg", {256, 256}}, {"tex", {32, 128}}};
  for (const auto& E : Expected) {
    TGlowImage* Image = Images->Find(E.Name);
    ASSERT_NE(Image, nullptr) << E.Name;
    EXPECT_EQ(Image->Format(), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Image->TextureCount(), 1);
    EXPECT_EQ(Image->PatternCount(), 1);
    EXPECT_EQ(Image->Size(), E.Size);
    EXPECT_EQ(Image->PatternSize(), E.Size);
    EXPECT_EQ(Image->VisibleSize(), E.Size);
    const std::vector<std::uint8_t> Payload = Record(E.Name);
    EXPECT_TRUE(TextureBytes(*Image, 0, 4) == std::vector<std::uint8_t>(Payload.begin() + 33, Payload.end()))
        << E.Name << " differs from its record";
  }
  EXPECT_EQ(Images->Find("BG"), Images->Find("bg"));
  EXPECT_EQ(Images->Find("Verdana9.font"), nullptr);
}

TEST_F(EmbeddedArt, FontImagesLoadIntoA4R4G4B4TexturesUnchanged) {
  struct {
    const char* Key;
    TPoint Size, Cell, Visible;
    int Glyphs;
  } const Fonts[] = {{"Verdana9.font", {128, 256}, {16, 13}, {15, 12}, 90},
                     {"Verdana-B-12.font", {256, 256}, {22, 17}, {21, 16}, 95}};
  for (const auto& F : Fonts) {
    const std::vector<std::uint8_t> Payload = FontImage(F.Key);
    TGlowImage Image;
    Image.SetQuality(qlMedium);
    Image.SetMipMapping(true);
    TResourceStream S(Payload.data(), static_cast<std::int64_t>(Payload.size()));
    ASSERT_TRUE(Image.LoadFromStream(S)) << F.Key;
    EXPECT_EQ(Image.Format(), D3DFMT_A4R4G4B4) << "taken although the device makes no mipmaps for it";
    EXPECT_EQ(Image.Size(), F.Size);
    EXPECT_EQ(Image.PatternSize(), F.Cell);
    EXPECT_EQ(Image.VisibleSize(), F.Visible);
    EXPECT_EQ(Image.PatternCount(), F.Glyphs);
    EXPECT_TRUE(TextureBytes(Image, 0, 2) == std::vector<std::uint8_t>(Payload.begin() + 33, Payload.end())) << F.Key;
  }
}

TEST_F(EmbeddedArt, FontImagesDecodeIntoArgbTextures) {
  const std::vector<std::uint8_t> Payload = FontImage("Verdana9.font");
  TGlowImage Image;  // high quality with full alpha: A8R8G8B8
  TResourceStream S(Payload.data(), static_cast<std::int64_t>(Payload.size()));
  ASSERT_TRUE(Image.LoadFromStream(S));
  ASSERT_EQ(Image.Format(), D3DFMT_A8R8G8B8);
  std::vector<std::uint8_t> Expected(128 * 256 * 4);
  for (int Y = 0; Y < 256; ++Y) LineToARGB(Payload.data() + 33 + Y * 256, Expected.data() + Y * 512, 128, cfA4R4G4B4);
  EXPECT_TRUE(TextureBytes(Image, 0, 4) == Expected);
}

}  // namespace
}  // namespace qel
