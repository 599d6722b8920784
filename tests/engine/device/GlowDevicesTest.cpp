#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "framework/Application.h"
#include "platform/headless/HeadlessPlatform.h"
#include "platform/d3d9/soft/SoftControls.h"

namespace qel {
namespace {

using soft::CallLog;

// Records what it hears; can veto the initialisation and can hold a default-pool buffer
// as the batcher does (released on a loss, made again on restoration).
class TRecorder : public TGlowDeviceSubscriber {
 public:
  TRecorder(TComponent* Owner, std::vector<std::string>* Journal, std::string Name)
      : TGlowDeviceSubscriber(Owner), FJournal(Journal), FName(std::move(Name)) {}

  bool Veto = false;
  bool HoldBuffer = false;
  bool ReleaseOnLoss = true;
  bool PublisherSetAtFinalize = false;

  bool HandleMessage(std::uint32_t Msg) override {
    FJournal->push_back(FName + ":" + std::to_string(Msg));
    if (Msg == msgDeviceFinalize) {
      PublisherSetAtFinalize = Publisher() != nullptr;
      Buffer.Reset();
    }
    if (HoldBuffer && (Msg == msgDeviceInitialize || Msg == msgDeviceRestored))
      Direct3DDevice->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, Buffer.Put(),
                                         nullptr);
    if (Msg == msgDeviceLost && ReleaseOnLoss) Buffer.Reset();
    return !(Veto && Msg == msgDeviceInitialize);
  }

  ComPtr<IDirect3DVertexBuffer9> Buffer;

 private:
  std::vector<std::string>* FJournal;
  std::string FName;
};

class GlowDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    soft::ResetControls();
    Owner = std::make_unique<TComponent>(nullptr);
    // A device that joins an owner collects the detached subscribers already there.
    A = Create<TRecorder>(Owner.get(), &Journal, "A");
    B = Create<TRecorder>(Owner.get(), &Journal, "B");
    Device = Create<TGlowDevice>(Owner.get());
    Device->SetWindowHandle(1);
  }
  void TearDown() override {
    Owner.reset();
    EXPECT_FALSE(Direct3D);
    EXPECT_FALSE(Direct3DDevice);
    EXPECT_EQ(0, soft::LiveObjects());
    soft::ResetControls();
  }

  std::vector<std::string> Take() { return std::exchange(Journal, {}); }
  std::uint32_t BackBufferPixel(int X, int Y) {
    soft::TFrame F;
    EXPECT_TRUE(soft::ReadBackBuffer(Direct3DDevice.Get(), F));
    return F.Pixel(X, Y);
  }

  std::vector<std::string> Journal;
  std::unique_ptr<TComponent> Owner;
  TGlowDevice* Device = nullptr;
  TRecorder* A = nullptr;
  TRecorder* B = nullptr;
};

using Messages = std::vector<std::string>;

TEST_F(GlowDeviceTest, DefaultsAndAutomaticAttachment) {
  TGlowDevice Fresh(nullptr);
  EXPECT_EQ(640, Fresh.Width());
  EXPECT_EQ(480, Fresh.Height());
  EXPECT_EQ(bdHigh, Fresh.BitDepth());
  EXPECT_EQ(0, Fresh.Refresh());
  EXPECT_TRUE(Fresh.Windowed());
  EXPECT_FALSE(Fresh.VSync());
  EXPECT_TRUE(Fresh.HardwareTL());
  EXPECT_FALSE(Fresh.DepthBuffer());
  EXPECT_EQ(0u, Fresh.WindowHandle());
  EXPECT_FALSE(Fresh.Initialized());
  EXPECT_FALSE(Fresh.DeviceLost());
  EXPECT_EQ(Device, A->Device());
  EXPECT_EQ(1, Device->IndexOf(B));
  // A plain publisher is no device: a device subscriber does not attach to it by itself,
  // and one attached to it explicitly sees no device.
  auto* C = Create<TRecorder>(Owner.get(), &Journal, "C");
  auto* Plain = Create<TGlowPublisher>(Owner.get());
  EXPECT_EQ(nullptr, C->Publisher());
  C->SetPublisher(Plain);
  EXPECT_EQ(nullptr, C->Device());
}

TEST_F(GlowDeviceTest, MessagesOverADevicesLife) {
  bool Rendered = false;
  Device->SetOnRender([&](TObject* Sender) {
    EXPECT_EQ(Device, Sender);
    Rendered = true;
    Journal.push_back("render");
  });
  ASSERT_TRUE(Device->Initialize());
  EXPECT_TRUE(Device->Initialized());
  EXPECT_TRUE(Direct3D);
  EXPECT_TRUE(Direct3DDevice);
  EXPECT_EQ(Messages({"A:256", "B:256"}), Take());
  EXPECT_EQ(16384u, DeviceCaps.MaxTextureWidth);

  CallLog().Clear();
  ASSERT_TRUE(Device->Render(0xFF000000, true));
  EXPECT_TRUE(Rendered);
  EXPECT_EQ(Messages({"A:260", "B:260", "render", "A:261", "B:261"}), Take());
  EXPECT_EQ(std::vector<std::string>({"Clear", "BeginScene", "EndScene"}), CallLog().Names());
  ASSERT_TRUE(Device->Flip());
  EXPECT_EQ(1, soft::PresentCount(reinterpret_cast<HWND>(1)));

  bool Finalized = false;
  Device->SetOnFinalize([&](TObject*) {
    Finalized = true;
    Journal.push_back("finalize");
  });
  ASSERT_TRUE(Device->Finalize());
  EXPECT_TRUE(Finalized);
  EXPECT_EQ(Messages({"finalize", "A:257", "B:257"}), Take());
  EXPECT_FALSE(Device->Initialized());
  EXPECT_FALSE(Direct3D);
  EXPECT_FALSE(Direct3DDevice);
  EXPECT_FALSE(Device->Finalize());

  // A new initialisation starts the sequence again.
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(Messages({"A:256", "B:256"}), Take());
}

TEST_F(GlowDeviceTest, OperationsBeforeInitializeAnswerFalse) {
  Device->SetOnRender([](TObject*) {});
  EXPECT_FALSE(Device->Flip());
  EXPECT_FALSE(Device->Render(0, true));
  EXPECT_FALSE(Device->Finalize());
  EXPECT_FALSE(Device->ResetDevice());
  // Without a device there is nothing to clear or begin: False, and no crash.
  EXPECT_FALSE(Device->Clear(0));
  EXPECT_FALSE(Device->BeginScene());
  EXPECT_FALSE(Device->EndScene());
  EXPECT_TRUE(Journal.empty());
}

TEST_F(GlowDeviceTest, RenderWithoutHandlerDoesNotClear) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  CallLog().Clear();
  EXPECT_FALSE(Device->Render(0xFF0000FF, true));
  EXPECT_EQ(0, CallLog().Count("Clear"));
  EXPECT_TRUE(Journal.empty());
}

TEST_F(GlowDeviceTest, ClearTakesEngineColoursAndClearsDepthOnlyWithADepthBuffer) {
  ASSERT_TRUE(Device->Initialize());
  CallLog().Clear();
  ASSERT_TRUE(Device->Clear(0x80FF2010));  // engine 0xAABBGGRR: red 0x10, blue 0xFF
  EXPECT_EQ(0xFF1020FFu, BackBufferPixel(3, 4));  // a target without alpha reads opaque
  ASSERT_EQ(1, CallLog().Count("Clear"));
  EXPECT_EQ(static_cast<std::uint64_t>(D3DCLEAR_TARGET), CallLog().Named("Clear")[0].Arg(2));
  EXPECT_FALSE(Device->Clear(0, true));  // no depth buffer to clear
  Device->Finalize();

  Device->SetDepthBuffer(true);
  ASSERT_TRUE(Device->Initialize());
  CallLog().Clear();
  ASSERT_TRUE(Device->Clear(0));
  EXPECT_EQ(static_cast<std::uint64_t>(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), CallLog().Named("Clear")[0].Arg(2));
}

TEST_F(GlowDeviceTest, FrozenPropertiesKeepTheirValueWhileInitialized) {
  ASSERT_TRUE(Device->Initialize());
  Device->SetBitDepth(bdLow);
  Device->SetRefresh(75);
  Device->SetDepthBuffer(true);
  Device->SetWindowHandle(9);
  EXPECT_EQ(bdHigh, Device->BitDepth());
  EXPECT_EQ(0, Device->Refresh());
  EXPECT_FALSE(Device->DepthBuffer());
  EXPECT_EQ(1u, Device->WindowHandle());
  Device->Finalize();
  Device->SetBitDepth(bdLow);
  Device->SetWindowHandle(9);
  EXPECT_EQ(bdLow, Device->BitDepth());
  EXPECT_EQ(9u, Device->WindowHandle());
}

TEST_F(GlowDeviceTest, SizeAndOptionChangesResetTheDevice) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  Device->SetWidth(320);
  EXPECT_EQ(Messages({"A:258", "B:258", "A:259", "B:259"}), Take());
  EXPECT_EQ(320u, PresentParams.BackBufferWidth);
  soft::TFrame F;
  ASSERT_TRUE(soft::ReadBackBuffer(Direct3DDevice.Get(), F));
  EXPECT_EQ(320, F.Width);
  Device->SetWidth(320);  // the same value resets again
  EXPECT_EQ(Messages({"A:258", "B:258", "A:259", "B:259"}), Take());
  Device->SetVSync(true);
  EXPECT_EQ(4u, Take().size());
  EXPECT_EQ(static_cast<UINT>(D3DPRESENT_INTERVAL_ONE), PresentParams.PresentationInterval);
  Device->SetHardwareTL(false);
  EXPECT_EQ(4u, Take().size());
  EXPECT_FALSE(Device->DeviceLost());
}

TEST_F(GlowDeviceTest, ResetNeedsDefaultPoolResourcesReleased) {
  A->HoldBuffer = true;
  ASSERT_TRUE(Device->Initialize());
  ASSERT_TRUE(A->Buffer);
  EXPECT_TRUE(Device->ResetDevice());
  EXPECT_TRUE(A->Buffer);  // made again on restoration
  A->ReleaseOnLoss = false;
  Take();
  EXPECT_FALSE(Device->ResetDevice());
  EXPECT_EQ(Messages({"A:258", "B:258"}), Take());
  EXPECT_FALSE(Device->DeviceLost());
}

TEST_F(GlowDeviceTest, SecondDeviceCannotInitializeWhileOneIs) {
  auto* Other = Create<TGlowDevice>(Owner.get());
  Other->SetWindowHandle(2);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_FALSE(Other->Initialize());
  EXPECT_TRUE(Device->Initialized());
  Device->Finalize();
  EXPECT_TRUE(Other->Initialize());
}

TEST_F(GlowDeviceTest, FailedStartsReleaseWhatTheyMadeSoALaterStartSucceeds) {
  soft::FailNext("Direct3DCreate9", 1);
  EXPECT_FALSE(Device->Initialize());
  soft::FailNext("CreateDevice", 2);
  EXPECT_FALSE(Device->Initialize());
  EXPECT_FALSE(Direct3D);
  soft::FailNext("GetDeviceCaps", 1);
  EXPECT_FALSE(Device->Initialize());
  EXPECT_FALSE(Direct3D);
  EXPECT_FALSE(Direct3DDevice);
  EXPECT_EQ(0, soft::LiveObjects());
  EXPECT_TRUE(Journal.empty());
  EXPECT_TRUE(Device->Initialize());
}

TEST_F(GlowDeviceTest, HardwareProcessingFallsBackToSoftware) {
  soft::FailNext("CreateDevice", 1);
  CallLog().Clear();
  ASSERT_TRUE(Device->Initialize());
  const auto Creations = CallLog().Named("CreateDevice");
  ASSERT_EQ(2u, Creations.size());
  EXPECT_EQ(static_cast<std::uint64_t>(D3DCREATE_HARDWARE_VERTEXPROCESSING), Creations[0].Arg(3));
  EXPECT_EQ(static_cast<std::uint64_t>(D3DCREATE_SOFTWARE_VERTEXPROCESSING), Creations[1].Arg(3));
  Device->Finalize();
  Device->SetHardwareTL(false);
  CallLog().Clear();
  ASSERT_TRUE(Device->Initialize());
  ASSERT_EQ(1, CallLog().Count("CreateDevice"));
  EXPECT_EQ(static_cast<std::uint64_t>(D3DCREATE_SOFTWARE_VERTEXPROCESSING), CallLog().Named("CreateDevice")[0].Arg(3));
  EXPECT_EQ(static_cast<std::uint64_t>(TGlowDevice::SdkVersion), CallLog().Named("Direct3DCreate9")[0].Arg(0));
}

TEST_F(GlowDeviceTest, VetoFinalizesAndStillCallsOnInitialize) {
  B->Veto = true;
  bool Called = false, SuccessSeen = true;
  Device->SetOnInitialize([&](TObject*, bool& Success) {
    Called = true;
    SuccessSeen = Success;
  });
  EXPECT_FALSE(Device->Initialize());
  EXPECT_FALSE(Device->Initialized());
  EXPECT_TRUE(Called);
  EXPECT_FALSE(SuccessSeen);
  EXPECT_EQ(Messages({"A:256", "B:256", "A:257", "B:257"}), Take());
  EXPECT_FALSE(Direct3D);
  B->Veto = false;
  EXPECT_TRUE(Device->Initialize());
}

TEST_F(GlowDeviceTest, VetoFirstSubscriberStopsTheBroadcast) {
  A->Veto = true;
  EXPECT_FALSE(Device->Initialize());
  EXPECT_EQ(Messages({"A:256", "A:257", "B:257"}), Take());
}

TEST_F(GlowDeviceTest, HandlerCannotTurnAVetoIntoSuccess) {
  A->Veto = true;
  Device->SetOnInitialize([](TObject*, bool& Success) { Success = true; });
  EXPECT_FALSE(Device->Initialize());
  EXPECT_FALSE(Device->Initialized());
}

TEST_F(GlowDeviceTest, HandlerCanRefuseTheStart) {
  Device->SetOnInitialize([](TObject*, bool& Success) { Success = false; });
  EXPECT_FALSE(Device->Initialize());
  EXPECT_EQ(Messages({"A:256", "B:256", "A:257", "B:257"}), Take());
}

TEST_F(GlowDeviceTest, LossIsAnnouncedOncePerOutage) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  soft::LoseDevices(2);  // two more polls before the device can be reset
  EXPECT_FALSE(Device->Flip());
  EXPECT_TRUE(Device->DeviceLost());
  EXPECT_FALSE(Device->Flip());
  EXPECT_EQ(Messages({"A:258", "B:258"}), Take());
  EXPECT_TRUE(Device->Flip());  // reset succeeds: restored, although nothing was shown
  EXPECT_EQ(Messages({"A:259", "B:259"}), Take());
  EXPECT_FALSE(Device->DeviceLost());
  EXPECT_TRUE(Device->Flip());
  EXPECT_TRUE(Journal.empty());
}

TEST_F(GlowDeviceTest, FlipRecoversAfterAFailedReset) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  soft::FailNext("Reset", 1);
  Device->SetHeight(200);
  EXPECT_EQ(Messages({"A:258", "B:258"}), Take());
  EXPECT_FALSE(Device->DeviceLost());
  // The device is lost until a reset succeeds: Flip announces the loss again and recovers.
  EXPECT_TRUE(Device->Flip());
  EXPECT_EQ(Messages({"A:258", "B:258", "A:259", "B:259"}), Take());
  EXPECT_EQ(200u, PresentParams.BackBufferHeight);
}

TEST_F(GlowDeviceTest, InjectedLossAnswersAreHandledLikeRealOnes) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  soft::FailNext("Present", 1, D3DERR_DEVICELOST);
  soft::FailNext("TestCooperativeLevel", 1, D3DERR_DEVICENOTRESET);
  EXPECT_TRUE(Device->Flip());
  EXPECT_EQ(Messages({"A:258", "B:258", "A:259", "B:259"}), Take());
}

TEST_F(GlowDeviceTest, DriverInternalErrorGetsOneReset) {
  ASSERT_TRUE(Device->Initialize());
  Take();
  soft::FailNext("Present", 1, D3DERR_DRIVERINTERNALERROR);
  EXPECT_TRUE(Device->Flip());
  EXPECT_TRUE(Device->Initialized());
  // The reset is announced like any other, so subscribers can let go of what it refuses.
  EXPECT_EQ(Messages({"A:258", "B:258", "A:259", "B:259"}), Take());
  soft::FailNext("Present", 1, D3DERR_DRIVERINTERNALERROR);
  soft::FailNext("Reset", 1);
  EXPECT_FALSE(Device->Flip());
  EXPECT_FALSE(Device->Initialized());
  EXPECT_EQ(Messages({"A:258", "B:258", "A:257", "B:257"}), Take());
  EXPECT_FALSE(Direct3DDevice);
}

TEST_F(GlowDeviceTest, FullScreenNeedsAMatchingMode) {
  Device->SetWindowed(false);
  Device->SetWidth(123);
  EXPECT_FALSE(Device->Initialize());
  EXPECT_EQ(D3DFMT_UNKNOWN, PresentParams.BackBufferFormat);
  Device->SetWidth(800);
  Device->SetHeight(600);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(D3DFMT_X8R8G8B8, PresentParams.BackBufferFormat);
  EXPECT_FALSE(PresentParams.Windowed);
}

TEST_F(GlowDeviceTest, RefreshZeroTakesAnyRateOtherwiseOnlyThatRate) {
  soft::Adapter().Modes = {{1024, 768, 60, D3DFMT_X8R8G8B8}, {1024, 768, 75, D3DFMT_X8R8G8B8}};
  Device->SetWindowed(false);
  Device->SetWidth(1024);
  Device->SetHeight(768);
  ASSERT_TRUE(Device->Initialize());
  Device->Finalize();
  Device->SetRefresh(75);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(75u, PresentParams.FullScreen_RefreshRateInHz);
  Device->Finalize();
  Device->SetRefresh(85);
  EXPECT_FALSE(Device->Initialize());
}

TEST_F(GlowDeviceTest, FullScreenFormatFollowsTheBitDepthPreference) {
  soft::Adapter().Modes = {{640, 480, 60, D3DFMT_R5G6B5}, {640, 480, 60, D3DFMT_A8R8G8B8},
                           {640, 480, 60, D3DFMT_X1R5G5B5}};
  Device->SetWindowed(false);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(D3DFMT_A8R8G8B8, PresentParams.BackBufferFormat);
  EXPECT_EQ(D3DFMT_R5G6B5, TGlowDevice::FindFullscreenFormat(false, 640, 480, 0));
  EXPECT_EQ(D3DFMT_UNKNOWN, TGlowDevice::FindFullscreenFormat(true, 640, 400, 0));
  Device->Finalize();
  Device->SetBitDepth(bdLow);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(D3DFMT_R5G6B5, PresentParams.BackBufferFormat);
}

TEST_F(GlowDeviceTest, DepthFormatIsTheFirstTheAdapterAccepts) {
  soft::Adapter().DepthFormats = {D3DFMT_D16, D3DFMT_D24X8};
  Device->SetDepthBuffer(true);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(D3DFMT_D24X8, PresentParams.AutoDepthStencilFormat);
  EXPECT_TRUE(PresentParams.EnableAutoDepthStencil);
  EXPECT_EQ(static_cast<DWORD>(D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL), PresentParams.Flags);
  EXPECT_EQ(D3DFMT_D16, TGlowDevice::FindDepthFormat(false, D3DFMT_X8R8G8B8));
  EXPECT_EQ(D3DFMT_UNKNOWN, TGlowDevice::FindDepthFormat(true, D3DFMT_UNKNOWN));
  Device->Finalize();
  soft::Adapter().DepthFormats = {};
  EXPECT_FALSE(Device->Initialize());
}

TEST_F(GlowDeviceTest, WindowedParametersFollowTheProperties) {
  Device->SetWidth(300);
  Device->SetHeight(200);
  ASSERT_TRUE(Device->Initialize());
  EXPECT_EQ(static_cast<BOOL>(-1), PresentParams.Windowed);
  EXPECT_EQ(reinterpret_cast<HWND>(1), PresentParams.hDeviceWindow);
  EXPECT_EQ(D3DFMT_X8R8G8B8, PresentParams.BackBufferFormat);  // the desktop's
  EXPECT_EQ(D3DSWAPEFFECT_DISCARD, PresentParams.SwapEffect);
  EXPECT_EQ(static_cast<UINT>(D3DPRESENT_INTERVAL_IMMEDIATE), PresentParams.PresentationInterval);
  EXPECT_FALSE(PresentParams.EnableAutoDepthStencil);
  EXPECT_EQ(300u, PresentParams.BackBufferWidth);
}

TEST(GlowDeviceOnForm, PresentsIntoItsFormsWindowUnlessGivenOne) {
  soft::ResetControls();
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  auto* D = Create<TGlowDevice>(Form);
  D->SetOnRender([](TObject*) {});
  ASSERT_TRUE(D->Initialize());
  ASSERT_TRUE(Form->HandleAllocated());  // made on demand for the device
  EXPECT_EQ(reinterpret_cast<HWND>(Form->Handle()), PresentParams.hDeviceWindow);
  ASSERT_TRUE(D->Render(0xFF0000FF, true));
  ASSERT_TRUE(D->Flip());
  const soft::TFrame* Frame = soft::PresentedFrame(reinterpret_cast<HWND>(Form->Handle()));
  ASSERT_NE(nullptr, Frame);
  EXPECT_EQ(0xFFFF0000u, Frame->Pixel(0, 0));  // engine red
  D->Finalize();
  D->SetWindowHandle(77);
  ASSERT_TRUE(D->Initialize());
  EXPECT_EQ(reinterpret_cast<HWND>(77), PresentParams.hDeviceWindow);
  D->Finalize();
  soft::ResetControls();
}

TEST_F(GlowDeviceTest, WindowedRefreshIsRefusedAsDirect3DRefusesIt) {
  Device->SetRefresh(60);
  EXPECT_FALSE(Device->Initialize());
  EXPECT_EQ(0, soft::LiveObjects());
}

TEST_F(GlowDeviceTest, DestroyingAnInitializedDeviceFinalizesBeforeDetaching) {
  bool Finalized = false;
  Device->SetOnFinalize([&](TObject*) { Finalized = true; });
  ASSERT_TRUE(Device->Initialize());
  Take();
  delete Device;  // its owner hears of the removal on the way
  EXPECT_TRUE(Finalized);
  EXPECT_EQ(Messages({"A:257", "B:257"}), Take());
  EXPECT_TRUE(A->PublisherSetAtFinalize);
  EXPECT_EQ(nullptr, A->Publisher());
  EXPECT_FALSE(Direct3DDevice);
}

}  // namespace
}  // namespace qel
