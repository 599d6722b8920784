#include <gtest/gtest.h>

#include "GlowImagesFixture.h"
#include "SoftDeviceFixture.h"

namespace qel {
namespace {

// Device loss on demand is a control of the software device.
using GlowImagesLoss = GlowImagesOn<SoftDeviceTest>;

TEST_F(GlowImagesLoss, FollowsTheDeviceThroughLossRestorationAndFinalisation) {
  TGlowDb* Db = StandardArchive();
  ASSERT_TRUE(Images->LoadFromGlowDb(*Db));
  TGlowImage* Bg = Images->Find("bg");
  IDirect3DTexture9* Texture = Bg->Texture(0);
  // A volatile image shows what the list hears; the loaded ones are not volatile.
  TGlowImage* Witness = Images->AddImage();
  Witness->SetVolatile(true);
  Witness->SetSize({4, 4});
  Witness->SetState(tsReady);

  soft::LoseDevices(1);
  EXPECT_FALSE(Device->Flip());
  EXPECT_EQ(Witness->State(), tsLost);
  EXPECT_EQ(Bg->State(), tsReady) << "managed textures survive the loss";
  EXPECT_TRUE(Device->Flip()) << "the reset brings the device back";
  EXPECT_EQ(Witness->State(), tsReady);
  EXPECT_EQ(Bg->State(), tsReady);
  EXPECT_EQ(Bg->Texture(0), Texture);

  Device->SetWidth(80);  // a reset of its own: lost, then restored
  EXPECT_EQ(Witness->State(), tsReady);
  EXPECT_EQ(Images->Find("tex")->State(), tsReady);

  ASSERT_TRUE(Device->Finalize());
  EXPECT_EQ(Images->Count(), 0);
  EXPECT_EQ(Images->Find("bg"), nullptr);
  EXPECT_EQ(Images->Find("tex"), nullptr);
}

}  // namespace
}  // namespace qel
