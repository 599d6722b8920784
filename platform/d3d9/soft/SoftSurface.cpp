#include "platform/d3d9/soft/SoftSurface.h"

#include "platform/d3d9/soft/SoftDevice.h"

namespace qel::soft {

TSoftSurface::TSoftSurface(std::shared_ptr<TDeviceLink> Link, UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool)
    : FLink(Link),
      FPool(std::move(Link), Pool),
      FBackBuffer(false),
      FLockable(true),
      FWidth(Width),
      FHeight(Height),
      FFormat(Format),
      FPoolKind(Pool),
      FOwn(std::size_t{Width} * Height, 0) {}

TSoftSurface::TSoftSurface(std::shared_ptr<TDeviceLink> Link, const D3DPRESENT_PARAMETERS& Params)
    : FLink(Link),
      FPool(std::move(Link), D3DPOOL_DEFAULT),
      FBackBuffer(true),
      FLockable((Params.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0),
      FWidth(Params.BackBufferWidth),
      FHeight(Params.BackBufferHeight),
      FFormat(Params.BackBufferFormat),
      FPoolKind(D3DPOOL_DEFAULT) {}

std::uint32_t* TSoftSurface::Pixels() {
  if (!FBackBuffer) return FOwn.data();
  // A device cannot be reset while its back buffer is held, so the size is still right.
  return FLink->Device ? static_cast<TSoftDevice*>(FLink->Device)->BackBufferPixels() : nullptr;
}

HRESULT TSoftSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
  return Logged("Surface::GetDesc", [&] { return TLogArgs{LogArg(pDesc)}; }, [&]() -> HRESULT {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = {};
    pDesc->Format = FFormat;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = FBackBuffer ? D3DUSAGE_RENDERTARGET : 0;
    pDesc->Pool = FPoolKind;
    pDesc->Width = FWidth;
    pDesc->Height = FHeight;
    return D3D_OK;
  });
}

HRESULT TSoftSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  return Logged("Surface::LockRect", [&] { return TLogArgs{LogArg(pLockedRect), LogArg(pRect), Flags}; }, [&]() -> HRESULT {
    if (!pLockedRect || FLocked || !FLockable) return D3DERR_INVALIDCALL;
    std::uint32_t* P = Pixels();
    if (!P) return D3DERR_INVALIDCALL;
    RECT R;
    if (!LockArea(pRect, FWidth, FHeight, R)) return D3DERR_INVALIDCALL;
    const std::size_t Pitch =
        FBackBuffer ? static_cast<std::size_t>(static_cast<TSoftDevice*>(FLink->Device)->BackBufferPitch()) : FWidth;
    pLockedRect->Pitch = static_cast<INT>(Pitch * 4);
    pLockedRect->pBits = P + static_cast<std::size_t>(R.top) * Pitch + R.left;
    FLocked = true;
    return D3D_OK;
  });
}

HRESULT TSoftSurface::UnlockRect() {
  return Logged("Surface::UnlockRect", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (!FLocked) return D3DERR_INVALIDCALL;
    FLocked = false;
    return D3D_OK;
  });
}

}  // namespace qel::soft
