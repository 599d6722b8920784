#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/DeviceChoice.h"
#include "platform/d3d9/d3d9api.h"
#include "platform/d3d9/gl/GlDevice.h"
#include "platform/d3d9/soft/SoftControls.h"

namespace qel::soft::testing {

// The vertex layout the engine draws with: XYZRHW | DIFFUSE | TEX1.
struct TQuadVertex {
  float X, Y, Z, Rhw;
  std::uint32_t Diffuse;
  float U, V;
};
constexpr DWORD QuadFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

inline HWND TestWindow(std::uintptr_t Id = 1) { return reinterpret_cast<HWND>(Id); }

enum class TDeviceKind { Soft, Gl };
inline std::string DeviceName(const ::testing::TestParamInfo<TDeviceKind>& Info) {
  return Info.param == TDeviceKind::Soft ? "Soft" : "Gl";
}

// A windowed device of a small size, with the controls reset around each test: the software
// device, or with DeviceTest the device of the test's parameter (the GL device on an EGL
// surfaceless context, which the controls reach as well).
class SoftDeviceTest : public ::testing::Test {
 protected:
  virtual TDeviceKind Kind() const { return TDeviceKind::Soft; }
  bool OnGl() const { return Kind() == TDeviceKind::Gl; }
  void SetUp() override {
    ResetControls();
    d3d9::UseDirect3D(OnGl() ? &gl::MakeDirect3D : nullptr);
  }
  void TearDown() override {
    Device = nullptr;
    Direct3D = nullptr;
    d3d9::UseDirect3D(nullptr);
    ResetControls();
  }

  D3DPRESENT_PARAMETERS WindowedParams(UINT Width, UINT Height, D3DFORMAT Format = D3DFMT_A8R8G8B8) {
    D3DPRESENT_PARAMETERS P = {};
    P.BackBufferWidth = Width;
    P.BackBufferHeight = Height;
    P.BackBufferFormat = Format;
    P.SwapEffect = D3DSWAPEFFECT_DISCARD;
    P.hDeviceWindow = TestWindow();
    P.Windowed = TRUE;
    P.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return P;
  }

  void MakeDevice(UINT Width, UINT Height, D3DFORMAT Format = D3DFMT_A8R8G8B8, DWORD Flags = 0) {
    Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(Direct3D);
    D3DPRESENT_PARAMETERS P = WindowedParams(Width, Height, Format);
    P.Flags = Flags;
    ASSERT_EQ(D3D_OK, Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, TestWindow(),
                                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &P, Device.Put()));
    ASSERT_EQ(D3D_OK, Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE));
    ASSERT_EQ(D3D_OK, Device->SetRenderState(D3DRS_LIGHTING, FALSE));
  }

  // Draws vertices from a dynamic default-pool buffer, inside a scene.
  HRESULT Draw(D3DPRIMITIVETYPE Type, const std::vector<TQuadVertex>& Vertices, UINT Primitives) {
    ComPtr<IDirect3DVertexBuffer9> Buffer;
    const UINT Bytes = static_cast<UINT>(Vertices.size() * sizeof(TQuadVertex));
    HRESULT R = Device->CreateVertexBuffer(Bytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, QuadFVF, D3DPOOL_DEFAULT,
                                           Buffer.Put(), nullptr);
    if (FAILED(R)) return R;
    void* Data = nullptr;
    if (FAILED(R = Buffer->Lock(0, Bytes, &Data, D3DLOCK_DISCARD))) return R;
    std::memcpy(Data, Vertices.data(), Bytes);
    Buffer->Unlock();
    Device->SetStreamSource(0, Buffer.Get(), 0, sizeof(TQuadVertex));
    Device->SetFVF(QuadFVF);
    if (FAILED(R = Device->BeginScene())) return R;
    R = Device->DrawPrimitive(Type, 0, Primitives);
    Device->EndScene();
    Device->SetStreamSource(0, nullptr, 0, 0);
    return R;
  }

  // Two triangles covering [X0, X1) x [Y0, Y1), corners in the engine's quad order.
  static std::vector<TQuadVertex> Quad(float X0, float Y0, float X1, float Y1, std::uint32_t Color,
                                       float U0 = 0, float V0 = 0, float U1 = 1, float V1 = 1) {
    const TQuadVertex TL{X0, Y0, 0, 1, Color, U0, V0}, TR{X1, Y0, 0, 1, Color, U1, V0};
    const TQuadVertex BR{X1, Y1, 0, 1, Color, U1, V1}, BL{X0, Y1, 0, 1, Color, U0, V1};
    return {TL, TR, BL, TR, BR, BL};
  }

  HRESULT DrawQuad(float X0, float Y0, float X1, float Y1, std::uint32_t Color) {
    return Draw(D3DPT_TRIANGLELIST, Quad(X0, Y0, X1, Y1, Color), 2);
  }

  void Clear(std::uint32_t Color) { ASSERT_EQ(D3D_OK, Device->Clear(0, nullptr, D3DCLEAR_TARGET, Color, 1.0f, 0)); }

  TFrame Frame() {
    TFrame F;
    EXPECT_TRUE(ReadBackBuffer(Device.Get(), F));
    return F;
  }
  std::uint32_t Pixel(int X, int Y) { return Frame().Pixel(X, Y); }

  // A managed A8R8G8B8 texture filled from rows of texels.
  ComPtr<IDirect3DTexture9> MakeTexture(int Width, int Height, const std::vector<std::uint32_t>& Texels) {
    ComPtr<IDirect3DTexture9> T;
    EXPECT_EQ(D3D_OK, Device->CreateTexture(Width, Height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, T.Put(), nullptr));
    D3DLOCKED_RECT L;
    EXPECT_EQ(D3D_OK, T->LockRect(0, &L, nullptr, 0));
    for (int y = 0; y < Height; ++y)
      std::memcpy(static_cast<std::uint8_t*>(L.pBits) + y * L.Pitch, &Texels[y * Width], Width * 4);
    EXPECT_EQ(D3D_OK, T->UnlockRect(0));
    return T;
  }

  ComPtr<IDirect3D9> Direct3D;
  ComPtr<IDirect3DDevice9> Device;
};

// The fixture on both devices: TEST_P(DeviceTest, ...) runs once on each.
template <class TFixture>
class OnEveryDevice : public TFixture, public ::testing::WithParamInterface<TDeviceKind> {
 protected:
  TDeviceKind Kind() const override { return this->GetParam(); }
};
using DeviceTest = OnEveryDevice<SoftDeviceTest>;
#define QEL_ON_EVERY_DEVICE(Fixture) \
  INSTANTIATE_TEST_SUITE_P(, Fixture, ::testing::Values(TDeviceKind::Soft, TDeviceKind::Gl), DeviceName)

}  // namespace qel::soft::testing
