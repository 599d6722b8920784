#include "platform/d3d9/soft/RequestRules.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/d3d9/soft/SoftControls.h"
#include "platform/d3d9/soft/SoftResources.h"
#include "platform/d3d9/soft/TexelFormats.h"

namespace qel::soft {
namespace {

bool Contains(const std::vector<D3DFORMAT>& List, D3DFORMAT Format) {
  return std::find(List.begin(), List.end(), Format) != List.end();
}

// The display formats a back buffer may have for a mode of the given format.
bool BackBufferFitsMode(D3DFORMAT BackBuffer, D3DFORMAT Mode) {
  if (BackBuffer == Mode) return true;
  return (BackBuffer == D3DFMT_A8R8G8B8 && Mode == D3DFMT_X8R8G8B8) ||
         (BackBuffer == D3DFMT_A1R5G5B5 && Mode == D3DFMT_X1R5G5B5);
}

constexpr DWORD FloatBits(float Value) { return std::bit_cast<DWORD>(Value); }

}  // namespace

void DefaultStates(bool DepthBuffer, DWORD (&Render)[RenderStateCount], DWORD (&Stage)[StageCount][StageStateCount],
                   DWORD (&Sampler)[SamplerCount][SamplerStateCount]) {
  DWORD* R = Render;
  std::fill(R, R + RenderStateCount, 0);
  R[D3DRS_ZENABLE] = DepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
  R[D3DRS_FILLMODE] = D3DFILL_SOLID;
  R[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  R[D3DRS_ZWRITEENABLE] = TRUE;
  R[D3DRS_LASTPIXEL] = TRUE;
  R[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  R[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  R[D3DRS_CULLMODE] = D3DCULL_CCW;
  R[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  R[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  R[D3DRS_FOGEND] = FloatBits(1.0f);
  R[D3DRS_FOGDENSITY] = FloatBits(1.0f);
  R[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
  R[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  R[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
  R[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  R[D3DRS_STENCILMASK] = 0xFFFFFFFF;
  R[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
  R[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  R[D3DRS_CLIPPING] = TRUE;
  R[D3DRS_LIGHTING] = TRUE;
  R[D3DRS_COLORVERTEX] = TRUE;
  R[D3DRS_LOCALVIEWER] = TRUE;
  R[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  R[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  R[D3DRS_POINTSIZE] = FloatBits(1.0f);
  R[D3DRS_POINTSIZE_MIN] = FloatBits(1.0f);
  R[D3DRS_POINTSIZE_MAX] = FloatBits(MaxPointSize);
  R[D3DRS_POINTSCALE_A] = FloatBits(1.0f);
  R[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  R[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
  R[D3DRS_COLORWRITEENABLE] = 0xF;
  R[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  R[D3DRS_MINTESSELLATIONLEVEL] = FloatBits(1.0f);
  R[D3DRS_MAXTESSELLATIONLEVEL] = FloatBits(1.0f);
  R[D3DRS_ADAPTIVETESS_Z] = FloatBits(1.0f);
  R[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
  R[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
  R[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
  R[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
  R[D3DRS_COLORWRITEENABLE1] = 0xF;
  R[D3DRS_COLORWRITEENABLE2] = 0xF;
  R[D3DRS_COLORWRITEENABLE3] = 0xF;
  R[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  R[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
  R[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
  R[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;

  for (int s = 0; s < StageCount; ++s) {
    DWORD* T = Stage[s];
    std::fill(T, T + StageStateCount, 0);
    T[D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    T[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    T[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    T[D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    T[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    T[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    T[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(s);
    T[D3DTSS_COLORARG0] = D3DTA_CURRENT;
    T[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
    T[D3DTSS_RESULTARG] = D3DTA_CURRENT;
  }
  for (int s = 0; s < SamplerCount; ++s) {
    DWORD* S = Sampler[s];
    std::fill(S, S + SamplerStateCount, 0);
    S[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    S[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    S[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    S[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    S[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    S[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    S[D3DSAMP_MAXANISOTROPY] = 1;
    S[D3DSAMP_DMAPOFFSET] = 256;
  }
}

bool ValidPool(D3DPOOL Pool) { return Pool >= D3DPOOL_DEFAULT && Pool <= D3DPOOL_SCRATCH; }

HRESULT CompletePresentParams(D3DPRESENT_PARAMETERS& P, HWND FocusWindow) {
  const TAdapterConfig& A = Adapter();
  if (!P.hDeviceWindow && !FocusWindow) return D3DERR_INVALIDCALL;
  if (P.SwapEffect < D3DSWAPEFFECT_DISCARD || P.SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
  if (P.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (P.BackBufferCount > 3) return D3DERR_INVALIDCALL;
  switch (P.PresentationInterval) {
    case D3DPRESENT_INTERVAL_DEFAULT:
    case D3DPRESENT_INTERVAL_ONE:
    case D3DPRESENT_INTERVAL_TWO:
    case D3DPRESENT_INTERVAL_THREE:
    case D3DPRESENT_INTERVAL_FOUR:
    case D3DPRESENT_INTERVAL_IMMEDIATE: break;
    default: return D3DERR_INVALIDCALL;
  }
  if (P.Windowed) {
    // A windowed refresh rate is the desktop's; asking for one is an error in Direct3D 9.
    if (P.FullScreen_RefreshRateInHz != 0) return D3DERR_INVALIDCALL;
    if (P.BackBufferWidth == 0) P.BackBufferWidth = A.DesktopMode.Width;
    if (P.BackBufferHeight == 0) P.BackBufferHeight = A.DesktopMode.Height;
    if (P.BackBufferFormat == D3DFMT_UNKNOWN) P.BackBufferFormat = A.DesktopMode.Format;
    if (!Contains(A.BackBufferFormats, P.BackBufferFormat)) return D3DERR_INVALIDCALL;
  } else {
    bool Found = false;
    for (const D3DDISPLAYMODE& M : A.Modes)
      if (M.Width == P.BackBufferWidth && M.Height == P.BackBufferHeight &&
          BackBufferFitsMode(P.BackBufferFormat, M.Format) &&
          (P.FullScreen_RefreshRateInHz == 0 || P.FullScreen_RefreshRateInHz == M.RefreshRate))
        Found = true;
    if (!Found) return D3DERR_INVALIDCALL;
  }
  if (P.BackBufferWidth == 0 || P.BackBufferHeight == 0 || P.BackBufferWidth > MaxSurfaceSide ||
      P.BackBufferHeight > MaxSurfaceSide)
    return D3DERR_INVALIDCALL;
  if (P.EnableAutoDepthStencil && !Contains(A.DepthFormats, P.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
  if (P.BackBufferCount == 0) P.BackBufferCount = 1;
  return D3D_OK;
}

UINT FullChainLevels(UINT Width, UINT Height) {
  UINT Chain = 1;
  for (UINT W = Width, H = Height; W > 1 || H > 1; W = std::max(1u, W / 2), H = std::max(1u, H / 2)) ++Chain;
  return Chain;
}

HRESULT CheckTextureRequest(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            HANDLE* pSharedHandle) {
  const TAdapterConfig& A = Adapter();
  if (pSharedHandle || !ValidPool(Pool)) return D3DERR_INVALIDCALL;
  if (Width == 0 || Height == 0 || Width > A.MaxTextureWidth || Height > A.MaxTextureHeight) return D3DERR_INVALIDCALL;
  if (Usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP)) return D3DERR_INVALIDCALL;
  if ((Usage & D3DUSAGE_AUTOGENMIPMAP) && Levels > 1) return D3DERR_INVALIDCALL;
  bool Supported = false;
  for (const TFormatSupport& S : A.Textures)
    if (S.Format == Format && SUCCEEDED(S.AsTexture)) Supported = true;
  if (!Supported || TexelBytes(Format) == 0) return D3DERR_INVALIDCALL;
  if (Levels > FullChainLevels(Width, Height)) return D3DERR_INVALIDCALL;
  const std::uint64_t Bytes = std::uint64_t{Width} * Height * (TexelBytes(Format) + 4);
  if (Bytes > MaxResourceBytes) return D3DERR_OUTOFVIDEOMEMORY;
  return D3D_OK;
}

HRESULT CheckBufferRequest(UINT Length, D3DPOOL Pool, HANDLE* pSharedHandle) {
  if (pSharedHandle || !ValidPool(Pool) || Length == 0) return D3DERR_INVALIDCALL;
  if (Length > MaxResourceBytes) return D3DERR_OUTOFVIDEOMEMORY;
  return D3D_OK;
}

HRESULT CheckSurfaceRequest(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool, HANDLE* pSharedHandle) {
  if (pSharedHandle || !ValidPool(Pool) || Pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
  if (Width == 0 || Height == 0 || Width > MaxSurfaceSide || Height > MaxSurfaceSide) return D3DERR_INVALIDCALL;
  if (Format != D3DFMT_X8R8G8B8 && Format != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

bool FvfLayout(DWORD FVF, TFvfLayout& L) {
  if ((FVF & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW) return false;
  UINT Offset = 16;
  if (FVF & D3DFVF_NORMAL) Offset += 12;
  if (FVF & D3DFVF_PSIZE) Offset += 4;
  if (FVF & D3DFVF_DIFFUSE) {
    L.Diffuse = static_cast<int>(Offset);
    Offset += 4;
  }
  if (FVF & D3DFVF_SPECULAR) Offset += 4;
  L.TexCount = static_cast<int>((FVF & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (L.TexCount > 8) return false;
  for (int i = 0; i < L.TexCount; ++i) {
    L.TexCoords[i] = static_cast<int>(Offset);
    static const UINT Floats[4] = {2, 3, 4, 1};
    Offset += 4 * Floats[(FVF >> (16 + 2 * i)) & 3];
  }
  L.Size = Offset;
  return true;
}

bool StreamHolds(IDirect3DVertexBuffer9* Stream, DWORD FVF, UINT Offset, UINT Stride, INT First, UINT Count) {
  TFvfLayout L;
  if (!Stream || !FvfLayout(FVF, L) || Stride < L.Size) return false;
  const TBufferStorage& Storage = static_cast<TSoftVertexBuffer*>(Stream)->Storage();
  if (First < 0 || Count > Storage.Length()) return false;
  const std::uint64_t End = Offset + (std::uint64_t(First) + Count) * Stride;
  return Count == 0 || End - Stride + L.Size <= Storage.Length();
}

UINT VertexCountOf(D3DPRIMITIVETYPE Type, UINT Primitives) {
  switch (Type) {
    case D3DPT_POINTLIST: return Primitives;
    case D3DPT_LINELIST: return Primitives * 2;
    case D3DPT_LINESTRIP: return Primitives + 1;
    case D3DPT_TRIANGLELIST: return Primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return Primitives + 2;
    default: return 0;
  }
}

HRESULT CheckPrimitiveCount(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, UINT& Count) {
  Count = VertexCountOf(Type, PrimitiveCount);
  if (PrimitiveCount == 0) return VertexCountOf(Type, 1) ? S_FALSE : D3DERR_INVALIDCALL;
  if (Count == 0 || PrimitiveCount > 0xFFFFF) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

bool GatherIndices(const std::uint8_t* Data, UINT Size, UINT Count, INT BaseVertexIndex,
                   std::vector<std::uint32_t>& Out, std::int64_t& Low, std::int64_t& High) {
  Out.resize(Count);
  // Loops of one job each, for each index size, which the compiler can vectorise.
  auto Widen = [&](auto Index) {
    for (UINT i = 0; i < Count; ++i) {
      std::memcpy(&Index, Data + std::uint64_t{i} * sizeof(Index), sizeof(Index));
      Out[i] = Index;
    }
  };
  if (Size == 2)
    Widen(std::uint16_t{});
  else
    Widen(std::uint32_t{});
  std::uint32_t Least = UINT32_MAX, Most = 0;
  for (const std::uint32_t Index : Out) {
    Least = std::min(Least, Index);
    Most = std::max(Most, Index);
  }
  Low = Count ? std::int64_t{BaseVertexIndex} + Least : INT64_MAX;
  High = Count ? std::int64_t{BaseVertexIndex} + Most : INT64_MIN;
  if (Low < 0 || High > 0x7FFFFFFF) return false;
  const std::int64_t Shift = std::int64_t{BaseVertexIndex} - Low;
  for (std::uint32_t& Index : Out) Index = static_cast<std::uint32_t>(Index + Shift);
  return true;
}

}  // namespace qel::soft
