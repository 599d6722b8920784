#include "platform/d3d9/soft/SoftDevice.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/d3d9/soft/SoftDirect3D.h"
#include "platform/d3d9/soft/SoftSurface.h"
#include "platform/d3d9/soft/TexelFormats.h"

namespace qel::soft {
namespace {

constexpr DWORD FloatBits(float Value) { return std::bit_cast<DWORD>(Value); }

bool Contains(const std::vector<D3DFORMAT>& List, D3DFORMAT Format) {
  return std::find(List.begin(), List.end(), Format) != List.end();
}

// The display formats a back buffer may have for a mode of the given format.
bool BackBufferFitsMode(D3DFORMAT BackBuffer, D3DFORMAT Mode) {
  if (BackBuffer == Mode) return true;
  return (BackBuffer == D3DFMT_A8R8G8B8 && Mode == D3DFMT_X8R8G8B8) ||
         (BackBuffer == D3DFMT_A1R5G5B5 && Mode == D3DFMT_X1R5G5B5);
}

bool ValidPool(D3DPOOL Pool) { return Pool >= D3DPOOL_DEFAULT && Pool <= D3DPOOL_SCRATCH; }

// Keeps one resource from taking more memory than a test machine can give.
constexpr std::uint64_t MaxResourceBytes = 512ull << 20;
// The longest side of a back buffer or surface: a 16384 x 16384 frame is 1 GiB.
constexpr UINT MaxSurfaceSide = 16384;

struct TFvfLayout {
  UINT Size = 0;
  int Diffuse = -1;
  int TexCoords[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int TexCount = 0;
};

// Only pre-transformed positions are drawn; false for any other vertex format.
bool Layout(DWORD FVF, TFvfLayout& L) {
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

}  // namespace

HRESULT CompletePresentParams(D3DPRESENT_PARAMETERS& P, HWND FocusWindow) {
  const TAdapterConfig& A = State().Adapter;
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

TSoftDevice::TSoftDevice(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params)
    : FDirect3D(ComPtr<IDirect3D9>::Share(Direct3D)), FLink(std::make_shared<TDeviceLink>()), FFocusWindow(FocusWindow) {
  FLink->Device = this;
  SetDrawSettings(State().DrawDefaults);
  ApplyParams(Params);
  State().Devices.insert(this);
}

TSoftDevice::~TSoftDevice() {
  FTiles.Discard();
  State().Devices.erase(this);
  FLink->Device = nullptr;
}

void TSoftDevice::ApplyParams(const D3DPRESENT_PARAMETERS& Params) {
  FParams = Params;
  const std::size_t Pixels = std::size_t{Params.BackBufferWidth} * Params.BackBufferHeight;
  FTargetHasAlpha = Params.BackBufferFormat == D3DFMT_A8R8G8B8 || Params.BackBufferFormat == D3DFMT_A1R5G5B5;
  FChain.Resize(static_cast<int>(Params.BackBufferWidth), static_cast<int>(Params.BackBufferHeight), FTargetHasAlpha);
  FDepth.clear();
  if (Params.EnableAutoDepthStencil) FDepth.assign(Pixels, 1.0f);
  SetDefaultStates();
}

void TSoftDevice::SetDefaultStates() {
  DWORD* R = FRenderStates;
  std::fill(R, R + RenderStateCount, 0);
  R[D3DRS_ZENABLE] = FParams.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
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
  R[D3DRS_POINTSIZE_MAX] = FloatBits(64.0f);
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
    DWORD* T = FStageStates[s];
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
    DWORD* S = FSamplerStates[s];
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
  for (auto& T : FTextures) T = nullptr;
  FState = nullptr;
  StatesChanged();
  FStream = nullptr;
  FStreamOffset = FStreamStride = 0;
  FIndices = nullptr;
  FFVF = 0;
}

// ---------------------------------------------------------------------------------------
// Device state, loss and presentation
// ---------------------------------------------------------------------------------------

HRESULT TSoftDevice::TestCooperativeLevel() {
  return Logged("TestCooperativeLevel", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    switch (FLoss) {
      case TLoss::Ok: return D3D_OK;
      case TLoss::Lost:
        if (FStillLostPolls > 0) {
          --FStillLostPolls;
          return D3DERR_DEVICELOST;
        }
        FLoss = TLoss::NotReset;
        return D3DERR_DEVICENOTRESET;
      case TLoss::NotReset: return D3DERR_DEVICENOTRESET;
    }
    return D3D_OK;
  });
}

void TSoftDevice::Lose(int StillLostPolls) {
  FLoss = TLoss::Lost;
  FStillLostPolls = std::max(0, StillLostPolls);
}

HRESULT TSoftDevice::GetDirect3D(IDirect3D9** ppD3D9) {
  return Logged("GetDirect3D", [&] { return TLogArgs{LogArg(ppD3D9)}; }, [&]() -> HRESULT {
    if (!ppD3D9) return D3DERR_INVALIDCALL;
    *ppD3D9 = ComPtr<IDirect3D9>(FDirect3D).Detach();
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
  return Logged("GetDeviceCaps", [&] { return TLogArgs{LogArg(pCaps)}; }, [&]() -> HRESULT {
    if (!pCaps) return D3DERR_INVALIDCALL;
    FillCaps(*pCaps);
    return D3D_OK;
  });
}

HRESULT TSoftDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  HRESULT Result = Logged("Reset", [&] { return TLogArgs{LogArg(pPresentationParameters)}; }, [&]() -> HRESULT {
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    if (FLoss == TLoss::Lost && FStillLostPolls > 0) return D3DERR_DEVICELOST;
    // Direct3D 9 refuses to reset while resources of the default pool are alive.
    if (FLink->DefaultPoolResources > 0) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS Params = *pPresentationParameters;
    const HRESULT Check = CompletePresentParams(Params, FFocusWindow);
    if (FAILED(Check)) return Check;
    try {
      ApplyParams(Params);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    *pPresentationParameters = Params;
    FInScene = false;
    FLoss = TLoss::Ok;
    return D3D_OK;
  });
  // A failed reset leaves the device lost until a reset succeeds.
  if (FAILED(Result) && FLoss != TLoss::Lost) FLoss = TLoss::NotReset;
  return Result;
}

HRESULT TSoftDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                             const RGNDATA* pDirtyRegion) {
  return Logged("Present", [&] { return TLogArgs{LogArg(pSourceRect), LogArg(pDestRect), LogArg(hDestWindowOverride), LogArg(pDirtyRegion)}; }, [&]() -> HRESULT {
                  if (FLoss != TLoss::Ok) return D3DERR_DEVICELOST;
                  // Partial presentation is not offered (Direct3D refuses it with a discarding swap).
                  if (pSourceRect || pDestRect || pDirtyRegion) return D3DERR_INVALIDCALL;
                  HWND Window = hDestWindowOverride ? hDestWindowOverride
                                : FParams.hDeviceWindow ? FParams.hDeviceWindow
                                                        : FFocusWindow;
                  TPresentTarget& T = State().Targets[Window];
                  ++T.Presents;
                  Flush();
                  FChain.Present(T, Window, FParams.SwapEffect == D3DSWAPEFFECT_DISCARD);
                  return D3D_OK;
                });
}

void TSoftDevice::SetDrawSettings(const TDrawSettings& Settings) {
  FDrawSettings = Settings;
  FChain.SetCheckShown(Settings.CheckShown);
}

void TSoftDevice::Flush() { FChain.Flush(FDepth.empty() ? nullptr : FDepth.data(), FDrawSettings); }

std::uint32_t* TSoftDevice::BackBufferPixels() {
  Flush();
  return FChain.Lock();
}

void TSoftDevice::ReturnLentBuffer(HWND Window) {
  Flush();
  FChain.ReturnLent(Window);
}

void TSoftDevice::ReadBackBuffer(TFrame& Frame) {
  Flush();
  FChain.Read(Frame);
}

// ---------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------

HRESULT TSoftDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                   IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  return Logged("CreateTexture", [&] { return TLogArgs{Width, Height, Levels, Usage, LogArg(Format), LogArg(Pool)}; }, [&]() -> HRESULT {
                  if (!ppTexture) return D3DERR_INVALIDCALL;
                  *ppTexture = nullptr;
                  const TAdapterConfig& A = State().Adapter;
                  if (pSharedHandle || !ValidPool(Pool)) return D3DERR_INVALIDCALL;
                  if (Width == 0 || Height == 0 || Width > A.MaxTextureWidth || Height > A.MaxTextureHeight)
                    return D3DERR_INVALIDCALL;
                  if (Usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP)) return D3DERR_INVALIDCALL;
                  if ((Usage & D3DUSAGE_AUTOGENMIPMAP) && Levels > 1) return D3DERR_INVALIDCALL;
                  bool Supported = false;
                  for (const TFormatSupport& S : A.Textures)
                    if (S.Format == Format && SUCCEEDED(S.AsTexture)) Supported = true;
                  if (!Supported || TexelBytes(Format) == 0) return D3DERR_INVALIDCALL;
                  UINT Chain = 1;
                  for (UINT W = Width, H = Height; W > 1 || H > 1; W = std::max(1u, W / 2), H = std::max(1u, H / 2))
                    ++Chain;
                  if (Levels > Chain) return D3DERR_INVALIDCALL;
                  const std::uint64_t Bytes = std::uint64_t{Width} * Height * (TexelBytes(Format) + 4);
                  if (Bytes > MaxResourceBytes) return D3DERR_OUTOFVIDEOMEMORY;
                  try {
                    *ppTexture = new TSoftTexture(FLink, Width, Height, Levels, Usage, Format, Pool);
                  } catch (const std::bad_alloc&) {
                    return E_OUTOFMEMORY;
                  }
                  return D3D_OK;
                });
}

HRESULT TSoftDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                        IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  return Logged("CreateVertexBuffer", [&] { return TLogArgs{Length, Usage, FVF, LogArg(Pool)}; }, [&]() -> HRESULT {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (pSharedHandle || !ValidPool(Pool) || Length == 0) return D3DERR_INVALIDCALL;
    if (Length > MaxResourceBytes) return D3DERR_OUTOFVIDEOMEMORY;
    try {
      *ppVertexBuffer = new TSoftVertexBuffer(FLink, Length, Usage, FVF, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TSoftDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                       IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  return Logged("CreateIndexBuffer", [&] { return TLogArgs{Length, Usage, LogArg(Format), LogArg(Pool)}; }, [&]() -> HRESULT {
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (pSharedHandle || !ValidPool(Pool) || Length == 0) return D3DERR_INVALIDCALL;
    if (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    if (Length > MaxResourceBytes) return D3DERR_OUTOFVIDEOMEMORY;
    try {
      *ppIndexBuffer = new TSoftIndexBuffer(FLink, Length, Usage, Format, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                   IDirect3DSurface9** ppBackBuffer) {
  return Logged("GetBackBuffer", [&] { return TLogArgs{iSwapChain, iBackBuffer, LogArg(Type), LogArg(ppBackBuffer)}; }, [&]() -> HRESULT {
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || iBackBuffer >= FParams.BackBufferCount || Type != D3DBACKBUFFER_TYPE_MONO)
      return D3DERR_INVALIDCALL;
    *ppBackBuffer = new TSoftSurface(FLink, FParams);
    return D3D_OK;
  });
}

HRESULT TSoftDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                                 IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  return Logged("CreateOffscreenPlainSurface", [&] { return TLogArgs{Width, Height, LogArg(Format), LogArg(Pool), LogArg(ppSurface)}; }, [&]() -> HRESULT {
                  if (!ppSurface) return D3DERR_INVALIDCALL;
                  *ppSurface = nullptr;
                  if (pSharedHandle || !ValidPool(Pool) || Pool == D3DPOOL_MANAGED) return D3DERR_INVALIDCALL;
                  if (Width == 0 || Height == 0 || Width > MaxSurfaceSide || Height > MaxSurfaceSide)
                    return D3DERR_INVALIDCALL;
                  // Surfaces receive frames, which this device keeps in 32 bits.
                  if (Format != D3DFMT_X8R8G8B8 && Format != D3DFMT_A8R8G8B8) return D3DERR_INVALIDCALL;
                  try {
                    *ppSurface = new TSoftSurface(FLink, Width, Height, Format, Pool);
                  } catch (const std::bad_alloc&) {
                    return E_OUTOFMEMORY;
                  }
                  return D3D_OK;
                });
}

HRESULT TSoftDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  return Logged("GetRenderTargetData", [&] { return TLogArgs{LogArg(pRenderTarget), LogArg(pDestSurface)}; }, [&]() -> HRESULT {
    auto* Source = dynamic_cast<TSoftSurface*>(pRenderTarget);
    auto* Dest = dynamic_cast<TSoftSurface*>(pDestSurface);
    if (!Source || !Dest || !Source->IsBackBufferOf(this) || Dest->IsBackBuffer()) return D3DERR_INVALIDCALL;
    if (Dest->Pool() != D3DPOOL_SYSTEMMEM || Dest->Width() != Source->Width() || Dest->Height() != Source->Height() ||
        Dest->Format() != Source->Format())
      return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok) return D3DERR_DEVICELOST;
    TFrame Frame;
    ReadBackBuffer(Frame);
    std::copy(Frame.Pixels.begin(), Frame.Pixels.end(), Dest->Pixels());
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------
// Scenes and clearing
// ---------------------------------------------------------------------------------------

HRESULT TSoftDevice::BeginScene() {
  return Logged("BeginScene", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (FInScene) return D3DERR_INVALIDCALL;
    FInScene = true;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::EndScene() {
  return Logged("EndScene", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (!FInScene) return D3DERR_INVALIDCALL;
    FInScene = false;
    Flush();
    return D3D_OK;
  });
}

HRESULT TSoftDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  return Logged("Clear", [&] { return TLogArgs{Count, LogArg(pRects), Flags, Color, LogArg(Z), Stencil}; }, [&]() -> HRESULT {
    if (Count > 0 && !pRects) return D3DERR_INVALIDCALL;
    if (Flags == 0 || (Flags & ~DWORD{D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL})) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && FDepth.empty()) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && (FDepth.empty() || (FParams.AutoDepthStencilFormat != D3DFMT_D24S8 &&
                                                           FParams.AutoDepthStencilFormat != D3DFMT_D24X4S4 &&
                                                           FParams.AutoDepthStencilFormat != D3DFMT_D15S1)))
      return D3DERR_INVALIDCALL;
    if (!(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok) return D3D_OK;
    const int W = static_cast<int>(FParams.BackBufferWidth), H = static_cast<int>(FParams.BackBufferHeight);
    auto ClearRect = [&](int L, int T, int R, int B) {
      FTiles.Clear({std::max(L, 0), std::max(T, 0), std::min(R, W), std::min(B, H)}, (Flags & D3DCLEAR_TARGET) != 0,
                   Color, (Flags & D3DCLEAR_ZBUFFER) != 0, Z);
    };
    if (Count == 0) {
      ClearRect(0, 0, W, H);
    } else {
      for (DWORD i = 0; i < Count; ++i) ClearRect(pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2);
    }
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------
// States
// ---------------------------------------------------------------------------------------

HRESULT TSoftDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  return Logged("SetRenderState", [&] { return TLogArgs{LogArg(State), Value}; }, [&]() -> HRESULT {
    if (static_cast<DWORD>(State) >= RenderStateCount) return D3DERR_INVALIDCALL;
    if (FRenderStates[State] != Value) StatesChanged();
    FRenderStates[State] = Value;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  return Logged("GetRenderState", [&] { return TLogArgs{LogArg(State), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || static_cast<DWORD>(State) >= RenderStateCount) return D3DERR_INVALIDCALL;
    *pValue = FRenderStates[State];
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  return Logged("GetTexture", [&] { return TLogArgs{Stage, LogArg(ppTexture)}; }, [&]() -> HRESULT {
    if (!ppTexture || Stage >= SamplerCount) return D3DERR_INVALIDCALL;
    *ppTexture = ComPtr<IDirect3DBaseTexture9>(FTextures[Stage]).Detach();
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  return Logged("SetTexture", [&] { return TLogArgs{Stage, LogArg(pTexture)}; }, [&]() -> HRESULT {
    if (Stage >= SamplerCount) return D3DERR_INVALIDCALL;
    if (pTexture && !dynamic_cast<TSoftTexture*>(pTexture)) return D3DERR_INVALIDCALL;
    if (FTextures[Stage].Get() != pTexture) StatesChanged();
    FTextures[Stage] = ComPtr<IDirect3DBaseTexture9>::Share(pTexture);
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  return Logged("GetTextureStageState", [&] { return TLogArgs{Stage, LogArg(Type), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || Stage >= StageCount || static_cast<DWORD>(Type) >= StageStateCount) return D3DERR_INVALIDCALL;
    *pValue = FStageStates[Stage][Type];
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  return Logged("SetTextureStageState", [&] { return TLogArgs{Stage, LogArg(Type), Value}; }, [&]() -> HRESULT {
    if (Stage >= StageCount || static_cast<DWORD>(Type) >= StageStateCount) return D3DERR_INVALIDCALL;
    if (FStageStates[Stage][Type] != Value) StatesChanged();
    FStageStates[Stage][Type] = Value;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  return Logged("GetSamplerState", [&] { return TLogArgs{Sampler, LogArg(Type), LogArg(pValue)}; }, [&]() -> HRESULT {
    if (!pValue || Sampler >= SamplerCount || static_cast<DWORD>(Type) >= SamplerStateCount) return D3DERR_INVALIDCALL;
    *pValue = FSamplerStates[Sampler][Type];
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  return Logged("SetSamplerState", [&] { return TLogArgs{Sampler, LogArg(Type), Value}; }, [&]() -> HRESULT {
    if (Sampler >= SamplerCount || static_cast<DWORD>(Type) >= SamplerStateCount) return D3DERR_INVALIDCALL;
    if (FSamplerStates[Sampler][Type] != Value) StatesChanged();
    FSamplerStates[Sampler][Type] = Value;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetFVF(DWORD FVF) {
  return Logged("SetFVF", [&] { return TLogArgs{FVF}; }, [&]() -> HRESULT {
    FFVF = FVF;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetFVF(DWORD* pFVF) {
  return Logged("GetFVF", [&] { return TLogArgs{LogArg(pFVF)}; }, [&]() -> HRESULT {
    if (!pFVF) return D3DERR_INVALIDCALL;
    *pFVF = FFVF;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetVertexShader(IDirect3DVertexShader9* pShader) {
  return Logged("SetVertexShader", [&] { return TLogArgs{LogArg(pShader)}; }, [&]() -> HRESULT { return pShader ? D3DERR_INVALIDCALL : D3D_OK; });
}

HRESULT TSoftDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                     UINT Stride) {
  return Logged("SetStreamSource", [&] { return TLogArgs{StreamNumber, LogArg(pStreamData), OffsetInBytes, Stride}; }, [&]() -> HRESULT {
    if (StreamNumber != 0) return D3DERR_INVALIDCALL;
    if (pStreamData && !dynamic_cast<TSoftVertexBuffer*>(pStreamData)) return D3DERR_INVALIDCALL;
    FStream = ComPtr<IDirect3DVertexBuffer9>::Share(pStreamData);
    FStreamOffset = OffsetInBytes;
    FStreamStride = Stride;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                     UINT* pStride) {
  return Logged("GetStreamSource", [&] { return TLogArgs{StreamNumber, LogArg(ppStreamData)}; }, [&]() -> HRESULT {
    if (StreamNumber != 0 || !ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
    *ppStreamData = ComPtr<IDirect3DVertexBuffer9>(FStream).Detach();
    *pOffsetInBytes = FStreamOffset;
    *pStride = FStreamStride;
    return D3D_OK;
  });
}

HRESULT TSoftDevice::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  return Logged("SetIndices", [&] { return TLogArgs{LogArg(pIndexData)}; }, [&]() -> HRESULT {
    if (pIndexData && !dynamic_cast<TSoftIndexBuffer*>(pIndexData)) return D3DERR_INVALIDCALL;
    FIndices = ComPtr<IDirect3DIndexBuffer9>::Share(pIndexData);
    return D3D_OK;
  });
}

HRESULT TSoftDevice::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  return Logged("GetIndices", [&] { return TLogArgs{LogArg(ppIndexData)}; }, [&]() -> HRESULT {
    if (!ppIndexData) return D3DERR_INVALIDCALL;
    *ppIndexData = ComPtr<IDirect3DIndexBuffer9>(FIndices).Detach();
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------

TTarget TSoftDevice::Target() {
  return FChain.Target(FDepth.empty() ? nullptr : FDepth.data());
}

TPipeline TSoftDevice::Pipeline() const {
  const DWORD* R = FRenderStates;
  TPipeline P;
  P.StageCount = 0;
  for (int s = 0; s < StageCount; ++s) {
    const DWORD* T = FStageStates[s];
    if (s > 0 && T[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    TStage& S = P.Stages[s];
    S.ColorOp = T[D3DTSS_COLOROP];
    S.ColorArg1 = T[D3DTSS_COLORARG1];
    S.ColorArg2 = T[D3DTSS_COLORARG2];
    S.AlphaOp = T[D3DTSS_ALPHAOP];
    S.AlphaArg1 = T[D3DTSS_ALPHAARG1];
    S.AlphaArg2 = T[D3DTSS_ALPHAARG2];
    S.Constant = T[D3DTSS_CONSTANT];
    S.Texture = static_cast<const TSoftTexture*>(static_cast<IDirect3DTexture9*>(
        dynamic_cast<TSoftTexture*>(FTextures[s].Get())));
    const DWORD* Sm = FSamplerStates[s];
    S.MagFilter = Sm[D3DSAMP_MAGFILTER];
    S.MinFilter = Sm[D3DSAMP_MINFILTER];
    S.AddressU = Sm[D3DSAMP_ADDRESSU];
    S.AddressV = Sm[D3DSAMP_ADDRESSV];
    S.BorderColor = Sm[D3DSAMP_BORDERCOLOR];
    ++P.StageCount;
  }
  P.TextureFactor = R[D3DRS_TEXTUREFACTOR];
  P.FlatShading = R[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  P.Cull = R[D3DRS_CULLMODE];
  P.AlphaTest = R[D3DRS_ALPHATESTENABLE] != 0;
  P.AlphaFunc = R[D3DRS_ALPHAFUNC];
  P.AlphaRef = R[D3DRS_ALPHAREF] & 0xFF;
  P.Blend = R[D3DRS_ALPHABLENDENABLE] != 0;
  P.SrcBlend = R[D3DRS_SRCBLEND];
  P.DestBlend = R[D3DRS_DESTBLEND];
  P.BlendOp = R[D3DRS_BLENDOP];
  P.SeparateAlpha = R[D3DRS_SEPARATEALPHABLENDENABLE] != 0;
  P.SrcBlendAlpha = R[D3DRS_SRCBLENDALPHA];
  P.DestBlendAlpha = R[D3DRS_DESTBLENDALPHA];
  P.BlendOpAlpha = R[D3DRS_BLENDOPALPHA];
  P.BlendFactor = R[D3DRS_BLENDFACTOR];
  P.DepthTest = !FDepth.empty() && R[D3DRS_ZENABLE] != D3DZB_FALSE;
  P.DepthFunc = R[D3DRS_ZFUNC];
  P.DepthWrite = P.DepthTest && R[D3DRS_ZWRITEENABLE] != 0;
  P.ColorWriteMask = R[D3DRS_COLORWRITEENABLE] & 0xF;
  P.PointSize = std::bit_cast<float>(R[D3DRS_POINTSIZE]);
  return P;
}

bool TSoftDevice::FetchVertices(INT First, UINT Count, std::vector<TVertex>& Out) const {
  TFvfLayout L;
  if (!FStream || !Layout(FFVF, L)) return false;
  const UINT Stride = FStreamStride;
  if (Stride < L.Size) return false;
  const TBufferStorage& Storage = static_cast<TSoftVertexBuffer*>(FStream.Get())->Storage();
  if (First < 0 || Count > Storage.Length()) return false;
  const std::uint64_t End = FStreamOffset + (std::uint64_t(First) + Count) * Stride;
  if (Count > 0 && End - Stride + L.Size > Storage.Length()) return false;
  Out.resize(Count);
  const DWORD CoordSet = FStageStates[0][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
  const std::uint8_t* Base = Storage.Data() + FStreamOffset + std::uint64_t(First) * Stride;
  for (UINT i = 0; i < Count; ++i, Base += Stride) {
    TVertex& V = Out[i];
    float Position[4];
    std::memcpy(Position, Base, 16);
    V.X = Position[0], V.Y = Position[1], V.Z = Position[2], V.Rhw = Position[3];
    if (L.Diffuse >= 0) std::memcpy(&V.Diffuse, Base + L.Diffuse, 4);
    if (CoordSet < static_cast<DWORD>(L.TexCount)) {
      std::memcpy(&V.U, Base + L.TexCoords[CoordSet], 4);
      std::memcpy(&V.V, Base + L.TexCoords[CoordSet] + 4, 4);
    }
  }
  return true;
}

const std::shared_ptr<const TDrawState>& TSoftDevice::CurrentState() {
  if (FStateChanged || !FState || FState->Fast != FastPathsEnabled() || !TexturesCurrent(*FState)) {
    FState = FStates.Get(Pipeline(), FastPathsEnabled());
    FStateChanged = false;
  }
  return FState;
}

HRESULT TSoftDevice::Draw(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, const std::vector<TVertex>& Vertices,
                          const std::vector<std::uint32_t>* Indices) {
  auto At = [&](UINT i) -> const TVertex& { return Vertices[Indices ? (*Indices)[i] : i]; };
  const std::shared_ptr<const TDrawState>& State = CurrentState();
  TTriangleSetup Setup;
  auto Triangle = [&](const TVertex& A, const TVertex& B, const TVertex& C) {
    if (!SetupTriangle(State->Pipeline, A, B, C, Setup)) return;
    FTiles.Triangle(State, Setup);
    if (FTiles.Full()) Flush();
  };
  switch (Type) {
    case D3DPT_TRIANGLELIST:
      for (UINT p = 0; p < PrimitiveCount; ++p) Triangle(At(3 * p), At(3 * p + 1), At(3 * p + 2));
      return D3D_OK;
    case D3DPT_TRIANGLESTRIP:
      // Every second triangle of a strip keeps the winding of the first.
      for (UINT p = 0; p < PrimitiveCount; ++p)
        if (p % 2 == 0)
          Triangle(At(p), At(p + 1), At(p + 2));
        else
          Triangle(At(p + 1), At(p), At(p + 2));
      return D3D_OK;
    case D3DPT_TRIANGLEFAN:
      for (UINT p = 0; p < PrimitiveCount; ++p) Triangle(At(0), At(p + 1), At(p + 2));
      return D3D_OK;
    default: break;
  }
  // Points and lines are drawn at once, after what came before them.
  Flush();
  FChain.DrawingAtOnce();
  FRasterizer.Begin(Target(), State);
  for (UINT p = 0; p < PrimitiveCount; ++p) {
    switch (Type) {
      case D3DPT_POINTLIST: FRasterizer.Point(At(p)); break;
      case D3DPT_LINELIST: FRasterizer.Line(At(2 * p), At(2 * p + 1)); break;
      case D3DPT_LINESTRIP: FRasterizer.Line(At(p), At(p + 1)); break;
      default: return D3DERR_INVALIDCALL;
    }
  }
  return D3D_OK;
}

HRESULT TSoftDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  return Logged("DrawPrimitive", [&] { return TLogArgs{LogArg(PrimitiveType), StartVertex, PrimitiveCount}; }, [&]() -> HRESULT {
    if (!FInScene) return D3DERR_INVALIDCALL;
    const UINT Count = VertexCountOf(PrimitiveType, PrimitiveCount);
    if (PrimitiveCount == 0) return VertexCountOf(PrimitiveType, 1) ? D3D_OK : D3DERR_INVALIDCALL;
    if (Count == 0 || PrimitiveCount > 0xFFFFF) return D3DERR_INVALIDCALL;
    if (StartVertex > 0x7FFFFFFF || !FetchVertices(static_cast<INT>(StartVertex), Count, FVertexScratch))
      return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok) return D3D_OK;
    return Draw(PrimitiveType, PrimitiveCount, FVertexScratch, nullptr);
  });
}

HRESULT TSoftDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                          UINT NumVertices, UINT StartIndex, UINT PrimitiveCount) {
  return Logged("DrawIndexedPrimitive", [&] { return TLogArgs{LogArg(PrimitiveType), LogArg(BaseVertexIndex), MinVertexIndex, NumVertices, StartIndex, PrimitiveCount}; }, [&]() -> HRESULT {
                  if (!FInScene || !FIndices) return D3DERR_INVALIDCALL;
                  const UINT Count = VertexCountOf(PrimitiveType, PrimitiveCount);
                  if (PrimitiveCount == 0) return VertexCountOf(PrimitiveType, 1) ? D3D_OK : D3DERR_INVALIDCALL;
                  if (Count == 0 || PrimitiveCount > 0xFFFFF) return D3DERR_INVALIDCALL;
                  const auto* Buffer = static_cast<TSoftIndexBuffer*>(FIndices.Get());
                  const UINT Size = Buffer->Shape() == D3DFMT_INDEX32 ? 4 : 2;
                  if ((std::uint64_t{StartIndex} + Count) * Size > Buffer->Storage().Length()) return D3DERR_INVALIDCALL;
                  // Gather the indices and fetch just the vertices they reach.
                  FIndexScratch.resize(Count);
                  const std::uint8_t* Data = Buffer->Storage().Data() + std::uint64_t{StartIndex} * Size;
                  std::int64_t Low = INT64_MAX, High = INT64_MIN;
                  for (UINT i = 0; i < Count; ++i) {
                    std::uint32_t Index = 0;
                    std::memcpy(&Index, Data + std::uint64_t{i} * Size, Size);
                    const std::int64_t Vertex = std::int64_t{BaseVertexIndex} + Index;
                    Low = std::min(Low, Vertex);
                    High = std::max(High, Vertex);
                    FIndexScratch[i] = Index;
                  }
                  if (Low < 0 || High > 0x7FFFFFFF) return D3DERR_INVALIDCALL;
                  if (!FetchVertices(static_cast<INT>(Low), static_cast<UINT>(High - Low + 1), FVertexScratch))
                    return D3DERR_INVALIDCALL;
                  const std::int64_t Shift = std::int64_t{BaseVertexIndex} - Low;
                  for (std::uint32_t& Index : FIndexScratch) Index = static_cast<std::uint32_t>(Index + Shift);
                  if (FLoss != TLoss::Ok) return D3D_OK;
                  return Draw(PrimitiveType, PrimitiveCount, FVertexScratch, &FIndexScratch);
                });
}

}  // namespace qel::soft
