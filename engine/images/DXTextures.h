#pragma once
#include <cstdint>
#include <vector>

#include "engine/images/ColorFormats.h"
#include "engine/images/IntPoint.h"
#include "framework/Object.h"
#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/d3d9api.h"

namespace qel {

// Life cycle of a texture object's Direct3D resources.
enum TTextureState : std::uint8_t {
  tsNone = 0,    // no Direct3D textures
  tsReady = 1,   // textures exist
  tsLost = 2,    // released because the device was lost
  tsFailed = 3,  // re-creation after a loss failed
};

// A locked texture rectangle.
struct TTextureLock {
  void* Bits = nullptr;  // first locked row
  std::int32_t Pitch = 0;  // bytes from one row to the next; may exceed width * bytes per texel
  TColorFormat Format = cfUnknown;
};

// Access for Lock and LockRect: read-only; any other value locks for writing.
inline constexpr int LockReadOnly = 1;
inline constexpr int LockWrite = 2;

// What every texture object has: size, mipmapping, Direct3D format and a life-cycle state,
// with the state machine that creates, loses and re-creates the resources. The resource work
// belongs to the derived class. Size and mipmapping can change only while nothing is created.
class TDXBaseTexture : public TObject {
 public:
  TDXBaseTexture() = default;
  // A derived class must release its resources in its own destructor (SetState(tsNone)):
  // the base cannot reach the derived resource work any more.
  ~TDXBaseTexture() override = default;

  TPoint Size() const { return FSize; }
  void SetSize(TPoint Value);
  bool MipMapping() const { return FMipMapping; }
  void SetMipMapping(bool Value);
  TTextureState State() const { return FState; }
  // Chosen before creation (images pick it in Prepare).
  D3DFORMAT Format() const { return FFormat; }
  void SetFormat(D3DFORMAT Value) { FFormat = Value; }
  // When set, a loss releases the textures (for resources that do not survive a reset).
  bool Volatile() const { return FVolatile; }
  void SetVolatile(bool Value) { FVolatile = Value; }

  // Asks for a state: tsReady creates (Prepare first when coming from tsNone) or re-creates,
  // tsNone releases, tsLost releases only volatile textures.
  void SetState(TTextureState Request);

  // Last check and set-up before the first creation.
  virtual bool Prepare() { return true; }
  virtual bool CreateTextures() = 0;
  virtual void ReleaseTextures() = 0;
  virtual DWORD GetUsage() const = 0;
  virtual bool SelectTexture(int Stage, int Index) = 0;
  virtual bool Lock(int Index, int Access, TTextureLock& Locked) = 0;
  virtual bool LockRect(int Index, const RECT& Rect, int Access, TTextureLock& Locked) = 0;
  virtual bool Unlock(int Index) = 0;

 private:
  TPoint FSize{256, 256};
  bool FMipMapping = true;
  TTextureState FState = tsNone;
  D3DFORMAT FFormat = D3DFMT_UNKNOWN;
  bool FVolatile = false;
};

// A set of equal textures (same size, format and mipmapping) in the managed pool, addressed
// by index.
class TDXMultiTexture : public TDXBaseTexture {
 public:
  TDXMultiTexture() = default;
  ~TDXMultiTexture() override;

  int TextureCount() const { return FTextureCount; }
  // Stored only while nothing is created; never below 0.
  void SetTextureCount(int Value);
  // The texture at Index, or nullptr.
  IDirect3DTexture9* Texture(int Index) const;

  bool CreateTextures() override;
  void ReleaseTextures() override;
  DWORD GetUsage() const override;
  bool SelectTexture(int Stage, int Index) override;
  bool Lock(int Index, int Access, TTextureLock& Locked) override;
  bool LockRect(int Index, const RECT& Rect, int Access, TTextureLock& Locked) override;
  bool Unlock(int Index) override;

 private:
  bool LockArea(int Index, const RECT* Rect, int Access, TTextureLock& Locked);

  std::vector<ComPtr<IDirect3DTexture9>> FTextures;
  int FTextureCount = 1;
};

}  // namespace qel
