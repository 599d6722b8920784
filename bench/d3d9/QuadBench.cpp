// Full-screen quads through the Direct3D 9 interface, against a memcpy of the frame in the
// same run: "quad NAME: X.XX ms, R.RRx memcpy". Figures, not pass/fail.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/d3d9api.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr int Width = 1920, Height = 1080;

struct TVertex {
  float X, Y, Z, Rhw;
  DWORD Diffuse;
  float U, V;
};
constexpr DWORD FVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Milliseconds per run of each piece of work, the best of several rounds. The pieces take
// turns within every round, so a busy machine slows them alike and their ratio holds.
template <class TA, class TB>
void BestMs(int Runs, TA WorkA, TB WorkB, double& MsA, double& MsB) {
  MsA = MsB = 1e300;
  auto Time = [&](auto& Work) {
    const auto Start = TClock::now();
    for (int i = 0; i < Runs; ++i) Work();
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count() / Runs;
  };
  for (int Round = 0; Round < 15; ++Round) {
    MsA = std::min(MsA, Time(WorkA));
    MsB = std::min(MsB, Time(WorkB));
  }
}

bool Check(HRESULT R, const char* What) {
  if (FAILED(R)) std::fprintf(stderr, "%s failed: 0x%08X\n", What, static_cast<unsigned>(R));
  return SUCCEEDED(R);
}

}  // namespace

int main() {
  using qel::ComPtr;
  auto Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  if (!Direct3D) return 1;
  D3DPRESENT_PARAMETERS P = {};
  P.BackBufferWidth = Width;
  P.BackBufferHeight = Height;
  P.BackBufferFormat = D3DFMT_X8R8G8B8;
  P.SwapEffect = D3DSWAPEFFECT_DISCARD;
  P.hDeviceWindow = reinterpret_cast<HWND>(std::uintptr_t{1});
  P.Windowed = TRUE;
  P.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  ComPtr<IDirect3DDevice9> Device;
  if (!Check(Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, P.hDeviceWindow,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &P, Device.Put()),
             "CreateDevice"))
    return 1;

  // A 256 x 256 texture with varied colour and alpha.
  ComPtr<IDirect3DTexture9> Texture;
  if (!Check(Device->CreateTexture(256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, Texture.Put(), nullptr),
             "CreateTexture"))
    return 1;
  D3DLOCKED_RECT Lock;
  if (!Check(Texture->LockRect(0, &Lock, nullptr, 0), "LockRect")) return 1;
  std::uint32_t Seed = 12345;
  for (int y = 0; y < 256; ++y) {
    auto* Row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(Lock.pBits) + y * Lock.Pitch);
    for (int x = 0; x < 256; ++x) {
      Seed = Seed * 1664525u + 1013904223u;
      Row[x] = Seed ^ (Seed >> 15);
    }
  }
  Texture->UnlockRect(0);

  // The quad as the engine's batcher sends it: moved by half a pixel, two triangles.
  const DWORD Color = 0xC0FFE0C0;
  const float L = -0.5f, T = -0.5f, R = Width - 0.5f, B = Height - 0.5f;
  const TVertex Quad[6] = {{L, T, 0, 1, Color, 0, 0}, {R, T, 0, 1, Color, 1, 0}, {L, B, 0, 1, Color, 0, 1},
                           {R, T, 0, 1, Color, 1, 0}, {R, B, 0, 1, Color, 1, 1}, {L, B, 0, 1, Color, 0, 1}};
  ComPtr<IDirect3DVertexBuffer9> Buffer;
  if (!Check(Device->CreateVertexBuffer(sizeof Quad, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, FVF, D3DPOOL_DEFAULT,
                                        Buffer.Put(), nullptr),
             "CreateVertexBuffer"))
    return 1;
  void* Data;
  Buffer->Lock(0, sizeof Quad, &Data, D3DLOCK_DISCARD);
  std::memcpy(Data, Quad, sizeof Quad);
  Buffer->Unlock();

  Device->SetStreamSource(0, Buffer.Get(), 0, sizeof(TVertex));
  Device->SetFVF(FVF);
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Device->SetRenderState(D3DRS_LIGHTING, FALSE);
  Device->SetTexture(0, Texture.Get());
  Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0);

  std::vector<std::uint32_t> From(std::size_t{Width} * Height, 0x12345678), To(std::size_t{Width} * Height);
  auto Copy = [&] {
    std::memcpy(To.data(), From.data(), From.size() * 4);
    From[To[7] % From.size()] ^= 1;  // keeps the copy from being optimised away
  };

  struct TCase {
    const char* Name;
    DWORD DestBlend;
  };
  for (const TCase& Case : {TCase{"alpha", D3DBLEND_INVSRCALPHA}, TCase{"additive", D3DBLEND_ONE}}) {
    Device->SetRenderState(D3DRS_DESTBLEND, Case.DestBlend);
    bool Ok = true;
    auto DrawQuad = [&] {
      Ok &= SUCCEEDED(Device->BeginScene());
      Ok &= SUCCEEDED(Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2));
      Ok &= SUCCEEDED(Device->EndScene());
    };
    double Ms, Memcpy;
    BestMs(8, DrawQuad, Copy, Ms, Memcpy);
    if (!Ok) return 1;
    std::printf("quad %s: %.2f ms, %.2fx memcpy\n", Case.Name, Ms, Ms / Memcpy);
    std::fprintf(stderr, "(memcpy of the %dx%d frame: %.3f ms)\n", Width, Height, Memcpy);
  }
  return 0;
}
