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

}  // namespace
}  // namespace qel
