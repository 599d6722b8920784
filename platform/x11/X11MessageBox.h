#pragma once
#include <X11/Xlib.h>

#include <functional>
#include <string>

#include "platform/x11/X11Monitor.h"

namespace qel::x11 {

// A small modal window centred on the monitor: an error mark, the text and an OK button.
// Returns once Enter, Escape, Space, a click on OK or the window manager's close dismisses
// it, or as soon as Abort answers true (checked whenever WakeFd becomes readable, and at
// least every 100 ms). The window is gone from the screen when it returns.
void ShowMessageBox(Display* D, const TRect& Monitor, const std::string& Text, const std::string& Caption,
                    const std::function<bool()>& Abort, int WakeFd);

}  // namespace qel::x11
