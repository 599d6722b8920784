#include "engine/images/DXTextures.h"

#include "engine/device/GlowDevices.h"
#include "engine/images/TextureFormats.h"

namespace qel {

void TDXBaseTexture::SetSize(TPoint Value) {
  if (FState == tsNone) FSize = Value;
}

void TDXBaseTexture::SetMipMapping(bool Value) {
  if (FState == tsNone) FMipMapping = Value;
}

void TDXBaseTexture::SetState(TTextureState Request) {
  switch (FState) {
    case tsNone:
      if (Request == tsReady && Prepare() && CreateTextures()) FState = tsReady;
      break;
    case tsReady:
      if (Request == tsNone) {
        ReleaseTextures();
        FState = tsNone;
      } else if (Request == tsLost && FVolatile) {
        ReleaseTextures();
        FState = tsLost;
      }
      break;
    case tsLost:
    case tsFailed:
      if (Request == tsNone) {
        FState = tsNone;
      } else if (Request == tsReady) {
        FState = CreateTextures() ? tsReady : tsFailed;
      }
      break;
  }
}

TDXMultiTexture::~TDXMultiTexture() { SetState(tsNone); }

void TDXMultiTexture::SetTextureCount(int Value) {
  if (State() == tsNone) FTextureCount = Value;
  if (FTextureCount < 0) FTextureCount = 0;
}

IDirect3DTexture9* TDXMultiTexture::Texture(int Index) const {
  if (Index < 0 || Index >= static_cast<int>(FTextures.size())) return nullptr;
  return FTextures[static_cast<std::size_t>(Index)].Get();
}

bool TDXMultiTexture::CreateTextures() {
  const UINT Levels = MipMapping() ? 0 : 1;
  const DWORD Usage = GetUsage();
  ReleaseTextures();
  FTextures.resize(static_cast<std::size_t>(FTextureCount));
  if (FTextureCount == 0) return true;
  if (!Direct3DDevice || Size().X < 1 || Size().Y < 1) {
    ReleaseTextures();
    return false;
  }
  for (auto& Slot : FTextures) {
    if (FAILED(Direct3DDevice->CreateTexture(static_cast<UINT>(Size().X), static_cast<UINT>(Size().Y), Levels, Usage,
                                             Format(), D3DPOOL_MANAGED, Slot.Put(), nullptr))) {
      ReleaseTextures();
      return false;
    }
  }
  return true;
}

void TDXMultiTexture::ReleaseTextures() { FTextures.clear(); }

DWORD TDXMultiTexture::GetUsage() const { return MipMapping() ? D3DUSAGE_AUTOGENMIPMAP : 0; }

bool TDXMultiTexture::SelectTexture(int Stage, int Index) {
  IDirect3DTexture9* Entry = Texture(Index);
  if (!Entry || !Direct3DDevice || Stage < 0) return false;
  return SUCCEEDED(Direct3DDevice->SetTexture(static_cast<DWORD>(Stage), Entry));
}

bool TDXMultiTexture::LockArea(int Index, const RECT* Rect, int Access, TTextureLock& Locked) {
  IDirect3DTexture9* Entry = Texture(Index);
  if (!Entry) return false;
  D3DLOCKED_RECT Area{};
  if (FAILED(Entry->LockRect(0, &Area, Rect, Access == LockReadOnly ? D3DLOCK_READONLY : 0))) return false;
  Locked.Bits = Area.pBits;
  Locked.Pitch = Area.Pitch;
  Locked.Format = FormatFromD3D(Format());
  return true;
}

bool TDXMultiTexture::Lock(int Index, int Access, TTextureLock& Locked) {
  return LockArea(Index, nullptr, Access, Locked);
}

bool TDXMultiTexture::LockRect(int Index, const RECT& Rect, int Access, TTextureLock& Locked) {
  return LockArea(Index, &Rect, Access, Locked);
}

bool TDXMultiTexture::Unlock(int Index) {
  IDirect3DTexture9* Entry = Texture(Index);
  return Entry && SUCCEEDED(Entry->UnlockRect(0));
}

}  // namespace qel
