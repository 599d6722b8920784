#include "platform/d3d9/gl/GlResources.h"

#include <algorithm>

#include "platform/d3d9/gl/GlDevice.h"
#include "platform/d3d9/soft/RequestRules.h"
#include "platform/d3d9/soft/TexelFormats.h"

namespace qel::gl {
namespace {

// The texture unit uploads go through, apart from the eight the stages sample.
constexpr GLenum UploadUnit = GL_TEXTURE0 + 8;

}  // namespace

TGlTexture::TGlTexture(std::shared_ptr<TGlLink> Link, UINT Width, UINT Height, UINT Levels, DWORD Usage,
                       D3DFORMAT Format, D3DPOOL Pool)
    : FLink(Link),
      FPool(std::move(Link), Pool),
      FFormat(Format),
      FUsage(Usage),
      FPoolKind(Pool),
      FAutoMips((Usage & D3DUSAGE_AUTOGENMIPMAP) != 0) {
  UINT Count = FAutoMips ? 1 : Levels == 0 ? soft::FullChainLevels(Width, Height) : Levels;
  const UINT Bytes = static_cast<UINT>(soft::TexelBytes(Format));
  const UINT Padding = soft::Adapter().TexturePitchPadding;
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
}

TGlTexture::~TGlTexture() {
  if (FName && FLink->Gl && FGeneration == FLink->Generation && FLink->Gl->Use()) glDeleteTextures(1, &FName);
}

bool TGlTexture::Make() {
  FName = 0;
  glActiveTexture(UploadUnit);
  glGenTextures(1, &FName);
  glBindTexture(GL_TEXTURE_2D, FName);
  const TLevel& Top = FLevels[0];
  const GLsizei Levels = FAutoMips ? static_cast<GLsizei>(soft::FullChainLevels(Top.Width, Top.Height))
                                   : static_cast<GLsizei>(FLevels.size());
  glTexStorage2D(GL_TEXTURE_2D, Levels, GL_RGBA8, static_cast<GLsizei>(Top.Width), static_cast<GLsizei>(Top.Height));
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &FName);
    FName = 0;
    return false;
  }
  // Texels go up as 0xAARRGGBB words, blue in the first byte: the swizzle reads them as RGBA.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_R, GL_BLUE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_B, GL_RED);
  FGeneration = FLink->Generation;
  for (UINT Level = 0; Level < FLevels.size(); ++Level)
    Upload(Level, {0, 0, static_cast<LONG>(FLevels[Level].Width), static_cast<LONG>(FLevels[Level].Height)});
  FMipsStale = true;
  return true;
}

void TGlTexture::Upload(UINT Level, const RECT& Area) {
  const TLevel& L = FLevels[Level];
  const int Bytes = soft::TexelBytes(FFormat);
  const int W = Area.right - Area.left, H = Area.bottom - Area.top;
  FScratch.resize(static_cast<std::size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    soft::DecodeTexels(FFormat, L.Bits.data() + static_cast<std::size_t>(Area.top + y) * L.Pitch + Area.left * Bytes,
                       FScratch.data() + static_cast<std::size_t>(y) * W, W);
  glActiveTexture(UploadUnit);
  glBindTexture(GL_TEXTURE_2D, FName);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, static_cast<GLint>(Level), Area.left, Area.top, W, H, GL_RGBA, GL_UNSIGNED_BYTE,
                  FScratch.data());
  if (Level == 0) FMipsStale = true;
}

GLuint TGlTexture::Bind(GLenum Unit, bool Mipmapped) {
  if (!FLink->Gl) return 0;
  if (FGeneration != FLink->Generation || !FName) {
    if (!Make()) return 0;
  }
  glActiveTexture(Unit);
  glBindTexture(GL_TEXTURE_2D, FName);
  if (Mipmapped && FAutoMips && FMipsStale) {
    glGenerateMipmap(GL_TEXTURE_2D);
    FMipsStale = false;
  }
  return FName;
}

void TGlTexture::GenerateMipSubLevels() {
  if (soft::CallControls.LogCalls) soft::LogCall("GenerateMipSubLevels", soft::TLogArgs{}, D3D_OK);
}

HRESULT TGlTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  return soft::Logged("GetLevelDesc", [&] { return soft::TLogArgs{Level, soft::LogArg(pDesc)}; }, [&]() -> HRESULT {
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

HRESULT TGlTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  using soft::LogArg;
  return soft::Logged("LockRect", [&] { return soft::TLogArgs{Level, LogArg(pLockedRect), LogArg(pRect), Flags}; },
                      [&]() -> HRESULT {
                        if (!pLockedRect || Level >= FLevels.size()) return D3DERR_INVALIDCALL;
                        TLevel& L = FLevels[Level];
                        if (L.Locked) return D3DERR_INVALIDCALL;
                        // Default-pool textures are lockable only when dynamic.
                        if (FPoolKind == D3DPOOL_DEFAULT && !(FUsage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
                        RECT R;
                        if (!soft::LockArea(pRect, L.Width, L.Height, R)) return D3DERR_INVALIDCALL;
                        pLockedRect->Pitch = static_cast<INT>(L.Pitch);
                        pLockedRect->pBits = L.Bits.data() + static_cast<std::size_t>(R.top) * L.Pitch +
                                             static_cast<std::size_t>(R.left) * soft::TexelBytes(FFormat);
                        L.Locked = true;
                        L.ReadOnly = (Flags & D3DLOCK_READONLY) != 0;
                        L.Area = R;
                        return D3D_OK;
                      });
}

HRESULT TGlTexture::UnlockRect(UINT Level) {
  return soft::Logged("UnlockRect", [&] { return soft::TLogArgs{Level}; }, [&]() -> HRESULT {
    if (Level >= FLevels.size() || !FLevels[Level].Locked) return D3DERR_INVALIDCALL;
    TLevel& L = FLevels[Level];
    L.Locked = false;
    // Only the rectangle locked goes up; a texture not yet made in GL goes up whole when drawn.
    if (!L.ReadOnly && FName && FLink->Gl && FGeneration == FLink->Generation && FLink->Gl->Use())
      Upload(Level, L.Area);
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------

TGlBackBuffer::TGlBackBuffer(std::shared_ptr<TGlLink> Link, const D3DPRESENT_PARAMETERS& Params)
    : FLink(Link),
      FPool(std::move(Link), D3DPOOL_DEFAULT),
      FWidth(Params.BackBufferWidth),
      FHeight(Params.BackBufferHeight),
      FFormat(Params.BackBufferFormat) {}

HRESULT TGlBackBuffer::GetDesc(D3DSURFACE_DESC* pDesc) {
  return soft::Logged("Surface::GetDesc", [&] { return soft::TLogArgs{soft::LogArg(pDesc)}; }, [&]() -> HRESULT {
    if (!pDesc) return D3DERR_INVALIDCALL;
    *pDesc = {};
    pDesc->Format = FFormat;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = D3DUSAGE_RENDERTARGET;
    pDesc->Pool = D3DPOOL_DEFAULT;
    pDesc->Width = FWidth;
    pDesc->Height = FHeight;
    return D3D_OK;
  });
}

HRESULT TGlBackBuffer::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  using soft::LogArg;
  return soft::Logged("Surface::LockRect", [&] { return soft::TLogArgs{LogArg(pLockedRect), LogArg(pRect), Flags}; },
                      [] { return D3DERR_INVALIDCALL; });
}

HRESULT TGlBackBuffer::UnlockRect() {
  return soft::Logged("Surface::UnlockRect", [&] { return soft::TLogArgs{}; }, [] { return D3DERR_INVALIDCALL; });
}

}  // namespace qel::gl
