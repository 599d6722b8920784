#include <gtest/gtest.h>

#include <vector>

#include "framework/Application.h"
#include "framework/Timer.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

TEST(Application, TimersFireOnTheClockAndTheRunEnds) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  std::vector<double> Fired;
  auto* T = Create<TTimer>(Form);
  T->SetInterval(250);
  T->SetOnTimer([&](TObject*) { Fired.push_back(Platform.ManualClock().NowMs()); });
  Platform.QuitAt(1100);
  App.Run();
  EXPECT_EQ(Fired, (std::vector<double>{250, 500, 750, 1000}));
}

TEST(Application, DisabledTimerIsSilentAndRestartsItsCountdown) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  int Count = 0;
  auto* T = Create<TTimer>(Form);
  T->SetOnTimer([&](TObject*) { ++Count; });
  T->SetEnabled(false);
  Platform.ManualClock().AdvanceMs(5000);
  App.ProcessMessages();
  EXPECT_EQ(Count, 0);
  T->SetEnabled(true);
  Platform.ManualClock().AdvanceMs(999);
  App.ProcessMessages();
  EXPECT_EQ(Count, 0);
  Platform.ManualClock().AdvanceMs(1);
  App.ProcessMessages();
  EXPECT_EQ(Count, 1);
}

TEST(Application, IdleHandlerRunsWhenNothingIsPendingAndShowFiresOnce) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Form = App.CreateForm<TForm>();
  int Shows = 0, Keys = 0, Idles = 0;
  Form->SetOnShow([&](TObject*) { ++Shows; });
  Form->SetOnKeyDown([&](TObject*, std::uint16_t& Key, TShiftState) { Keys += Key; });
  App.SetOnIdle([&](TObject*, bool& Done) {
    ++Idles;
    Done = false;
    Platform.ManualClock().SleepEx(10, true);
  });
  Platform.KeyDownAt(25, 3);
  Platform.CloseAt(100);
  App.Run();
  EXPECT_EQ(Shows, 1);
  EXPECT_EQ(Keys, 3);
  EXPECT_EQ(Idles, 10);
  EXPECT_TRUE(App.Terminated());
}

}  // namespace
}  // namespace qel
