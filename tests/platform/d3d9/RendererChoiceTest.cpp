#include <gtest/gtest.h>

#include <string>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/DeviceChoice.h"
#include "platform/d3d9/gl/EglContext.h"
#include "platform/d3d9/gl/GlDevice.h"
#include "platform/d3d9/gl/RendererChoice.h"

namespace qel::gl {
namespace {

TEST(RendererChoice, NamesAndSoftwareRasterizers) {
  TRenderer R = TRenderer::Soft;
  EXPECT_TRUE(ParseRenderer("gl", R) && R == TRenderer::Gl);
  EXPECT_TRUE(ParseRenderer("auto", R) && R == TRenderer::Auto);
  EXPECT_FALSE(ParseRenderer("GL", R));
  EXPECT_FALSE(ParseRenderer("", R));
  for (const char* Software : {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa swrast", "Software Rasterizer"})
    EXPECT_TRUE(IsSoftwareRasterizer(Software)) << Software;
  for (const char* Hardware : {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
                               "NVIDIA GeForce GTX 1060/PCIe/SSE2"})
    EXPECT_FALSE(IsSoftwareRasterizer(Hardware)) << Hardware;
}

// The device each choice gives, told apart by its class.
bool MakesGlDevice() {
  ComPtr<IDirect3D9> Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS P = {};
  P.BackBufferWidth = P.BackBufferHeight = 8;
  P.BackBufferFormat = D3DFMT_X8R8G8B8;
  P.SwapEffect = D3DSWAPEFFECT_DISCARD;
  P.Windowed = TRUE;
  ComPtr<IDirect3DDevice9> Device;
  const HWND Window = reinterpret_cast<HWND>(1);
  EXPECT_EQ(D3D_OK, Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, Window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &P, Device.Put()));
  return dynamic_cast<TGlDevice*>(Device.Get()) != nullptr;
}

TEST(RendererChoice, AutoTakesGlOnlyOnAHardwareDriverGlInsistsSoftIsSoft) {
  std::string Why, Chosen, Error;
  const auto Probe = TEglContext::Create(Why);
  ASSERT_TRUE(Probe) << "these tests draw on Mesa's llvmpipe: " << Why;
  const bool Hardware = !IsSoftwareRasterizer(Probe->Renderer());
  ASSERT_TRUE(ChooseRenderer(TRenderer::Auto, Chosen, Error)) << Error;
  EXPECT_EQ(Hardware, MakesGlDevice()) << Chosen;
  EXPECT_EQ(Hardware ? "gl (" : "soft (", Chosen.substr(0, Hardware ? 4 : 6)) << Chosen;
  if (!Hardware) {
    EXPECT_NE(Chosen.find(Probe->Renderer()), std::string::npos) << Chosen;
  }
  ASSERT_TRUE(ChooseRenderer(TRenderer::Gl, Chosen, Error)) << Error;
  EXPECT_TRUE(MakesGlDevice());
  ASSERT_TRUE(ChooseRenderer(TRenderer::Soft, Chosen, Error));
  EXPECT_FALSE(MakesGlDevice());
  d3d9::UseDirect3D(nullptr);
}

}  // namespace
}  // namespace qel::gl
