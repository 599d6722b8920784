#pragma once
// The Direct3D 9 object of the software device: the one adapter, its modes and format
// support as the controls configure them, and device creation.
#include "platform/d3d9/soft/SoftState.h"

namespace qel::soft {

class TSoftDirect3D final : public TRefCounted<IDirect3D9> {
 public:
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
};

// The capabilities of the software device.
void FillCaps(D3DCAPS9& Caps);

}  // namespace qel::soft
