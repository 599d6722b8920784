#pragma once
// The software Direct3D 9 device: states with Direct3D's defaults, resources, scenes,
// clearing, drawing through the rasteriser, presentation, loss and reset.
#include <memory>
#include <vector>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/soft/DrawStateTable.h"
#include "platform/d3d9/soft/Rasterizer.h"
#include "platform/d3d9/soft/RequestRules.h"
#include "platform/d3d9/soft/SoftResources.h"
#include "platform/d3d9/soft/SwapChain.h"
#include "platform/d3d9/soft/TileRenderer.h"

namespace qel::soft {

class TSoftDevice final : public TRefCounted<IDirect3DDevice9> {
 public:
  TSoftDevice(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params);
  ~TSoftDevice() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const RGNDATA* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface9** ppBackBuffer) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool, IDirect3DVertexBuffer9** ppVertexBuffer,
                             HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) override;
  HRESULT CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                      IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                               UINT NumVertices, UINT StartIndex, UINT PrimitiveCount) override;
  HRESULT SetFVF(DWORD FVF) override;
  HRESULT GetFVF(DWORD* pFVF) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                          UINT* pStride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

  // Controls.
  void Lose(int StillLostPolls);
  void ReadBackBuffer(TFrame& Frame);
  void SetDrawSettings(const TDrawSettings& Settings);
  void ShownChecks(int& Checked, int& Differing) const {
    Checked = FChain.CheckedFrames();
    Differing = FChain.DifferingFrames();
  }
  // The back buffer with everything drawn so far, BackBufferPitch() pixels a row.
  std::uint32_t* BackBufferPixels();
  int BackBufferPitch() const { return FChain.Pitch(); }
  // Goes back to memory of its own if it draws into memory lent for Window (any window
  // when null), keeping the frame.
  void ReturnLentBuffer(HWND Window);
  // Draws what is recorded (a sync point).
  void Flush();

 private:
  enum class TLoss { Ok, Lost, NotReset };

  void ApplyParams(const D3DPRESENT_PARAMETERS& Params);
  void SetDefaultStates();
  TTarget Target();
  TPipeline Pipeline() const;
  // The derived states of the next draw call, made again only after a change.
  const std::shared_ptr<const TDrawState>& CurrentState();
  void StatesChanged() { FStateChanged = true; }
  // Reads Count vertices from stream 0 starting at vertex First; false when out of range.
  bool FetchVertices(INT First, UINT Count, std::vector<TVertex>& Out) const;
  HRESULT Draw(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, const std::vector<TVertex>& Vertices,
               const std::vector<std::uint32_t>* Indices);

  ComPtr<IDirect3D9> FDirect3D;
  std::shared_ptr<TDeviceLink> FLink;
  HWND FFocusWindow;
  D3DPRESENT_PARAMETERS FParams = {};
  std::vector<float> FDepth;
  bool FTargetHasAlpha = false;

  DWORD FRenderStates[RenderStateCount] = {};
  DWORD FStageStates[StageCount][StageStateCount] = {};
  DWORD FSamplerStates[SamplerCount][SamplerStateCount] = {};
  ComPtr<IDirect3DBaseTexture9> FTextures[SamplerCount];
  ComPtr<IDirect3DVertexBuffer9> FStream;
  UINT FStreamOffset = 0, FStreamStride = 0;
  ComPtr<IDirect3DIndexBuffer9> FIndices;
  DWORD FFVF = 0;

  bool FInScene = false;
  TLoss FLoss = TLoss::Ok;
  int FStillLostPolls = 0;

  TDrawStateTable FStates;
  std::shared_ptr<const TDrawState> FState;
  bool FStateChanged = true;
  TDrawSettings FDrawSettings;
  TTileRenderer FTiles;
  TSwapChain FChain{FTiles};
  TRasterizer FRasterizer;
  std::vector<TVertex> FVertexScratch;
  std::vector<std::uint32_t> FIndexScratch;
};

}  // namespace qel::soft
