#pragma once
#include <X11/Xlib.h>

namespace qel::x11 {

struct TRect {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

// The primary monitor in root-window coordinates: XRandR's primary output, or the whole
// screen without XRandR or a primary output with a picture.
TRect PrimaryMonitor(Display* D, int Screen);

}  // namespace qel::x11
