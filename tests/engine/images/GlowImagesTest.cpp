#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceFixture.h"
#include "GlowImagesFixture.h"

namespace qel {
namespace {

using test::CountingPayload;
using GlowImages = GlowImagesOn<DeviceTest>;

TEST_F(GlowImages, KeepsItsImagesInOrder) {
  Images->SetMipMappping(true);
  TGlowImage* A = Images->AddImage();
  Images->SetMipMappping(false);
  TGlowImage* B = Images->AddImage();
  TGlowImage* C = Images->AddImage();
  EXPECT_TRUE(A->MipMapping());
  EXPECT_FALSE(B->MipMapping());
  EXPECT_EQ(Images->IndexOf(C), 2);
  TGlowImage Stranger;
  EXPECT_EQ(Images->IndexOf(&Stranger), -1);
  Images->Remove(3);
  Images->Remove(-1);
  EXPECT_EQ(Images->Count(), 3);
  Images->Remove(1);
  EXPECT_EQ(Images->Count(), 2);
  EXPECT_EQ(Images->Items(1), C);
  EXPECT_EQ(Images->Items(2), nullptr);
  Images->RemoveAll();
  EXPECT_EQ(Images->Count(), 0);
}

TEST_F(GlowImages, LoadsEveryImageRecordAndFindsThemByName) {
  TGlowDb* Db = StandardArchive();
  ASSERT_TRUE(Images->LoadFromGlowDb(*Db));
  ASSERT_EQ(Images->Count(), 2);
  EXPECT_EQ(Images->Items(0)->Name(), "bg");
  EXPECT_EQ(Images->Items(1)->Name(), "tex");
  EXPECT_EQ(Images->Items(0)->Format(), D3DFMT_A8R8G8B8);
  EXPECT_EQ(Images->Items(0)->TextureCount(), 1);
  EXPECT_EQ(Images->Items(0)->PatternCount(), 1);
  EXPECT_EQ(Images->Find("BG"), Images->Items(0));
  EXPECT_EQ(Images->Image("Tex"), Images->Items(1));
  EXPECT_EQ(Images->Find("font.font"), nullptr) << "font records are not images";
  EXPECT_EQ(Images->Find("b"), nullptr);
  EXPECT_EQ(Images->Find(""), nullptr);

  ASSERT_TRUE(Images->LoadFromGlowDb(*Db));
  EXPECT_EQ(Images->Count(), 4) << "a second load adds a second set";
  EXPECT_EQ(Images->Find("bg"), Images->Items(0)) << "the first match wins";
}

TEST_F(GlowImages, NamesCompareWithOnlyAsciiLettersFolded) {
  Images->AddImage()->SetName("Stra\xC3\x9F" "e");
  Images->AddImage()->SetName("\xC3\x84pfel");
  EXPECT_NE(Images->Find("STRA\xC3\x9F" "E"), nullptr);
  EXPECT_EQ(Images->Find("\xC3\xA4pfel"), nullptr) << "non-ASCII letters must match exactly";
  EXPECT_EQ(Images->Find("STRASSE"), nullptr);
}

TEST_F(GlowImages, TheLoadEventChoosesNamesWishesAndRecords) {
  TGlowDb* Db = StandardArchive();
  std::vector<std::string> Offered;
  std::vector<int> Positions;
  Images->OnGlowDbLoad = [&](TObject* Sender, const std::string& Key, int Index, bool& Accept, std::string& Name,
                             TGlowQuality& Quality, TAlphaLevel& Alpha) {
    EXPECT_EQ(Sender, Images);
    EXPECT_TRUE(Accept);
    EXPECT_EQ(Name, Key);
    EXPECT_EQ(Quality, qlHigh);
    EXPECT_EQ(Alpha, avFull);
    Offered.push_back(Key);
    Positions.push_back(Index);
    if (Key == "bg") {
      Name = "Background";
      Quality = qlLow;
      Alpha = avNone;
    } else {
      Accept = false;
    }
  };
  ASSERT_TRUE(Images->LoadFromGlowDb(*Db));
  EXPECT_EQ(Offered, (std::vector<std::string>{"bg", "tex"})) << "only image records are offered";
  EXPECT_EQ(Positions, (std::vector<int>{0, 1}));
  ASSERT_EQ(Images->Count(), 1);
  EXPECT_EQ(Images->Items(0)->Name(), "Background");
  EXPECT_EQ(Images->Find("bg"), nullptr);
  EXPECT_EQ(Images->Items(0)->Quality(), qlLow);
  EXPECT_EQ(Images->Items(0)->Format(), D3DFMT_R5G6B5);
}

TEST_F(GlowImages, AFailingRecordStopsTheLoadButKeepsWhatCameBefore) {
  auto Damaged = CountingPayload(cfA8R8G8B8, 2, 2);
  Damaged.pop_back();
  TGlowDb* Db = testsupport::MemoryArchive(&Owner, {{"one", 1, CountingPayload(cfA8, 2, 2)},
                                       {"two", 1, Damaged},
                                       {"three", 1, CountingPayload(cfA8, 2, 2)}});
  EXPECT_FALSE(Images->LoadFromGlowDb(*Db));
  ASSERT_EQ(Images->Count(), 1);
  EXPECT_EQ(Images->Items(0)->Name(), "one");
}

TEST_F(GlowImages, AnImageWithoutTexturesDoesNotStopTheLoad) {
  TGlowDb* Db = testsupport::MemoryArchive(&Owner, {{"empty", 1, CountingPayload(cfA8R8G8B8, 2, 2, 0)},
                                                    {"after", 1, CountingPayload(cfA8, 2, 2)}});
  EXPECT_TRUE(Images->LoadFromGlowDb(*Db));
  ASSERT_EQ(Images->Count(), 2);
  EXPECT_EQ(Images->Items(0)->State(), tsReady);
  EXPECT_EQ(Images->Find("after")->State(), tsReady);
}

TEST_F(GlowImages, LoadImageLeavesNothingBehindOnFailure) {
  auto Damaged = CountingPayload(cfA8R8G8B8, 2, 2);
  Damaged.resize(40);
  TGlowDb* Db = testsupport::MemoryArchive(&Owner, {{"font", 3, CountingPayload(cfA8R8G8B8, 2, 2)}, {"broken", 1, Damaged}});
  EXPECT_FALSE(Images->LoadImage("font", *Db, qlHigh, avFull)) << "not an image record";
  EXPECT_FALSE(Images->LoadImage("missing", *Db, qlHigh, avFull));
  EXPECT_FALSE(Images->LoadImage("broken", *Db, qlHigh, avFull));
  EXPECT_EQ(Images->Count(), 0);
  TGlowDb* Empty = Create<TGlowDb>(&Owner);
  Empty->SetOpenMode(opReadOnly);
  Empty->SetFileName("/nonexistent/archive.glowdb");
  EXPECT_FALSE(Images->LoadFromGlowDb(*Empty));
}

TEST_F(GlowImages, LoadImageAppliesTheWishesBeforeLoading) {
  TGlowDb* Db = StandardArchive();
  ASSERT_TRUE(Images->LoadImage("TEX", *Db, qlMedium, avNone));
  ASSERT_EQ(Images->Count(), 1);
  EXPECT_EQ(Images->Items(0)->Name(), "TEX") << "named by the key as asked";
  EXPECT_EQ(Images->Items(0)->Format(), D3DFMT_R5G6B5);
}


TEST_F(GlowImages, VolatileImagesAreRebuiltAfterALoss) {
  TGlowImage* Image = Images->AddImage();
  Image->SetVolatile(true);
  Image->SetSize({4, 4});
  Image->SetState(tsReady);
  ASSERT_EQ(Image->State(), tsReady);
  EXPECT_TRUE(Images->HandleMessage(msgDeviceLost));
  EXPECT_EQ(Image->State(), tsLost);
  EXPECT_EQ(Image->Texture(0), nullptr);
  EXPECT_TRUE(Images->HandleMessage(msgDeviceRestored));
  EXPECT_EQ(Image->State(), tsReady);
  EXPECT_NE(Image->Texture(0), nullptr);
  for (std::uint32_t Msg : {msgDeviceInitialize, msgBeginScene, msgEndScene, msgFlush, 12345u})
    EXPECT_TRUE(Images->HandleMessage(Msg)) << "never vetoes";
  EXPECT_EQ(Images->Count(), 1);
}

}  // namespace
}  // namespace qel
