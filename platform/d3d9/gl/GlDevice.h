#pragma once
// The Direct3D 9 device over OpenGL ES 3.0: Direct3D's states, kept as Direct3D defines them
// and turned into GL state and shader programs when drawn; the back buffer an 8-bit RGBA
// render buffer (RGB where the format has no alpha) whose row 0 is the frame's top row.
#include <memory>
#include <string>
#include <vector>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/gl/EglContext.h"
#include "platform/d3d9/gl/GlPrograms.h"
#include "platform/d3d9/gl/GlResources.h"
#include "platform/d3d9/gl/GlStateCache.h"
#include "platform/d3d9/gl/StreamBuffer.h"
#include "platform/d3d9/soft/RequestRules.h"

namespace qel::gl {

class TGlDevice final : public soft::TRefCounted<IDirect3DDevice9>, private soft::TControlledDevice {
 public:
  // Makes a device for checked parameters (the device maker of the GL Direct3D object).
  static HRESULT Make(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params,
                      IDirect3DDevice9** Device);
  ~TGlDevice() override;

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

  // Makes the device's context current for its resources; false when it cannot be.
  bool Use();

 private:
  enum class TLoss { Ok, Lost, NotReset };

  TGlDevice(IDirect3D9* Direct3D, HWND FocusWindow, HWND DeviceWindow);
  // GL objects of a context made anew: the back buffer, stream buffers, samplers.
  bool MakeContext(std::string& Error);
  bool ApplyParams(const D3DPRESENT_PARAMETERS& Params);
  void SetDefaultStates();
  void StatesChanged() { FStateChanged = true; }

  // soft::TControlledDevice: the test controls' loss (the context is given up, as in a GPU
  // reset) and reading back.
  IDirect3DDevice9* Interface() override { return this; }
  void Lose(int StillLostPolls) override;
  void ReadBackBuffer(soft::TFrame& Frame) override;
  // The back buffer as 0xAARRGGBB rows, top-down, into Pixels (Pitch pixels a row).
  void ReadPixels(std::uint32_t* Pixels, int Pitch);
  // Shows the frame in the window surface of the context: false when there is none for Window.
  bool SwapTo(HWND Window);

  // Drawing (GlDrawing.cpp).
  HRESULT Draw(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, UINT FirstVertex, UINT VertexCount,
               const std::vector<std::uint32_t>* Indices);
  bool ApplyStates();

  ComPtr<IDirect3D9> FDirect3D;
  std::shared_ptr<TGlLink> FLink;
  HWND FFocusWindow;
  HWND FSurfaceWindow;  // the window the platform may have handed over for a surface
  D3DPRESENT_PARAMETERS FParams = {};
  bool FTargetHasAlpha = false;

  std::unique_ptr<TEglContext> FContext;
  std::unique_ptr<TProgramCache> FPrograms;
  TGlStateCache FGl;
  GLuint FFramebuffer = 0, FColour = 0, FDepth = 0;
  GLuint FVertexArray = 0, FVertexBuffer = 0, FIndexBuffer = 0;
  TStreamBuffer FVertexStream{GL_ARRAY_BUFFER}, FIndexStream{GL_ELEMENT_ARRAY_BUFFER};
  GLuint FSamplers[soft::StageCount] = {};

  DWORD FRenderStates[soft::RenderStateCount] = {};
  DWORD FStageStates[soft::StageCount][soft::StageStateCount] = {};
  DWORD FSamplerStates[soft::SamplerCount][soft::SamplerStateCount] = {};
  ComPtr<IDirect3DBaseTexture9> FTextures[soft::SamplerCount];
  ComPtr<IDirect3DVertexBuffer9> FStream;
  UINT FStreamOffset = 0, FStreamStride = 0;
  ComPtr<IDirect3DIndexBuffer9> FIndices;
  DWORD FFVF = 0;

  bool FInScene = false;
  TLoss FLoss = TLoss::Ok;
  int FStillLostPolls = 0;
  bool FContextLost = false;  // the GL objects are lost: Reset makes a new context

  bool FStateChanged = true;
  const TProgram* FProgram = nullptr;
  std::vector<std::uint32_t> FIndexList;     // a draw's indices, from its lowest vertex
  std::vector<std::uint32_t> FIndexScratch;  // the primitives drawn, where some are left out
  std::vector<std::uint32_t> FPixelScratch;
  std::vector<std::uint8_t> FVertexScratch;  // vertices with positions clamped
  std::vector<bool> FBadVertices;            // of a draw that reaches some
};

// The Direct3D object whose devices are GL devices (for qel::d3d9::UseDirect3D).
IDirect3D9* MakeDirect3D();

}  // namespace qel::gl
