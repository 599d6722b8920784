#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/device/GlowTimers.h"
#include "framework/Application.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

// A timer as the screensaver sets it up, on a manual clock. Each frame's OnTimer handler
// "works" for WorkMs of clock time and then calls Process, unless told not to.
class GlowTimerTest : public ::testing::Test {
 protected:
  explicit GlowTimerTest(std::int64_t Frequency = 10'000'000) : Platform(800, 600, Frequency), App(Platform) {
    Timer = Create<TGlowTimer>(&App);
    Timer->SetSpeed(120);
    Timer->SetMaxFPS(100);
    Timer->SetEnabled(true);
    Timer->SetOnTimer([this](TObject* Sender) {
      EXPECT_EQ(Sender, Timer);
      ++Frames;
      Clock().AdvanceMs(WorkMs);
      if (CallProcess) Timer->Process();
    });
    Timer->SetOnProcess([this](TObject* Sender) {
      EXPECT_EQ(Sender, Timer);
      ++Steps;
    });
  }

  TManualClock& Clock() { return Platform.ManualClock(); }

  // A first frame that does no work: it sleeps the frame period, so every later frame owes
  // exactly the time between its idle call and the previous one.
  void Start() {
    const double Work = WorkMs;
    WorkMs = 0;
    Frame();
    WorkMs = Work;
  }

  // One idle call; answers the steps it fired.
  int Frame() {
    const int Before = Steps;
    bool Done = true;
    Timer->HandleIdle(&App, Done);
    EXPECT_FALSE(Done);  // the loop is kept busy
    return Steps - Before;
  }

  THeadlessPlatform Platform;
  TApplication App;
  TGlowTimer* Timer = nullptr;
  double WorkMs = 10;
  bool CallProcess = true;
  int Frames = 0;
  int Steps = 0;
};

class GlowTimerTickCountTest : public GlowTimerTest {
 protected:
  GlowTimerTickCountTest() : GlowTimerTest(0) {}
};

TEST_F(GlowTimerTest, SettersClampAndTheDefaultsAreSensible) {
  auto* Fresh = Create<TGlowTimer>(&App);
  EXPECT_EQ(Fresh->Speed(), 60.0);
  EXPECT_EQ(Fresh->MaxFPS(), 100);
  EXPECT_FALSE(Fresh->Enabled());
  EXPECT_EQ(Fresh->FrameRate(), 0);
  EXPECT_EQ(Fresh->Precision(), ppHigh);
  Fresh->SetSpeed(0.5);
  EXPECT_EQ(Fresh->Speed(), 1.0);
  Fresh->SetSpeed(-3);
  EXPECT_EQ(Fresh->Speed(), 1.0);
  Fresh->SetMaxFPS(0);
  EXPECT_EQ(Fresh->MaxFPS(), 1);
  Fresh->SetMaxFPS(-7);
  EXPECT_EQ(Fresh->MaxFPS(), 1);
}

TEST_F(GlowTimerTickCountTest, WithoutACounterTheTickCountIsTheSource) {
  EXPECT_EQ(Timer->Precision(), ppLow);
  Start();
  for (int i = 0; i < 1000; ++i) Frame();
  EXPECT_NEAR(Steps, 1200, 1);
}

TEST_F(GlowTimerTest, TheLastTimerCreatedRunsFromTheApplicationsIdleEvent) {
  auto* Second = Create<TGlowTimer>(&App);
  Second->SetEnabled(true);
  int SecondFrames = 0;
  Second->SetOnTimer([&](TObject*) { ++SecondFrames; });
  Platform.QuitAt(100);
  App.Run();
  EXPECT_GT(SecondFrames, 0);
  EXPECT_EQ(Frames, 0);
}

TEST_F(GlowTimerTest, DestroyingTheInstalledTimerUnhooksIt) {
  auto* Other = Create<TGlowTimer>(&App);
  delete Timer;  // not the installed one: the hook stays
  Timer = nullptr;
  EXPECT_TRUE(static_cast<bool>(App.OnIdle()));
  delete Other;
  EXPECT_FALSE(static_cast<bool>(App.OnIdle()));
  Platform.QuitAt(50);
  App.Run();  // idles without a handler, no dangling call
}

TEST_F(GlowTimerTest, SteadyFramesRun120StepsPerSecondOverALongRun) {
  Start();
  const int Before = Steps;
  int Ones = 0, Twos = 0;
  for (int i = 0; i < 100'000; ++i) {  // 1000 s of 10 ms frames
    const int N = Frame();
    Ones += N == 1;
    Twos += N == 2;
  }
  EXPECT_EQ(Ones + Twos, 100'000);  // once or twice per frame, never 0 or 3
  EXPECT_NEAR(Steps - Before, 120'000, 1);
}

TEST_F(GlowTimerTest, TheFractionOfAStepIsCarriedToTheNextFrame) {
  Start();
  // 10 ms at 120 steps/s is 1.2 steps; per frame the timer owes this many 2^-20 steps.
  const std::int64_t PerFrame = std::int64_t{10} * 1048576 * 1048576 / 8738133;
  for (int k = 1; k <= 50; ++k) {
    Frame();
    EXPECT_EQ(Steps, k * PerFrame / 1048576) << "frame " << k;
  }
}

TEST_F(GlowTimerTest, IrregularFramesStillAverage120StepsPerSecond) {
  Start();
  const double First = Clock().NowMs();  // the first frame's time is never owed
  const double Pattern[] = {3, 17, 10, 40, 1, 25, 8};
  double Last = First;
  for (int i = 0; i < 20'000; ++i) {
    WorkMs = Pattern[i % 7];
    Frame();
    Last = Clock().NowMs() - WorkMs;  // the time this frame began
  }
  // What is owed runs from the first frame's start to the last's; the cap's waits included.
  EXPECT_NEAR(Steps, 120.0 * (Last - First) / 1000.0, 1.0);
}

TEST_F(GlowTimerTest, ALongFrameOwesAtMost32Steps) {
  Start();
  Frame();
  const int Settled = Steps;
  WorkMs = 500;  // 60 steps of time
  Frame();       // this frame's Process pays for the previous 10 ms
  WorkMs = 10;
  EXPECT_EQ(Frame(), 32);
  EXPECT_LE(Steps - Settled, 34);
  EXPECT_GE(Frame(), 1);
}

TEST_F(GlowTimerTest, NothingIsOwedWhileProcessIsNotCalled) {
  Start();
  Frame();
  CallProcess = false;
  for (int i = 0; i < 100; ++i) Frame();
  const int Before = Steps;
  CallProcess = true;
  WorkMs = 250;
  // The first call after the pause pays only what the last frame before it owed (1.2 steps
  // with the fraction carried): nothing for the hundred frames of the pause.
  EXPECT_EQ(Frame(), 1);
  WorkMs = 10;
  // The next owes only the 250 ms since the previous idle call: 30 steps.
  EXPECT_EQ(Frame(), 30);
  EXPECT_EQ(Steps - Before, 31);
}

TEST_F(GlowTimerTest, WholeStepsAreConsumedWithoutAnOnProcessHandler) {
  Start();
  Timer->SetOnProcess(nullptr);
  WorkMs = 100;  // 12 steps
  Frame();
  Frame();
  Timer->SetOnProcess([this](TObject*) { ++Steps; });
  WorkMs = 10;
  EXPECT_EQ(Frame(), 12);  // only the last 100 ms, not 24 steps
}

// Frames of any cost up to the frame period: the cap holds in every second, FrameRate
// reads the frames actually drawn, and the animation keeps its pace.
class GlowTimerFrameCost : public GlowTimerTest, public ::testing::WithParamInterface<double> {};

TEST_P(GlowTimerFrameCost, TheCapHoldsAndFrameRateCountsTheFramesDrawn) {
  std::vector<double> Starts;
  Timer->SetOnTimer([this, &Starts](TObject*) {
    Starts.push_back(Clock().NowMs());
    Clock().AdvanceMs(WorkMs);
    Timer->Process();
  });
  WorkMs = GetParam();
  Start();
  const double First = Clock().NowMs();
  const int StepsBefore = Steps;
  while (Clock().NowMs() - First < 20'000) Frame();
  const double Seconds = (Clock().NowMs() - First) / 1000.0;

  std::size_t MostInASecond = 0;
  for (std::size_t Begin = 0, End = 0; Begin < Starts.size(); ++Begin) {
    while (End < Starts.size() && Starts[End] < Starts[Begin] + 1000.0) ++End;
    MostInASecond = std::max(MostInASecond, End - Begin);
  }
  EXPECT_LE(MostInASecond, 100u);
  const double Drawn = (Starts.size() - 1) / Seconds;
  EXPECT_NEAR(Timer->FrameRate(), Drawn, 2.0);
  EXPECT_NEAR((Steps - StepsBefore) / Seconds, 120.0, 1.2);
}

INSTANTIATE_TEST_SUITE_P(CostMs, GlowTimerFrameCost, ::testing::Values(0.2, 1.0, 3.0, 9.0));

TEST_F(GlowTimerTest, ShortFramesAreStretchedToTheFrameCap) {
  Start();
  WorkMs = 3;
  Frame();
  const std::uint64_t Slept = Clock().SleptMs();
  Frame();
  // The idle call came 3 ms after the previous reading: it sleeps the other 7.
  EXPECT_EQ(Clock().SleptMs() - Slept, 7u);
}

TEST_F(GlowTimerTest, AStallOfAnyLengthCostsAtMostOneFrame) {
  Start();
  Frame();
  for (double StallMs : {3'000.0, 86'400'000.0, 1e12}) {
    WorkMs = StallMs;
    Frame();
    WorkMs = 10;
    EXPECT_EQ(Frame(), 32) << StallMs;  // clamped, never wrapped to negative or few
    const int N = Frame();
    EXPECT_GE(N, 1) << StallMs;
    EXPECT_LE(N, 2) << StallMs;
    EXPECT_GE(Timer->FrameRate(), 0);
  }
}

// A clock that jumps or wraps: the next frame comes within a frame period, owing at most
// 32 steps, and the frames after it run at the usual pace.
class GlowTimerClockFaults : public GlowTimerTest, public ::testing::WithParamInterface<std::int64_t> {
 protected:
  GlowTimerClockFaults() : GlowTimerTest(GetParam()) {}

  void ExpectNextFrameAtOnce(int MaxSteps) {
    const std::uint64_t Slept = Clock().SleptMs();
    const int N = Frame();
    EXPECT_LE(N, MaxSteps);
    EXPECT_LE(Clock().SleptMs() - Slept, 10u);
    for (int I = 0; I < 3; ++I) {
      const int M = Frame();
      EXPECT_GE(M, 1);
      EXPECT_LE(M, 3);  // 10 ms of work, plus the wait of a frame that saw no time
    }
  }
};

TEST_P(GlowTimerClockFaults, JumpsBackAndWrapsAroundCostAtMostOneFrame) {
  const std::int64_t PerMs = GetParam() > 0 ? GetParam() / 1000 : 1;
  Start();
  Frame();
  // An hour back: the counter sees no time pass but the cap's wait (one step owed); the
  // wrapping tick count sees a stall.
  Clock().SetTicks(Clock().Ticks() - 3'600'000 * PerMs);
  ExpectNextFrameAtOnce(GetParam() > 0 ? 1 : 32);
  // Just before the end of the counter's range (the 32-bit tick count's, or the 64-bit
  // counter's): the jump there is a stall, and the frames after it cross the wrap.
  Clock().SetTicks(GetParam() > 0 ? INT64_MAX - 15 * PerMs : 0xFFFFFFFFll - 15);
  ExpectNextFrameAtOnce(32);
}

INSTANTIATE_TEST_SUITE_P(CounterAndTickCount, GlowTimerClockFaults, ::testing::Values(10'000'000, 0));

TEST_F(GlowTimerTickCountTest, AStallOnTheTickCountIsClampedToo) {
  Start();
  Frame();
  WorkMs = 3'000;  // 3000 * 2^20 wraps a signed 32-bit value to negative
  Frame();
  WorkMs = 10;
  EXPECT_EQ(Frame(), 32);
  EXPECT_GE(Frame(), 1);
}

TEST_F(GlowTimerTest, FrameRateIsMeasuredAboutOnceASecond) {
  Start();  // its 10 ms sleep counts once
  for (int i = 2; i <= 99; ++i) Frame();
  EXPECT_EQ(Timer->FrameRate(), 0);
  Frame();  // the 100th frame of 10 ms fills the second
  EXPECT_EQ(Timer->FrameRate(), 100);
  for (int i = 0; i < 99; ++i) Frame();
  EXPECT_EQ(Timer->FrameRate(), 100);
  WorkMs = 20;
  Frame();  // still reads a 10 ms frame: ends the second measurement
  for (int i = 0; i < 50; ++i) Frame();
  EXPECT_EQ(Timer->FrameRate(), 50);
}

TEST_F(GlowTimerTest, AFrameThatSawNoTimeEndsAFourFrameMeasurement) {
  // No cap at all (the period rounds to nothing): after one frame of 1 ms the frames take
  // no time, and each asks for a measurement of 4 frames.
  Timer->SetMaxFPS(INT32_MAX);
  WorkMs = 1;
  std::vector<int> Rates;
  for (int i = 0; i < 5; ++i) {
    Frame();
    WorkMs = 0;
    Rates.push_back(Timer->FrameRate());
  }
  EXPECT_EQ(Rates, (std::vector<int>{0, 0, 0, 4000, 4000}));
}

TEST_F(GlowTimerTickCountTest, FramesThatTakeNoTimeNeverDivideByZero) {
  Timer->SetMaxFPS(INT32_MAX);  // a period that rounds to nothing: no sleep at all
  WorkMs = 0;
  for (int i = 0; i < 20; ++i) Frame();
  EXPECT_EQ(Timer->FrameRate(), 0);
  WorkMs = 1;
  for (int i = 0; i < 2000; ++i) Frame();
  EXPECT_EQ(Timer->FrameRate(), 1000);
}

TEST_F(GlowTimerTest, ADisabledTimerSleepsAndProducesNoFrames) {
  for (int i = 0; i < 200; ++i) Frame();
  const int Rate = Timer->FrameRate();
  const int Before = Frames;
  Timer->SetEnabled(false);
  const std::uint64_t Slept = Clock().SleptMs();
  for (int i = 0; i < 500; ++i) Frame();
  EXPECT_EQ(Frames, Before);
  EXPECT_EQ(Timer->FrameRate(), Rate);
  EXPECT_EQ(Clock().SleptMs() - Slept, 2500u);
  // Time spent disabled is not owed afterwards.
  Timer->SetEnabled(true);
  const int StepsBefore = Steps;
  Frame();
  EXPECT_LE(Steps - StepsBefore, 1);
}

}  // namespace
}  // namespace qel
