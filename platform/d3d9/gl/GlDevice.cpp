#include "platform/d3d9/gl/GlDevice.h"

#include <algorithm>
#include <new>

#include "platform/d3d9/NativeWindow.h"
#include "platform/d3d9/soft/SoftDirect3D.h"
#include "platform/d3d9/soft/SoftSurface.h"

namespace qel::gl {

using soft::LogArg;
using soft::Logged;
using soft::TLogArgs;

IDirect3D9* MakeDirect3D() { return new soft::TSoftDirect3D(&TGlDevice::Make); }

HRESULT TGlDevice::Make(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params,
                        IDirect3DDevice9** Device) {
  TGlDevice* D = nullptr;
  try {
    D = new TGlDevice(Direct3D, FocusWindow, Params.hDeviceWindow ? Params.hDeviceWindow : FocusWindow);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  std::string Error;
  if (!D->MakeContext(Error) || !D->ApplyParams(Params)) {
    D->Release();
    return D3DERR_NOTAVAILABLE;
  }
  *Device = D;
  return D3D_OK;
}

TGlDevice::TGlDevice(IDirect3D9* Direct3D, HWND FocusWindow, HWND DeviceWindow)
    : FDirect3D(ComPtr<IDirect3D9>::Share(Direct3D)),
      FLink(std::make_shared<TGlLink>()),
      FFocusWindow(FocusWindow),
      FSurfaceWindow(DeviceWindow) {
  FLink->Device = this;
  FLink->Gl = this;
  soft::State().OtherDevices.insert(this);
  // The window surface goes before the window it is on.
  d3d9::WatchNativeWindows(this, [this](HWND Window) {
    if (Window == FSurfaceWindow && FContext) FContext->DropSurface();
  });
}

TGlDevice::~TGlDevice() {
  d3d9::UnwatchNativeWindows(this);
  soft::State().OtherDevices.erase(this);
  // What the device holds goes while its context can still delete it.
  for (auto& T : FTextures) T = nullptr;
  FStream = nullptr;
  FIndices = nullptr;
  if (Use() && !FContextLost) {
    FPrograms.reset();
    glDeleteFramebuffers(1, &FFramebuffer);
    const GLuint Buffers[2] = {FColour, FDepth};
    glDeleteRenderbuffers(2, Buffers);
    const GLuint Streams[2] = {FVertexBuffer, FIndexBuffer};
    glDeleteBuffers(2, Streams);
    glDeleteVertexArrays(1, &FVertexArray);
    glDeleteSamplers(soft::StageCount, FSamplers);
  } else if (FPrograms) {
    FPrograms->Abandon();
  }
  FPrograms.reset();
  FContext.reset();
  FLink->Device = nullptr;
  FLink->Gl = nullptr;
}

bool TGlDevice::Use() { return FContext && FContext->MakeCurrent(); }

bool TGlDevice::MakeContext(std::string& Error) {
  // The new context first: the display stays initialised across the change.
  std::unique_ptr<TEglContext> Fresh = TEglContext::Create(Error, d3d9::FindNativeWindow(FSurfaceWindow));
  if (!Fresh) return false;
  if (FPrograms) FPrograms->Abandon();
  FPrograms.reset();
  FContext = std::move(Fresh);
  ++FLink->Generation;
  FPrograms = std::make_unique<TProgramCache>();
  FColour = FDepth = 0;
  glGenFramebuffers(1, &FFramebuffer);
  glGenVertexArrays(1, &FVertexArray);
  glGenBuffers(1, &FVertexBuffer);
  glGenBuffers(1, &FIndexBuffer);
  FVertexStream.Forget();
  FIndexStream.Forget();
  glGenSamplers(soft::StageCount, FSamplers);
  for (int s = 0; s < soft::StageCount; ++s) glBindSampler(s, FSamplers[s]);
  FGl.Forget();
  glBindVertexArray(FVertexArray);
  glBindBuffer(GL_ARRAY_BUFFER, FVertexBuffer);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, FIndexBuffer);
  // GL dithers by default; Direct3D writes the colour it computed.
  glDisable(GL_DITHER);
  FContextLost = false;
  FStateChanged = true;
  return glGetError() == GL_NO_ERROR;
}

bool TGlDevice::ApplyParams(const D3DPRESENT_PARAMETERS& Params) {
  if (!Use()) return false;
  FParams = Params;
  FTargetHasAlpha = Params.BackBufferFormat == D3DFMT_A8R8G8B8 || Params.BackBufferFormat == D3DFMT_A1R5G5B5;
  const GLuint Old[2] = {FColour, FDepth};
  glDeleteRenderbuffers(2, Old);
  FColour = FDepth = 0;
  const auto W = static_cast<GLsizei>(Params.BackBufferWidth), H = static_cast<GLsizei>(Params.BackBufferHeight);
  FGl.BindFramebuffer(GL_FRAMEBUFFER, FFramebuffer);
  glGenRenderbuffers(1, &FColour);
  glBindRenderbuffer(GL_RENDERBUFFER, FColour);
  // Eight bits a channel whatever the format, as the software device keeps its frames.
  glRenderbufferStorage(GL_RENDERBUFFER, FTargetHasAlpha ? GL_RGBA8 : GL_RGB8, W, H);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, FColour);
  if (Params.EnableAutoDepthStencil) {
    glGenRenderbuffers(1, &FDepth);
    glBindRenderbuffer(GL_RENDERBUFFER, FDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, W, H);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, FDepth);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR) return false;
  glViewport(0, 0, W, H);
  // A new back buffer starts black and transparent, its depth at the far plane.
  FGl.Enable(GL_SCISSOR_TEST, false);
  FGl.ColorMask(true, true, true, true);
  FGl.DepthMask(true);
  glClearColor(0, 0, 0, 0);
  glClearDepthf(1.0f);
  glClear(GL_COLOR_BUFFER_BIT | (FDepth ? GL_DEPTH_BUFFER_BIT : 0));
  SetDefaultStates();
  return true;
}

void TGlDevice::SetDefaultStates() {
  soft::DefaultStates(FParams.EnableAutoDepthStencil != 0, FRenderStates, FStageStates, FSamplerStates);
  for (auto& T : FTextures) T = nullptr;
  FStream = nullptr;
  FStreamOffset = FStreamStride = 0;
  FIndices = nullptr;
  FFVF = 0;
  StatesChanged();
}

// ---------------------------------------------------------------------------------------
// Device state, loss and presentation
// ---------------------------------------------------------------------------------------

HRESULT TGlDevice::TestCooperativeLevel() {
  return Logged("TestCooperativeLevel", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (FLoss == TLoss::Ok && FContext->Lost()) Lose(0);
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

void TGlDevice::Lose(int StillLostPolls) {
  FLoss = TLoss::Lost;
  FStillLostPolls = std::max(0, StillLostPolls);
  // As after a GPU reset: nothing made in the context counts any more; Reset makes a new
  // one and everything in it again.
  FContextLost = true;
}

HRESULT TGlDevice::GetDirect3D(IDirect3D9** ppD3D9) {
  return Logged("GetDirect3D", [&] { return TLogArgs{LogArg(ppD3D9)}; }, [&]() -> HRESULT {
    if (!ppD3D9) return D3DERR_INVALIDCALL;
    *ppD3D9 = ComPtr<IDirect3D9>(FDirect3D).Detach();
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
  return Logged("GetDeviceCaps", [&] { return TLogArgs{LogArg(pCaps)}; }, [&]() -> HRESULT {
    if (!pCaps) return D3DERR_INVALIDCALL;
    soft::FillCaps(*pCaps);
    return D3D_OK;
  });
}

HRESULT TGlDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  HRESULT Result = Logged("Reset", [&] { return TLogArgs{LogArg(pPresentationParameters)}; }, [&]() -> HRESULT {
    if (!pPresentationParameters) return D3DERR_INVALIDCALL;
    if (FLoss == TLoss::Lost && FStillLostPolls > 0) return D3DERR_DEVICELOST;
    // Direct3D 9 refuses to reset while resources of the default pool are alive.
    if (FLink->DefaultPoolResources > 0) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS Params = *pPresentationParameters;
    const HRESULT Check = soft::CompletePresentParams(Params, FFocusWindow);
    if (FAILED(Check)) return Check;
    std::string Error;
    if (FContextLost && !MakeContext(Error)) return D3DERR_DEVICELOST;
    if (!ApplyParams(Params)) return D3DERR_NOTAVAILABLE;
    *pPresentationParameters = Params;
    FInScene = false;
    FLoss = TLoss::Ok;
    return D3D_OK;
  });
  // A failed reset leaves the device lost until a reset succeeds.
  if (FAILED(Result) && FLoss != TLoss::Lost) FLoss = TLoss::NotReset;
  return Result;
}

void TGlDevice::ReadPixels(std::uint32_t* Pixels, int Pitch) {
  const auto W = static_cast<GLsizei>(FParams.BackBufferWidth), H = static_cast<GLsizei>(FParams.BackBufferHeight);
  FGl.BindFramebuffer(GL_READ_FRAMEBUFFER, FFramebuffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, Pitch);
  constexpr GLenum Bgra = 0x80E1;  // GL_BGRA_EXT
  glReadPixels(0, 0, W, H, FContext->ReadsBgra() ? Bgra : GL_RGBA, GL_UNSIGNED_BYTE, Pixels);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  for (GLsizei y = 0; y < H; ++y) {
    std::uint32_t* Row = Pixels + static_cast<std::size_t>(y) * Pitch;
    if (!FContext->ReadsBgra())
      for (GLsizei x = 0; x < W; ++x) Row[x] = (Row[x] & 0xFF00FF00u) | ((Row[x] & 0xFFu) << 16) | ((Row[x] >> 16) & 0xFFu);
    if (!FTargetHasAlpha)
      for (GLsizei x = 0; x < W; ++x) Row[x] |= 0xFF000000u;
  }
}

void TGlDevice::ReadBackBuffer(soft::TFrame& Frame) {
  Frame.Width = static_cast<int>(FParams.BackBufferWidth);
  Frame.Height = static_cast<int>(FParams.BackBufferHeight);
  Frame.Pixels.assign(static_cast<std::size_t>(Frame.Width) * Frame.Height, 0);
  if (Use()) ReadPixels(Frame.Pixels.data(), Frame.Width);
}

HRESULT TGlDevice::Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                           const RGNDATA* pDirtyRegion) {
  return Logged("Present", [&] { return TLogArgs{LogArg(pSourceRect), LogArg(pDestRect), LogArg(hDestWindowOverride), LogArg(pDirtyRegion)}; }, [&]() -> HRESULT {
    if (FLoss == TLoss::Ok && FContext->Lost()) Lose(0);
    if (FLoss != TLoss::Ok) return D3DERR_DEVICELOST;
    // Partial presentation is not offered (Direct3D refuses it with a discarding swap).
    if (pSourceRect || pDestRect || pDirtyRegion) return D3DERR_INVALIDCALL;
    if (!Use()) return D3DERR_DEVICELOST;
    const HWND Window = hDestWindowOverride ? hDestWindowOverride : FParams.hDeviceWindow ? FParams.hDeviceWindow : FFocusWindow;
    soft::TPresentTarget& T = soft::State().Targets[Window];
    ++T.Presents;
    const int W = static_cast<int>(FParams.BackBufferWidth), H = static_cast<int>(FParams.BackBufferHeight);
    if (SwapTo(Window)) {
      // On the screen without passing through memory.
    } else if (T.BufferPresenter.Show) {
      // Read back into memory the presenter lends, or into memory of the device's own.
      soft::TFrameBuffer Frame;
      if (!T.BufferPresenter.Lend || !T.BufferPresenter.Lend(W, H, Frame) || !Frame.Pixels || Frame.Width != W ||
          Frame.Height != H || Frame.Pitch < W) {
        FPixelScratch.resize(static_cast<std::size_t>(W) * H);
        Frame = {FPixelScratch.data(), W, H, W, {}};
      }
      ReadPixels(Frame.Pixels, Frame.Pitch);
      Frame.Changed = {{0, 0, W, H}};
      T.BufferPresenter.Show(Frame);
    } else {
      ReadBackBuffer(T.Frame);
      if (T.Presenter) T.Presenter(T.Frame);
    }
    if (FContext->Lost()) {
      Lose(0);
      return D3DERR_DEVICELOST;
    }
    return D3D_OK;
  });
}

bool TGlDevice::SwapTo(HWND Window) {
  const d3d9::TNativeWindow* Native = d3d9::FindNativeWindow(Window);
  if (Window != FSurfaceWindow || !Native || !FContext->SurfaceOn(*Native)) return false;
  const auto W = static_cast<GLint>(FParams.BackBufferWidth), H = static_cast<GLint>(FParams.BackBufferHeight);
  const GLint Height = Native->Ready ? Native->Ready(W, H) : H;
  if (Height <= 0) return true;  // dropped, as on a covered screen
  FContext->SetSwapInterval(Native->Paced || FParams.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
  FGl.BindFramebuffer(GL_READ_FRAMEBUFFER, FFramebuffer);
  FGl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  FGl.ColorMask(true, true, true, true);
  FGl.Enable(GL_SCISSOR_TEST, false);
  // The frame's top row is row 0 here and the window's top row its last: the copy turns it
  // over, into the window's top-left corner.
  glBlitFramebuffer(0, 0, W, H, 0, Height, W, Height - H, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  const bool Swapped = FContext->Swap();
  FGl.BindFramebuffer(GL_FRAMEBUFFER, FFramebuffer);
  StatesChanged();  // the colour mask
  if (Swapped && Native->Shown) Native->Shown();
  return true;
}

// ---------------------------------------------------------------------------------------
// Resources
// ---------------------------------------------------------------------------------------

HRESULT TGlDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                 IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
  return Logged("CreateTexture", [&] { return TLogArgs{Width, Height, Levels, Usage, LogArg(Format), LogArg(Pool)}; }, [&]() -> HRESULT {
    if (!ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    const HRESULT Check = soft::CheckTextureRequest(Width, Height, Levels, Usage, Format, Pool, pSharedHandle);
    if (Check != D3D_OK) return Check;
    try {
      *ppTexture = new TGlTexture(FLink, Width, Height, Levels, Usage, Format, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TGlDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                      IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) {
  return Logged("CreateVertexBuffer", [&] { return TLogArgs{Length, Usage, FVF, LogArg(Pool)}; }, [&]() -> HRESULT {
    if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
    *ppVertexBuffer = nullptr;
    if (const HRESULT Check = soft::CheckBufferRequest(Length, Pool, pSharedHandle); Check != D3D_OK) return Check;
    // Vertices stay in system memory and go up with each draw: the engine rewrites its
    // buffers every frame, and the device checks every vertex a draw reaches anyway.
    try {
      *ppVertexBuffer = new soft::TSoftVertexBuffer(FLink, Length, Usage, FVF, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TGlDevice::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                     IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) {
  return Logged("CreateIndexBuffer", [&] { return TLogArgs{Length, Usage, LogArg(Format), LogArg(Pool)}; }, [&]() -> HRESULT {
    if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
    *ppIndexBuffer = nullptr;
    if (const HRESULT Check = soft::CheckBufferRequest(Length, Pool, pSharedHandle); Check != D3D_OK) return Check;
    if (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
    try {
      *ppIndexBuffer = new soft::TSoftIndexBuffer(FLink, Length, Usage, Format, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                                 IDirect3DSurface9** ppBackBuffer) {
  return Logged("GetBackBuffer", [&] { return TLogArgs{iSwapChain, iBackBuffer, LogArg(Type), LogArg(ppBackBuffer)}; }, [&]() -> HRESULT {
    if (!ppBackBuffer) return D3DERR_INVALIDCALL;
    *ppBackBuffer = nullptr;
    if (iSwapChain != 0 || iBackBuffer >= FParams.BackBufferCount || Type != D3DBACKBUFFER_TYPE_MONO)
      return D3DERR_INVALIDCALL;
    *ppBackBuffer = new TGlBackBuffer(FLink, FParams);
    return D3D_OK;
  });
}

HRESULT TGlDevice::CreateOffscreenPlainSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DPOOL Pool,
                                               IDirect3DSurface9** ppSurface, HANDLE* pSharedHandle) {
  return Logged("CreateOffscreenPlainSurface", [&] { return TLogArgs{Width, Height, LogArg(Format), LogArg(Pool), LogArg(ppSurface)}; }, [&]() -> HRESULT {
    if (!ppSurface) return D3DERR_INVALIDCALL;
    *ppSurface = nullptr;
    const HRESULT Check = soft::CheckSurfaceRequest(Width, Height, Format, Pool, pSharedHandle);
    if (Check != D3D_OK) return Check;
    try {
      *ppSurface = new soft::TSoftSurface(FLink, Width, Height, Format, Pool);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return D3D_OK;
  });
}

HRESULT TGlDevice::GetRenderTargetData(IDirect3DSurface9* pRenderTarget, IDirect3DSurface9* pDestSurface) {
  return Logged("GetRenderTargetData", [&] { return TLogArgs{LogArg(pRenderTarget), LogArg(pDestSurface)}; }, [&]() -> HRESULT {
    auto* Source = dynamic_cast<TGlBackBuffer*>(pRenderTarget);
    auto* Dest = dynamic_cast<soft::TSoftSurface*>(pDestSurface);
    if (!Source || !Dest || !Source->IsBackBufferOf(this) || Dest->IsBackBuffer()) return D3DERR_INVALIDCALL;
    if (Dest->Pool() != D3DPOOL_SYSTEMMEM || Dest->Width() != Source->Width() || Dest->Height() != Source->Height() ||
        Dest->Format() != Source->Format())
      return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok || !Use()) return D3DERR_DEVICELOST;
    ReadPixels(Dest->Pixels(), static_cast<int>(Dest->Width()));
    return D3D_OK;
  });
}

// ---------------------------------------------------------------------------------------
// Scenes and clearing
// ---------------------------------------------------------------------------------------

HRESULT TGlDevice::BeginScene() {
  return Logged("BeginScene", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (FInScene) return D3DERR_INVALIDCALL;
    FInScene = true;
    return D3D_OK;
  });
}

HRESULT TGlDevice::EndScene() {
  return Logged("EndScene", [&] { return TLogArgs{}; }, [&]() -> HRESULT {
    if (!FInScene) return D3DERR_INVALIDCALL;
    FInScene = false;
    return D3D_OK;
  });
}

HRESULT TGlDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  return Logged("Clear", [&] { return TLogArgs{Count, LogArg(pRects), Flags, Color, LogArg(Z), Stencil}; }, [&]() -> HRESULT {
    const bool Depth = FParams.EnableAutoDepthStencil != 0;
    if (Count > 0 && !pRects) return D3DERR_INVALIDCALL;
    if (Flags == 0 || (Flags & ~DWORD{D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL})) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_ZBUFFER) && !Depth) return D3DERR_INVALIDCALL;
    if ((Flags & D3DCLEAR_STENCIL) && (!Depth || (FParams.AutoDepthStencilFormat != D3DFMT_D24S8 &&
                                                  FParams.AutoDepthStencilFormat != D3DFMT_D24X4S4 &&
                                                  FParams.AutoDepthStencilFormat != D3DFMT_D15S1)))
      return D3DERR_INVALIDCALL;
    if (!(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok || !Use()) return D3D_OK;
    FGl.BindFramebuffer(GL_FRAMEBUFFER, FFramebuffer);
    FGl.ColorMask(true, true, true, true);
    FGl.DepthMask(true);
    glClearColor(((Color >> 16) & 0xFF) / 255.0f, ((Color >> 8) & 0xFF) / 255.0f, (Color & 0xFF) / 255.0f,
                 (Color >> 24) / 255.0f);
    glClearDepthf(Z);
    const GLbitfield Mask = ((Flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                            ((Flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0);
    const LONG W = static_cast<LONG>(FParams.BackBufferWidth), H = static_cast<LONG>(FParams.BackBufferHeight);
    if (Count == 0) {
      FGl.Enable(GL_SCISSOR_TEST, false);
      glClear(Mask);
    } else {
      FGl.Enable(GL_SCISSOR_TEST, true);
      for (DWORD i = 0; i < Count; ++i) {
        const LONG L = std::max(pRects[i].x1, LONG{0}), T = std::max(pRects[i].y1, LONG{0});
        const LONG R = std::min(pRects[i].x2, W), B = std::min(pRects[i].y2, H);
        if (L >= R || T >= B) continue;
        glScissor(L, T, R - L, B - T);  // row 0 of the target is the top row
        glClear(Mask);
      }
      FGl.Enable(GL_SCISSOR_TEST, false);
    }
    StatesChanged();  // the masks
    return D3D_OK;
  });
}

}  // namespace qel::gl
