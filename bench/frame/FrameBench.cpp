// What one frame of the screensaver costs on the software device at 1920 x 1080: the real
// main form in run mode over the built-in desktop, its frame event (Render, Process, Flip)
// at the start (the desktop still opaque, Fade -1) and with a steady wave (Fade 1), against
// a memcpy of the frame's bytes. One line per case; the best of several runs counts.
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/Program.h"
#include "bench/BenchTiming.h"
#include "framework/Random.h"
#include "tools/wave-render/BuiltInDesktop.h"
#include "tools/wave-render/HeadlessHost.h"

using namespace qel;

int main() {
  constexpr int Width = 1920, Height = 1080;
  waverender::THeadlessHost Host;
  TBitmap Desktop;
  waverender::PaintBuiltInDesktop(Desktop, Width, Height);
  TPlatform& Platform = Host.MakePlatform(Width, Height, Desktop);
  TApplication App(Platform);
  FixRandomizeSeed(1);
  Host.Platform()->QuitAt(0);  // the set-up only; the frames are driven here
  TMainForm* Form = nullptr;
  RunProgram(App, "/s", [&](TMainForm& F) { Form = &F; });
  if (!Form || !Form->D->Initialized()) {
    std::fprintf(stderr, "bench_frame: the software device did not start\n");
    return 1;
  }

  std::vector<std::uint8_t> From(static_cast<std::size_t>(Width) * Height * 4, 1), To(From.size());
  const double Memcpy = bench::BestMs(20, [&] {
    std::memcpy(To.data(), From.data(), From.size());
    From[To[From.size() / 2] % From.size()] ^= 1;  // keeps the copy from being optimised away
  });

  struct TCase {
    const char* Name;
    double Fade;
  };
  for (const TCase& Case : {TCase{"desktop", -1.0}, TCase{"steady-wave", 1.0}}) {
    Form->Wave.Fade = Case.Fade;
    Form->Wave.FadeState = fsSteady;
    const double Ms = bench::BestMs(8, [&] { Form->TimerTimer(Form->Timer); });
    std::printf("frame %dx%d %s: %.2f ms, %.2fx memcpy\n", Width, Height, Case.Name, Ms, Ms / Memcpy);
  }
  return 0;
}
