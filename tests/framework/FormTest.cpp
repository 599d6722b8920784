#include <gtest/gtest.h>

#include "framework/Application.h"
#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

TEST(Form, ClosingTheMainFormEndsTheRunAndAnotherFormOnlyHides) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Main = App.CreateForm<TForm>();
  TForm* Other = App.CreateForm<TForm>();
  EXPECT_EQ(App.MainForm(), Main);
  Other->Show();
  EXPECT_TRUE(Other->Visible());
  Other->Close();
  EXPECT_FALSE(Other->Visible());
  EXPECT_FALSE(App.Terminated());
  Main->Close();
  EXPECT_TRUE(App.Terminated());
}

TEST(Form, AFormClosedByItsOnShowNeverAppears) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* Main = App.CreateForm<TForm>();
  Main->SetOnShow([&](TObject*) { Main->Close(); });
  App.Run();
  EXPECT_TRUE(App.Terminated());
  EXPECT_FALSE(Platform.Window(Main->Handle())->Params.Visible);
}

TEST(Form, WindowFollowsTheFormsSettings) {
  THeadlessPlatform Platform(1000, 700);
  TApplication App(Platform);
  TForm* F = App.CreateForm<TForm>();
  F->SetClientSize(400, 300);
  F->SetPosition(TPosition::poDesktopCenter);
  F->SetCaption("QEL");
  const TWindowHandle H = F->Handle();
  ASSERT_NE(H, 0u);
  EXPECT_EQ(F->Handle(), H);  // made once
  const TWindowParams* P = &Platform.Window(H)->Params;
  EXPECT_EQ(P->Left, 300);
  EXPECT_EQ(P->Top, 200);
  EXPECT_TRUE(P->DesktopCenter);  // a framed window is centred whole by its platform
  EXPECT_EQ(P->Caption, "QEL");
  EXPECT_FALSE(P->Visible);
  F->SetBorderStyle(TBorderStyle::bsNone);
  F->SetCursorVisible(false);
  F->Show();
  P = &Platform.Window(H)->Params;
  EXPECT_TRUE(P->Visible);
  EXPECT_EQ(P->BorderStyle, TBorderStyle::bsNone);
  EXPECT_FALSE(P->CursorVisible);
}

TEST(Form, FreeingAFormDestroysItsWindow) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* F = App.CreateForm<TForm>();
  const TWindowHandle H = F->Handle();
  delete F;
  EXPECT_FALSE(Platform.Window(H)->Alive);
}

TEST(Form, InputReachesTheFormAndOnCreateRunsOnce) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  struct TProbeForm : TForm {
    explicit TProbeForm(TComponent* Owner) : TForm(Owner) {
      SetOnCreate([this](TObject*) { ++Creates; });
      SetOnMouseMove([this](TObject*, TShiftState, int X, int Y) { Sum += X * 1000 + Y; });
    }
    int Creates = 0;
    int Sum = 0;
  };
  auto* F = App.CreateForm<TProbeForm>();
  EXPECT_EQ(F->Creates, 1);
  Platform.MouseMoveAt(5, 3, 4);
  Platform.MouseMoveAt(6, 10, 20);
  App.Run();  // ends by itself: nothing left to wait for
  EXPECT_EQ(F->Sum, 3004 + 10020);
  EXPECT_EQ(F->Creates, 1);
}

TEST(Form, WindowListsItsVisibleControlsInClientCoordinatesAndClicksComeBack) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* F = App.CreateForm<TForm>();
  auto* Panel = Create<TPanel>(F);
  Panel->SetParent(F);
  Panel->SetBounds(8, 8, 300, 200);
  auto* Button = Create<TButton>(F);
  Button->SetParent(Panel);
  Button->SetBounds(10, 20, 75, 25);
  Button->SetCaption("close");
  int Clicks = 0;
  Button->SetOnClick([&](TObject* Sender) { Clicks += Sender == Button; });
  auto* Orphan = Create<TLabel>(F);  // no parent: not part of the window
  Orphan->SetCaption("x");
  const TWindowHandle H = F->Handle();

  Panel->SetVisible(false);  // hides its children too, and reaches the open window
  EXPECT_TRUE(Platform.Window(H)->Params.Controls.empty());
  Panel->SetVisible(true);
  const auto& Controls = Platform.Window(H)->Params.Controls;
  ASSERT_EQ(Controls.size(), 2u);
  EXPECT_EQ(Controls[0].Kind, TControlKind::ckPanel);
  EXPECT_EQ(Controls[1].Kind, TControlKind::ckButton);
  EXPECT_EQ(Controls[1].Left, 18);
  EXPECT_EQ(Controls[1].Top, 28);
  EXPECT_EQ(Controls[1].Caption, "close");

  Platform.ClickAt(1, Controls[1].Id);
  Platform.ClickAt(2, 12345);  // no such control: ignored
  App.Run();
  EXPECT_EQ(Clicks, 1);
}

TEST(Form, ASizeFromThePlatformFiresOnResizeWithoutBeingSentBack) {
  THeadlessPlatform Platform;
  TApplication App(Platform);
  TForm* F = App.CreateForm<TForm>();
  F->SetClientSize(400, 300);
  const TWindowHandle H = F->Handle();
  int Resizes = 0;
  F->SetOnResize([&](TObject*) { ++Resizes; });
  Platform.ResizeAt(1, 640, 480);
  Platform.ResizeAt(2, 640, 480);  // no change: no event
  App.Run();
  EXPECT_EQ(Resizes, 1);
  EXPECT_EQ(F->ClientWidth(), 640);
  EXPECT_EQ(F->ClientHeight(), 480);
  EXPECT_EQ(Platform.Window(H)->Params.ClientWidth, 400);  // the platform's own size stands
}

}  // namespace
}  // namespace qel
