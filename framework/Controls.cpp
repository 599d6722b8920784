#include "framework/Controls.h"

namespace qel {

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
  FLeft = Left;
  FTop = Top;
  FWidth = Width;
  FHeight = Height;
  Changed();
}

void TControl::SetVisible(bool Value) {
  FVisible = Value;
  Changed();
}

void TControl::SetCaption(std::string Value) {
  FCaption = std::move(Value);
  Changed();
}

void TControl::SetFont(const TFont& Value) {
  FFont = Value;
  Changed();
}

void TControl::SetTabOrder(int Value) {
  FTabOrder = Value;
  Changed();
}

}  // namespace qel
