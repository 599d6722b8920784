#pragma once
// Textures and vertex/index buffers of the software device.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/soft/SoftState.h"

namespace qel::soft {

// What a resource knows of the device that made it. The device clears Device when it goes,
// so a resource released later does not reach a dead device.
struct TDeviceLink {
  IDirect3DDevice9* Device = nullptr;
  int DefaultPoolResources = 0;  // must be 0 for Reset to succeed
};

// The rectangle to lock: the whole Width x Height when Rect is null; false when Rect is
// empty or reaches outside.
bool LockArea(const RECT* Rect, UINT Width, UINT Height, RECT& Area);

// Registers a resource of the default pool with its device for as long as it lives.
class TPoolMembership {
 public:
  TPoolMembership(std::shared_ptr<TDeviceLink> Link, D3DPOOL Pool);
  ~TPoolMembership();
  TPoolMembership(const TPoolMembership&) = delete;
  TPoolMembership& operator=(const TPoolMembership&) = delete;
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) const;
  // Draws what the device has recorded, before the resource changes under it.
  void FlushDevice() const;

 private:
  std::shared_ptr<TDeviceLink> FLink;
  bool FDefaultPool;
};

class TSoftTexture final : public TRefCounted<IDirect3DTexture9> {
 public:
  // Arguments are checked by the device.
  TSoftTexture(std::shared_ptr<TDeviceLink> Link, UINT Width, UINT Height, UINT Levels, DWORD Usage,
               D3DFORMAT Format, D3DPOOL Pool);

  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return FPool.GetDevice(ppDevice); }
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return static_cast<DWORD>(FLevels.size()); }
  void GenerateMipSubLevels() override;
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;

  // Level 0 as 0xAARRGGBB, Width() texels a row: what the rasteriser samples. Decoded when
  // first asked for after a change, so filling a texture costs no decoding until it is drawn.
  // The decoding is not guarded: take the texels before handing drawing to other threads.
  const std::uint32_t* Texels() const;
  // Every row of level 0 is one colour (known once Texels() has decoded it).
  bool RowsUniform() const { return FRowsUniform; }
  // Every texel of level 0 has alpha 255 (known once Texels() has decoded it).
  bool Opaque() const { return FOpaque; }
  int Width() const { return static_cast<int>(FLevels[0].Width); }
  int Height() const { return static_cast<int>(FLevels[0].Height); }
  D3DFORMAT Format() const { return FFormat; }
  // Level 0 as stored (Pitch bytes a row), for fast paths that read a format directly.
  const std::uint8_t* Level0Bits() const { return FLevels[0].Bits.data(); }
  int Level0Pitch() const { return static_cast<int>(FLevels[0].Pitch); }
  // Changes whenever level 0 changes; unique among all textures ever made.
  std::uint64_t Version() const { return FVersion; }

 private:
  struct TLevel {
    UINT Width = 0, Height = 0, Pitch = 0;
    std::vector<std::uint8_t> Bits;
    bool Locked = false;
    bool ReadOnly = false;
  };
  // Level 0 changed: a new version, decoded again when next sampled.
  void Level0Changed();

  TPoolMembership FPool;
  D3DFORMAT FFormat;
  DWORD FUsage;
  D3DPOOL FPoolKind;
  std::vector<TLevel> FLevels;
  mutable std::vector<std::uint32_t> FTexels;
  mutable bool FDecoded = false;
  mutable bool FRowsUniform = false;
  mutable bool FOpaque = false;
  std::uint64_t FVersion = 0;
};

// Storage shared by vertex and index buffers.
class TBufferStorage {
 public:
  TBufferStorage(std::shared_ptr<TDeviceLink> Link, UINT Length, DWORD Usage, D3DPOOL Pool);
  HRESULT Lock(UINT Offset, UINT Size, void** ppbData, DWORD Flags);
  HRESULT Unlock();
  const std::uint8_t* Data() const { return FBytes.data(); }
  UINT Length() const { return static_cast<UINT>(FBytes.size()); }
  DWORD Usage() const { return FUsage; }
  D3DPOOL Pool() const { return FPoolKind; }
  TPoolMembership& Membership() { return FPool; }

 private:
  TPoolMembership FPool;
  std::vector<std::uint8_t> FBytes;
  DWORD FUsage;
  D3DPOOL FPoolKind;
  int FLocks = 0;
};

// Vertex and index buffers: one implementation, told apart by what describes their
// contents (the vertex format or the index format) and the names they log under.
struct TVertexBufferKind {
  using TInterface = IDirect3DVertexBuffer9;
  using TShape = DWORD;  // FVF
  using TDesc = D3DVERTEXBUFFER_DESC;
  static constexpr D3DRESOURCETYPE Type = D3DRTYPE_VERTEXBUFFER;
  static constexpr const char* LockName = "VertexBuffer::Lock";
  static constexpr const char* UnlockName = "VertexBuffer::Unlock";
  static constexpr const char* DescName = "VertexBuffer::GetDesc";
  static TDesc Describe(const TBufferStorage& S, TShape FVF) {
    return {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, S.Usage(), S.Pool(), S.Length(), FVF};
  }
};
struct TIndexBufferKind {
  using TInterface = IDirect3DIndexBuffer9;
  using TShape = D3DFORMAT;
  using TDesc = D3DINDEXBUFFER_DESC;
  static constexpr D3DRESOURCETYPE Type = D3DRTYPE_INDEXBUFFER;
  static constexpr const char* LockName = "IndexBuffer::Lock";
  static constexpr const char* UnlockName = "IndexBuffer::Unlock";
  static constexpr const char* DescName = "IndexBuffer::GetDesc";
  static TDesc Describe(const TBufferStorage& S, TShape Format) {
    return {Format, D3DRTYPE_INDEXBUFFER, S.Usage(), S.Pool(), S.Length()};
  }
};

template <class Kind>
class TSoftBuffer final : public TRefCounted<typename Kind::TInterface> {
 public:
  TSoftBuffer(std::shared_ptr<TDeviceLink> Link, UINT Length, DWORD Usage, typename Kind::TShape Shape, D3DPOOL Pool)
      : FStorage(std::move(Link), Length, Usage, Pool), FShape(Shape) {}
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return FStorage.Membership().GetDevice(ppDevice); }
  D3DRESOURCETYPE GetType() override { return Kind::Type; }
  HRESULT Lock(UINT Offset, UINT Size, void** ppbData, DWORD Flags) override {
    return Logged(Kind::LockName, [&] { return TLogArgs{Offset, Size, LogArg(ppbData), Flags}; },
                  [&] { return FStorage.Lock(Offset, Size, ppbData, Flags); });
  }
  HRESULT Unlock() override { return Logged(Kind::UnlockName, [&] { return TLogArgs{}; }, [&] { return FStorage.Unlock(); }); }
  HRESULT GetDesc(typename Kind::TDesc* pDesc) override {
    return Logged(Kind::DescName, [&] { return TLogArgs{LogArg(pDesc)}; }, [&]() -> HRESULT {
      if (!pDesc) return D3DERR_INVALIDCALL;
      *pDesc = Kind::Describe(FStorage, FShape);
      return D3D_OK;
    });
  }
  const TBufferStorage& Storage() const { return FStorage; }
  typename Kind::TShape Shape() const { return FShape; }  // FVF or index format

 private:
  TBufferStorage FStorage;
  typename Kind::TShape FShape;
};
using TSoftVertexBuffer = TSoftBuffer<TVertexBufferKind>;
using TSoftIndexBuffer = TSoftBuffer<TIndexBufferKind>;

}  // namespace qel::soft
