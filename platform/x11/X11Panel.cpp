#include "platform/x11/X11Panel.h"

namespace qel::x11 {

const TControlParams* FocusedButton(const TWindowParams& Window) {
  const TControlParams* Best = nullptr;
  for (const TControlParams& C : Window.Controls)
    if (C.Kind == TControlKind::ckButton && C.TabOrder >= 0 && (!Best || C.TabOrder < Best->TabOrder)) Best = &C;
  return Best;
}

const TControlParams* ButtonAt(const TWindowParams& Window, int X, int Y) {
  for (const TControlParams& C : Window.Controls)
    if (C.Kind == TControlKind::ckButton && X >= C.Left && X < C.Left + C.Width && Y >= C.Top && Y < C.Top + C.Height)
      return &C;
  return nullptr;
}

void PaintControls(TPainter& Painter, const TWindowParams& Window, std::uintptr_t Pressed) {
  Painter.Begin(Window.ClientWidth, Window.ClientHeight);
  const TControlParams* Focus = FocusedButton(Window);
  for (const TControlParams& C : Window.Controls) {
    switch (C.Kind) {
      case TControlKind::ckPanel:
        Painter.RaisedPanel(C.Left, C.Top, C.Width, C.Height);
        break;
      case TControlKind::ckLabel:
        Painter.Text(C.Left, C.Top, C.Caption, C.Font);
        break;
      case TControlKind::ckButton:
        Painter.Button(C.Left, C.Top, C.Width, C.Height, C.Caption, C.Font, C.Id == Pressed, &C == Focus);
        break;
    }
  }
  Painter.End();
}

}  // namespace qel::x11
