// wave-soak: runs the screensaver in run mode on the headless platform's manual clock and the
// software device for a number of simulated minutes, and prints, after the first simulated
// minute and at the end, the frames presented, the waves made, the Direct3D objects alive
// and the resident memory. Exits 1 when the objects or the memory did not stay flat.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string_view>

#include "app/Program.h"
#include "framework/Random.h"
#include "platform/d3d9/soft/SoftControls.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr std::uint64_t kMaxMinutes = 7 * 24 * 60;
// Growth of the resident memory between the first minute and the end that still counts as
// flat: allocator slack, not a leak of anything per frame.
constexpr long long kFlatBytes = 16ll << 20;

struct TFigures {
  std::uint64_t Frames = 0;
  std::uint64_t Waves = 0;
  int LiveObjects = 0;
  long long ResidentBytes = -1;  // unknown where /proc is not there
};

long long ResidentBytes() {
  std::ifstream Statm("/proc/self/statm");
  long long Pages = 0, Resident = 0;
  if (!(Statm >> Pages >> Resident)) return -1;
  return Resident * 4096;
}

void Print(const char* When, double Minutes, const TFigures& F) {
  std::printf("%-12s %9.1f min  frames %11llu  waves %7llu  live Direct3D objects %3d  resident %7.1f MiB\n", When,
              Minutes, static_cast<unsigned long long>(F.Frames), static_cast<unsigned long long>(F.Waves),
              F.LiveObjects, F.ResidentBytes < 0 ? -1.0 : static_cast<double>(F.ResidentBytes) / (1 << 20));
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t Minutes = 0;
  const std::string_view Arg = argc == 2 ? argv[1] : "";
  const auto [End, Err] = std::from_chars(Arg.data(), Arg.data() + Arg.size(), Minutes);
  if (argc != 2 || Err != std::errc() || End != Arg.data() + Arg.size() || Minutes < 1 || Minutes > kMaxMinutes) {
    std::fprintf(stderr, "usage: wave-soak MINUTES   (simulated minutes, 1 ... %llu)\n",
                 static_cast<unsigned long long>(kMaxMinutes));
    return 2;
  }

  qel::THeadlessPlatform Platform(kWidth, kHeight);
  qel::TApplication App(Platform);
  qel::FixRandomizeSeed(1);
  const double EndMs = static_cast<double>(Minutes) * 60'000.0;
  Platform.QuitAt(EndMs);
  TFigures Current, FirstMinute;
  bool FirstMinuteTaken = false;
  qel::RunProgram(App, "/s", [&](qel::TMainForm& F) {
    const HWND Window = reinterpret_cast<HWND>(F.Handle());
    Current.Waves = F.Wave.FadeState == qel::fsFadingIn ? 1 : 0;
    const qel::TNotifyEvent Frame = F.Timer->OnTimer();
    F.Timer->SetOnTimer([&, Frame, Window](qel::TObject* Sender) {
      const std::int32_t Before = F.Wave.FadeState;
      Frame(Sender);
      // A new wave starts fading in; the steps of one frame never span two new waves.
      if (F.Wave.FadeState == qel::fsFadingIn && Before != qel::fsFadingIn) ++Current.Waves;
      // Hours of calls would fill the log: only the figures are kept.
      qel::soft::CallLog().Clear();
      if (!FirstMinuteTaken && Platform.ManualClock().NowMs() >= 60'000.0) {
        FirstMinuteTaken = true;
        Current.Frames = static_cast<std::uint64_t>(qel::soft::PresentCount(Window));
        Current.LiveObjects = qel::soft::LiveObjects();
        Current.ResidentBytes = ResidentBytes();
        FirstMinute = Current;
        Print("first minute", 1.0, FirstMinute);
        std::fflush(stdout);
      }
      Current.Frames = static_cast<std::uint64_t>(qel::soft::PresentCount(Window));
      Current.LiveObjects = qel::soft::LiveObjects();
    });
  });
  Current.ResidentBytes = ResidentBytes();
  Print("end", Platform.ManualClock().NowMs() / 60'000.0, Current);
  if (!FirstMinuteTaken) return 0;
  bool Flat = Current.LiveObjects == FirstMinute.LiveObjects;
  if (Current.ResidentBytes >= 0 && FirstMinute.ResidentBytes >= 0)
    Flat = Flat && Current.ResidentBytes - FirstMinute.ResidentBytes <= kFlatBytes;
  std::printf("%s\n", Flat ? "flat: objects and memory" : "NOT FLAT");
  return Flat ? 0 : 1;
}
