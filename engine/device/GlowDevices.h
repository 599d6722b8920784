#pragma once
#include <cstdint>
#include <functional>

#include "engine/device/GlowSubsc.h"
#include "framework/Events.h"
#include "framework/Platform.h"
#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/d3d9api.h"

namespace qel {

// The Direct3D state of the process, held by the one initialised device. Textures, format
// checks and the batcher reach Direct3D through it.
extern ComPtr<IDirect3D9> Direct3D;
extern ComPtr<IDirect3DDevice9> Direct3DDevice;
// Given to device creation and reset; its BackBufferFormat is the adapter format texture
// formats are checked against.
extern D3DPRESENT_PARAMETERS PresentParams;
extern D3DCAPS9 DeviceCaps;

enum TBitDepth : std::uint8_t { bdLow = 0, bdHigh = 1 };

using TInitializeEvent = std::function<void(TObject* Sender, bool& Success)>;

// The component that owns the Direct3D 9 device: chooses formats, creates the device,
// announces its life to its subscribers, renders a frame between the begin and end of a
// scene, presents it and brings the device back after a loss.
class TGlowDevice : public TGlowPublisher {
 public:
  // The SDK version asked for: version 32 with the debug bit.
  static constexpr UINT SdkVersion = 0x80000020;

  explicit TGlowDevice(TComponent* Owner);
  // Finalises an initialised device first, so subscribers hear msgDeviceFinalize while
  // they are still attached.
  ~TGlowDevice() override;

  // Size, windowed state, vertical sync and vertex processing reset an initialised device.
  int Width() const { return FWidth; }
  void SetWidth(int Value) { SetSize(0, Value); }
  int Height() const { return FHeight; }
  void SetHeight(int Value) { SetSize(1, Value); }
  bool Windowed() const { return FWindowed; }
  void SetWindowed(bool Value) { SetOption(0, Value); }
  bool VSync() const { return FVSync; }
  void SetVSync(bool Value) { SetOption(1, Value); }
  // Takes effect at the next Initialize (the choice is made at device creation).
  bool HardwareTL() const { return FHardwareTL; }
  void SetHardwareTL(bool Value) { SetOption(2, Value); }

  // Frozen while initialised: writes are ignored then.
  TBitDepth BitDepth() const { return FBitDepth; }
  void SetBitDepth(TBitDepth Value);
  int Refresh() const { return FRefresh; }
  void SetRefresh(int Value);
  bool DepthBuffer() const { return FDepthBuffer; }
  void SetDepthBuffer(bool Value);
  TWindowHandle WindowHandle() const { return FWindowHandle; }
  void SetWindowHandle(TWindowHandle Value);

  bool Initialized() const { return FInitialized; }
  // True from a loss announced by Flip until a reset succeeds.
  bool DeviceLost() const { return FDeviceLost; }

  const TInitializeEvent& OnInitialize() const { return FOnInitialize; }
  void SetOnInitialize(TInitializeEvent Value) { FOnInitialize = std::move(Value); }
  const TNotifyEvent& OnFinalize() const { return FOnFinalize; }
  void SetOnFinalize(TNotifyEvent Value) { FOnFinalize = std::move(Value); }
  const TNotifyEvent& OnRender() const { return FOnRender; }
  void SetOnRender(TNotifyEvent Value) { FOnRender = std::move(Value); }

  // Creates the device and announces it (msgDeviceInitialize, then OnInitialize). A failed
  // start releases what it created, so a later Initialize can succeed.
  bool Initialize();
  // Announces the end (OnFinalize, msgDeviceFinalize) and releases the device.
  bool Finalize();
  // Applies changed properties: msgDeviceLost, reset, msgDeviceRestored on success.
  bool ResetDevice();
  // Presents the back buffer; handles a lost device and a driver's internal error.
  bool Flip();
  // Clears the whole target; Color is an engine colour (0xAABBGGRR). The one-argument form
  // clears the depth buffer too when there is one.
  bool Clear(std::uint32_t Color, bool ClearDepth);
  bool Clear(std::uint32_t Color) { return Clear(Color, FDepthBuffer); }
  bool BeginScene();
  // Subscribers flush (msgEndScene) before the scene ends.
  bool EndScene();
  // One frame without presenting: clear, begin, OnRender, end.
  bool Render(std::uint32_t Color, bool ClearFirst);

  // Format choices against the Direct3D object held in the shared state (D3DFMT_UNKNOWN
  // when there is none or nothing fits).
  static D3DFORMAT DesktopFormat();
  static D3DFORMAT FindFullscreenFormat(bool High, int Width, int Height, int Refresh);
  static D3DFORMAT FindDepthFormat(bool High, D3DFORMAT AdapterFormat);

 private:
  void SetSize(int Index, int Value);
  void SetOption(int Index, bool Value);
  void BuildPresentParams();
  HWND DeviceWindow();
  void ReleaseShared();

  int FWidth = 640;
  int FHeight = 480;
  TBitDepth FBitDepth = bdHigh;
  int FRefresh = 0;
  bool FWindowed = true;
  bool FVSync = false;
  bool FDeviceLost = false;
  bool FHardwareTL = true;
  bool FDepthBuffer = false;
  TWindowHandle FWindowHandle = 0;
  bool FInitialized = false;
  TNotifyEvent FOnFinalize;
  TInitializeEvent FOnInitialize;
  TNotifyEvent FOnRender;
};

// Base of every component that depends on the device; attaches itself to devices only.
class TGlowDeviceSubscriber : public TGlowSubscriber {
 public:
  using TGlowSubscriber::TGlowSubscriber;

  // The publisher as a device; nullptr when detached or attached to another publisher.
  TGlowDevice* Device() const { return dynamic_cast<TGlowDevice*>(Publisher()); }
  bool AcceptsPublisher(const TGlowPublisher* Publisher) const override {
    return dynamic_cast<const TGlowDevice*>(Publisher) != nullptr;
  }
};

}  // namespace qel
