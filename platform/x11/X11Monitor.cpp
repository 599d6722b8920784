#include "platform/x11/X11Monitor.h"

#include <X11/extensions/Xrandr.h>

namespace qel::x11 {

TRect PrimaryMonitor(Display* D, int Screen) {
  const TRect Whole{0, 0, DisplayWidth(D, Screen), DisplayHeight(D, Screen)};
  int EventBase = 0, ErrorBase = 0;
  if (!XRRQueryExtension(D, &EventBase, &ErrorBase)) return Whole;
  const Window Root = RootWindow(D, Screen);
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

}  // namespace qel::x11
