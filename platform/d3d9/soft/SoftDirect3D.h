#pragma once
// The Direct3D 9 object of the software device: the one adapter, its modes and format
// support as the controls configure them, and device creation. Another device of the same
// subset (the GL device) answers through it with a device maker of its own.
#include "platform/d3d9/soft/SoftState.h"

namespace qel::soft {

// Makes a device for checked and completed parameters; an error when it cannot.
using TDeviceMaker = HRESULT (*)(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params,
                                 IDirect3DDevice9** Device);

class TSoftDirect3D final : public TRefCounted<IDirect3D9> {
 public:
  explicit TSoftDirect3D(TDeviceMaker MakeDevice = nullptr) : FMakeDevice(MakeDevice) {}
  UINT GetAdapterCount() override { return 1; }
  UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override;
  HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override;
  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice9** ppReturnedDeviceInterface) override;

 private:
  TDeviceMaker FMakeDevice;
};

// The capabilities of the software device.
void FillCaps(D3DCAPS9& Caps);

}  // namespace qel::soft
