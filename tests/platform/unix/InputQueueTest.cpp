#include "platform/unix/InputQueue.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <vector>

namespace qel::posix {
namespace {

using TKind = TPlatformEvent::TKind;
constexpr TWindowHandle Saver = 1, Other = 2;

std::vector<TPlatformEvent> TakeAll(TInputQueue& Q) {
  std::vector<TPlatformEvent> All;
  TPlatformEvent E;
  while (Q.Take(E)) All.push_back(E);
  return All;
}

TWindowParams PanelWithButton() {
  TWindowParams P;
  TControlParams B;
  B.Kind = TControlKind::ckButton;
  B.Id = 77;
  B.Left = 10;
  B.Top = 10;
  B.Width = 50;
  B.Height = 20;
  B.TabOrder = 0;
  P.Controls.push_back(B);
  return P;
}

TEST(InputQueue, TheFirstPositionLearntIsWhereThePointerRestsAndLaterOnesAreMoves) {
  TInputQueue Q;
  TPointerState State;
  Q.Enter(Saver, State, 600, 400);
  Q.Move(Saver, State, 611, 400);
  Q.Enter(Saver, State, 5, 6);  // learnt again: the pointer went away and came back
  const auto All = TakeAll(Q);
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[0].Kind, TKind::MouseEnter);
  EXPECT_EQ(All[0].X, 600);
  EXPECT_EQ(All[0].Y, 400);
  EXPECT_EQ(All[1].Kind, TKind::MouseMove);
  EXPECT_EQ(All[1].X, 5);
  // A move the window hears of first is a move, and an enter after it one as well.
  TPointerState Fresh;
  Q.Move(Other, Fresh, 30, 40);
  Q.Enter(Other, Fresh, 30, 40);
  for (const TPlatformEvent& E : TakeAll(Q)) EXPECT_EQ(E.Kind, TKind::MouseMove);
}

TEST(InputQueue, MovesOfOneDispatchMergeIntoOneToTheNewestPosition) {
  TInputQueue Q;
  TPointerState State{true, 0}, OtherState{true, 0};
  for (int X = 5; X <= 300; X += 5) Q.Move(Saver, State, X, 7);
  auto All = TakeAll(Q);
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].X, 300);
  EXPECT_EQ(All[0].Y, 7);
  // Another event, or another window, keeps the moves before it apart.
  Q.Move(Saver, State, 1, 1);
  Q.Key(Saver, {}, XKB_KEY_a);
  Q.Move(Saver, State, 2, 2);
  Q.Move(Other, OtherState, 3, 3);
  All = TakeAll(Q);
  ASSERT_EQ(All.size(), 4u);
  EXPECT_EQ(All[0].X, 1);
  EXPECT_EQ(All[1].Kind, TKind::KeyDown);
  EXPECT_EQ(All[1].Key, 'A');
  EXPECT_EQ(All[2].X, 2);
  EXPECT_EQ(All[3].Window, Other);
  EXPECT_TRUE(Q.Empty());
}

TEST(InputQueue, TheFocusedButtonTakesTheKeysThatPressIt) {
  const TWindowParams Panel = PanelWithButton();
  struct TCase {
    unsigned long Sym;
    bool EscapeClicks;
    bool Clicks;
  };
  for (const TCase& C : {TCase{XKB_KEY_Return, false, true}, TCase{XKB_KEY_KP_Enter, false, true},
                         TCase{XKB_KEY_space, false, true}, TCase{XKB_KEY_Escape, true, true},
                         TCase{XKB_KEY_Escape, false, false}, TCase{XKB_KEY_a, true, false}}) {
    TInputQueue Q;
    Q.Key(Saver, Panel, C.Sym, C.EscapeClicks);
    const auto All = TakeAll(Q);
    ASSERT_EQ(All.size(), C.Clicks ? 1u : 0u) << C.Sym;
    if (C.Clicks) {
      EXPECT_EQ(All[0].Kind, TKind::Click);
      EXPECT_EQ(All[0].Control, 77u);
    }
  }
}

TEST(InputQueue, AClickIsAPressAndAReleaseOfTheLeftButtonOnTheSameButton) {
  const TWindowParams Panel = PanelWithButton();
  struct TCase {
    int Button, PressX, ReleaseX;
    bool Clicks;
  };
  for (const TCase& C : {TCase{1, 20, 50, true}, TCase{1, 20, 70, false}, TCase{1, 70, 20, false},
                         TCase{3, 20, 20, false}}) {
    TInputQueue Q;
    TPointerState State{true, 0};
    const bool PaintPress = Q.Button(Saver, Panel, State, C.Button, true, C.PressX, 15);
    EXPECT_EQ(PaintPress, C.Button == 1 && C.PressX < 60);
    Q.Button(Saver, Panel, State, C.Button, false, C.ReleaseX, 15);
    EXPECT_EQ(State.Pressed, 0u);
    const auto All = TakeAll(Q);
    ASSERT_EQ(All.size(), C.Clicks ? 2u : 1u);
    EXPECT_EQ(All[0].Kind, TKind::MouseDown);
    if (C.Clicks) {
      EXPECT_EQ(All[1].Control, 77u);
    }
  }
}

TEST(InputQueue, AModalWindowTakesItsOwnEventsAndTheOthersWait) {
  TInputQueue Q;
  TPointerState State{true, 0};
  Q.Key(Saver, {}, XKB_KEY_a);
  Q.Key(Other, {}, XKB_KEY_b);
  Q.Move(Other, State, 4, 4);
  TPlatformEvent E;
  ASSERT_TRUE(Q.TakeFor(Other, E));
  EXPECT_EQ(E.Key, 'B');
  ASSERT_TRUE(Q.TakeFor(Other, E));
  EXPECT_EQ(E.Kind, TKind::MouseMove);
  EXPECT_FALSE(Q.TakeFor(Other, E));
  const auto All = TakeAll(Q);
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Key, 'A');
}

TEST(InputQueue, NothingOfAWindowGoneIsDelivered) {
  TInputQueue Q;
  TPointerState State{true, 0};
  Q.Key(Saver, {}, XKB_KEY_a);
  Q.Move(Saver, State, 1, 1);
  Q.Key(Other, {}, XKB_KEY_b);
  Q.Move(Saver, State, 9, 9);
  Q.Forget(Saver);
  const auto All = TakeAll(Q);
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Window, Other);
}

}  // namespace
}  // namespace qel::posix
