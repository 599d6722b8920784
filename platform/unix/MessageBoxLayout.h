#pragma once
#include <string>

#include "platform/unix/ControlCanvas.h"

namespace qel::posix {

// Where the parts of a message box go: the error mark at the left, the text beside it and
// the OK button centred below, in a window just wide enough for the text.
struct TMessageBoxLayout {
  int Width = 0, Height = 0;
  int IconX = 0, IconY = 0, IconSize = 0;
  int TextX = 0, TextY = 0;  // top of the text
  int ButtonX = 0, ButtonY = 0, ButtonW = 0, ButtonH = 0;

  bool OnButton(int X, int Y) const;
};

TFont MessageBoxFont();
// The layout for a text of TextWidth pixels in MessageBoxFont.
TMessageBoxLayout LayOutMessageBox(int TextWidth);
// Draws the whole box; Pressed: the OK button is held down.
void PaintMessageBox(TControlCanvas& Canvas, const TMessageBoxLayout& Box, const std::string& Text, bool Pressed);

}  // namespace qel::posix
