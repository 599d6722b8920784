#pragma once
// Surfaces of the software device: the back buffer as GetBackBuffer gives it, and plain
// off-screen surfaces that GetRenderTargetData copies a frame into.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/soft/SoftResources.h"

namespace qel::soft {

class TSoftSurface final : public TRefCounted<IDirect3DSurface9> {
 public:
  // A plain surface with pixels of its own (32-bit formats).
  TSoftSurface(std::shared_ptr<TDeviceLink> Link, UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool);
  // The device's back buffer. Held, it blocks Reset as in Direct3D 9.
  explicit TSoftSurface(std::shared_ptr<TDeviceLink> Link, const D3DPRESENT_PARAMETERS& Params);

  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return FPool.GetDevice(ppDevice); }
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  bool IsBackBufferOf(const IDirect3DDevice9* Device) const { return FBackBuffer && FLink->Device == Device; }
  bool IsBackBuffer() const { return FBackBuffer; }
  UINT Width() const { return FWidth; }
  UINT Height() const { return FHeight; }
  D3DFORMAT Format() const { return FFormat; }
  D3DPOOL Pool() const { return FPoolKind; }
  // The pixels, Width() a row; nullptr when the surface is the back buffer of a device
  // that has gone.
  std::uint32_t* Pixels();

 private:
  std::shared_ptr<TDeviceLink> FLink;
  TPoolMembership FPool;
  bool FBackBuffer;
  bool FLockable;
  UINT FWidth, FHeight;
  D3DFORMAT FFormat;
  D3DPOOL FPoolKind;
  std::vector<std::uint32_t> FOwn;
  bool FLocked = false;
};

}  // namespace qel::soft
