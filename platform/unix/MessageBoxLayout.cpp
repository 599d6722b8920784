#include "platform/unix/MessageBoxLayout.h"

#include <algorithm>

namespace qel::posix {
namespace {

constexpr int Margin = 16;
constexpr int Icon = 32;
constexpr int IconGap = 12;  // between the mark and the text, and below the button
constexpr int ButtonW = 75;
constexpr int ButtonH = 23;

}  // namespace

bool TMessageBoxLayout::OnButton(int X, int Y) const {
  return X >= ButtonX && X < ButtonX + ButtonW && Y >= ButtonY && Y < ButtonY + ButtonH;
}

TFont MessageBoxFont() {
  TFont F;
  F.Height = 12;
  return F;
}

TMessageBoxLayout LayOutMessageBox(int TextWidth) {
  TMessageBoxLayout L;
  L.Width = std::max(Margin + Icon + IconGap + std::max(TextWidth, 0) + Margin, ButtonW + 2 * Margin);
  L.Height = Margin + Icon + Margin + ButtonH + IconGap;
  L.IconX = L.IconY = Margin;
  L.IconSize = Icon;
  L.TextX = Margin + Icon + IconGap;
  L.TextY = Margin + (Icon - MessageBoxFont().Height) / 2 - 1;
  L.ButtonW = ButtonW;
  L.ButtonH = ButtonH;
  L.ButtonX = (L.Width - ButtonW) / 2;
  L.ButtonY = L.Height - IconGap - ButtonH;
  return L;
}

void PaintMessageBox(TControlCanvas& Canvas, const TMessageBoxLayout& Box, const std::string& Text, bool Pressed) {
  const TFont Font = MessageBoxFont();
  Canvas.Begin(Box.Width, Box.Height);
  Canvas.ErrorMark(Box.IconX, Box.IconY, Box.IconSize);
  Canvas.Text(Box.TextX, Box.TextY, Text, Font);
  Canvas.Button(Box.ButtonX, Box.ButtonY, Box.ButtonW, Box.ButtonH, "OK", Font, Pressed, true);
  Canvas.End();
}

}  // namespace qel::posix
