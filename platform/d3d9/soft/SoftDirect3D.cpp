#include "platform/d3d9/soft/SoftDirect3D.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/d3d9/DeviceChoice.h"
#include "platform/d3d9/soft/SoftDevice.h"

namespace qel::soft {
namespace {

bool Contains(const std::vector<D3DFORMAT>& List, D3DFORMAT Format) {
  return std::find(List.begin(), List.end(), Format) != List.end();
}

const TFormatSupport* TextureSupport(D3DFORMAT Format) {
  for (const TFormatSupport& S : State().Adapter.Textures)
    if (S.Format == Format) return &S;
  return nullptr;
}

// A test switch of the programs, set in their environment: no device can be created (the
// failed start's message box). Present, not empty and not "0".
bool CreationRefused() {
  static const bool Refused = [] {
    const char* Value = std::getenv("QEL_TEST_FAIL_CREATE_DEVICE");
    return Value && *Value && std::strcmp(Value, "0") != 0;
  }();
  return Refused;
}

}  // namespace

UINT TSoftDirect3D::GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) {
  UINT Count = 0;
  if (Adapter == 0)
    for (const D3DDISPLAYMODE& M : State().Adapter.Modes)
      if (M.Format == Format) ++Count;
  if (CallControls.LogCalls) LogCall("GetAdapterModeCount", TLogArgs{Adapter, LogArg(Format)}, static_cast<HRESULT>(Count));
  return Count;
}

HRESULT TSoftDirect3D::EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) {
  return Logged("EnumAdapterModes", [&] { return TLogArgs{Adapter, LogArg(Format), Mode, LogArg(pMode)}; }, [&]() -> HRESULT {
    if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
    UINT Index = 0;
    for (const D3DDISPLAYMODE& M : State().Adapter.Modes)
      if (M.Format == Format && Index++ == Mode) {
        *pMode = M;
        return D3D_OK;
      }
    return D3DERR_INVALIDCALL;
  });
}

HRESULT TSoftDirect3D::GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) {
  return Logged("GetAdapterDisplayMode", [&] { return TLogArgs{Adapter, LogArg(pMode)}; }, [&]() -> HRESULT {
    if (Adapter != 0 || !pMode) return D3DERR_INVALIDCALL;
    *pMode = State().Adapter.DesktopMode;
    return D3D_OK;
  });
}

HRESULT TSoftDirect3D::CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                                         D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) {
  return Logged("CheckDeviceFormat", [&] { return TLogArgs{Adapter, LogArg(DeviceType), LogArg(AdapterFormat), Usage, LogArg(RType), LogArg(CheckFormat)}; }, [&]() -> HRESULT {
                  const TAdapterConfig& A = State().Adapter;
                  if (Adapter != 0) return D3DERR_INVALIDCALL;
                  if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
                  if (!Contains(A.BackBufferFormats, AdapterFormat)) return D3DERR_NOTAVAILABLE;
                  if (Usage & D3DUSAGE_DEPTHSTENCIL) {
                    if (RType != D3DRTYPE_SURFACE && RType != D3DRTYPE_TEXTURE) return D3DERR_NOTAVAILABLE;
                    return Contains(A.DepthFormats, CheckFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
                  }
                  if (Usage & D3DUSAGE_RENDERTARGET)
                    return RType == D3DRTYPE_SURFACE && Contains(A.BackBufferFormats, CheckFormat) ? D3D_OK
                                                                                                   : D3DERR_NOTAVAILABLE;
                  if (RType != D3DRTYPE_TEXTURE) return D3DERR_NOTAVAILABLE;
                  const TFormatSupport* S = TextureSupport(CheckFormat);
                  if (!S) return D3DERR_NOTAVAILABLE;
                  if (FAILED(S->AsTexture)) return S->AsTexture;
                  return (Usage & D3DUSAGE_AUTOGENMIPMAP) ? S->WithAutoGenMipMap : S->AsTexture;
                });
}

void FillCaps(D3DCAPS9& Caps) {
  Caps = {};
  Caps.DeviceType = D3DDEVTYPE_HAL;
  Caps.AdapterOrdinal = 0;
  Caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
  Caps.MaxTextureWidth = State().Adapter.MaxTextureWidth;
  Caps.MaxTextureHeight = State().Adapter.MaxTextureHeight;
  Caps.MaxTextureRepeat = 8192;
  Caps.MaxTextureAspectRatio = std::max(Caps.MaxTextureWidth, Caps.MaxTextureHeight);
  Caps.MaxAnisotropy = 1;
  Caps.MaxTextureBlendStages = 8;
  Caps.MaxSimultaneousTextures = 8;
  Caps.MaxPointSize = MaxPointSize;
  Caps.MaxPrimitiveCount = 0xFFFFF;
  Caps.MaxVertexIndex = 0xFFFFFF;
  Caps.MaxStreams = 1;
  Caps.MaxStreamStride = 255;
  Caps.NumSimultaneousRTs = 1;
  Caps.MasterAdapterOrdinal = 0;
  Caps.NumberOfAdaptersInGroup = 1;
}

HRESULT TSoftDirect3D::GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) {
  return Logged("Direct3D::GetDeviceCaps", [&] { return TLogArgs{Adapter, LogArg(DeviceType), LogArg(pCaps)}; }, [&]() -> HRESULT {
    if (Adapter != 0 || !pCaps) return D3DERR_INVALIDCALL;
    if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    FillCaps(*pCaps);
    return D3D_OK;
  });
}

HRESULT TSoftDirect3D::CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                    D3DPRESENT_PARAMETERS* pPresentationParameters,
                                    IDirect3DDevice9** ppReturnedDeviceInterface) {
  return Logged("CreateDevice", [&] { return TLogArgs{Adapter, LogArg(DeviceType), LogArg(hFocusWindow), BehaviorFlags, LogArg(pPresentationParameters),
                 LogArg(ppReturnedDeviceInterface)}; }, [&]() -> HRESULT {
                  if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
                  *ppReturnedDeviceInterface = nullptr;
                  if (CreationRefused()) return D3DERR_INVALIDCALL;
                  if (Adapter != 0 || !pPresentationParameters) return D3DERR_INVALIDCALL;
                  if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
                  const DWORD Processing = BehaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING |
                                                            D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                                            D3DCREATE_MIXED_VERTEXPROCESSING);
                  if (Processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
                      Processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
                      Processing != D3DCREATE_MIXED_VERTEXPROCESSING)
                    return D3DERR_INVALIDCALL;
                  D3DPRESENT_PARAMETERS Params = *pPresentationParameters;
                  const HRESULT Check = CompletePresentParams(Params, hFocusWindow);
                  if (FAILED(Check)) return Check;
                  if (FMakeDevice) {
                    const HRESULT Made = FMakeDevice(this, hFocusWindow, Params, ppReturnedDeviceInterface);
                    if (FAILED(Made)) return Made;
                  } else {
                    try {
                      *ppReturnedDeviceInterface = new TSoftDevice(this, hFocusWindow, Params);
                    } catch (const std::bad_alloc&) {
                      return E_OUTOFMEMORY;
                    }
                  }
                  *pPresentationParameters = Params;
                  return D3D_OK;
                });
}

}  // namespace qel::soft

namespace qel::d3d9 {

void UseDirect3D(IDirect3D9* (*Make)()) { qel::soft::State().MakeDirect3D = Make; }

}  // namespace qel::d3d9

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  using namespace qel::soft;
  HRESULT Injected;
  IDirect3D9* Result = nullptr;
  if (!TakeInjected("Direct3DCreate9", Injected) && (SDKVersion & 0x7FFFFFFFu) == D3D_SDK_VERSION)
    Result = State().MakeDirect3D ? State().MakeDirect3D() : new TSoftDirect3D();
  if (CallControls.LogCalls) LogCall("Direct3DCreate9", TLogArgs{SDKVersion}, Result ? D3D_OK : D3DERR_NOTAVAILABLE);
  return Result;
}
