#include "app/MainForm.h"

#include <cstdlib>

#include "framework/Application.h"

namespace qel {
namespace {

TFont BoldFont(int Height) {
  TFont F;
  F.Height = Height;
  F.Bold = true;
  return F;
}

}  // namespace

// The stored settings, applied in their stored order: the form, then its components.
TMainForm::TMainForm(TComponent* Owner, std::string FirstArgument)
    : TForm(Owner), FFirstArgument(std::move(FirstArgument)) {
  SetClientSize(401, 282);
  SetBorderStyle(TBorderStyle::bsNone);
  SetBorderIcons(false);
  SetPosition(TPosition::poDesktopCenter);
  SetColor(clBtnFace);
  SetFont(TFont{});  // "MS Sans Serif", 11 pixels, window text
  SetOnCreate([this](TObject* S) { FormCreate(S); });
  SetOnShow([this](TObject* S) { FormShow(S); });
  SetOnKeyDown([this](TObject* S, std::uint16_t& Key, TShiftState Shift) { FormKeyDown(S, Key, Shift); });
  SetOnMouseMove([this](TObject* S, TShiftState Shift, int X, int Y) { FormMouseMove(S, Shift, X, Y); });
  SetOnMouseEnter([this](TObject* S, TShiftState Shift, int X, int Y) { FormMouseEnter(S, Shift, X, Y); });
  SetOnResize([this](TObject* S) { FormResize(S); });

  Panel1 = Create<TPanel>(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(this);
  Panel1->SetBounds(8, 8, 385, 265);
  Panel1->SetVisible(false);

  Label1 = Create<TLabel>(this);
  Label1->SetName("Label1");
  Label1->SetParent(Panel1);
  Label1->SetBounds(104, 152, 180, 24);
  Label1->SetCaption("No Options - Sorry!");
  Label1->SetFont(BoldFont(19));

  Label2 = Create<TLabel>(this);
  Label2->SetName("Label2");
  Label2->SetParent(Panel1);
  Label2->SetBounds(112, 16, 167, 37);
  Label2->SetCaption("QEL Wave");
  Label2->SetFont(BoldFont(32));

  Button1 = Create<TButton>(this);
  Button1->SetName("Button1");
  Button1->SetParent(Panel1);
  Button1->SetBounds(152, 216, 75, 25);
  Button1->SetCaption("close");
  Button1->SetTabOrder(0);
  Button1->SetOnClick([this](TObject* S) { Button1Click(S); });

  // Run mode gives the device the screen's size; it draws into this form's window.
  D = Create<TGlowDevice>(this);
  D->SetName("D");
  D->SetWidth(800);
  D->SetHeight(600);
  D->SetBitDepth(bdHigh);
  D->SetRefresh(0);
  D->SetWindowed(true);
  D->SetVSync(false);
  D->SetHardwareTL(false);
  D->SetDepthBuffer(false);
  D->SetWindowHandle(0);
  D->SetOnRender([this](TObject* S) { DRender(S); });

  Timer = Create<TGlowTimer>(this);
  Timer->SetName("Timer");
  Timer->SetSpeed(120);
  Timer->SetMaxFPS(100);
  Timer->SetEnabled(true);
  Timer->SetOnTimer([this](TObject* S) { TimerTimer(S); });
  Timer->SetOnProcess([this](TObject* S) { TimerProcess(S); });

  C = Create<TGlowCanvas>(this);
  C->SetName("C");
  C->SetPublisher(D);
  C->SetAlphaTesting(false);
  C->SetVertexCache(4096);
  C->SetAntialias(true);
  C->SetDithering(false);

  Tex = Create<TGlowImages>(this);
  Tex->SetName("Tex");
  Tex->SetPublisher(D);
  Tex->SetMipMappping(false);

  Db = Create<TGlowDb>(this);
  Db->SetName("Db");
  Db->SetOpenMode(opReadOnly);

  Font = Create<TGlowFonts>(this);
  Font->SetName("Font");
  Font->SetPublisher(D);
  Font->SetCanvas(C);

  ExitTimer = Create<TTimer>(this);
  ExitTimer->SetName("ExitTimer");
  ExitTimer->SetOnTimer([this](TObject* S) { ExitTimerTimer(S); });

  ChangeTimer = Create<TTimer>(this);
  ChangeTimer->SetName("ChangeTimer");
  ChangeTimer->SetInterval(5000);
  ChangeTimer->SetOnTimer([this](TObject* S) { ChangeTimerTimer(S); });
}

void TMainForm::FormCreate(TObject*) {
  const std::string& A = FFirstArgument;
  RunMode = A == "/s" || A == "/S";
  if (A.size() >= 2 && (A[1] == 'c' || A[1] == 'C')) {
    // Configuration: the panel in a window with a caption, still without border icons.
    RunMode = true;
    SetBorderStyle(TBorderStyle::bsSingle);
    Panel1->SetVisible(true);
    return;
  }
  if (A == "/p" || A == "/P") RunMode = false;  // preview: nothing is drawn in the host's window
  if (!RunMode) return;
  RunModeSetUp();
}

void TMainForm::FormShow(TObject*) {
  if (!RunMode) Close();
}

void TMainForm::FormResize(TObject*) {
  // The frames follow the window: the device resets at its new size.
  if (!D->Initialized()) return;
  D->SetWidth(ClientWidth());
  D->SetHeight(ClientHeight());
}

void TMainForm::FormKeyDown(TObject*, std::uint16_t& Key, TShiftState) {
  if (Key == vkSpace) {
    ChangeTimerTimer(this);  // the next wave, never the end
    return;
  }
  if (Key == vkEscape) {
    Close();
    return;
  }
  if (!ShowFPS && ExitArmed) Close();
}

void TMainForm::FormMouseMove(TObject*, TShiftState, int X, int Y) {
  PrevMouseX = MouseX;
  PrevMouseY = MouseY;
  MouseX = X;
  MouseY = Y;
  if (ShowFPS || Panel1->Visible() || !ExitArmed) return;
  // 64-bit differences: no overflow whatever coordinates the platform reports.
  if (std::llabs(std::int64_t{X} - PrevMouseX) > 10 || std::llabs(std::int64_t{Y} - PrevMouseY) > 10) Close();
}

void TMainForm::FormMouseEnter(TObject*, TShiftState, int X, int Y) {
  PrevMouseX = MouseX;
  PrevMouseY = MouseY;
  MouseX = X;
  MouseY = Y;
}

void TMainForm::ExitTimerTimer(TObject*) {
  ExitArmed = true;
  ExitTimer->SetEnabled(false);
}

void TMainForm::Button1Click(TObject*) { Close(); }

}  // namespace qel
