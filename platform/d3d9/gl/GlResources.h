#pragma once
// Textures and the back-buffer surface of the GL device. A texture keeps every level in
// system memory in its Direct3D format (what a lock hands out, and what a lost context is
// rebuilt from) and in a GL texture of 8-bit RGBA, which holds every engine format exactly.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/gl/GlApi.h"
#include "platform/d3d9/soft/SoftResources.h"

namespace qel::gl {

class TGlDevice;

// What the GL device's resources know of it: the device while it lives, and which context
// their GL objects belong to (a new one after a lost context is rebuilt).
struct TGlLink : soft::TDeviceLink {
  TGlDevice* Gl = nullptr;
  std::uint64_t Generation = 0;
};

class TGlTexture final : public soft::TRefCounted<IDirect3DTexture9> {
 public:
  // Arguments are checked by the device.
  TGlTexture(std::shared_ptr<TGlLink> Link, UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
             D3DPOOL Pool);
  ~TGlTexture() override;

  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return FPool.GetDevice(ppDevice); }
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return FAutoMips ? 1 : static_cast<DWORD>(FLevels.size()); }
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;

  // Binds the GL texture to Unit, made (again) in the device's current context with every
  // level uploaded; Mipmapped asks for the levels below the top to be current too. 0 when GL
  // refuses.
  GLuint Bind(GLenum Unit, bool Mipmapped);

 private:
  struct TLevel {
    UINT Width = 0, Height = 0, Pitch = 0;
    std::vector<std::uint8_t> Bits;
    bool Locked = false;
    bool ReadOnly = false;
    RECT Area = {};
  };
  bool Make();
  void Upload(UINT Level, const RECT& Area);

  std::shared_ptr<TGlLink> FLink;
  soft::TPoolMembership FPool;
  D3DFORMAT FFormat;
  DWORD FUsage;
  D3DPOOL FPoolKind;
  bool FAutoMips;
  std::vector<TLevel> FLevels;  // with automatic mipmaps, only the top level
  GLuint FName = 0;
  std::uint64_t FGeneration = 0;
  bool FMipsStale = true;
  std::vector<std::uint32_t> FScratch;
};

// The back buffer as GetBackBuffer gives it: a description, read back through
// GetRenderTargetData. Held, it blocks Reset as in Direct3D 9.
class TGlBackBuffer final : public soft::TRefCounted<IDirect3DSurface9> {
 public:
  TGlBackBuffer(std::shared_ptr<TGlLink> Link, const D3DPRESENT_PARAMETERS& Params);
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return FPool.GetDevice(ppDevice); }
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  // The GL device's back buffer lives in GL: it is never locked.
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  bool IsBackBufferOf(const TGlDevice* Device) const { return FLink->Gl == Device; }
  UINT Width() const { return FWidth; }
  UINT Height() const { return FHeight; }
  D3DFORMAT Format() const { return FFormat; }

 private:
  std::shared_ptr<TGlLink> FLink;
  soft::TPoolMembership FPool;
  UINT FWidth, FHeight;
  D3DFORMAT FFormat;
};

}  // namespace qel::gl
