#include "platform/d3d9/gl/RendererChoice.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "platform/d3d9/DeviceChoice.h"
#include "platform/d3d9/gl/EglContext.h"
#include "platform/d3d9/gl/GlDevice.h"
#include "platform/d3d9/soft/SoftDevice.h"
#include "platform/d3d9/soft/SoftDirect3D.h"

namespace qel::gl {
namespace {

// Where GL was chosen without being insisted on, a device GL cannot make is a software one.
HRESULT MakeGlOrSoftDevice(IDirect3D9* Direct3D, HWND FocusWindow, const D3DPRESENT_PARAMETERS& Params,
                           IDirect3DDevice9** Device) {
  if (SUCCEEDED(TGlDevice::Make(Direct3D, FocusWindow, Params, Device))) return D3D_OK;
  try {
    *Device = new soft::TSoftDevice(Direct3D, FocusWindow, Params);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return D3D_OK;
}

IDirect3D9* MakeGlOrSoftDirect3D() { return new soft::TSoftDirect3D(&MakeGlOrSoftDevice); }

}  // namespace

bool ParseRenderer(const std::string& Text, TRenderer& Renderer) {
  if (Text == "auto") return Renderer = TRenderer::Auto, true;
  if (Text == "gl") return Renderer = TRenderer::Gl, true;
  if (Text == "soft") return Renderer = TRenderer::Soft, true;
  return false;
}

bool IsSoftwareRasterizer(const std::string& RendererName) {
  std::string Lower = RendererName;
  std::transform(Lower.begin(), Lower.end(), Lower.begin(), [](unsigned char C) { return std::tolower(C); });
  for (const char* Name : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
    if (Lower.find(Name) != std::string::npos) return true;
  return false;
}

bool ChooseRenderer(TRenderer Renderer, std::string& Chosen, std::string& Error) {
  d3d9::UseDirect3D(nullptr);
  if (Renderer == TRenderer::Soft) {
    Chosen = "soft (asked for)";
    return true;
  }
  std::string Why;
  const std::unique_ptr<TEglContext> Probe = TEglContext::Create(Why);
  if (!Probe) {
    if (Renderer == TRenderer::Gl) return Error = "the GL device cannot start: " + Why, false;
    Chosen = "soft (" + Why + ")";
    return true;
  }
  if (Renderer == TRenderer::Auto && IsSoftwareRasterizer(Probe->Renderer())) {
    Chosen = "soft (" + Probe->Renderer() + " draws on the processor)";
    return true;
  }
  d3d9::UseDirect3D(Renderer == TRenderer::Gl ? &MakeDirect3D : &MakeGlOrSoftDirect3D);
  Chosen = "gl (" + Probe->Renderer() + ")";
  return true;
}

}  // namespace qel::gl
