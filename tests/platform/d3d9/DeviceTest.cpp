#include <bit>
#include <cstdint>
#include <vector>

#include "tests/platform/d3d9/DeviceFixture.h"

namespace qel::soft::testing {
namespace {

QEL_ON_EVERY_DEVICE(DeviceTest);

TEST_P(DeviceTest, Direct3DCreate9TakesOnlyTheSdkVersion) {
  EXPECT_EQ(nullptr, Direct3DCreate9(31));
  IDirect3D9* D = Direct3DCreate9(0x80000020);
  ASSERT_NE(nullptr, D);
  EXPECT_EQ(0u, D->Release());
  FailNext("Direct3DCreate9", 1);
  EXPECT_EQ(nullptr, Direct3DCreate9(D3D_SDK_VERSION));
  EXPECT_EQ(0, LiveObjects());
}

TEST_P(DeviceTest, DefaultAdapterAnswersAsDirect3DUnderWineHere) {
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DDISPLAYMODE Mode;
  ASSERT_EQ(D3D_OK, Direct3D->GetAdapterDisplayMode(0, &Mode));
  EXPECT_EQ(D3DFMT_X8R8G8B8, Mode.Format);
  EXPECT_EQ(0u, Direct3D->GetAdapterModeCount(0, D3DFMT_A8R8G8B8));
  const UINT Count = Direct3D->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
  ASSERT_GT(Count, 0u);
  for (UINT i = 0; i < Count; ++i) {
    ASSERT_EQ(D3D_OK, Direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &Mode));
    EXPECT_EQ(D3DFMT_X8R8G8B8, Mode.Format);
  }
  EXPECT_EQ(D3DERR_INVALIDCALL, Direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, Count, &Mode));
  EXPECT_EQ(D3DERR_INVALIDCALL, Direct3D->GetAdapterDisplayMode(1, &Mode));
  EXPECT_EQ(D3DERR_INVALIDCALL, Direct3D->GetAdapterDisplayMode(0, nullptr));

  auto Texture = [&](D3DFORMAT F, DWORD Usage = 0) {
    return Direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, Usage, D3DRTYPE_TEXTURE, F);
  };
  for (D3DFORMAT F : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5,
                      D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4, D3DFMT_A8})
    EXPECT_EQ(D3D_OK, Texture(F)) << F;
  EXPECT_EQ(D3DERR_NOTAVAILABLE, Texture(D3DFMT_R3G3B2));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, Texture(D3DFMT_A8R3G3B2));
  EXPECT_EQ(D3D_OK, Texture(D3DFMT_A8R8G8B8, D3DUSAGE_AUTOGENMIPMAP));
  for (D3DFORMAT F : {D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_X4R4G4B4})
    EXPECT_EQ(D3DOK_NOAUTOGEN, Texture(F, D3DUSAGE_AUTOGENMIPMAP)) << F;
  EXPECT_TRUE(SUCCEEDED(D3DOK_NOAUTOGEN));
  EXPECT_EQ(D3D_OK, Direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                                D3DRTYPE_SURFACE, D3DFMT_D24S8));
  EXPECT_EQ(D3DERR_NOTAVAILABLE, Direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                                                             D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D15S1));
  D3DCAPS9 Caps;
  ASSERT_EQ(D3D_OK, Direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &Caps));
  EXPECT_EQ(16384u, Caps.MaxTextureWidth);
}

TEST_P(DeviceTest, AdapterCanBeReconfigured) {
  Adapter().Textures = {{D3DFMT_R3G3B2, D3D_OK, D3DOK_NOAUTOGEN}};
  Adapter().MaxTextureWidth = 64;
  MakeDevice(8, 8);
  EXPECT_EQ(D3D_OK, Direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_R3G3B2));
  EXPECT_EQ(D3DERR_NOTAVAILABLE,
            Direct3D->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8));
  ComPtr<IDirect3DTexture9> T;
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(128, 8, 1, 0, D3DFMT_R3G3B2, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3D_OK, Device->CreateTexture(64, 8, 1, 0, D3DFMT_R3G3B2, D3DPOOL_MANAGED, T.Put(), nullptr));
  D3DCAPS9 Caps;
  ASSERT_EQ(D3D_OK, Device->GetDeviceCaps(&Caps));
  EXPECT_EQ(64u, Caps.MaxTextureWidth);
}

TEST_P(DeviceTest, CreateDeviceChecksItsParameters) {
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  auto Try = [&](D3DPRESENT_PARAMETERS P, HWND Focus = TestWindow(), DWORD Flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING) {
    ComPtr<IDirect3DDevice9> D;
    return Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, Focus, Flags, &P, D.Put());
  };
  const D3DPRESENT_PARAMETERS Good = WindowedParams(64, 32);
  EXPECT_EQ(D3D_OK, Try(Good));
  D3DPRESENT_PARAMETERS P = Good;
  P.hDeviceWindow = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(P, nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(Good, TestWindow(), 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(Good, TestWindow(), D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING));
  P = Good;
  P.FullScreen_RefreshRateInHz = 60;
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(P));
  P = Good;
  P.EnableAutoDepthStencil = TRUE;
  P.AutoDepthStencilFormat = D3DFMT_UNKNOWN;
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(P));
  P = Good;
  P.Windowed = FALSE;  // 64 x 32 is no display mode
  EXPECT_EQ(D3DERR_INVALIDCALL, Try(P));
  P.BackBufferWidth = 800;
  P.BackBufferHeight = 600;
  P.BackBufferFormat = D3DFMT_X8R8G8B8;
  EXPECT_EQ(D3D_OK, Try(P));
  ComPtr<IDirect3DDevice9> D;
  EXPECT_EQ(D3DERR_INVALIDCALL, Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, TestWindow(), 0x20, nullptr, D.Put()));
  EXPECT_EQ(D3DERR_INVALIDCALL, Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, TestWindow(), 0x20, &P, nullptr));
  FailNext("CreateDevice", 1, D3DERR_NOTAVAILABLE);
  EXPECT_EQ(D3DERR_NOTAVAILABLE, Try(Good));
  EXPECT_EQ(D3D_OK, Try(Good));
}

TEST_P(DeviceTest, WindowedDeviceFillsInUnsetSizeAndFormat) {
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS P = WindowedParams(0, 0, D3DFMT_UNKNOWN);
  ASSERT_EQ(D3D_OK, Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, TestWindow(), 0x20, &P, Device.Put()));
  EXPECT_EQ(1920u, P.BackBufferWidth);
  EXPECT_EQ(1080u, P.BackBufferHeight);
  EXPECT_EQ(D3DFMT_X8R8G8B8, P.BackBufferFormat);
  EXPECT_EQ(1u, P.BackBufferCount);
}

TEST_P(DeviceTest, StatesStartAtDirect3DDefaultsAndResetRestoresThem) {
  MakeDevice(8, 8);
  auto Render = [&](D3DRENDERSTATETYPE S) {
    DWORD V = 0xDEAD;
    EXPECT_EQ(D3D_OK, Device->GetRenderState(S, &V));
    return V;
  };
  auto Sampler = [&](D3DSAMPLERSTATETYPE S) {
    DWORD V = 0xDEAD;
    EXPECT_EQ(D3D_OK, Device->GetSamplerState(0, S, &V));
    return V;
  };
  auto Stage = [&](DWORD Index, D3DTEXTURESTAGESTATETYPE S) {
    DWORD V = 0xDEAD;
    EXPECT_EQ(D3D_OK, Device->GetTextureStageState(Index, S, &V));
    return V;
  };
  EXPECT_EQ(static_cast<DWORD>(D3DZB_FALSE), Render(D3DRS_ZENABLE));
  EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ONE), Render(D3DRS_SRCBLEND));
  EXPECT_EQ(static_cast<DWORD>(D3DBLEND_ZERO), Render(D3DRS_DESTBLEND));
  EXPECT_EQ(static_cast<DWORD>(D3DBLENDOP_ADD), Render(D3DRS_BLENDOP));
  EXPECT_EQ(static_cast<DWORD>(D3DCMP_ALWAYS), Render(D3DRS_ALPHAFUNC));
  EXPECT_EQ(0xFu, Render(D3DRS_COLORWRITEENABLE));
  EXPECT_EQ(1.0f, std::bit_cast<float>(Render(D3DRS_POINTSIZE)));
  EXPECT_EQ(static_cast<DWORD>(D3DTADDRESS_WRAP), Sampler(D3DSAMP_ADDRESSU));
  EXPECT_EQ(static_cast<DWORD>(D3DTADDRESS_WRAP), Sampler(D3DSAMP_ADDRESSV));
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_NONE), Sampler(D3DSAMP_MIPFILTER));
  EXPECT_EQ(static_cast<DWORD>(D3DTEXF_POINT), Sampler(D3DSAMP_MAGFILTER));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_MODULATE), Stage(0, D3DTSS_COLOROP));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_SELECTARG1), Stage(0, D3DTSS_ALPHAOP));
  EXPECT_EQ(static_cast<DWORD>(D3DTOP_DISABLE), Stage(1, D3DTSS_COLOROP));
  EXPECT_EQ(3u, Stage(3, D3DTSS_TEXCOORDINDEX));

  // The fixture changed the cull mode; a reset brings every state back.
  EXPECT_EQ(static_cast<DWORD>(D3DCULL_NONE), Render(D3DRS_CULLMODE));
  D3DPRESENT_PARAMETERS P = WindowedParams(8, 8);
  ASSERT_EQ(D3D_OK, Device->Reset(&P));
  EXPECT_EQ(static_cast<DWORD>(D3DCULL_CCW), Render(D3DRS_CULLMODE));

  DWORD V;
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(300), &V));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->SetTextureStageState(8, D3DTSS_COLOROP, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->SetSamplerState(16, D3DSAMP_MAGFILTER, 1));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->GetSamplerState(0, D3DSAMP_MAGFILTER, nullptr));
}

TEST_P(DeviceTest, TexturesOfEveryEngineFormatDecodeForSampling) {
  Adapter().Textures.push_back({D3DFMT_R3G3B2, D3D_OK, D3D_OK});
  Adapter().Textures.push_back({D3DFMT_A8R3G3B2, D3D_OK, D3D_OK});
  MakeDevice(1, 1);
  struct TCase {
    D3DFORMAT Format;
    std::uint32_t Raw;
    std::uint32_t Argb;
  };
  const TCase Cases[] = {
      {D3DFMT_R3G3B2, 0xE3, 0xFFFF00FF},         {D3DFMT_R5G6B5, 0xFFFF, 0xFFFFFFFF},
      {D3DFMT_X8R8G8B8, 0x00123456, 0xFF123456}, {D3DFMT_X1R5G5B5, 0x7C00, 0xFFFF0000},
      {D3DFMT_X4R4G4B4, 0x00F0, 0xFF00FF00},     {D3DFMT_A8R8G8B8, 0x80123456, 0x80123456},
      {D3DFMT_A1R5G5B5, 0x001F, 0x000000FF},     {D3DFMT_A4R4G4B4, 0x8F0F, 0x88FF00FF},
      {D3DFMT_A8R3G3B2, 0x40E0, 0x40FF0000},     {D3DFMT_A8, 0x7F, 0x7FFFFFFF},
  };
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  for (const TCase& C : Cases) {
    ComPtr<IDirect3DTexture9> T;
    ASSERT_EQ(D3D_OK, Device->CreateTexture(1, 1, 1, 0, C.Format, D3DPOOL_MANAGED, T.Put(), nullptr)) << C.Format;
    D3DLOCKED_RECT L;
    ASSERT_EQ(D3D_OK, T->LockRect(0, &L, nullptr, 0));
    std::memcpy(L.pBits, &C.Raw, 4 < L.Pitch ? 4 : static_cast<std::size_t>(L.Pitch));
    ASSERT_EQ(D3D_OK, T->UnlockRect(0));
    Device->SetTexture(0, T.Get());
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 0.5f, 0.5f, 0xFFFFFFFF), 2));
    EXPECT_EQ(C.Argb, Pixel(0, 0)) << "format " << C.Format;
  }
}

TEST_P(DeviceTest, LockRectHonoursPitchRectanglesAndReadOnlyLocks) {
  MakeDevice(4, 4);
  ComPtr<IDirect3DTexture9> T;
  ASSERT_EQ(D3D_OK, Device->CreateTexture(5, 3, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, T.Put(), nullptr));
  D3DLOCKED_RECT Whole, Part;
  ASSERT_EQ(D3D_OK, T->LockRect(0, &Whole, nullptr, 0));
  EXPECT_GT(Whole.Pitch, 5 * 2);  // rows are padded: code that ignores the pitch shows it
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(0, &Part, nullptr, 0));  // already locked
  ASSERT_EQ(D3D_OK, T->UnlockRect(0));
  EXPECT_EQ(D3DERR_INVALIDCALL, T->UnlockRect(0));
  const RECT R = {2, 1, 4, 3};
  ASSERT_EQ(D3D_OK, T->LockRect(0, &Part, &R, D3DLOCK_READONLY));
  EXPECT_EQ(static_cast<std::uint8_t*>(Whole.pBits) + Whole.Pitch + 4, Part.pBits);
  ASSERT_EQ(D3D_OK, T->UnlockRect(0));
  const RECT Outside = {3, 0, 6, 1}, Empty = {1, 1, 1, 2};
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(0, &Part, &Outside, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(0, &Part, &Empty, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(1, &Part, nullptr, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(0, nullptr, nullptr, 0));
  FailNext("LockRect", 1);
  EXPECT_EQ(D3DERR_INVALIDCALL, T->LockRect(0, &Part, nullptr, 0));
  EXPECT_EQ(D3D_OK, T->LockRect(0, &Part, nullptr, 0));
}

TEST_P(DeviceTest, MipChainsAndAutomaticMipmaps) {
  MakeDevice(4, 4);
  ComPtr<IDirect3DTexture9> Chain, Auto, Two;
  ASSERT_EQ(D3D_OK, Device->CreateTexture(16, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Chain.Put(), nullptr));
  EXPECT_EQ(5u, Chain->GetLevelCount());
  D3DSURFACE_DESC Desc;
  ASSERT_EQ(D3D_OK, Chain->GetLevelDesc(4, &Desc));
  EXPECT_EQ(1u, Desc.Width);
  EXPECT_EQ(1u, Desc.Height);
  ASSERT_EQ(D3D_OK, Chain->GetLevelDesc(2, &Desc));
  EXPECT_EQ(4u, Desc.Width);
  EXPECT_EQ(D3DPOOL_MANAGED, Desc.Pool);
  D3DLOCKED_RECT L;
  EXPECT_EQ(D3D_OK, Chain->LockRect(3, &L, nullptr, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, Chain->GetLevelDesc(5, &Desc));
  // Automatic mipmaps show only the top level.
  ASSERT_EQ(D3D_OK, Device->CreateTexture(16, 16, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                          Auto.Put(), nullptr));
  EXPECT_EQ(1u, Auto->GetLevelCount());
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(16, 16, 2, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_MANAGED, Two.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Two.Put(), nullptr));
  EXPECT_FALSE(Two);
}

TEST_P(DeviceTest, BadTextureRequestsAreRefused) {
  MakeDevice(4, 4);
  ComPtr<IDirect3DTexture9> T;
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(16385, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(4, 4, 1, 0, D3DFMT_R3G3B2, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(4, 4, 1, 0, D3DFMT_D16, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL,
            Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, static_cast<D3DPOOL>(9), T.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr));
  // Too much memory for one texture is an answer, not an attempt.
  EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY,
            Device->CreateTexture(16384, 16384, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, T.Put(), nullptr));
  EXPECT_FALSE(T);
}

TEST_P(DeviceTest, BuffersLockWithinTheirLength) {
  MakeDevice(4, 4);
  ComPtr<IDirect3DVertexBuffer9> V;
  ComPtr<IDirect3DIndexBuffer9> I;
  ASSERT_EQ(D3D_OK, Device->CreateVertexBuffer(112, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, QuadFVF, D3DPOOL_DEFAULT,
                                               V.Put(), nullptr));
  ASSERT_EQ(D3D_OK, Device->CreateIndexBuffer(12, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                              D3DPOOL_DEFAULT, I.Put(), nullptr));
  void* Data = nullptr;
  EXPECT_EQ(D3D_OK, V->Lock(0, 112, &Data, D3DLOCK_DISCARD));
  EXPECT_EQ(D3D_OK, V->Unlock());
  EXPECT_EQ(D3DERR_INVALIDCALL, V->Lock(100, 13, &Data, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, V->Lock(0, 4, nullptr, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, V->Unlock());
  EXPECT_EQ(D3D_OK, I->Lock(0, 0, &Data, D3DLOCK_DISCARD));  // 0: the whole buffer
  EXPECT_EQ(D3D_OK, I->Unlock());
  D3DVERTEXBUFFER_DESC Desc;
  ASSERT_EQ(D3D_OK, V->GetDesc(&Desc));
  EXPECT_EQ(112u, Desc.Size);
  EXPECT_EQ(static_cast<DWORD>(QuadFVF), Desc.FVF);
  EXPECT_EQ(D3DPOOL_DEFAULT, Desc.Pool);
  ComPtr<IDirect3DIndexBuffer9> Bad;
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, Bad.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->CreateVertexBuffer(0, 0, QuadFVF, D3DPOOL_DEFAULT, nullptr, nullptr));
}

TEST_P(DeviceTest, IndexedDrawingChecksEveryIndex) {
  MakeDevice(4, 4);
  Clear(0xFF000000);
  ComPtr<IDirect3DVertexBuffer9> V;
  ComPtr<IDirect3DIndexBuffer9> I;
  const auto Vertices = Quad(0, 0, 4, 4, 0xFF00FF00);
  const TQuadVertex Four[4] = {Vertices[0], Vertices[1], Vertices[4], Vertices[2]};
  ASSERT_EQ(D3D_OK, Device->CreateVertexBuffer(sizeof Four, D3DUSAGE_DYNAMIC, QuadFVF, D3DPOOL_DEFAULT, V.Put(), nullptr));
  ASSERT_EQ(D3D_OK, Device->CreateIndexBuffer(16, D3DUSAGE_DYNAMIC, D3DFMT_INDEX16, D3DPOOL_DEFAULT, I.Put(), nullptr));
  void* Data;
  V->Lock(0, 0, &Data, D3DLOCK_DISCARD);
  std::memcpy(Data, Four, sizeof Four);
  V->Unlock();
  const std::uint16_t Indices[8] = {0, 1, 3, 1, 2, 3, 4, 0};
  I->Lock(0, 0, &Data, D3DLOCK_DISCARD);
  std::memcpy(Data, Indices, sizeof Indices);
  I->Unlock();
  Device->SetStreamSource(0, V.Get(), 0, sizeof(TQuadVertex));
  Device->SetFVF(QuadFVF);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));  // no scene
  ASSERT_EQ(D3D_OK, Device->BeginScene());
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));  // no indices
  Device->SetIndices(I.Get());
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 2, 2));  // index 4
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2));  // base moves past
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 3));  // past the buffer
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawIndexedPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 0, 4, 0, 1));
  EXPECT_EQ(0xFF000000u, Pixel(1, 1));
  EXPECT_EQ(D3D_OK, Device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
  EXPECT_EQ(D3D_OK, Device->EndScene());
  const TFrame F = Frame();
  for (std::uint32_t P : F.Pixels) EXPECT_EQ(0xFF00FF00u, P);
  // A vertex format with transformed positions is not drawn.
  Device->BeginScene();
  Device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1));
  Device->SetFVF(QuadFVF);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1));  // past the last vertex
  Device->EndScene();
}

TEST_P(DeviceTest, ScenesNestOnlyOnce) {
  MakeDevice(4, 4);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->EndScene());
  EXPECT_EQ(D3D_OK, Device->BeginScene());
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->BeginScene());
  EXPECT_EQ(D3D_OK, Device->EndScene());
}

TEST_P(DeviceTest, ClearChecksFlagsAndClearsOnlyRectangles) {
  MakeDevice(4, 4);
  Clear(0xFF000000);
  const D3DRECT R = {1, 1, 3, 2};
  ASSERT_EQ(D3D_OK, Device->Clear(1, &R, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0));
  EXPECT_EQ(0xFF000000u, Pixel(0, 1));
  EXPECT_EQ(0xFFFFFFFFu, Pixel(2, 1));
  EXPECT_EQ(0xFF000000u, Pixel(2, 2));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));  // no depth buffer
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Clear(0, nullptr, 0, 0, 1.0f, 0));
}

TEST_P(DeviceTest, DrawsAfterARectangleClearReachTheWholeTargetWithTheirWriteMask) {
  MakeDevice(4, 4);
  Clear(0xFF000000);
  Device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA);
  const D3DRECT R = {1, 1, 2, 2};
  ASSERT_EQ(D3D_OK, Device->Clear(1, &R, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0));  // a clear ignores the mask
  ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 4, 4, 0xFFFFFFFF));
  EXPECT_EQ(0xFFFF0000u, Pixel(0, 0));
  EXPECT_EQ(0xFFFF00FFu, Pixel(1, 1));
  EXPECT_EQ(0xFFFF0000u, Pixel(3, 3));
}

TEST_P(DeviceTest, DrawsKeepTheirVerticesWhenVerticesPastAMegabyteWereSentBefore) {
  // Draws of some 300 KB each, then one of a megabyte and a half, then small ones: what the
  // device sends each draw's vertices through fills, grows and starts again.
  MakeDevice(16, 1);
  Clear(0xFF000000);
  auto Covering = [](int X, std::uint32_t Colour, std::size_t Copies) {
    std::vector<TQuadVertex> Vertices;
    for (std::size_t i = 0; i < Copies; ++i) {
      const auto Q = Quad(static_cast<float>(X), 0, static_cast<float>(X + 1), 1, Colour);
      Vertices.insert(Vertices.end(), Q.begin(), Q.end());
    }
    return Vertices;
  };
  const std::size_t Sizes[16] = {2000, 2000, 2000, 2000, 2000, 9000, 10, 10, 2000, 2000, 2000, 2000, 10, 10, 10, 10};
  for (int x = 0; x < 16; ++x) {
    const auto Vertices = Covering(x, 0xFF000000u | static_cast<std::uint32_t>(x + 1) * 0x0F0F0F, Sizes[x]);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Vertices, static_cast<UINT>(Vertices.size() / 3))) << x;
  }
  const TFrame F = Frame();
  for (int x = 0; x < 16; ++x) EXPECT_EQ(0xFF000000u | static_cast<std::uint32_t>(x + 1) * 0x0F0F0F, F.Pixel(x, 0)) << x;
}

TEST_P(DeviceTest, DepthBufferClearsAndTests) {
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS P = WindowedParams(4, 1);
  P.EnableAutoDepthStencil = TRUE;
  P.AutoDepthStencilFormat = D3DFMT_D24X8;
  ASSERT_EQ(D3D_OK, Direct3D->CreateDevice(0, D3DDEVTYPE_HAL, TestWindow(), 0x20, &P, Device.Put()));
  DWORD Z;
  Device->GetRenderState(D3DRS_ZENABLE, &Z);
  EXPECT_EQ(static_cast<DWORD>(D3DZB_TRUE), Z);
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  ASSERT_EQ(D3D_OK, Device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 0.5f, 0));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));  // no stencil in D24X8
  auto Near = Quad(0, 0, 2, 1, 0xFFFF0000), Far = Quad(2, 0, 4, 1, 0xFF00FF00);
  for (auto& V : Near) V.Z = 0.25f;
  for (auto& V : Far) V.Z = 0.75f;
  Near.insert(Near.end(), Far.begin(), Far.end());
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Near, 4));
  EXPECT_EQ(0xFFFF0000u, Pixel(0, 0));
  EXPECT_EQ(0xFF000000u, Pixel(3, 0));  // behind the cleared depth
}

TEST_P(DeviceTest, ManagedTexturesSurviveResetDefaultPoolResourcesBlockIt) {
  MakeDevice(2, 1);
  auto Texture = MakeTexture(2, 1, {0xFF112233, 0xFF445566});
  ComPtr<IDirect3DVertexBuffer9> Buffer;
  ASSERT_EQ(D3D_OK, Device->CreateVertexBuffer(64, D3DUSAGE_DYNAMIC, 0, D3DPOOL_DEFAULT, Buffer.Put(), nullptr));
  D3DPRESENT_PARAMETERS P = WindowedParams(2, 1);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Reset(&P));
  // A failed reset leaves the device lost until a reset succeeds.
  EXPECT_EQ(D3DERR_DEVICENOTRESET, Device->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICELOST, Device->Present(nullptr, nullptr, nullptr, nullptr));
  Buffer = nullptr;
  ASSERT_EQ(D3D_OK, Device->Reset(&P));
  EXPECT_EQ(D3D_OK, Device->TestCooperativeLevel());
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Device->SetTexture(0, Texture.Get());
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFF), 2));
  EXPECT_EQ(0xFF445566u, Pixel(1, 0));
}

TEST_P(DeviceTest, LostDeviceAnswersAsDirect3DDefinesIt) {
  MakeDevice(2, 2);
  Clear(0xFF0000FF);
  LoseDevices(2);  // two polls still lost, then resettable
  EXPECT_EQ(D3DERR_DEVICELOST, Device->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(D3DERR_DEVICELOST, Device->TestCooperativeLevel());
  D3DPRESENT_PARAMETERS P = WindowedParams(2, 2);
  // Drawing and clearing are accepted and do nothing while lost.
  EXPECT_EQ(D3D_OK, Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0));
  EXPECT_EQ(0xFF0000FFu, Pixel(0, 0));
  EXPECT_EQ(D3DERR_DEVICELOST, Device->Reset(&P));  // not yet resettable
  EXPECT_EQ(D3DERR_DEVICELOST, Device->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICENOTRESET, Device->TestCooperativeLevel());
  EXPECT_EQ(D3DERR_DEVICENOTRESET, Device->TestCooperativeLevel());
  EXPECT_EQ(D3D_OK, Device->Reset(&P));
  EXPECT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
}

TEST_P(DeviceTest, TexturesShowEveryLockAndSurviveALoss) {
  // A texture drawn, changed through a lock of part of it, drawn again; then the device is
  // lost (on GL its context is given up) and reset: the managed texture draws as before.
  MakeDevice(4, 1);
  auto Texture = MakeTexture(4, 1, {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004});
  auto Draw = [&] {
    Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    Device->SetTexture(0, Texture.Get());
    Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    EXPECT_EQ(D3D_OK, this->Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 3.5f, 0.5f, 0xFFFFFFFF), 2));
    const TFrame F = Frame();
    return std::vector<std::uint32_t>(F.Pixels.begin(), F.Pixels.end());
  };
  EXPECT_EQ((std::vector<std::uint32_t>{0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004}), Draw());
  D3DLOCKED_RECT L;
  const RECT Middle = {1, 0, 3, 1};
  ASSERT_EQ(D3D_OK, Texture->LockRect(0, &L, &Middle, 0));
  static_cast<std::uint32_t*>(L.pBits)[1] = 0xFF00AA00;
  ASSERT_EQ(D3D_OK, Texture->UnlockRect(0));
  const std::vector<std::uint32_t> Changed = {0xFF000001, 0xFF000002, 0xFF00AA00, 0xFF000004};
  EXPECT_EQ(Changed, Draw());
  LoseDevices(0);
  EXPECT_EQ(D3DERR_DEVICENOTRESET, Device->TestCooperativeLevel());
  D3DPRESENT_PARAMETERS P = WindowedParams(4, 1);
  ASSERT_EQ(D3D_OK, Device->Reset(&P));
  EXPECT_EQ(Changed, Draw());
}

TEST_P(DeviceTest, PresentGoesToTheWindowsPresenterOrIsKept) {
  MakeDevice(3, 2, D3DFMT_X8R8G8B8);
  Clear(0x00102030);
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  const TFrame* Kept = PresentedFrame(TestWindow());
  ASSERT_NE(nullptr, Kept);
  EXPECT_EQ(3, Kept->Width);
  EXPECT_EQ(2, Kept->Height);
  EXPECT_EQ(0xFF102030u, Kept->Pixel(2, 1));  // a target without alpha presents opaque
  // Later frames change places with the kept one and are made opaque as they are drawn:
  // only cleared, or drawn over in part.
  Clear(0x00203040);
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0xFF203040u, PresentedFrame(TestWindow())->Pixel(1, 1));
  Clear(0x00000000);
  ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 1, 2, 0x20FF0000));
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0xFFFF0000u, PresentedFrame(TestWindow())->Pixel(0, 1));
  EXPECT_EQ(0xFF000000u, PresentedFrame(TestWindow())->Pixel(2, 1));
  Clear(0x00111111);
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(0xFF111111u, PresentedFrame(TestWindow())->Pixel(2, 0));

  int Shown = 0;
  std::uint32_t Seen = 0;
  RegisterPresenter(TestWindow(7), [&](const TFrame& F) {
    ++Shown;
    Seen = F.Pixel(0, 0);
  });
  Clear(0x00405060);
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, TestWindow(7), nullptr));
  EXPECT_EQ(1, Shown);
  EXPECT_EQ(0xFF405060u, Seen);
  EXPECT_EQ(1, PresentCount(TestWindow(7)));
  UnregisterPresenter(TestWindow(7));
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, TestWindow(7), nullptr));
  EXPECT_EQ(1, Shown);
  const RECT R = {0, 0, 1, 1};
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Present(&R, nullptr, nullptr, nullptr));
}

TEST_F(SoftDeviceTest, BufferPresenterLendsTheMemoryFramesAreDrawnInto) {
  // Two buffers with a pitch of their own, lent in turn: each frame is drawn straight into
  // one and shown from there; unregistering hands the frame back to the device.
  MakeDevice(3, 2, D3DFMT_X8R8G8B8);
  constexpr int Pitch = 5;
  std::vector<std::uint32_t> Buffers[2] = {std::vector<std::uint32_t>(Pitch * 2, 0xDEAD),
                                           std::vector<std::uint32_t>(Pitch * 2, 0xDEAD)};
  std::vector<const std::uint32_t*> Shown;
  std::vector<std::uint32_t> Corner;
  int Lent = 0;
  RegisterBufferPresenter(TestWindow(), {[&](int W, int H, TFrameBuffer& B) {
                                           B = {Buffers[Lent++ % 2].data(), W, H, Pitch, {}};
                                           return true;
                                         },
                                         [&](const TFrameBuffer& B) {
                                           Shown.push_back(B.Pixels);
                                           Corner.push_back(B.Pixels[B.Pitch + 2] & 0xFFFFFF);
                                         }});
  for (std::uint32_t Color : {0x102030u, 0x405060u, 0x708090u}) {
    Clear(Color);
    ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 1, 1, 0xFF0000FF));
    ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  }
  ASSERT_EQ(3u, Shown.size());
  EXPECT_NE(Buffers[0].data(), Shown[0]);  // the first frame is the device's own
  EXPECT_EQ(Buffers[0].data(), Shown[1]);
  EXPECT_EQ(Buffers[1].data(), Shown[2]);
  EXPECT_EQ((std::vector<std::uint32_t>{0x102030u, 0x405060u, 0x708090u}), Corner);
  EXPECT_EQ(0xFF0000FFu, Buffers[1][0] | 0xFF000000u);
  EXPECT_EQ(0xDEADu, Buffers[1][3]);  // beyond the width of a row: untouched
  EXPECT_EQ(nullptr, PresentedFrame(TestWindow()));
  EXPECT_EQ(3, PresentCount(TestWindow()));

  // Drawing now goes into Buffers[0], until unregistering copies the frame back.
  Clear(0x00ABCDEF);
  EXPECT_EQ(0xFFABCDEFu, Pixel(2, 1));
  EXPECT_EQ(0xABCDEFu, Buffers[0][Pitch + 2] & 0xFFFFFF);
  UnregisterPresenter(TestWindow());
  Buffers[0].assign(Buffers[0].size(), 0);
  EXPECT_EQ(0xFFABCDEFu, Pixel(2, 1));
  ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  ASSERT_NE(nullptr, PresentedFrame(TestWindow()));
  EXPECT_EQ(0xFFABCDEFu, PresentedFrame(TestWindow())->Pixel(0, 1));
}

TEST_P(DeviceTest, FramesReadBackThroughSurfacesAsOnWindows) {
  MakeDevice(3, 2, D3DFMT_X8R8G8B8);
  Clear(0x00ABCDEF);
  ComPtr<IDirect3DSurface9> Back, Copy;
  ASSERT_EQ(D3D_OK, Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, Back.Put()));
  ASSERT_EQ(D3D_OK, Device->CreateOffscreenPlainSurface(3, 2, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, Copy.Put(), nullptr));
  ASSERT_EQ(D3D_OK, Device->GetRenderTargetData(Back.Get(), Copy.Get()));
  D3DLOCKED_RECT L;
  ASSERT_EQ(D3D_OK, Copy->LockRect(&L, nullptr, D3DLOCK_READONLY));
  const auto* Row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(L.pBits) + L.Pitch);
  EXPECT_EQ(0xFFABCDEFu, Row[2]);
  ASSERT_EQ(D3D_OK, Copy->UnlockRect());
  // The back buffer is not lockable unless asked for, and holding it blocks a reset.
  EXPECT_EQ(D3DERR_INVALIDCALL, Back->LockRect(&L, nullptr, 0));
  D3DPRESENT_PARAMETERS P = WindowedParams(3, 2, D3DFMT_X8R8G8B8);
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->Reset(&P));
  Back = nullptr;
  EXPECT_EQ(D3D_OK, Device->Reset(&P));
  ComPtr<IDirect3DSurface9> Small;
  ASSERT_EQ(D3D_OK, Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, Back.Put()));
  ASSERT_EQ(D3D_OK, Device->CreateOffscreenPlainSurface(2, 2, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, Small.Put(), nullptr));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->GetRenderTargetData(Back.Get(), Small.Get()));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->GetRenderTargetData(Copy.Get(), Back.Get()));
  EXPECT_EQ(D3DERR_INVALIDCALL, Device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, Small.Put()));
}

TEST_P(DeviceTest, CallLogRecordsNamesArgumentsAndResults) {
  MakeDevice(2, 2);
  CallLog().Clear();
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetTexture(20, nullptr);
  ASSERT_EQ(2u, CallLog().Calls().size());
  const TCall& First = CallLog().Calls()[0];
  EXPECT_STREQ("SetRenderState", First.Name);
  EXPECT_EQ(static_cast<std::uint64_t>(D3DRS_ALPHABLENDENABLE), First.Arg(0));
  EXPECT_EQ(1u, First.Arg(1));
  EXPECT_EQ("SetRenderState(27, 1) = 0x00000000", First.Text());
  EXPECT_EQ(D3DERR_INVALIDCALL, CallLog().Calls()[1].Result);
  EXPECT_EQ(1, CallLog().Count("SetTexture"));
}

TEST_P(DeviceTest, InjectedFailuresCountDown) {
  MakeDevice(2, 2);
  FailNext("BeginScene", 2, E_FAIL);
  EXPECT_EQ(E_FAIL, Device->BeginScene());
  EXPECT_EQ(E_FAIL, Device->BeginScene());
  EXPECT_EQ(D3D_OK, Device->BeginScene());
  FailNext("EndScene", 3);
  FailNext("EndScene", 0);  // cancels
  EXPECT_EQ(D3D_OK, Device->EndScene());
}

TEST_P(DeviceTest, ObjectsLiveWhileReferencedAndNoLonger) {
  MakeDevice(2, 2);
  auto Texture = MakeTexture(1, 1, {0xFF00FF00});
  const int Before = LiveObjects();
  Device->SetTexture(0, Texture.Get());
  IDirect3DTexture9* Raw = Texture.Detach();
  EXPECT_EQ(1u, Raw->Release());  // the device still holds it
  EXPECT_EQ(Before, LiveObjects());
  Device->SetTexture(0, nullptr);
  EXPECT_EQ(Before - 1, LiveObjects());
  // A resource outliving its device answers without reaching it.
  ComPtr<IDirect3DVertexBuffer9> Buffer;
  ASSERT_EQ(D3D_OK, Device->CreateVertexBuffer(28, 0, QuadFVF, D3DPOOL_MANAGED, Buffer.Put(), nullptr));
  Device = nullptr;
  Direct3D = nullptr;
  IDirect3DDevice9* Owner = nullptr;
  EXPECT_EQ(D3DERR_INVALIDCALL, Buffer->GetDevice(&Owner));
  Buffer = nullptr;
  EXPECT_EQ(0, LiveObjects());
}

TEST_P(DeviceTest, NonFiniteVerticesDrawNothing) {
  MakeDevice(4, 4);
  Clear(0xFF000000);
  auto Q = Quad(0, 0, 4, 4, 0xFFFFFFFF);
  Q[0].X = std::numeric_limits<float>::quiet_NaN();
  Q[4].Y = std::numeric_limits<float>::infinity();
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Q, 2));
  EXPECT_EQ(0xFF000000u, Pixel(1, 1));
  // Huge coordinates are clamped, not overflowed.
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-1e30f, -1e30f, 1e30f, 1e30f, 0xFF0000FF, -1e9f, 0, 1e9f, 1), 2));
  EXPECT_EQ(0xFF0000FFu, Pixel(2, 2));
}

}  // namespace
}  // namespace qel::soft::testing
