#include "framework/Forms.h"

#include "framework/Application.h"

namespace qel {

TForm::TForm(TComponent* Owner) : TControl(Owner) { TControl::SetVisible(false); }

TForm::~TForm() { DestroyHandle(); }

void TForm::DestroyHandle() {
  if (FHandle && Application) {
    Application->UnregisterWindow(FHandle);
    Application->Platform().DestroyWindow(FHandle);
  }
  FHandle = 0;
}

namespace {

TControlKind KindOf(const TControl& C) {
  if (dynamic_cast<const TButton*>(&C)) return TControlKind::ckButton;
  if (dynamic_cast<const TLabel*>(&C)) return TControlKind::ckLabel;
  return TControlKind::ckPanel;
}

}  // namespace

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
    P.DesktopCenter = true;
  }
  if (P.Caption.empty() && Application) P.Caption = Application->Title();
  // Owned controls whose parents all lead to this form, in creation order (parents first).
  for (int i = 0; i < ComponentCount(); ++i) {
    const auto* C = dynamic_cast<const TControl*>(Components(i));
    if (!C) continue;
    TControlParams CP;
    CP.Left = C->Left();
    CP.Top = C->Top();
    bool Shown = C->Visible();
    const TControl* Up = C->Parent();
    for (; Up && Up != this && Shown; Up = Up->Parent()) {
      Shown = Up->Visible();
      CP.Left += Up->Left();
      CP.Top += Up->Top();
    }
    if (!Shown || Up != this) continue;
    CP.Kind = KindOf(*C);
    CP.Id = reinterpret_cast<std::uintptr_t>(C);
    CP.Width = C->Width();
    CP.Height = C->Height();
    CP.Caption = C->Caption();
    CP.Font = C->Font();
    CP.TabOrder = C->TabOrder();
    P.Controls.push_back(std::move(CP));
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
  // A size the platform reported is not echoed back to it.
  if (FHandle && Application && !FResizing) Application->Platform().UpdateWindow(FHandle, Params());
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
  FClosed = false;
  if (!FShown) {
    FShown = true;
    // OnShow comes as the window is about to appear: a form it closes is never seen.
    Fire(FOnShow, this);
    if (FClosed) return;
  }
  SetVisible(true);
}

void TForm::Close() {
  FClosed = true;
  if (Application && Application->MainForm() == this)
    Application->Terminate();
  else
    SetVisible(false);
}

void TForm::DoCreate() { Fire(FOnCreate, this); }

void TForm::KeyDown(std::uint16_t Key, TShiftState Shift) { Fire(FOnKeyDown, this, Key, Shift); }

void TForm::MouseMove(TShiftState Shift, int X, int Y) { Fire(FOnMouseMove, this, Shift, X, Y); }

void TForm::MouseEnter(int X, int Y) { Fire(FOnMouseEnter, this, 0, X, Y); }

void TForm::ControlClicked(std::uintptr_t Id) {
  // Compared, never dereferenced: an Id of a control freed meanwhile finds nothing.
  for (int i = 0; i < ComponentCount(); ++i)
    if (reinterpret_cast<std::uintptr_t>(Components(i)) == Id)
      if (auto* C = dynamic_cast<TControl*>(Components(i))) {
        C->Click();
        return;
      }
}

void TForm::Resized(int Width, int Height) {
  if (Width == this->Width() && Height == this->Height()) return;
  FResizing = true;
  SetBounds(Left(), Top(), Width, Height);
  FResizing = false;
  Fire(FOnResize, this);
}

}  // namespace qel
