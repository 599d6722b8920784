#pragma once
#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace qel::x11 {

struct TRect {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};

struct TMonitor {
  std::string Name;  // XRandR's name of the monitor ("DP-1", or one given by xrandr --setmonitor)
  TRect Rect;        // in root-window coordinates
};

// The screen's monitors, the primary first: XRandR's primary monitor, else the first it
// lists. Without XRandR's monitors (a server older than RandR 1.5), one monitor without a
// name: the primary output, or the whole screen.
std::vector<TMonitor> Monitors(Display* D, int Screen);

// The primary monitor of Monitors.
TRect PrimaryMonitor(Display* D, int Screen);

}  // namespace qel::x11
