#include "platform/unix/ControlCanvas.h"

#include <algorithm>
#include <cmath>

namespace qel::posix {
namespace {

constexpr std::uint32_t Highlight = 0xFFFFFF;
constexpr std::uint32_t Light = 0xE3E3E3;
constexpr std::uint32_t Shadow = 0xA0A0A0;
constexpr std::uint32_t DarkShadow = 0x696969;
constexpr std::uint32_t WindowText = 0x000000;
constexpr std::uint32_t ErrorRed = 0xD32F2F;

}  // namespace

void TControlCanvas::Edge(int X, int Y, int W, int H, std::uint32_t TopLeft, std::uint32_t BottomRight) {
  Fill(X, Y, W, 1, TopLeft);
  Fill(X, Y, 1, H, TopLeft);
  Fill(X, Y + H - 1, W, 1, BottomRight);
  Fill(X + W - 1, Y, 1, H, BottomRight);
}

void TControlCanvas::RaisedPanel(int X, int Y, int W, int H) { Edge(X, Y, W, H, Highlight, Shadow); }

void TControlCanvas::Button(int X, int Y, int W, int H, const std::string& Caption, const TFont& Font, bool Pressed,
                            bool Focused) {
  if (Pressed) {
    Edge(X, Y, W, H, DarkShadow, Highlight);
    Edge(X + 1, Y + 1, W - 2, H - 2, Shadow, Light);
  } else {
    Edge(X, Y, W, H, Highlight, DarkShadow);
    Edge(X + 1, Y + 1, W - 2, H - 2, Light, Shadow);
  }
  const int Shift = Pressed ? 1 : 0;
  Text(X + (W - TextWidth(Caption, Font)) / 2 + Shift, Y + (H - TextHeight(Font)) / 2 + Shift, Caption, Font);
  if (Focused) {
    // The dotted focus rectangle inside the border.
    const int L = X + 3, T = Y + 3, R = X + W - 4, B = Y + H - 4;
    for (int i = L; i <= R; i += 2) {
      Fill(i, T, 1, 1, WindowText);
      Fill(i, B, 1, 1, WindowText);
    }
    for (int i = T; i <= B; i += 2) {
      Fill(L, i, 1, 1, WindowText);
      Fill(R, i, 1, 1, WindowText);
    }
  }
}

void TControlCanvas::ErrorMark(int X, int Y, int Size) {
  // The disc row by row, each row as wide as the circle is at the row's middle.
  const double Radius = Size / 2.0;
  for (int Row = 0; Row < Size; ++Row) {
    const double Dy = Row + 0.5 - Radius;
    const double Half = std::sqrt(std::max(Radius * Radius - Dy * Dy, 0.0));
    const int Left = static_cast<int>(std::lround(Radius - Half)), Right = static_cast<int>(std::lround(Radius + Half));
    Fill(X + Left, Y + Row, Right - Left, 1, ErrorRed);
  }
  // The cross: two diagonals of square pen strokes, from 3/10 to 7/10 of the size.
  const int Pen = std::max(Size / 10, 2), A = Size * 3 / 10, B = Size - A;
  for (int T = A; T <= B; ++T) {
    Fill(X + T - Pen / 2, Y + T - Pen / 2, Pen, Pen, Highlight);
    Fill(X + Size - T - Pen / 2, Y + T - Pen / 2, Pen, Pen, Highlight);
  }
}

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

void PaintControls(TControlCanvas& Canvas, const TWindowParams& Window, std::uintptr_t Pressed) {
  Canvas.Begin(Window.ClientWidth, Window.ClientHeight);
  const TControlParams* Focus = FocusedButton(Window);
  for (const TControlParams& C : Window.Controls) {
    switch (C.Kind) {
      case TControlKind::ckPanel:
        Canvas.RaisedPanel(C.Left, C.Top, C.Width, C.Height);
        break;
      case TControlKind::ckLabel:
        Canvas.Text(C.Left, C.Top, C.Caption, C.Font);
        break;
      case TControlKind::ckButton:
        Canvas.Button(C.Left, C.Top, C.Width, C.Height, C.Caption, C.Font, C.Id == Pressed, &C == Focus);
        break;
    }
  }
  Canvas.End();
}

}  // namespace qel::posix
