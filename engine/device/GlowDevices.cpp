#include "engine/device/GlowDevices.h"

#include "framework/Forms.h"

namespace qel {

ComPtr<IDirect3D9> Direct3D;
ComPtr<IDirect3DDevice9> Direct3DDevice;
D3DPRESENT_PARAMETERS PresentParams = {};
D3DCAPS9 DeviceCaps = {};

namespace {

// Direct3D's BOOL true as the device's settings write it.
constexpr BOOL AllBits = static_cast<BOOL>(-1);

// Engine colour 0xAABBGGRR to Direct3D's 0xAARRGGBB.
D3DCOLOR ToD3DColor(std::uint32_t Color) {
  return (Color & 0xFF00FF00u) | ((Color & 0xFFu) << 16) | ((Color >> 16) & 0xFFu);
}

}  // namespace

TGlowDevice::TGlowDevice(TComponent* Owner) : TGlowPublisher(Owner) {}

TGlowDevice::~TGlowDevice() {
  if (FInitialized) Finalize();
}

void TGlowDevice::SetSize(int Index, int Value) {
  (Index == 0 ? FWidth : FHeight) = Value;
  if (FInitialized) ResetDevice();
}

void TGlowDevice::SetOption(int Index, bool Value) {
  switch (Index) {
    case 0: FWindowed = Value; break;
    case 1: FVSync = Value; break;
    default: FHardwareTL = Value; break;
  }
  if (FInitialized) ResetDevice();
}

void TGlowDevice::SetBitDepth(TBitDepth Value) {
  if (!FInitialized) FBitDepth = Value;
}

void TGlowDevice::SetRefresh(int Value) {
  if (!FInitialized) FRefresh = Value;
}

void TGlowDevice::SetDepthBuffer(bool Value) {
  if (!FInitialized) FDepthBuffer = Value;
}

void TGlowDevice::SetWindowHandle(TWindowHandle Value) {
  if (!FInitialized) FWindowHandle = Value;
}

D3DFORMAT TGlowDevice::DesktopFormat() {
  D3DDISPLAYMODE Mode;
  if (!Direct3D || FAILED(Direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &Mode))) return D3DFMT_UNKNOWN;
  return Mode.Format;
}

D3DFORMAT TGlowDevice::FindFullscreenFormat(bool High, int Width, int Height, int Refresh) {
  static const D3DFORMAT HighFormats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5,
                                          D3DFMT_X1R5G5B5};
  static const D3DFORMAT LowFormats[] = {D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8,
                                         D3DFMT_X8R8G8B8};
  if (!Direct3D) return D3DFMT_UNKNOWN;
  for (D3DFORMAT Format : High ? HighFormats : LowFormats) {
    const UINT Count = Direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, Format);
    for (UINT i = 0; i < Count; ++i) {
      D3DDISPLAYMODE Mode;
      if (FAILED(Direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, Format, i, &Mode))) continue;
      if (static_cast<int>(Mode.Width) == Width && static_cast<int>(Mode.Height) == Height &&
          (Refresh == 0 || static_cast<int>(Mode.RefreshRate) == Refresh))
        return Mode.Format;
    }
  }
  return D3DFMT_UNKNOWN;
}

D3DFORMAT TGlowDevice::FindDepthFormat(bool High, D3DFORMAT AdapterFormat) {
  static const D3DFORMAT HighFormats[] = {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D24X8, D3DFMT_D15S1,
                                          D3DFMT_D16};
  static const D3DFORMAT LowFormats[] = {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D24X4S4,
                                         D3DFMT_D24X8};
  if (!Direct3D) return D3DFMT_UNKNOWN;
  for (D3DFORMAT Format : High ? HighFormats : LowFormats)
    if (SUCCEEDED(Direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, AdapterFormat,
                                              D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, Format)))
      return Format;
  return D3DFMT_UNKNOWN;
}

HWND TGlowDevice::DeviceWindow() {
  if (FWindowHandle) return reinterpret_cast<HWND>(FWindowHandle);
  if (auto* Form = dynamic_cast<TForm*>(Owner())) return reinterpret_cast<HWND>(Form->Handle());
  return nullptr;
}

void TGlowDevice::BuildPresentParams() {
  PresentParams = {};
  D3DPRESENT_PARAMETERS& P = PresentParams;
  P.Windowed = FWindowed ? AllBits : FALSE;
  P.hDeviceWindow = DeviceWindow();
  P.BackBufferWidth = static_cast<UINT>(FWidth);
  P.BackBufferHeight = static_cast<UINT>(FHeight);
  P.SwapEffect = D3DSWAPEFFECT_DISCARD;
  P.MultiSampleType = D3DMULTISAMPLE_NONE;
  P.BackBufferFormat = FWindowed ? DesktopFormat() : FindFullscreenFormat(FBitDepth == bdHigh, FWidth, FHeight, FRefresh);
  P.FullScreen_RefreshRateInHz = static_cast<UINT>(FRefresh);
  P.PresentationInterval = FVSync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
  if (FDepthBuffer) {
    P.EnableAutoDepthStencil = AllBits;
    P.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    P.AutoDepthStencilFormat = FindDepthFormat(FBitDepth == bdHigh, P.BackBufferFormat);
  }
}

void TGlowDevice::ReleaseShared() {
  Direct3DDevice.Reset();
  Direct3D.Reset();
}

bool TGlowDevice::Initialize() {
  if (FInitialized || Direct3D || Direct3DDevice) return false;
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(SdkVersion));
  if (!Direct3D) return false;
  BuildPresentParams();
  HRESULT Created = E_FAIL;
  if (FHardwareTL)
    Created = Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, PresentParams.hDeviceWindow,
                                     D3DCREATE_HARDWARE_VERTEXPROCESSING, &PresentParams, Direct3DDevice.Put());
  if (!FHardwareTL || FAILED(Created))
    Created = Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, PresentParams.hDeviceWindow,
                                     D3DCREATE_SOFTWARE_VERTEXPROCESSING, &PresentParams, Direct3DDevice.Put());
  bool Success = SUCCEEDED(Created) && Direct3DDevice && SUCCEEDED(Direct3DDevice->GetDeviceCaps(&DeviceCaps));
  FDeviceLost = false;
  FInitialized = Success;
  if (!Success) {
    // Keeping a half-made state would refuse every later Initialize.
    ReleaseShared();
    return false;
  }
  Success = Broadcast(msgDeviceInitialize);
  if (!Success) Finalize();
  if (FOnInitialize) {
    FOnInitialize(this, Success);
    if (!Success) Finalize();
  }
  // A handler that turns a veto back into success cannot bring the released device back.
  return Success && FInitialized;
}

bool TGlowDevice::Finalize() {
  if (!FInitialized) return false;
  Fire(FOnFinalize, this);
  Broadcast(msgDeviceFinalize);
  ReleaseShared();
  FInitialized = false;
  return true;
}

bool TGlowDevice::ResetDevice() {
  if (!FInitialized) return false;
  Broadcast(msgDeviceLost);
  BuildPresentParams();
  if (FAILED(Direct3DDevice->Reset(&PresentParams))) return false;
  Broadcast(msgDeviceRestored);
  // The reset ends any outage Flip announced: the next loss must be announced afresh.
  FDeviceLost = false;
  return true;
}

bool TGlowDevice::Flip() {
  if (!FInitialized) return false;
  HRESULT R = Direct3DDevice->Present(nullptr, nullptr, nullptr, nullptr);
  if (R == D3DERR_DEVICELOST) {
    if (!FDeviceLost) {
      Broadcast(msgDeviceLost);
      FDeviceLost = true;
    }
    R = Direct3DDevice->TestCooperativeLevel();
    if (R == D3DERR_DEVICENOTRESET) {
      R = Direct3DDevice->Reset(&PresentParams);
      if (SUCCEEDED(R) && FDeviceLost) {
        Broadcast(msgDeviceRestored);
        FDeviceLost = false;
      }
    }
  }
  if (R == D3DERR_DRIVERINTERNALERROR) {
    // A reset is refused while default-pool resources exist: the subscribers release theirs
    // on the loss and make them again on the restoration.
    if (!FDeviceLost) Broadcast(msgDeviceLost);
    FDeviceLost = true;
    R = Direct3DDevice->Reset(&PresentParams);
    if (FAILED(R)) {
      Finalize();
    } else {
      Broadcast(msgDeviceRestored);
      FDeviceLost = false;
    }
  }
  return SUCCEEDED(R);
}

bool TGlowDevice::Clear(std::uint32_t Color, bool ClearDepth) {
  // Without a device there is nothing to clear (and nothing to call).
  if (!Direct3DDevice) return false;
  DWORD Flags = D3DCLEAR_TARGET;
  if (ClearDepth) Flags |= D3DCLEAR_ZBUFFER;
  return SUCCEEDED(Direct3DDevice->Clear(0, nullptr, Flags, ToD3DColor(Color), 1.0f, 0));
}

bool TGlowDevice::BeginScene() {
  if (!Direct3DDevice) return false;
  HRESULT R = Direct3DDevice->BeginScene();
  // A scene whose end failed is still open, and every later begin would fail: close it.
  if (FAILED(R) && SUCCEEDED(Direct3DDevice->EndScene())) R = Direct3DDevice->BeginScene();
  if (FAILED(R)) return false;
  Broadcast(msgBeginScene);
  return true;
}

bool TGlowDevice::EndScene() {
  if (!Direct3DDevice) return false;
  Broadcast(msgEndScene);
  return SUCCEEDED(Direct3DDevice->EndScene());
}

bool TGlowDevice::Render(std::uint32_t Color, bool ClearFirst) {
  if (!FInitialized || !FOnRender) return false;
  if (ClearFirst && !Clear(Color)) return false;
  if (!BeginScene()) return false;
  FOnRender(this);
  return EndScene();
}

}  // namespace qel
