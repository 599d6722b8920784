#include "framework/Forms.h"

#include "framework/Application.h"

namespace qel {

TForm::TForm(TComponent* Owner) : TControl(Owner) { TControl::SetVisible(false); }

TForm::~TForm() {
  if (FHandle && Application) {
    Application->UnregisterWindow(FHandle);
    Application->Platform().DestroyWindow(FHandle);
  }
}

TWindowParams TForm::Params() const {
  TWindowParams P;
  P.Caption = Caption();
  P.Left = Left();
  P.Top = Top();
  P.ClientWidth = ClientWidth();
  P.ClientHeight = ClientHeight();
  P.BorderStyle = FBorderStyle;
  P.BorderIcons = FBorderIcons;
  P.CursorVisible = FCursorVisible;
  P.Visible = Visible();
  if (FPosition != TPosition::poDesigned && Application) {
    const TScreenSize S = Application->Platform().ScreenSize();
    P.Left = (S.Width - P.ClientWidth) / 2;
    P.Top = (S.Height - P.ClientHeight) / 2;
  }
  return P;
}

TWindowHandle TForm::Handle() {
  if (!FHandle && Application) {
    FHandle = Application->Platform().CreateWindow(Params());
    Application->RegisterWindow(FHandle, this);
  }
  return FHandle;
}

void TForm::UpdateWindow() {
  if (FHandle && Application) Application->Platform().UpdateWindow(FHandle, Params());
}

void TForm::SetBounds(int Left, int Top, int Width, int Height) {
  TControl::SetBounds(Left, Top, Width, Height);
  UpdateWindow();
}

void TForm::SetVisible(bool Value) {
  TControl::SetVisible(Value);
  UpdateWindow();
}

void TForm::SetCaption(std::string Value) {
  TControl::SetCaption(std::move(Value));
  UpdateWindow();
}

void TForm::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  UpdateWindow();
}

void TForm::SetBorderIcons(bool Value) {
  FBorderIcons = Value;
  UpdateWindow();
}

void TForm::SetCursorVisible(bool Value) {
  FCursorVisible = Value;
  UpdateWindow();
}

void TForm::Show() {
  Handle();
  SetVisible(true);
  if (!FShown) {
    FShown = true;
    Fire(FOnShow, this);
  }
}

void TForm::Close() {
  if (Application && Application->MainForm() == this)
    Application->Terminate();
  else
    SetVisible(false);
}

void TForm::DoCreate() { Fire(FOnCreate, this); }

void TForm::KeyDown(std::uint16_t Key, TShiftState Shift) { Fire(FOnKeyDown, this, Key, Shift); }

void TForm::MouseMove(TShiftState Shift, int X, int Y) { Fire(FOnMouseMove, this, Shift, X, Y); }

}  // namespace qel
