// Loss and recovery of the device with the real subscribers attached: the canvas holds
// default-pool buffers, which a reset refuses to outlive, and the image list holds textures.
#include "engine/images/GlowImages.h"
#include "tests/engine/draw/FontKit.h"
#include "tests/engine/draw/SoftDrawFixture.h"

namespace qel::testing {
namespace {

class DeviceRecoveryTest : public DrawTest {
 protected:
  void SetUp() override {
    DrawTest::SetUp();
    Images = Create<TGlowImages>(Root.get());
    Images->SetPublisher(Device);
    Device->SetOnRender([this](TObject*) {
      Canvas->FillRect(TRect{0, 0, 64, 48}, Color4(0xFF402010u), 1284);
      Canvas->TexMap(Images->Find("cells"), Bounds4(8, 8, 24, 16), Color4(0x80FFFFFFu), TexPattern(1), 1284);
    });
    Start();
    const std::vector<std::uint8_t> Payload = CellImagePayload(4);
    TResourceStream Stream(Payload.data(), static_cast<std::int64_t>(Payload.size()));
    TGlowImage* Image = Images->AddImage();
    Image->SetName("cells");
    ASSERT_TRUE(Image->LoadFromStream(Stream));
  }

  // One frame as the program makes it; the pixels presented, empty when nothing was shown.
  std::vector<std::uint32_t> Frame() {
    Device->Render(0xFF000000u, true);
    const int Before = soft::PresentCount(reinterpret_cast<HWND>(1));
    Device->Flip();
    if (soft::PresentCount(reinterpret_cast<HWND>(1)) == Before) return {};
    return soft::PresentedFrame(reinterpret_cast<HWND>(1))->Pixels;
  }

  TGlowImages* Images = nullptr;
};

TEST_F(DeviceRecoveryTest, ADriverInternalErrorIsSurvivedWithEverySubscriberHoldingResources) {
  const std::vector<std::uint32_t> Clean = Frame();
  ASSERT_FALSE(Clean.empty());
  soft::FailNext("Present", 1, D3DERR_DRIVERINTERNALERROR);
  EXPECT_TRUE(Frame().empty());
  EXPECT_TRUE(Device->Initialized());
  EXPECT_FALSE(Device->DeviceLost());
  EXPECT_TRUE(Canvas->Initialized());
  EXPECT_FALSE(Canvas->Lost());
  ASSERT_EQ(1, Images->Count());
  EXPECT_EQ(Clean, Frame());

  // A reset that fails even so finalises the device: every subscriber lets go.
  soft::FailNext("Present", 1, D3DERR_DRIVERINTERNALERROR);
  soft::FailNext("Reset", 1);
  EXPECT_TRUE(Frame().empty());
  EXPECT_FALSE(Device->Initialized());
  EXPECT_EQ(0, Images->Count());
  EXPECT_EQ(0, soft::LiveObjects());
}

TEST_F(DeviceRecoveryTest, AResetDuringAnAnnouncedLossEndsItSoTheNextOutageIsAnnounced) {
  const std::vector<std::uint32_t> Clean = Frame();
  soft::FailNext("Present", 1, D3DERR_DEVICELOST);
  soft::FailNext("TestCooperativeLevel", 1, D3DERR_DEVICELOST);
  EXPECT_TRUE(Frame().empty());
  ASSERT_TRUE(Device->DeviceLost());
  Device->SetWidth(64);  // resets at once and succeeds
  EXPECT_FALSE(Device->DeviceLost());
  EXPECT_FALSE(Canvas->Lost());
  EXPECT_EQ(Clean, Frame());

  soft::LoseDevices(2);
  EXPECT_TRUE(Frame().empty());
  EXPECT_TRUE(Canvas->Lost());  // the outage was announced, so the buffers were let go
  EXPECT_TRUE(Frame().empty());
  EXPECT_TRUE(Frame().empty());  // the reset succeeds here; nothing was shown
  EXPECT_FALSE(Device->DeviceLost());
  EXPECT_EQ(Clean, Frame());
}

}  // namespace
}  // namespace qel::testing
