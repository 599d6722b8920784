#include <gtest/gtest.h>

#include <vector>

#include "framework/Application.h"
#include "framework/Clock.h"
#include "framework/Timer.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

TEST(Clock, ManualClockMovesOnlyWhenToldOrSleptOn) {
  TManualClock C(1'000'000);
  std::int64_t F = 0, Counter = -1;
  EXPECT_TRUE(C.QueryPerformanceFrequency(F));
  EXPECT_EQ(F, 1'000'000);
  EXPECT_TRUE(C.QueryPerformanceCounter(Counter));
  EXPECT_EQ(Counter, 0);
  C.SleepEx(15, true);
  C.AdvanceMs(2.5);
  EXPECT_EQ(C.SleptMs(), 15u);
  EXPECT_EQ(C.GetTickCount(), 17u);
  EXPECT_DOUBLE_EQ(C.NowMs(), 17.5);
  C.QueryPerformanceCounter(Counter);
  EXPECT_EQ(Counter, 17'500);
}

TEST(Clock, ManualClockWithoutACounterStillCountsMilliseconds) {
  TManualClock C(0);
  std::int64_t F = -1;
  EXPECT_FALSE(C.QueryPerformanceFrequency(F));
  C.SleepEx(40, true);
  EXPECT_EQ(C.GetTickCount(), 40u);
}

TEST(Clock, TheTickCountWrapsAt32Bits) {
  TManualClock C(1000);
  C.AdvanceMs(4294967295.0);
  EXPECT_EQ(C.GetTickCount(), 4294967295u);
  C.AdvanceMs(2);
  EXPECT_EQ(C.GetTickCount(), 1u);
}

TEST(Clock, SteadyClockHasACounterThatNeverRunsBackwards) {
  TSteadyClock C;
  std::int64_t F = 0, A = 0, B = 0;
  EXPECT_TRUE(C.QueryPerformanceFrequency(F));
  EXPECT_GT(F, 0);
  C.QueryPerformanceCounter(A);
  C.SleepEx(1, true);
  C.QueryPerformanceCounter(B);
  EXPECT_GT(B, A);
}

TEST(Clock, TheProcessClockIsThePlatformsWhileAnApplicationLives) {
  {
    THeadlessPlatform Platform;
    TApplication App(Platform);
    EXPECT_EQ(&Clock(), &Platform.Clock());
  }
  EXPECT_NE(dynamic_cast<TSteadyClock*>(&Clock()), nullptr);
}

TEST(FrameworkTimer, FiresAcrossTheTickCountWrap) {
  THeadlessPlatform Platform(800, 600, 1000);
  Platform.ManualClock().AdvanceMs(4294967295.0 - 400);
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  std::vector<std::uint32_t> Fired;
  auto* T = Create<TTimer>(Form);
  T->SetOnTimer([&](TObject*) { Fired.push_back(Platform.ManualClock().GetTickCount()); });
  Platform.QuitAt(4294967295.0 - 400 + 2500);
  App.Run();
  EXPECT_EQ(Fired, (std::vector<std::uint32_t>{599, 1599}));
}

TEST(FrameworkTimer, ChangingTheIntervalStartsTheCountdownAnew) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  std::vector<double> Fired;
  auto* T = Create<TTimer>(Form);
  EXPECT_EQ(T->Interval(), 1000u);
  EXPECT_TRUE(T->Enabled());
  T->SetOnTimer([&](TObject*) { Fired.push_back(Platform.ManualClock().NowMs()); });
  Platform.ManualClock().AdvanceMs(700);
  T->SetInterval(500);
  Platform.QuitAt(1300);
  App.Run();
  EXPECT_EQ(Fired, (std::vector<double>{1200}));
}

TEST(FrameworkTimer, ATimerFreedByAnotherTimersHandlerNeverFires) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  int SecondFired = 0;
  auto* First = Create<TTimer>(Form);
  TTimer* Second = Create<TTimer>(Form);  // due at the same moment, behind First
  Second->SetOnTimer([&](TObject*) { ++SecondFired; });
  First->SetOnTimer([&](TObject*) {
    delete Second;
    Second = nullptr;
    First->SetEnabled(false);
  });
  Platform.QuitAt(3500);
  App.Run();
  EXPECT_EQ(SecondFired, 0);
  EXPECT_EQ(Second, nullptr);
}

}  // namespace
}  // namespace qel
