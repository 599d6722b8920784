#include "platform/x11/X11Monitor.h"

#include <X11/extensions/Xrandr.h>

namespace qel::x11 {
namespace {

// The primary output's picture, where RandR has no monitors to list.
TRect PrimaryOutput(Display* D, Window Root, const TRect& Whole) {
  const RROutput Primary = XRRGetOutputPrimary(D, Root);
  if (!Primary) return Whole;
  XRRScreenResources* Resources = XRRGetScreenResourcesCurrent(D, Root);
  if (!Resources) return Whole;
  TRect Result = Whole;
  if (XRROutputInfo* Output = XRRGetOutputInfo(D, Resources, Primary)) {
    if (Output->crtc)
      if (XRRCrtcInfo* Crtc = XRRGetCrtcInfo(D, Resources, Output->crtc)) {
        if (Crtc->width > 0 && Crtc->height > 0)
          Result = TRect{Crtc->x, Crtc->y, static_cast<int>(Crtc->width), static_cast<int>(Crtc->height)};
        XRRFreeCrtcInfo(Crtc);
      }
    XRRFreeOutputInfo(Output);
  }
  XRRFreeScreenResources(Resources);
  return Result;
}

}  // namespace

std::vector<TMonitor> Monitors(Display* D, int Screen) {
  const TRect Whole{0, 0, DisplayWidth(D, Screen), DisplayHeight(D, Screen)};
  int EventBase = 0, ErrorBase = 0, Major = 0, Minor = 0;
  if (!XRRQueryExtension(D, &EventBase, &ErrorBase) || !XRRQueryVersion(D, &Major, &Minor))
    return {TMonitor{"", Whole}};
  const Window Root = RootWindow(D, Screen);
  if (Major == 1 && Minor < 5) return {TMonitor{"", PrimaryOutput(D, Root, Whole)}};
  int Count = 0;
  XRRMonitorInfo* Infos = XRRGetMonitors(D, Root, True, &Count);
  std::vector<TMonitor> Result;
  for (int i = 0; i < Count; ++i) {
    const XRRMonitorInfo& M = Infos[i];
    if (M.width <= 0 || M.height <= 0) continue;
    TMonitor Monitor;
    if (char* Name = M.name ? XGetAtomName(D, M.name) : nullptr) {
      Monitor.Name = Name;
      XFree(Name);
    }
    Monitor.Rect = TRect{M.x, M.y, M.width, M.height};
    if (M.primary)
      Result.insert(Result.begin(), Monitor);
    else
      Result.push_back(Monitor);
  }
  if (Infos) XRRFreeMonitors(Infos);
  if (Result.empty()) Result.push_back(TMonitor{"", Whole});
  return Result;
}

TRect PrimaryMonitor(Display* D, int Screen) { return Monitors(D, Screen).front().Rect; }

}  // namespace qel::x11
