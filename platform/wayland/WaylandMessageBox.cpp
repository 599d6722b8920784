#include <cstdio>

#include "platform/unix/ControlCanvas.h"
#include "platform/unix/MessageBoxLayout.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/wayland/WaylandSurface.h"

namespace qel {

// The message box: a window of its own with the text and an OK button, modal until the user
// or the compositor closes it.
void TWaylandPlatform::MessageBox(const std::string& Text, const std::string& Caption) {
  // The background layer takes no input, and a saver beside the one with the keyboard leaves
  // the words to that one; without a shell for windows there is nowhere to show them.
  if (!FOutput || FLost || !FWmBase || FOptions.Background || !FOptions.Keyboard) {
    std::fprintf(stderr, "qelwave: %s\n", Text.c_str());
    return;
  }
  TWindowParams Params;
  Params.Caption = Caption;
  Params.BorderStyle = TBorderStyle::bsSingle;
  Params.BorderIcons = false;
  const TWindowHandle Handle = CreateWindow(Params);
  TSurface& S = *FWindows[Handle];
  S.BoxText = Text;
  S.Box = std::make_unique<posix::TMessageBoxLayout>(
      posix::LayOutMessageBox(CanvasOf(S).TextWidth(Text, posix::MessageBoxFont())));
  // The OK button as a control, so that the keys and the pointer click it as any button.
  TControlParams Ok;
  Ok.Kind = TControlKind::ckButton;
  Ok.Id = 1;
  Ok.Left = S.Box->ButtonX;
  Ok.Top = S.Box->ButtonY;
  Ok.Width = S.Box->ButtonW;
  Ok.Height = S.Box->ButtonH;
  Ok.Caption = "OK";
  Ok.Font = posix::MessageBoxFont();
  Ok.TabOrder = 0;
  Params.Controls.push_back(Ok);
  Params.ClientWidth = S.Box->Width;
  Params.ClientHeight = S.Box->Height;
  Params.Visible = true;
  UpdateWindow(Handle, Params);
  // Modal: the box's own events are taken here, the program's other windows wait.
  bool Done = false;
  while (!Done && !QuitPending()) {
    TPlatformEvent E;
    while (FInput.TakeFor(Handle, E))
      Done = Done || E.Kind == TPlatformEvent::TKind::Click || E.Kind == TPlatformEvent::TKind::Close;
    if (!Done && !Pump(-1)) break;
  }
  DestroyWindow(Handle);
}

}  // namespace qel
