// Deferred, tiled and threaded drawing must not show in the pixels: random scenes drawn
// with any number of threads, any tile size and the fast paths on or off give one frame.
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/d3d9/soft/DrawStateTable.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "platform/d3d9/soft/TileRenderer.h"
#include "tests/platform/d3d9/DeviceFixture.h"

namespace qel::soft::testing {
namespace {

class TiledDrawingTest : public SoftDeviceTest {
 protected:
  struct TBatch {
    std::vector<TQuadVertex> Vertices;
    int Texture;  // -1: none
    DWORD ColorOp, SrcBlend, DestBlend, Filter;
    bool Blend;
  };

  // A scene of the shapes the screensaver draws (a tint, a stretched picture multiplied in,
  // a picture at one texel a pixel, strips of a texture of uniform rows added) and of random
  // triangles under random states.
  static std::vector<TBatch> RandomScene(std::uint32_t Seed, int W, int H) {
    std::mt19937 Random(Seed);
    auto Real = [&](double Low, double High) { return std::uniform_real_distribution<double>(Low, High)(Random); };
    auto Pick = [&](int N) { return static_cast<int>(Random() % static_cast<std::uint32_t>(N)); };
    const float Wf = static_cast<float>(W), Hf = static_cast<float>(H);
    std::vector<TBatch> Scene;
    Scene.push_back({Quad(0, 0, Wf, Hf, 0x40FF8040), -1, D3DTOP_MODULATE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
                     D3DTEXF_LINEAR, true});
    // A shape of one colour over the whole frame, under the blend of a seed: a tile that a
    // clear and such shapes leave all one colour is filled once.
    const DWORD SrcFactors[] = {D3DBLEND_SRCALPHA, D3DBLEND_ZERO, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLEND_DESTCOLOR};
    const DWORD DestFactors[] = {D3DBLEND_INVSRCALPHA, D3DBLEND_SRCCOLOR, D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLEND_ZERO};
    const int Mode = static_cast<int>(Seed % 5);
    Scene.push_back({{{-Wf, -Hf, 0, 1, 0x9060A0F0, 0, 0}, {3 * Wf, -Hf, 0, 1, 0x9060A0F0, 0, 0},
                      {-Wf, 3 * Hf, 0, 1, 0x9060A0F0, 0, 0}},
                     -1, D3DTOP_MODULATE, SrcFactors[Mode], DestFactors[Mode], D3DTEXF_POINT, Mode != 3});
    Scene.push_back({Quad(-0.5f, -0.5f, Wf - 0.5f, Hf - 0.5f, 0xC0FF8040), 0, D3DTOP_MODULATE, D3DBLEND_ZERO,
                     D3DBLEND_SRCCOLOR, D3DTEXF_LINEAR, true});
    Scene.push_back({Quad(-0.5f, -0.5f, Wf - 0.5f, Hf - 0.5f, 0x3FFFFFFF, 0, 0, Wf / 64, Hf / 64), 1,
                     D3DTOP_MODULATE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_LINEAR, true});
    for (int Strip = 0; Strip < 3; ++Strip) {
      std::vector<TQuadVertex> V;
      float Qx = -20, Qy = static_cast<float>(Real(0, H));
      for (float X = 1; Qx < Wf + 20; Qx = X, X += 23) {
        const float Y = static_cast<float>(Real(0, H)), Thick = static_cast<float>(Real(5, 40));
        const TQuadVertex A{Qx - 0.5f, Qy - 0.5f, 0, 1, 0x5AFFFFFF, 0, 0}, B{X - 0.5f, Y - 0.5f, 0, 1, 0x5AFFFFFF, 1, 0};
        const TQuadVertex C{X - 0.5f, Y + Thick, 0, 1, 0x5AFFFFFF, 1, 1}, D{Qx - 0.5f, Qy + Thick, 0, 1, 0x5AFFFFFF, 0, 1};
        V.insert(V.end(), {A, B, D, B, C, D});
        Qy = Y;
      }
      Scene.push_back({V, 2, D3DTOP_MODULATE, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DTEXF_LINEAR, true});
    }
    const DWORD Factors[] = {D3DBLEND_ZERO,         D3DBLEND_ONE,         D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCALPHA,
                             D3DBLEND_SRCALPHA,     D3DBLEND_DESTCOLOR,   D3DBLEND_INVDESTCOLOR};
    const DWORD Ops[] = {D3DTOP_MODULATE, D3DTOP_SELECTARG1, D3DTOP_ADD};
    for (int i = 0; i < 12; ++i) {
      std::vector<TQuadVertex> V;
      for (int t = 0; t < 1 + Pick(4); ++t)
        for (int k = 0; k < 3; ++k) {
          const std::uint32_t Color = Pick(2) ? 0xFFFFFFFF : static_cast<std::uint32_t>(Random());
          V.push_back({static_cast<float>(Real(-20, W + 20)), static_cast<float>(Real(-20, H + 20)), 0, 1, Color,
                       static_cast<float>(Real(-2, 3)), static_cast<float>(Real(-2, 3))});
        }
      Scene.push_back({V, Pick(4) - 1, Ops[Pick(3)], Factors[Pick(7)], Factors[Pick(7)],
                       Pick(2) ? D3DTEXF_LINEAR : D3DTEXF_POINT, Pick(4) != 0});
    }
    return Scene;
  }

  // ClearAll: the frame starts with a clear of the whole target (else only of a rectangle).
  TFrame DrawScene(const std::vector<TBatch>& Scene, const std::vector<ComPtr<IDirect3DTexture9>>& Textures,
                   bool ClearAll = true) {
    std::vector<TQuadVertex> All;
    for (const TBatch& B : Scene) All.insert(All.end(), B.Vertices.begin(), B.Vertices.end());
    ComPtr<IDirect3DVertexBuffer9> Buffer;
    const UINT Bytes = static_cast<UINT>(All.size() * sizeof(TQuadVertex));
    EXPECT_EQ(D3D_OK, Device->CreateVertexBuffer(Bytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, QuadFVF,
                                                 D3DPOOL_DEFAULT, Buffer.Put(), nullptr));
    void* Data = nullptr;
    EXPECT_EQ(D3D_OK, Buffer->Lock(0, Bytes, &Data, D3DLOCK_DISCARD));
    std::memcpy(Data, All.data(), Bytes);
    Buffer->Unlock();
    Device->SetStreamSource(0, Buffer.Get(), 0, sizeof(TQuadVertex));
    Device->SetFVF(QuadFVF);
    Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    if (ClearAll) Device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    const D3DRECT Rect{3, 2, 40, 29};
    Device->Clear(1, &Rect, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    EXPECT_EQ(D3D_OK, Device->BeginScene());
    UINT First = 0;
    for (const TBatch& B : Scene) {
      Device->SetTexture(0, B.Texture < 0 ? nullptr : Textures[static_cast<std::size_t>(B.Texture)].Get());
      Device->SetTextureStageState(0, D3DTSS_COLOROP, B.ColorOp);
      Device->SetTextureStageState(0, D3DTSS_ALPHAOP, B.ColorOp);
      Device->SetSamplerState(0, D3DSAMP_MAGFILTER, B.Filter);
      Device->SetSamplerState(0, D3DSAMP_MINFILTER, B.Filter);
      Device->SetRenderState(D3DRS_ALPHABLENDENABLE, B.Blend);
      Device->SetRenderState(D3DRS_SRCBLEND, B.SrcBlend);
      Device->SetRenderState(D3DRS_DESTBLEND, B.DestBlend);
      const UINT Count = static_cast<UINT>(B.Vertices.size());
      EXPECT_EQ(D3D_OK, Device->DrawPrimitive(D3DPT_TRIANGLELIST, First, Count / 3));
      First += Count;
    }
    EXPECT_EQ(D3D_OK, Device->EndScene());
    Device->SetStreamSource(0, nullptr, 0, 0);
    return Frame();
  }

  // A strip texture (a clear band, as in the strip of light), a picture small enough that frame
  // rows share texture rows when stretched, a larger one, and that one translucent.
  std::vector<ComPtr<IDirect3DTexture9>> SceneTextures() {
    std::vector<std::uint32_t> Rows(32 * 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x) Rows[static_cast<std::size_t>(y * 32 + x)] = 0x00FFFFFFu | (y < 10 ? y * 25u << 24 : 0u);
    std::vector<std::uint32_t> Translucent = Picture();
    for (std::size_t i = 0; i < Translucent.size(); ++i) Translucent[i] ^= static_cast<std::uint32_t>(i * 7 % 256) << 24;
    return {MakeTexture(32, 32, Picture()), MakeTexture(64, 64, Picture()), MakeTexture(32, 16, Rows),
            MakeTexture(64, 64, Translucent)};
  }
  // A presenter lending one W x H buffer for every frame, its rows further apart for six frames
  // in twelve; it keeps the frame it is shown (made opaque: the alpha of such memory is
  // undefined) and checks that it changed only where told.
  TBufferPresenter LendingPresenter(std::vector<std::uint32_t>& Lent, int W, int H, TFrame& Shown,
                                    int* Unchanged = nullptr, int* InPart = nullptr) {
    Lent.assign(static_cast<std::size_t>(W + 3) * H, 0);
    auto Lend = [&Lent, W, H, Lends = 0](int Width, int Height, TFrameBuffer& B) mutable {
      B = {Lent.data(), Width, Height, Width + (Lends++ % 12 >= 6) * 3, {}};
      return Width == W && Height == H;
    };
    auto Show = [&Shown, W, H, Unchanged, InPart](const TFrameBuffer& B) {
      const TFrame Before = Shown;
      Shown.Width = W, Shown.Height = H;
      Shown.Pixels.resize(static_cast<std::size_t>(W) * H);
      for (int y = 0; y < H; ++y)
        std::copy_n(B.Pixels + static_cast<std::size_t>(y) * B.Pitch, W, Shown.Pixels.begin() + y * W);
      for (auto& P : Shown.Pixels) P |= 0xFF000000u;
      ASSERT_LE(B.Changed.size(), MaxChangedRects);
      std::vector<bool> Changed(static_cast<std::size_t>(W) * H);
      int Top = 0, Area = 0;
      for (const TPixelRect& R : B.Changed) {
        ASSERT_TRUE(R.Top >= Top && R.Top < R.Bottom && R.Bottom <= H && R.Left >= 0 && R.Left < R.Right && R.Right <= W);
        Top = R.Bottom;
        Area += (R.Right - R.Left) * (R.Bottom - R.Top);
        for (int y = R.Top; y < R.Bottom; ++y)
          for (int x = R.Left; x < R.Right; ++x) Changed[static_cast<std::size_t>(y) * W + x] = true;
      }
      if (Unchanged) *Unchanged += B.Changed.empty();
      if (InPart) *InPart += Area > 0 && Area < W * H;
      if (Before.Pixels.size() != Shown.Pixels.size()) return;
      for (std::size_t i = 0; i < Shown.Pixels.size(); ++i)
        ASSERT_TRUE(Changed[i] || Before.Pixels[i] == Shown.Pixels[i]) << "pixel " << i % W << "," << i / W;
    };
    return {Lend, Show};
  }
  // Draws the vertices' own colours, without a texture or blending.
  HRESULT DrawPlain(D3DPRIMITIVETYPE Type, const std::vector<TQuadVertex>& Vertices, UINT Primitives) {
    Device->SetTexture(0, nullptr);
    Device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    return Draw(Type, Vertices, Primitives);
  }
  // Writes every byte of the back buffer directly.
  void WriteBackBuffer(int Height) {
    ComPtr<IDirect3DSurface9> Back;
    D3DLOCKED_RECT L;
    EXPECT_EQ(D3D_OK, Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, Back.Put()));
    EXPECT_EQ(D3D_OK, Back->LockRect(&L, nullptr, 0));
    for (int y = 0; y < Height; ++y) std::memset(static_cast<std::uint8_t*>(L.pBits) + y * L.Pitch, 0x5A, L.Pitch);
    EXPECT_EQ(D3D_OK, Back->UnlockRect());
  }
  // The back buffer as stored, alpha included (the frame read back is made opaque).
  std::vector<std::uint32_t> StoredBackBuffer(int W, int H) {
    ComPtr<IDirect3DSurface9> Back;
    D3DLOCKED_RECT L;
    std::vector<std::uint32_t> Pixels(static_cast<std::size_t>(W) * H);
    EXPECT_EQ(D3D_OK, Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, Back.Put()));
    EXPECT_EQ(D3D_OK, Back->LockRect(&L, nullptr, D3DLOCK_READONLY));
    for (int y = 0; y < H; ++y) std::memcpy(&Pixels[static_cast<std::size_t>(y) * W], static_cast<const std::uint8_t*>(L.pBits) + y * L.Pitch, W * 4u);
    EXPECT_EQ(D3D_OK, Back->UnlockRect());
    return Pixels;
  }
  static std::vector<std::uint32_t> Picture(std::uint32_t Salt = 0) {
    std::vector<std::uint32_t> P(64 * 64);
    for (std::size_t i = 0; i < P.size(); ++i)
      P[i] = 0xFF000000u | static_cast<std::uint32_t>((i + Salt) * 2654435761u >> 8);
    return P;
  }
};

TEST_F(TiledDrawingTest, ThreadsTilesAndFastPathsGiveTheSameFrame) {
  constexpr int W = 157, H = 93;
  MakeDevice(W, H, D3DFMT_X8R8G8B8);
  std::vector<std::uint32_t> Busy(5 * 7);
  std::mt19937 Random(99);
  for (auto& T : Busy) T = static_cast<std::uint32_t>(Random());
  const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
  std::vector<ComPtr<IDirect3DTexture9>> WithBusy = Textures;
  WithBusy[1] = MakeTexture(5, 7, Busy);

  struct TConfig {
    bool Fast;
    TDrawSettings Settings;
  };
  const TConfig Configs[] = {{false, {0, 0, 0, false}}, {true, {0, 0, 0}},  {true, {2, 0, 16}},
                             {true, {3, 16, 8}},         {true, {4, 7, 5}},  {false, {2, 33, 1}}, {true, {-1, 0, 32}}};
  for (std::uint32_t Seed = 1; Seed <= 10; ++Seed) {
    const auto Scene = RandomScene(Seed, W, H);
    const auto& Set = Seed % 2 ? Textures : WithBusy;
    TFrame Reference;
    for (const TConfig& C : Configs) {
      UseFastPaths(C.Fast);
      ASSERT_TRUE(SetDrawSettings(Device.Get(), C.Settings));
      const TFrame F = DrawScene(Scene, Set);
      if (Reference.Pixels.empty()) {
        Reference = F;
        continue;
      }
      for (std::size_t i = 0; i < F.Pixels.size(); ++i)
        ASSERT_EQ(Reference.Pixels[i], F.Pixels[i])
            << "seed " << Seed << ", fast " << C.Fast << ", threads " << C.Settings.Threads << ", tile "
            << C.Settings.TileWidth << "x" << C.Settings.TileHeight << ", pixel " << i % W << "," << i / W;
    }
  }
}

// Frames after frames, as a screensaver draws them: tiles that start with the same commands
// as in the frame before start from what they held then, and frame buffers that still hold
// it are only mended where drawn over; whatever changed (a strip, a texture's contents, a
// state, the tiles, the back buffer itself) must show exactly as when every frame is drawn in
// full. A presenter is told where a frame differs from the one it showed before: nowhere else.
TEST_F(TiledDrawingTest, FramesThatRepeatTheirStartGiveTheFramesDrawnInFull) {
  constexpr int W = 131, H = 77;
  // Shown opaque once frames are presented by swapping; the back buffer can be written directly.
  Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  D3DPRESENT_PARAMETERS P = WindowedParams(W, H, D3DFMT_X8R8G8B8);
  P.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  ASSERT_EQ(D3D_OK, Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, TestWindow(),
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, &P, Device.Put()));
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  Device->SetRenderState(D3DRS_LIGHTING, FALSE);
  const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
  const auto Base = RandomScene(1, W, H);
  auto SetPicture = [&](std::uint32_t Salt) {
    D3DLOCKED_RECT L;
    EXPECT_EQ(D3D_OK, Textures[0]->LockRect(0, &L, nullptr, 0));
    const auto P = Picture(Salt);
    for (int y = 0; y < 32; ++y) std::memcpy(static_cast<std::uint8_t*>(L.pBits) + y * L.Pitch, &P[y * 32], 32 * 4);
    EXPECT_EQ(D3D_OK, Textures[0]->UnlockRect(0));
  };
  // Lend: frames are drawn into one presenter's memory, lent again for every frame.
  std::vector<std::uint32_t> Lent(W * H);
  TFrame Shown;
  int Unchanged = 0, InPart = 0;  // frames shown with nothing changed, with some parts changed
  auto Sequence = [&](bool Fast, int Threads, bool Lend) {
    UseFastPaths(Fast);
    SetPicture(0);
    if (Lend)
      RegisterBufferPresenter(TestWindow(), LendingPresenter(Lent, W, H, Shown, &Unchanged, &InPart));
    std::vector<TFrame> Frames;
    for (int f = 0; f < 18; ++f) {
      auto Scene = Base;
      Scene[5] = RandomScene(100 + f / 2, W, H)[5];  // one strip moves every second frame,
      for (TQuadVertex& V : Scene[5].Vertices) V.Y *= 0.4f;  // in the upper half
      if (f % 3) Scene.resize(6);  // the strips last: frames that only add on top
      if (f == 6) SetPicture(7);                     // the stretched picture changes its contents
      if (f >= 9)                                    // the picture drawn over it moves
        for (TQuadVertex& V : Scene[3].Vertices) V.X += 0.25f;
      if (f >= 11) Scene[2].Filter = D3DTEXF_POINT;  // a state of the background changes
      if (f == 3) WriteBackBuffer(H);                // the back buffer is written directly
      // The reference: every frame drawn in full by the general path.
      EXPECT_TRUE(SetDrawSettings(Device.Get(), {Threads, 0, f >= 13 ? 16 : 8, Fast}));
      DrawScene(Scene, Textures);
      EXPECT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
      Frames.push_back(Lend ? Shown : *PresentedFrame(TestWindow()));
    }
    if (Lend) {
      UnregisterPresenter(TestWindow());
      EXPECT_GT(Unchanged, 0);
      EXPECT_GT(InPart, 0);
    }
    return Frames;
  };
  const auto Reference = Sequence(false, 0, false);
  for (const std::string& Variant : RowKernelVariants()) {
    ASSERT_TRUE(UseRowKernelVariant(Variant));
    for (int Run = 0; Run < 3; ++Run) {
      const auto Frames = Sequence(true, Run == 1 ? 2 : 0, Run == 2);
      for (std::size_t f = 0; f < Frames.size(); ++f)
        for (std::size_t i = 0; i < Frames[f].Pixels.size(); ++i)
          ASSERT_EQ(Reference[f].Pixels[i], Frames[f].Pixels[i])
              << Variant << ", frame " << f << ", run " << Run << ", pixel " << i % W << "," << i / W;
    }
  }
}

// Random sequences of frames as a screensaver draws them, with tiles remembered, against the
// same frames drawn in full. Seeded, so a failure repeats: layers picked at random (among them
// the saver without its desktop picture: a clear, a tint, a picture multiplied in and strips
// added), tiles down to a few pixels, thin shapes moving over a start that stays (ending inside
// small tiles), a new device each time so that the first frames are drawn before any swap
// (some not presented), the back buffer written directly, texture contents changing, and
// presenters lending memory told where frames changed.
TEST_F(TiledDrawingTest, RandomFrameSequencesGiveTheFramesDrawnInFull) {
  // Many: small shapes that stay, under states changing far more often than a frame of the saver's.
  // Over: a picture at one texel a pixel blended over the multiplied one, translucent for most seeds.
  enum TLayer { Desktop = 1, Tint = 2, Multiply = 4, Many = 8, Strips = 16, Thin = 32, Shapes = 64, Over = 128 };
  struct TFramePlan {
    std::vector<TBatch> Scene;
    TDrawSettings Settings;
    bool Present, Lock;
    std::uint32_t Salt;  // of the multiplied picture's contents
  };
  for (std::uint32_t Seed = 1; Seed <= 24; ++Seed) {
    std::mt19937 Random(Seed);
    auto Pick = [&](int N) { return static_cast<int>(Random() % static_cast<std::uint32_t>(N)); };
    auto Real = [&](double Low, double High) { return std::uniform_real_distribution<double>(Low, High)(Random); };
    // The saver's steady frames: strips moving over a start that stays, from the first frames
    // on (drawn before any swap, then in buffers shown opaque by swapping), in half of them
    // with a picture over the multiplied one; tall enough for that one's rows to be cached.
    const bool Saver = Seed % 4 == 0;
    const int W = Saver ? 32 + Pick(33) : 24 + Pick(70), H = Saver ? 64 + Pick(12) : 16 + Pick(60);
    const float Wf = static_cast<float>(W), Hf = static_cast<float>(H);
    const int Layers = Saver ? Tint | Multiply | Strips | (Seed % 8 == 4 ? Over : 0) : 1 + Pick(255);
    const bool Lend = !Saver && Seed % 3 == 2;
    const D3DFORMAT Format = Saver || Pick(4) ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;
    // Moving layers change every Period frames.
    const int Period = Saver ? 1 : 1 + Pick(3);
    const bool ClearAll = Saver || Pick(4) != 0;  // else what tiles held before shows through
    std::vector<TBatch> Strip, Thins, Still;
    for (int k = 0; k < 80; ++k) {
      const float X = static_cast<float>(Real(-2, W)), Y = static_cast<float>(Real(-2, H));
      Still.push_back({Quad(X, Y, X + 3, Y + 2, 0x60000000u | static_cast<std::uint32_t>(Random() & 0xFFFFFF)), -1,
                       D3DTOP_MODULATE, D3DBLEND_SRCALPHA, k % 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA, D3DTEXF_POINT,
                       true});
    }
    std::uint32_t TintColor = 0x40FF8040, Salt = 0;
    std::vector<TFramePlan> Plan;
    for (int f = 0; f < 14; ++f) {
      if (f % Period == 0) {
        Strip = RandomScene(Seed * 100 + static_cast<std::uint32_t>(f), W, H);
        Strip.erase(Strip.begin(), Strip.begin() + 4);
        Strip.resize(1 + Pick(3));
        Thins.clear();
        for (int k = 0; k < 1 + Pick(6); ++k) {
          const float X = static_cast<float>(Real(-4, W)), Y = static_cast<float>(Real(-1, H));
          const float Long = static_cast<float>(Real(1, W / 2.0)), Thick = static_cast<float>(Real(0.2, 2.5));
          const bool Across = Pick(2);
          Thins.push_back({Quad(X, Y, X + (Across ? Long : Thick), Y + (Across ? Thick : Long),
                                0x80000000u | static_cast<std::uint32_t>(Random() & 0xFFFFFF)),
                           -1, D3DTOP_MODULATE, D3DBLEND_SRCALPHA, Pick(2) ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA,
                           D3DTEXF_POINT, true});
        }
      }
      if (f > 3 && Pick(4) == 0) TintColor = (TintColor & 0xFFFFFF) | static_cast<std::uint32_t>(Pick(256)) << 24;  // a fade
      if (Pick(8) == 0) Salt = Random();
      TFramePlan F;
      if (Layers & Desktop)
        F.Scene.push_back({Quad(-0.5f, -0.5f, Wf - 0.5f, Hf - 0.5f, 0xFFFFFFFF, 0, 0, Wf / 64, Hf / 64), 1,
                           D3DTOP_SELECTARG1, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_POINT, false});
      if (Layers & Tint)
        F.Scene.push_back({Quad(0, 0, Wf, Hf, TintColor), -1, D3DTOP_MODULATE, D3DBLEND_SRCALPHA,
                           D3DBLEND_INVSRCALPHA, D3DTEXF_POINT, true});
      if (Layers & Multiply)
        F.Scene.push_back({Quad(-0.5f, -0.5f, Wf - 0.5f, Hf - 0.5f, 0xC0FF8040), 0, D3DTOP_MODULATE, D3DBLEND_ZERO,
                           D3DBLEND_SRCCOLOR, D3DTEXF_LINEAR, true});
      if (Layers & Over)
        F.Scene.push_back({Quad(-0.5f, -0.5f, Wf - 0.5f, Hf - 0.5f, 0xA0FFFFFF, 0, 0, Wf / 64, Hf / 64), Seed % 3 ? 3 : 1,
                           D3DTOP_MODULATE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_POINT, true});
      if (Layers & Many) F.Scene.insert(F.Scene.end(), Still.begin(), Still.end());
      if (Layers & Strips) F.Scene.insert(F.Scene.end(), Strip.begin(), Strip.end());
      if (Layers & Thin) F.Scene.insert(F.Scene.end(), Thins.begin(), Thins.end());
      if ((Layers & Shapes) && Pick(2)) {
        const auto More = RandomScene(Random(), W, H);
        F.Scene.insert(F.Scene.end(), More.end() - 1 - Pick(3), More.end());
      }
      const int Tiles[] = {0, 3, 4, 7, 8, 16, 32};
      if (f == 0 || Pick(5) == 0) F.Settings = {Pick(3), Tiles[Pick(7)], 1 + Pick(16)};
      else F.Settings = Plan.back().Settings;
      F.Present = Saver || f > 2 || Pick(3) != 0;  // the first frames are sometimes drawn and not shown
      F.Lock = f > 3 && Pick(10) == 0;
      F.Salt = Salt;
      Plan.push_back(F);
    }

    auto Run = [&](bool Fast, int Build) {
      UseFastPaths(Fast);
      Direct3D = ComPtr<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
      // A window of its own, which has shown no frame: the first frames come before any swap.
      const HWND Window = TestWindow(1000 + 8 * Seed + Fast + 2 * Build);
      D3DPRESENT_PARAMETERS P = WindowedParams(W, H, Format);
      P.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
      P.hDeviceWindow = Window;
      EXPECT_EQ(D3D_OK, Direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, Window,
                                               D3DCREATE_SOFTWARE_VERTEXPROCESSING, &P, Device.Put()));
      Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      Device->SetRenderState(D3DRS_LIGHTING, FALSE);
      std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
      std::vector<std::uint32_t> Lent(static_cast<std::size_t>(W) * H);
      TFrame Shown;
      if (Lend) RegisterBufferPresenter(Window, LendingPresenter(Lent, W, H, Shown));
      std::uint32_t Salt = 0;
      std::vector<TFrame> Frames;
      for (const TFramePlan& F : Plan) {
        if (F.Salt != Salt) Textures[0] = MakeTexture(64, 64, Picture(Salt = F.Salt));
        if (F.Lock) WriteBackBuffer(H);
        TDrawSettings Settings = F.Settings;
        Settings.RememberTiles = Fast;  // the reference drawn in full
        Settings.CheckShown = Fast;     // and the device's own check of what it shows
        EXPECT_TRUE(SetDrawSettings(Device.Get(), Settings));
        DrawScene(F.Scene, Textures, ClearAll);
        if (!F.Present) continue;
        EXPECT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
        Frames.push_back(Lend ? Shown : *PresentedFrame(Window));
      }
      int Checked = 0, Differing = 0;
      EXPECT_TRUE(ShownChecks(Device.Get(), Checked, Differing));
      EXPECT_EQ(0, Differing) << "seed " << Seed;
      UnregisterPresenter(Window);
      Device = nullptr;
      return Frames;
    };
    const auto Reference = Run(false, 0);
    // With every build of the row kernels the processor runs.
    const std::vector<std::string> Builds = RowKernelVariants();
    for (std::size_t b = 0; b < Builds.size(); ++b) {
      const std::string& Variant = Builds[b];
      ASSERT_TRUE(UseRowKernelVariant(Variant));
      const auto Frames = Run(true, static_cast<int>(b));
      ASSERT_EQ(Reference.size(), Frames.size());
      for (std::size_t f = 0; f < Frames.size(); ++f)
        for (std::size_t i = 0; i < Frames[f].Pixels.size(); ++i)
          ASSERT_EQ(Reference[f].Pixels[i], Frames[f].Pixels[i])
              << Variant << ", seed " << Seed << ", frame " << f << ", pixel " << i % W << "," << i / W;
    }
  }
}

// Shapes drawn over a tile that a clear (and a tint) left all one colour, where the fast paths
// draw the first layers over that colour without filling it in: each scene against the general
// path, in buffers that held another frame before, stored alpha included (shown opaque by
// swapping, and with alpha of its own). Among them the saver's two layers drawn in one pass,
// with pairs of triangles of which only the first can be so drawn.
TEST_F(TiledDrawingTest, ShapesOverAClearedTileGiveTheFrameOfTheGeneralPath) {
  constexpr int W = 64, H = 40;
  const float Wf = W - 0.5f, Hf = H - 0.5f;
  auto Layer = [](std::vector<TQuadVertex> V, int Texture, DWORD Src, DWORD Dest, DWORD Filter = D3DTEXF_LINEAR,
                  bool Blend = true) { return TBatch{std::move(V), Texture, D3DTOP_MODULATE, Src, Dest, Filter, Blend}; };
  // Stretched: 16 texture rows over the frame's 40, so that rows are filtered across once.
  const auto Stretched = Quad(-0.5f, -0.5f, Wf, Hf, 0xA0FFE0C0, 0, 0, 0.5f, 0.25f);
  const TBatch Tint = Layer(Quad(0, 0, W, H, 0x40FF8040), -1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  const TBatch Clouds = Layer(Quad(-0.5f, -0.5f, Wf, Hf, 0xC0FF8040), 0, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR);
  // The picture over the clouds at one texel a pixel; Second changes its second triangle.
  auto Over = [&](int Texture, const std::function<void(TQuadVertex&)>& Second) {
    auto V = Quad(-0.5f, -0.5f, Wf, Hf, 0xA0FFFFFF, 0, 0, W / 64.0f, H / 64.0f);
    for (std::size_t i = 3; i < 6; ++i) Second(V[i]);
    return Layer(V, Texture, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
  };
  auto Magnified = [](TQuadVertex& V) { V.U *= 0.5f, V.V *= 0.5f; };
  auto OffCentre = [](TQuadVertex& V) { V.U += 0.25f / 64; };
  auto Same = [](TQuadVertex&) {};
  auto Gouraud = [&](std::vector<TQuadVertex> V) {
    V[4].Diffuse = 0xC0204080;
    return V;
  };
  struct TCase {
    const char* Name;
    std::vector<TBatch> Scene;
  };
  const TCase Cases[] = {
      {"a picture stretched linearly, blended by alpha", {Layer(Stretched, 3, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)}},
      {"the same, added", {Layer(Stretched, 3, D3DBLEND_SRCALPHA, D3DBLEND_ONE)}},
      {"the same, multiplied", {Layer(Stretched, 3, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR)}},
      {"the same, by points", {Layer(Stretched, 3, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DTEXF_POINT)}},
      {"the same, without blending", {Layer(Stretched, 3, D3DBLEND_ONE, D3DBLEND_ZERO, D3DTEXF_LINEAR, false)}},
      {"a tint, then the picture blended by alpha", {Tint, Layer(Stretched, 3, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA)}},
      {"the saver's layers", {Tint, Clouds, Over(1, Same)}},
      {"translucent over the clouds", {Tint, Clouds, Over(3, Same)}},
      {"over the clouds, its second triangle magnified", {Tint, Clouds, Over(3, Magnified)}},
      {"over the clouds, its second triangle off the texel centres", {Tint, Clouds, Over(1, OffCentre)}},
      {"the clouds' second triangle not of one colour",
       {Tint, Layer(Gouraud(Clouds.Vertices), 0, D3DBLEND_ZERO, D3DBLEND_SRCCOLOR), Over(3, Same)}},
  };
  const TDrawSettings Tiles[] = {{1, 0, 0, false}, {1, 32, 8, false}, {2, 64, 16, false}, {1, 16, 8, false},
                                 {1, 7, 5, false}};
  for (D3DFORMAT Format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
    MakeDevice(W, H, Format, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
    const auto Before = RandomScene(7, W, H);  // what the buffers held
    for (int f = 0; f < 2; ++f) {  // from the second on, frames are shown by swapping
      DrawScene(Before, Textures);
      ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
    }
    auto Draw = [&](const std::vector<TBatch>& Scene, bool Fast) {
      UseFastPaths(Fast);
      DrawScene(Before, Textures);
      // A target without alpha is drawn opaque, as it is shown.
      EXPECT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
      DrawScene(Scene, Textures);
      return StoredBackBuffer(W, H);
    };
    for (const TCase& C : Cases)
      for (const TDrawSettings& T : Tiles) {
        ASSERT_TRUE(SetDrawSettings(Device.Get(), T));
        const auto General = Draw(C.Scene, false);
        for (const std::string& Variant : RowKernelVariants()) {
          ASSERT_TRUE(UseRowKernelVariant(Variant));
          const auto Fast = Draw(C.Scene, true);
          for (std::size_t i = 0; i < Fast.size(); ++i)
            ASSERT_EQ(General[i], Fast[i]) << C.Name << ", format " << Format << ", " << Variant << ", tile "
                                           << T.TileWidth << "x" << T.TileHeight << ", pixel " << i % W << "," << i / W;
        }
      }
  }
  UseRowKernelVariant(RowKernelVariants().front());
}

TEST(DrawThreads, OneThreadUntilFramesComeLateThenEveryCoreUntilTheyAreCheap) {
  struct TCase {
    int Threads;
    double DrawMs;
    int Cores, Next;
  };
  for (const TCase& C : {TCase{1, 3.9, 8, 1}, TCase{1, 4.1, 8, 8}, TCase{8, 0.26, 8, 8}, TCase{8, 0.24, 8, 1},
                         TCase{2, 1.1, 2, 2}, TCase{2, 0.9, 2, 1}, TCase{1, 9.0, 1, 1}})
    EXPECT_EQ(C.Next, AutoThreads(C.Threads, C.DrawMs, C.Cores))
        << C.Threads << " threads, " << C.DrawMs << " ms, " << C.Cores << " cores";
}

TEST(DrawThreads, APoolAskedToWorkAloneRunsEveryJobOnTheCallingThread) {
  TWorkerPool Pool(3);
  for (bool Alone : {true, false}) {
    std::vector<int> Workers(64, -1);
    std::vector<std::thread::id> Threads(64);
    Pool.Run(64, [&](int Job, int Worker) {
      Workers[static_cast<std::size_t>(Job)] = Worker;
      Threads[static_cast<std::size_t>(Job)] = std::this_thread::get_id();
      std::this_thread::sleep_for(std::chrono::microseconds(200));  // long enough for helpers to join in
    }, Alone);
    for (std::size_t Job = 0; Job < Workers.size(); ++Job) {
      ASSERT_TRUE(Workers[Job] >= 0 && Workers[Job] < 3) << "job " << Job << " not run";
      if (Alone) {
        EXPECT_TRUE(Workers[Job] == 0 && Threads[Job] == std::this_thread::get_id()) << "job " << Job;
      }
    }
  }
}

TEST(DrawStates, EqualStatesAreOneObjectWhileHeld) {
  // What lets a sync point's commands be compared with the last one's by their states' addresses.
  TDrawStateTable Table;
  TPipeline A;
  A.Blend = true;
  A.SrcBlend = D3DBLEND_SRCALPHA;
  TPipeline B = A;
  B.DestBlend = D3DBLEND_ONE;
  const auto First = Table.Get(A, true);
  EXPECT_EQ(First, Table.Get(A, true));
  EXPECT_NE(First, Table.Get(B, true));
  EXPECT_NE(First, Table.Get(A, false));
  for (std::uint32_t Ref = 0; Ref < 300; ++Ref) {  // many others made and dropped meanwhile
    TPipeline C = A;
    C.AlphaRef = Ref + 1;
    EXPECT_NE(First, Table.Get(C, true));
  }
  EXPECT_EQ(First, Table.Get(A, true));
}

// A compositor lends a few buffers and holds some longer than a frame: each buffer the device
// is lent again holds a frame drawn several frames ago, or none (a buffer new mid-wave), and
// must be brought whole before it is shown: a compositor may read any pixel of it. Among the
// frames, a wave that stops (a buffer that missed frames then repeats none of them), the
// presenter gone for two frames (the frame copied back into the device's memory), and a buffer
// the presenter writes itself (lent again as not kept). Each frame shown, and the device's own
// check of it, against the same frame drawn whole.
TEST_F(TiledDrawingTest, BuffersLentInAnyOrderAreShownWhole) {
  constexpr int W = 97, H = 71;
  MakeDevice(W, H, D3DFMT_X8R8G8B8);
  const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
  const auto Base = RandomScene(3, W, H);
  auto SceneOf = [&](int f) {
    auto Scene = Base;
    Scene.resize(6);
    Scene[5] = RandomScene(200 + std::min(f, 24), W, H)[5];  // strips moving over a start that stays, then still
    for (TQuadVertex& V : Scene[5].Vertices) V.Y *= 0.5f;
    if (f >= 3 && f < 6) Scene[0].Vertices[0].Diffuse = Scene[0].Vertices[1].Diffuse = 0x10FFFFFF;  // a fade
    return Scene;
  };
  constexpr int Frames = 30;
  std::vector<TFrame> Whole;
  UseFastPaths(false);  // every frame drawn whole into memory of the device's own
  ASSERT_TRUE(SetDrawSettings(Device.Get(), {1, 0, 8, false}));
  for (int f = 0; f < Frames; ++f) {
    DrawScene(SceneOf(f), Textures);
    ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
    Whole.push_back(*PresentedFrame(TestWindow()));
  }
  UseFastPaths(true);

  // The buffer lent after each frame: three in turn, one held for two frames (lent after the
  // next), a fourth new mid-wave, one missing eight frames, one lent again at once.
  const int Order[Frames] = {0, 1, 2, 0, 1, 2, 1, 0, 1, 2, 0, 1, 0, 1, 3, 0, 3, 1, 2, 0, 1, 2, 0, 1, 1, 2, 0, 1, 2, 0};
  struct TCase {
    const char* Name;
    TDrawSettings Settings;
  };
  const TCase Cases[] = {{"one thread", {1, 0, 8, true, true}},
                         {"two threads, small tiles", {2, 16, 4, true, true}},
                         {"tiles of the whole width", {1, 0, 32, true, true}}};
  for (const TCase& C : Cases) {
    MakeDevice(W, H, D3DFMT_X8R8G8B8);
    ASSERT_TRUE(SetDrawSettings(Device.Get(), C.Settings));
    std::vector<std::vector<std::uint32_t>> Pool(4, std::vector<std::uint32_t>(static_cast<std::size_t>(W + 5) * H, 0x5A5A5A5Au));
    int Frame = 0;
    std::vector<std::uint32_t> Shown;
    TBufferPresenter Presenter;
    std::vector<bool> LentBefore(Pool.size());  // and not written since
    Presenter.Lend = [&](int Width, int Height, TFrameBuffer& B) {
      const std::size_t Pick = static_cast<std::size_t>(Order[std::min(Frame, Frames - 1)]);
      if (Frame == 20 && Pick != 2) {
        std::fill(Pool[2].begin(), Pool[2].end(), 0x00C0FFEEu);  // written by the presenter itself
        LentBefore[2] = false;
      }
      B = {Pool[Pick].data(), Width, Height, W + static_cast<int>(Pick) % 2 * 5, {}, LentBefore[Pick]};
      LentBefore[Pick] = true;
      return true;
    };
    Presenter.Show = [&](const TFrameBuffer& B) {
      Shown.resize(static_cast<std::size_t>(W) * H);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          Shown[static_cast<std::size_t>(y) * W + x] = B.Pixels[static_cast<std::size_t>(y) * B.Pitch + x] | 0xFF000000u;
    };
    RegisterBufferPresenter(TestWindow(), Presenter);
    for (Frame = 0; Frame < Frames; ++Frame) {
      DrawScene(SceneOf(Frame), Textures);
      if (Frame == 6) UnregisterPresenter(TestWindow());
      if (Frame == 8) RegisterBufferPresenter(TestWindow(), Presenter);
      ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
      if (Frame == 6 || Frame == 7) Shown = PresentedFrame(TestWindow())->Pixels;
      for (std::size_t i = 0; i < Shown.size(); ++i)
        ASSERT_EQ(Whole[static_cast<std::size_t>(Frame)].Pixels[i], Shown[i])
            << C.Name << ", frame " << Frame << " (buffer " << Order[std::max(Frame - 1, 0)] << "), pixel " << i % W
            << "," << i / W;
    }
    int Checked = 0, Differing = 0;
    ASSERT_TRUE(ShownChecks(Device.Get(), Checked, Differing));
    EXPECT_EQ(Frames, Checked) << C.Name;
    EXPECT_EQ(0, Differing) << C.Name;
    UnregisterPresenter(TestWindow());
  }
}

// The check itself: a presenter that writes into memory it was lent breaks what the device
// relies on, and the frames shown from it are counted as differing from the frames drawn whole.
TEST_F(TiledDrawingTest, TheShownFrameCheckCountsAFrameThatIsNotWhole) {
  constexpr int W = 64, H = 48;
  MakeDevice(W, H, D3DFMT_X8R8G8B8);
  ASSERT_TRUE(SetDrawSettings(Device.Get(), {1, 0, 8, true, true}));
  const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
  auto Scene = RandomScene(5, W, H);
  Scene.resize(5);  // the same frame every time: every tile repeats
  std::vector<std::uint32_t> Lent(static_cast<std::size_t>(W) * H);
  int Shows = 0;
  TBufferPresenter Presenter;
  Presenter.Lend = [&](int Width, int Height, TFrameBuffer& B) {
    B = {Lent.data(), Width, Height, W, {}};
    return true;
  };
  Presenter.Show = [&](const TFrameBuffer& B) {
    if (++Shows == 3) B.Pixels[static_cast<std::size_t>(H - 1) * B.Pitch + 1] ^= 0x00808080u;  // the contract broken
  };
  RegisterBufferPresenter(TestWindow(), Presenter);
  for (int f = 0; f < 5; ++f) {
    DrawScene(Scene, Textures);
    ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
  }
  int Checked = 0, Differing = 0;
  ASSERT_TRUE(ShownChecks(Device.Get(), Checked, Differing));
  EXPECT_EQ(5, Checked);
  EXPECT_EQ(2, Differing);  // the frames after the write: nothing the device drew mends that pixel
  UnregisterPresenter(TestWindow());
}

// Every write into the back buffer other than drawing its tiles makes the device forget what it
// knew the buffer held: the next frames, whose tiles repeat their start, are then the frames
// drawn whole, not mended over what the write left.
TEST_F(TiledDrawingTest, AWriteOutsideDrawingIsNotMendedOver) {
  constexpr int W = 80, H = 64;
  const std::vector<TQuadVertex> Dots = {{5, 60, 0, 1, 0xFFFF00FF, 0, 0}, {70, 61, 0, 1, 0xFF00FFFF, 0, 0},
                                         {33, 50, 0, 1, 0xFFFFFFFF, 0, 0}, {34, 50, 0, 1, 0xFFFFFFFF, 0, 0}};
  struct TCase {
    const char* Write;
    std::function<void()> Act;  // between the scene and the present of frame 3
  };
  const TCase Cases[] = {
      {"a lock of the back buffer", [&] { WriteBackBuffer(H); }},
      {"points drawn at once", [&] { EXPECT_EQ(D3D_OK, DrawPlain(D3DPT_POINTLIST, Dots, 4)); }},
      {"lines drawn at once", [&] { EXPECT_EQ(D3D_OK, DrawPlain(D3DPT_LINELIST, Dots, 2)); }},
      {"a reset", [&] {
         D3DPRESENT_PARAMETERS P = WindowedParams(W, H, D3DFMT_X8R8G8B8);
         P.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
         EXPECT_EQ(D3D_OK, Device->Reset(&P));
         Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
         Device->SetRenderState(D3DRS_LIGHTING, FALSE);
       }},
  };
  auto Scene = RandomScene(11, W, H);
  Scene.resize(5);  // the same frame each time: every tile repeats its start
  for (const TCase& C : Cases) {
    std::vector<TFrame> Frames[2];
    for (bool Remember : {false, true}) {
      MakeDevice(W, H, D3DFMT_X8R8G8B8, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
      ASSERT_TRUE(SetDrawSettings(Device.Get(), {1, 0, 8, Remember}));
      const std::vector<ComPtr<IDirect3DTexture9>> Textures = SceneTextures();
      for (int f = 0; f < 7; ++f) {
        DrawScene(Scene, Textures);
        if (f == 3) C.Act();
        ASSERT_EQ(D3D_OK, Device->Present(nullptr, nullptr, nullptr, nullptr));
        Frames[Remember].push_back(*PresentedFrame(TestWindow()));
      }
    }
    for (std::size_t f = 0; f < Frames[0].size(); ++f)
      for (std::size_t i = 0; i < Frames[0][f].Pixels.size(); ++i)
        ASSERT_EQ(Frames[0][f].Pixels[i], Frames[1][f].Pixels[i])
            << C.Write << ", frame " << f << ", pixel " << i % W << "," << i / W;
  }
}

}  // namespace
}  // namespace qel::soft::testing
