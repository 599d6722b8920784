#include "platform/d3d9/soft/SoftDevice.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "platform/d3d9/soft/RequestRules.h"
#include "platform/d3d9/soft/SoftDirect3D.h"
#include "platform/d3d9/soft/SoftSurface.h"
#include "platform/d3d9/soft/TexelFormats.h"

namespace qel::soft {
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
  DefaultStates(FParams.EnableAutoDepthStencil != 0, FRenderStates, FStageStates, FSamplerStates);
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
                  const HRESULT Check = CheckTextureRequest(Width, Height, Levels, Usage, Format, Pool, pSharedHandle);
                  if (Check != D3D_OK) return Check;
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
    if (const HRESULT Check = CheckBufferRequest(Length, Pool, pSharedHandle); Check != D3D_OK) return Check;
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
    if (const HRESULT Check = CheckBufferRequest(Length, Pool, pSharedHandle); Check != D3D_OK) return Check;
    if (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
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
                  const HRESULT Check = CheckSurfaceRequest(Width, Height, Format, Pool, pSharedHandle);
                  if (Check != D3D_OK) return Check;
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
  if (!StreamHolds(FStream.Get(), FFVF, FStreamOffset, FStreamStride, First, Count)) return false;
  TFvfLayout L;
  FvfLayout(FFVF, L);
  const UINT Stride = FStreamStride;
  const TBufferStorage& Storage = static_cast<TSoftVertexBuffer*>(FStream.Get())->Storage();
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
    UINT Count = 0;
    if (const HRESULT Check = CheckPrimitiveCount(PrimitiveType, PrimitiveCount, Count); Check != D3D_OK)
      return Check == S_FALSE ? D3D_OK : Check;
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
                  UINT Count = 0;
                  if (const HRESULT Check = CheckPrimitiveCount(PrimitiveType, PrimitiveCount, Count); Check != D3D_OK)
                    return Check == S_FALSE ? D3D_OK : Check;
                  const auto* Buffer = static_cast<TSoftIndexBuffer*>(FIndices.Get());
                  const UINT Size = Buffer->Shape() == D3DFMT_INDEX32 ? 4 : 2;
                  if ((std::uint64_t{StartIndex} + Count) * Size > Buffer->Storage().Length()) return D3DERR_INVALIDCALL;
                  // Gather the indices and fetch just the vertices they reach.
                  const std::uint8_t* Data = Buffer->Storage().Data() + std::uint64_t{StartIndex} * Size;
                  std::int64_t Low = 0, High = 0;
                  if (!GatherIndices(Data, Size, Count, BaseVertexIndex, FIndexScratch, Low, High)) return D3DERR_INVALIDCALL;
                  if (!FetchVertices(static_cast<INT>(Low), static_cast<UINT>(High - Low + 1), FVertexScratch))
                    return D3DERR_INVALIDCALL;
                  if (FLoss != TLoss::Ok) return D3D_OK;
                  return Draw(PrimitiveType, PrimitiveCount, FVertexScratch, &FIndexScratch);
                });
}

}  // namespace qel::soft
