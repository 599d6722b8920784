// wave-render: the screensaver on a virtual clock, without a screen. It runs the real main
// form in run mode on the headless platform and prints the wave model's state once per
// simulated second. Drawing frames comes with a later version.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "app/Program.h"
#include "framework/Random.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
constexpr std::uint64_t kMaxSeconds = 24 * 3600;

void Usage(std::FILE* To) {
  std::fprintf(To,
               "usage: wave-render [--seed N] [--seconds S]\n"
               "  --seed N     random seed, 0 ... 18446744073709551615 (default 1)\n"
               "  --seconds S  simulated seconds to run, 1 ... %llu (default 10)\n",
               static_cast<unsigned long long>(kMaxSeconds));
}

bool ParseNumber(std::string_view Text, std::uint64_t& Value) {
  if (Text.empty()) return false;
  const char* End = Text.data() + Text.size();
  const auto [Ptr, Err] = std::from_chars(Text.data(), End, Value);
  return Err == std::errc() && Ptr == End;
}

const char* FadeStateName(std::int32_t State) {
  switch (State) {
    case qel::fsFadingIn: return "fading in";
    case qel::fsFadingOut: return "fading out";
    default: return "steady";
  }
}

void PrintState(std::uint64_t Second, const qel::TMainForm& F) {
  const qel::TWaveState& W = F.Wave;
  std::printf("t=%3llus  fade %+.4f  %-10s  colour %06X  lifetime %2us\n", static_cast<unsigned long long>(Second),
              W.Fade, FadeStateName(W.FadeState), W.WaveColor, F.ChangeTimer->Interval() / 1000);
  for (int i = 0; i < W.LayerCount; ++i) {
    const qel::TWaveLayer& L = W.Layers[static_cast<std::size_t>(i)];
    std::printf("    layer %d  kind %d  phase %8.4f  amplitude %2.0f  swing %2.0f  alpha %2d  ticks %d\n", i, L.Kind,
                L.Phase, L.Amplitude, L.Swing, L.Alpha, L.Ticks);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t Seed = 1;
  std::uint64_t Seconds = 10;
  for (int i = 1; i < argc; i += 2) {
    const std::string_view Arg = argv[i];
    if (Arg == "--help" || Arg == "-h") {
      Usage(stdout);
      return 0;
    }
    std::uint64_t* Target = Arg == "--seed" ? &Seed : Arg == "--seconds" ? &Seconds : nullptr;
    if (!Target) {
      std::fprintf(stderr, "wave-render: unknown argument '%s'\n", argv[i]);
      Usage(stderr);
      return 2;
    }
    if (i + 1 >= argc || !ParseNumber(argv[i + 1], *Target)) {
      std::fprintf(stderr, "wave-render: %s needs a whole number\n", argv[i]);
      Usage(stderr);
      return 2;
    }
  }
  if (Seconds < 1 || Seconds > kMaxSeconds) {
    std::fprintf(stderr, "wave-render: --seconds must be 1 ... %llu\n", static_cast<unsigned long long>(kMaxSeconds));
    return 2;
  }

  std::printf("wave-render: the screensaver's wave model on a virtual clock (seed %llu, %dx%d screen).\n"
              "Drawing frames comes in a later version; this prints the model's state each simulated second.\n",
              static_cast<unsigned long long>(Seed), kScreenWidth, kScreenHeight);

  qel::THeadlessPlatform Platform(kScreenWidth, kScreenHeight);
  qel::TApplication App(Platform);
  qel::FixRandomizeSeed(Seed);
  Platform.QuitAt(static_cast<double>(Seconds) * 1000.0);
  std::uint64_t NextSecond = 1;
  qel::RunProgram(App, "/s", [&](qel::TMainForm& F) {
    // Look after every frame, leaving the frame itself as it is.
    qel::TNotifyEvent Frame = F.Timer->OnTimer();
    F.Timer->SetOnTimer([&, Frame](qel::TObject* Sender) {
      Frame(Sender);
      while (NextSecond <= Seconds && Platform.ManualClock().NowMs() >= static_cast<double>(NextSecond) * 1000.0)
        PrintState(NextSecond++, F);
    });
  });
  return 0;
}
