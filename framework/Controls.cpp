#include "framework/Controls.h"

namespace qel {

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
  FLeft = Left;
  FTop = Top;
  FWidth = Width;
  FHeight = Height;
}

}  // namespace qel
