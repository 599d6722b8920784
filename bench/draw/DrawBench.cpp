// What drawing costs on the software device at 1920 x 1080: a frame shaped like the
// screensaver's (tint, stretched clouds, six ribbons of the strip, a readout), the batcher's
// own cost per quad (quads of one pixel, so rasterising hardly counts), and a line of text.
// Its frames repeat, so tiles are not remembered between them: every frame is drawn in full.
// Prints one line per figure; the best of several runs counts.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTiming.h"
#include "engine/archive/GlowDb.h"
#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "engine/images/GlowImages.h"
#include "platform/d3d9/soft/SoftControls.h"
#include "platform/resources/EmbeddedResources.h"

using namespace qel;

namespace {

using bench::BestMs;

constexpr int Width = 1920, Height = 1080;

// Six ribbons across the screen in quads 41 pixels wide, as the wave draws them.
void DrawRibbons(TGlowCanvas& Canvas, TGlowImage* Strip) {
  for (int Layer = 0; Layer < 6; ++Layer) {
    double QX = -40, QY = 0;
    for (int X = -40; X <= Width + 40; X += 41) {
      const double Y = 540 + 150 * std::sin(X * 0.004 + Layer);
      if (X > -40) {
        const TPoint4 Quad = Point4(QX, QY - 120, X, Y - 120, X, Y + 60, QX, QY + 60);
        Canvas.TexMap(Strip, Quad, Alpha4(90), DefaultTexCoord, 260);
      }
      QX = X;
      QY = Y;
    }
  }
}

}  // namespace

// With "--tiles", also times the frame by tile size. With "--profile", draws only the screensaver-like frame, 300 times on one thread, for a
// profiler to watch.
int main(int argc, char** argv) {
  const bool Profile = argc > 1 && std::string(argv[1]) == "--profile";
  TComponent Owner(nullptr);
  auto* Device = Create<TGlowDevice>(&Owner);
  Device->SetWidth(Width);
  Device->SetHeight(Height);
  Device->SetWindowHandle(1);
  auto* Canvas = Create<TGlowCanvas>(&Owner);
  Canvas->SetPublisher(Device);
  Canvas->SetAlphaTesting(false);
  auto* Images = Create<TGlowImages>(&Owner);
  Images->SetPublisher(Device);
  auto* Fonts = Create<TGlowFonts>(&Owner);
  Fonts->SetPublisher(Device);
  Fonts->SetCanvas(Canvas);
  const void* Data = nullptr;
  std::int64_t Size = 0;
  auto* Db = Create<TGlowDb>(&Owner);
  if (!FindEmbeddedResource("glowdb", Data, Size) || !Device->Initialize()) {
    std::fprintf(stderr, "bench_draw: no artwork or no software device\n");
    return 1;
  }
  Db->OpenStream(new TResourceStream(Data, Size));
  if (!Images->LoadFromGlowDb(*Db) || !Fonts->LoadFromGlowDb(*Db)) {
    std::fprintf(stderr, "bench_draw: the artwork did not load\n");
    return 1;
  }
  TGlowImage* Clouds = Images->Find("bg");
  TGlowImage* Strip = Images->Find("tex");
  TGlowFont* Font = Fonts->Items(0);

  // The desktop picture as the screensaver builds it at start-up, drawn at one texel a pixel.
  TBitmap Picture(Width, Height, TPixelFormat::pf32bit);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width * 4; ++X) Picture.ScanLine(Y)[X] = static_cast<std::uint8_t>(X * 7 + Y * 3);
  TGlowImage Desktop;
  Desktop.SetQuality(qlMedium);
  Desktop.SetAlphaLevel(avNone);
  Desktop.SetPatternSize({Width, Height});
  Desktop.SetSize({Width, Height});
  Desktop.SetVisibleSize({Width, Height});
  if (!Desktop.LoadFromBitmap(Picture, false, 0, 0)) {
    std::fprintf(stderr, "bench_draw: the desktop picture did not load\n");
    return 1;
  }
  bool WithDesktop = false;
  Device->SetOnRender([&](TObject*) {
    Canvas->FillRect({0, 0, Width, Height}, ColorAlpha4(0x00FF8040u, 60), 1284);
    Canvas->TexMap(Clouds, Bounds4(0, 0, Width, Height), ColorAlpha4(0x00FF8040u, 200), DefaultTexCoord, 512);
    if (WithDesktop) Canvas->TexMap(&Desktop, Bounds4(0, 0, Width, Height), ColorAlpha4(0xFFFFFF, 63), TexPattern(0), 1284);
    Font->TextOut("FPS:100", 10, 10, 0x80FFFFFFu);
    DrawRibbons(*Canvas, Strip);
  });
  if (Profile) {
    WithDesktop = true;
    soft::SetDrawSettings(Direct3DDevice.Get(), {1, 0, 32, false});
    for (int I = 0; I < 300; ++I) Device->Render(0xFF000000u, true);
    return 0;
  }
  std::vector<std::uint32_t> From(std::size_t{Width} * Height, 0x12345678), To(From.size());
  const double Memcpy = BestMs(20, [&] {
    std::memcpy(To.data(), From.data(), From.size() * 4);
    From[To[7] % From.size()] ^= 1;  // keeps the copy from being optimised away
  });
  std::printf("memcpy of the %dx%d frame: %.3f ms\n", Width, Height, Memcpy);
  soft::SetDrawSettings(Direct3DDevice.Get(), {-1, 0, 32, false});
  const double Frame = BestMs(20, [&] { Device->Render(0xFF000000u, true); });
  std::printf("screensaver-like frame %dx%d: %.2f ms\n", Width, Height, Frame);
  const int Cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (bool Layer : {false, true}) {
    WithDesktop = Layer;
    for (int Threads : {1, Cores}) {
      soft::SetDrawSettings(Direct3DDevice.Get(), {Threads, 0, 32, false});
      const double Ms = BestMs(20, [&] { Device->Render(0xFF000000u, true); });
      std::printf("screensaver-like frame%s %dx%d threads=%d: %.2f ms, %.2fx memcpy\n", Layer ? " with desktop" : "",
                  Width, Height, Threads, Ms, Ms / Memcpy);
    }
  }
  WithDesktop = false;
  if (argc > 1 && std::string(argv[1]) == "--tiles") {
    // The frame on one thread by tile size: the tile should stay in the core's caches.
    for (int TileWidth : {0, 512, 128})
      for (int TileHeight : {8, 16, 32, 64}) {
        soft::SetDrawSettings(Direct3DDevice.Get(), {1, TileWidth, TileHeight, false});
        const double Ms = BestMs(20, [&] { Device->Render(0xFF000000u, true); });
        std::printf("screensaver-like frame threads=1 tile %dx%d: %.2f ms\n", TileWidth ? TileWidth : Width,
                    TileHeight, Ms);
      }
  }
  soft::SetDrawSettings(Direct3DDevice.Get(), soft::TDrawSettings());

  constexpr int Quads = 200000;
  Device->SetOnRender([&](TObject*) {
    for (int I = 0; I < Quads; ++I) Canvas->FillQuad(Bounds4(I % 1000, I / 1000 % 1000, 1, 1), Alpha4(128), 1284);
  });
  const double Batch = BestMs(10, [&] { Device->Render(0xFF000000u, true); });
  std::printf("one-pixel quads: %.1f ns per quad (%d quads, %.2f ms)\n", Batch * 1e6 / Quads, Quads, Batch);

  Device->SetOnRender([&](TObject*) {
    Font->SetStyle({feBold, feShadow});
    for (int Line = 0; Line < 60; ++Line) Font->TextOut("The quick brown fox jumps over the lazy dog", 10, Line * 16, 0xFFFFFFFFu);
  });
  const double Text = BestMs(10, [&] { Device->Render(0xFF000000u, true); });
  std::printf("bold shadowed text: %.3f ms per 43-character line (60 lines, %.2f ms)\n", Text / 60, Text);
  return 0;
}
