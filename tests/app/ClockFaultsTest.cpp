// The clock the saver runs on misbehaving: a stall of ten minutes, a jump back by an hour, a
// counter that wraps past the end of its range. The next frame comes at once, owing at most
// 32 steps, and the animation goes on to new waves.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/MainForm.h"
#include "tests/app/SaverOnSoftDevice.h"

namespace qel {
namespace {

struct TClockFault {
  std::string Name;
  std::function<void(TManualClock&)> Apply;
};

class ClockFaults : public ::testing::TestWithParam<TClockFault> {};

TEST_P(ClockFaults, TheNextFrameComesAtOnceAndTheWavesGoOn) {
  TSaverRun Run(32, 24);
  FixRandomizeSeed(5);
  TManualClock& Clock = Run.Platform.ManualClock();
  // The run closes itself: a clock that jumps would confuse a scripted end.
  constexpr int FramesAfter = 8'000;  // 80 s: past the longest wave's life and fade
  int Frame = 0, FaultFrame = -1, WavesAfter = 0;
  std::uint64_t FaultTicks = 0;
  std::int32_t TicksBefore = 0;
  Run.Run("/s", 1e15, [&](TMainForm& F) {
    const TNotifyEvent Draw = F.Timer->OnTimer();
    F.Timer->SetOnTimer([&, Draw](TObject* Sender) {
      const std::int32_t Fading = F.Wave.FadeState;
      const std::int32_t Ticks = F.Wave.Layers[0].Ticks;
      Draw(Sender);
      const std::int32_t Steps = F.Wave.Layers[0].Ticks - Ticks;
      EXPECT_LE(Steps, 32);
      if (F.Wave.FadeState == fsFadingIn && Fading != fsFadingIn && FaultFrame >= 0) ++WavesAfter;
      ++Frame;
      if (Frame == 200) {
        GetParam().Apply(Clock);
        FaultFrame = Frame;
        FaultTicks = static_cast<std::uint64_t>(Clock.Ticks());
        TicksBefore = F.Wave.Layers[0].Ticks;
      } else if (Frame == FaultFrame + 1) {
        // The frame after the fault came without waiting for the clock to catch up: at most
        // one frame period later (unsigned, across the wrap).
        const std::uint64_t Waited = static_cast<std::uint64_t>(Clock.Ticks()) - FaultTicks;
        EXPECT_LE(Waited, static_cast<std::uint64_t>(Clock.Frequency() / 100));
      } else if (Frame == FaultFrame + 3) {
        EXPECT_GT(F.Wave.Layers[0].Ticks, TicksBefore) << "the animation goes on";
      }
      if (FaultFrame >= 0 && Frame >= FaultFrame + FramesAfter) F.Close();
    });
  });
  EXPECT_EQ(Frame, 200 + FramesAfter);
  EXPECT_GE(WavesAfter, 1);
  EXPECT_EQ(Run.Platform.Messages().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Saver, ClockFaults,
    ::testing::Values(TClockFault{"StallOfTenMinutes", [](TManualClock& C) { C.AdvanceMs(600'000); }},
                      TClockFault{"JumpBackAnHour", [](TManualClock& C) { C.AdvanceMs(-3'600'000); }},
                      TClockFault{"CounterWraps",
                                  [](TManualClock& C) { C.SetTicks(INT64_MAX - C.Frequency() / 100); }}),
    [](const auto& Info) { return Info.param.Name; });

}  // namespace
}  // namespace qel
