#include "platform/d3d9/soft/SoftResources.h"

#include <algorithm>

#include "platform/d3d9/soft/SoftDevice.h"
#include "platform/d3d9/soft/TexelFormats.h"

namespace qel::soft {

bool LockArea(const RECT* Rect, UINT Width, UINT Height, RECT& Area) {
  Area = {0, 0, static_cast<LONG>(Width), static_cast<LONG>(Height)};
  if (!Rect) return true;
  const RECT& R = *Rect;
  if (R.left < 0 || R.top < 0 || R.left >= R.right || R.top >= R.bottom || R.right > Area.right || R.bottom > Area.bottom)
    return false;
  Area = R;
  return true;
}

TPoolMembership::TPoolMembership(std::shared_ptr<TDeviceLink> Link, D3DPOOL Pool)
    : FLink(std::move(Link)), FDefaultPool(Pool == D3DPOOL_DEFAULT) {
  if (FDefaultPool) ++FLink->DefaultPoolResources;
}

TPoolMembership::~TPoolMembership() {
  if (FDefaultPool) --FLink->DefaultPoolResources;
}

HRESULT TPoolMembership::GetDevice(IDirect3DDevice9** ppDevice) const {
  return Logged("GetDevice", [&] { return TLogArgs{LogArg(ppDevice)}; }, [&]() -> HRESULT {
    if (!ppDevice || !FLink->Device) return D3DERR_INVALIDCALL;
    FLink->Device->AddRef();
    *ppDevice = FLink->Device;
    return D3D_OK;
  });
}

void TPoolMembership::FlushDevice() const {
  if (FLink->Device) static_cast<TSoftDevice*>(FLink->Device)->Flush();
}

// ---------------------------------------------------------------------------------------

TSoftTexture::TSoftTexture(std::shared_ptr<TDeviceLink> Link, UINT Width, UINT Height, UINT Levels, DWORD Usage,
                           D3DFORMAT Format, D3DPOOL Pool)
    : FPool(std::move(Link), Pool), FFormat(Format), FUsage(Usage), FPoolKind(Pool) {
  // A texture with automatic mipmaps shows only its top level; the rasteriser samples only
  // that level, so the generated ones are not kept.
  UINT Count = Levels;
  if (Usage & D3DUSAGE_AUTOGENMIPMAP) Count = 1;
  if (Count == 0) {
    Count = 1;
    for (UINT W = Width, H = Height; W > 1 || H > 1; W = std::max(1u, W / 2), H = std::max(1u, H / 2)) ++Count;
  }
  const UINT Bytes = static_cast<UINT>(TexelBytes(Format));
  const UINT Padding = State().Adapter.TexturePitchPadding;
  UINT W = Width, H = Height;
  for (UINT i = 0; i < Count; ++i) {
    TLevel L;
    L.Width = W;
    L.Height = H;
    L.Pitch = (W * Bytes + 3) / 4 * 4 + (Padding + 3) / 4 * 4;
    L.Bits.assign(static_cast<std::size_t>(L.Pitch) * H, 0);
    FLevels.push_back(std::move(L));
    W = std::max(1u, W / 2);
    H = std::max(1u, H / 2);
  }
  Level0Changed();
}

void TSoftTexture::Level0Changed() {
  static std::uint64_t Versions = 0;
  FVersion = ++Versions;
  FDecoded = false;
}

const std::uint32_t* TSoftTexture::Texels() const {
  if (FDecoded) return FTexels.data();
  FDecoded = true;
  const TLevel& L = FLevels[0];
  FTexels.resize(static_cast<std::size_t>(L.Width) * L.Height);
  for (UINT y = 0; y < L.Height; ++y)
    DecodeTexels(FFormat, L.Bits.data() + static_cast<std::size_t>(y) * L.Pitch, FTexels.data() + y * L.Width,
                 static_cast<int>(L.Width));
  FOpaque = std::all_of(FTexels.begin(), FTexels.end(), [](std::uint32_t T) { return T >= 0xFF000000u; });
  FRowsUniform = true;
  for (UINT y = 0; y < L.Height && FRowsUniform; ++y) {
    const std::uint32_t* Row = FTexels.data() + std::size_t{y} * L.Width;
    FRowsUniform = std::all_of(Row, Row + L.Width, [&](std::uint32_t T) { return T == Row[0]; });
  }
  return FTexels.data();
}

void TSoftTexture::GenerateMipSubLevels() { if (CallControls.LogCalls) LogCall("GenerateMipSubLevels", TLogArgs{}, D3D_OK); }

HRESULT TSoftTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  return Logged("GetLevelDesc", [&] { return TLogArgs{Level, LogArg(pDesc)}; }, [&]() -> HRESULT {
    if (!pDesc || Level >= FLevels.size()) return D3DERR_INVALIDCALL;
    *pDesc = {};
    pDesc->Format = FFormat;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = FUsage;
    pDesc->Pool = FPoolKind;
    pDesc->Width = FLevels[Level].Width;
    pDesc->Height = FLevels[Level].Height;
    return D3D_OK;
  });
}

HRESULT TSoftTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  return Logged("LockRect", [&] { return TLogArgs{Level, LogArg(pLockedRect), LogArg(pRect), Flags}; }, [&]() -> HRESULT {
    if (!pLockedRect || Level >= FLevels.size()) return D3DERR_INVALIDCALL;
    TLevel& L = FLevels[Level];
    if (L.Locked) return D3DERR_INVALIDCALL;
    // Default-pool textures are lockable only when dynamic.
    if (FPoolKind == D3DPOOL_DEFAULT && !(FUsage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
    RECT R;
    if (!LockArea(pRect, L.Width, L.Height, R)) return D3DERR_INVALIDCALL;
    const int Bytes = TexelBytes(FFormat);
    if (!(Flags & D3DLOCK_READONLY)) FPool.FlushDevice();
    pLockedRect->Pitch = static_cast<INT>(L.Pitch);
    pLockedRect->pBits = L.Bits.data() + static_cast<std::size_t>(R.top) * L.Pitch + static_cast<std::size_t>(R.left) * Bytes;
    L.Locked = true;
    L.ReadOnly = (Flags & D3DLOCK_READONLY) != 0;
    return D3D_OK;
  });
}

HRESULT TSoftTexture::UnlockRect(UINT Level) {
  return Logged("UnlockRect", [&] { return TLogArgs{Level}; }, [&]() -> HRESULT {
    if (Level >= FLevels.size() || !FLevels[Level].Locked) return D3DERR_INVALIDCALL;
    TLevel& L = FLevels[Level];
    L.Locked = false;
    if (Level == 0 && !L.ReadOnly) Level0Changed();
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------

TBufferStorage::TBufferStorage(std::shared_ptr<TDeviceLink> Link, UINT Length, DWORD Usage, D3DPOOL Pool)
    : FPool(std::move(Link), Pool), FBytes(Length, 0), FUsage(Usage), FPoolKind(Pool) {}

HRESULT TBufferStorage::Lock(UINT Offset, UINT Size, void** ppbData, DWORD) {
  if (!ppbData) return D3DERR_INVALIDCALL;
  if (Size == 0 && Offset <= FBytes.size()) Size = static_cast<UINT>(FBytes.size()) - Offset;  // 0: to the end
  const std::uint64_t End = std::uint64_t{Offset} + Size;
  if (Offset > FBytes.size() || End > FBytes.size()) return D3DERR_INVALIDCALL;
  // Drawing is finished when a draw call returns, so a discarding lock can hand out the
  // same memory.
  *ppbData = FBytes.data() + Offset;
  ++FLocks;
  return D3D_OK;
}

HRESULT TBufferStorage::Unlock() {
  if (FLocks == 0) return D3DERR_INVALIDCALL;
  --FLocks;
  return D3D_OK;
}

}  // namespace qel::soft
