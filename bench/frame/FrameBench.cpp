// What one frame of the screensaver costs on the software device at 1920 x 1080: the real
// main form in run mode over the built-in desktop, its frame event (Render, Process, Flip)
// at the start (the desktop still opaque, Fade -1) and with a steady wave (Fade 1), against
// a memcpy of the frame's bytes; then the steady wave on one thread and on one per core, at
// 1920 x 1080 and 3840 x 2160. One line per case; the best of several runs counts. The wave
// takes one step before each frame, so the ribbons move as on screen; the background stays,
// and is remembered between frames unless a line says "drawn in full". The fade lines are
// frames of a fade-in, drawn in full as their opacities change with every step.
// "bench_frame --profile N [THREADS [TILE_HEIGHT]]" draws only N steady frames at 1920 x 1080, so that a
// profiler sees the frame and not the set-up; "--profile-fade" the same with fade-in frames;
// "--profile-wave N" the first N frames of the saver as it runs (the desktop dissolving, the
// first wave fading in, moving, fading out: the saver's drawing without a screen, for timing
// two builds against each other).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/Program.h"
#include "bench/BenchTiming.h"
#include "engine/device/GlowDevices.h"
#include "framework/Random.h"
#include "platform/d3d9/soft/SoftControls.h"
#include "tools/wave-render/BuiltInDesktop.h"
#include "tools/wave-render/HeadlessHost.h"

using namespace qel;

namespace {

// The frame lines of one screen size (Profile > 0: only that many steady frames, no lines);
// false when the device did not start.
enum class TProfile { Steady, Fade, Wave };

bool Measure(int Width, int Height, bool AllCases, int Profile = 0, int ProfileThreads = 1, int ProfileTile = 32,
             TProfile Kind = TProfile::Steady) {
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
    return false;
  }

  auto NextFrame = [&] {
    Form->TimerProcess(Form->Timer);
    Form->TimerTimer(Form->Timer);
  };
  if (Profile > 0 && Kind == TProfile::Wave) {
    for (int i = 0; i < Profile; ++i) NextFrame();  // the device's own draw settings
    return true;
  }
  const bool ProfileFade = Kind == TProfile::Fade;
  if (Profile > 0) {
    Form->Wave.Fade = 1.0;
    Form->Wave.FadeState = ProfileFade ? fsFadingIn : fsSteady;
    soft::SetDrawSettings(Direct3DDevice.Get(), {ProfileThreads, 0, ProfileTile, !ProfileFade});
    for (int i = 0; i < Profile; ++i) {
      if (ProfileFade) Form->Wave.Fade = 0.3 + 0.0025 * (i % 250);  // within the fade-in
      NextFrame();
    }
    return true;
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
  if (AllCases)
    for (const TCase& Case : {TCase{"desktop", -1.0}, TCase{"steady-wave", 1.0}}) {
      Form->Wave.Fade = Case.Fade;
      Form->Wave.FadeState = fsSteady;
      // The desktop stays opaque for the first frame only: nothing of it can be remembered.
      soft::SetDrawSettings(Direct3DDevice.Get(), {-1, 0, 32, Case.Fade >= 0});
      const double Ms = bench::BestMs(8, NextFrame);
      std::printf("frame %dx%d %s: %.2f ms, %.2fx memcpy\n", Width, Height, Case.Name, Ms, Ms / Memcpy);
    }
  // The steady wave drawn by one thread and by one thread per core.
  Form->Wave.Fade = 1.0;
  Form->Wave.FadeState = fsSteady;
  const int Cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int Threads : {1, Cores}) {
    soft::SetDrawSettings(Direct3DDevice.Get(), {Threads, 0, 32});
    const double Ms = bench::BestMs(8, NextFrame);
    std::printf("frame %dx%d steady threads=%d: %.2f ms, %.2fx memcpy\n", Width, Height, Threads, Ms, Ms / Memcpy);
  }
  // The same drawn straight into three buffers lent in turn, as a compositor lends them: each
  // two frames behind when it comes back, drawn whole from the kept tiles (not kept) or mended
  // where it is behind (kept: lent before and written by nothing else).
  if (AllCases) {
    const HWND Window = reinterpret_cast<HWND>(Form->Handle());
    std::vector<std::vector<std::uint32_t>> Lent(3, std::vector<std::uint32_t>(static_cast<std::size_t>(Width) * Height));
    for (bool Kept : {false, true}) {
      std::size_t Next = 0;
      std::vector<bool> LentBefore(Lent.size());
      soft::TBufferPresenter Presenter;
      Presenter.Lend = [&](int W, int H, soft::TFrameBuffer& B) {
        B = {Lent[Next].data(), W, H, W, {}, Kept && LentBefore[Next]};
        LentBefore[Next] = true;
        Next = (Next + 1) % Lent.size();
        return W == Width && H == Height;
      };
      Presenter.Show = [](const soft::TFrameBuffer&) {};
      soft::RegisterBufferPresenter(Window, Presenter);
      for (int Threads : {1, Cores}) {
        soft::SetDrawSettings(Direct3DDevice.Get(), {Threads, 0, 32});
        const double Ms = bench::BestMs(8, NextFrame);
        std::printf("frame %dx%d steady threads=%d three buffers lent%s: %.2f ms, %.2fx memcpy\n", Width, Height, Threads,
                    Kept ? " and kept" : "", Ms, Ms / Memcpy);
      }
      soft::UnregisterPresenter(Window);
    }
  }
  // Frames of a fade-in: the tint, the clouds and the ribbons change with every step, so
  // nothing is remembered; each run starts again from the same point of the fade.
  for (int Threads : {1, Cores}) {
    soft::SetDrawSettings(Direct3DDevice.Get(), {Threads, 0, 32, false});
    const double Ms = bench::BestMs(8, [&] {
      Form->Wave.Fade = 0.5;
      Form->Wave.FadeState = fsFadingIn;
      NextFrame();
    });
    std::printf("frame %dx%d fade threads=%d: %.2f ms, %.2fx memcpy\n", Width, Height, Threads, Ms, Ms / Memcpy);
  }
  // The same with every layer drawn anew in every frame.
  if (AllCases)
    for (int Threads : {1, Cores}) {
      soft::SetDrawSettings(Direct3DDevice.Get(), {Threads, 0, 32, false});
      const double Ms = bench::BestMs(8, NextFrame);
      std::printf("frame %dx%d steady threads=%d drawn in full: %.2f ms, %.2fx memcpy\n", Width, Height, Threads, Ms,
                  Ms / Memcpy);
    }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Mode = argc >= 3 ? argv[1] : "";
  if (Mode == "--profile" || Mode == "--profile-fade" || Mode == "--profile-wave")
    return Measure(1920, 1080, false, std::max(1, std::atoi(argv[2])), argc >= 4 ? std::atoi(argv[3]) : 1,
                   argc >= 5 ? std::atoi(argv[4]) : 32,
                   Mode == "--profile" ? TProfile::Steady : Mode == "--profile-fade" ? TProfile::Fade : TProfile::Wave)
               ? 0
               : 1;
  return Measure(1920, 1080, true) && Measure(3840, 2160, false) ? 0 : 1;
}
