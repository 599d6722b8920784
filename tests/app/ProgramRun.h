#pragma once
#include <functional>
#include <string>

#include "app/Program.h"
#include "framework/Random.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {

// The whole program on the headless platform: scripted input, a manual clock, and a run
// that ends at the latest at a chosen time.
struct TProgramRun {
  explicit TProgramRun(int ScreenWidth = 800, int ScreenHeight = 600) : Platform(ScreenWidth, ScreenHeight) {}
  ~TProgramRun() { UnfixRandomizeSeed(); }

  // Runs the program with this first argument until it ends by itself or LimitMs passes.
  void Run(const std::string& FirstArgument, double LimitMs, const std::function<void(TMainForm&)>& Prepare = {}) {
    Platform.QuitAt(LimitMs);
    RunProgram(App, FirstArgument, [&](TMainForm& F) {
      Form = &F;
      if (Prepare) Prepare(F);
    });
    EndMs = Platform.ManualClock().NowMs();
  }
  // Whether the program ended itself before LimitMs.
  bool EndedBefore(double LimitMs) const { return EndMs < LimitMs; }
  const TWindowParams& Window() { return Platform.Window(Form->Handle())->Params; }

  THeadlessPlatform Platform;
  TApplication App{Platform};
  TMainForm* Form = nullptr;
  double EndMs = -1;
};

}  // namespace qel
