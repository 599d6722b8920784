#pragma once
// What a platform hands a device that draws through the system's GL about one of its windows
// (an HWND off Windows): the native display and window, so that frames go to the screen
// without passing through memory. The software device does not use it; a platform registers
// it beside the window's buffer presenter, and either device then finds what it needs.
#include <cstdint>
#include <functional>

#include "platform/d3d9/d3d9api.h"

namespace qel::d3d9 {

struct TNativeWindow {
  enum class TSystem { X11 };
  TSystem System = TSystem::X11;
  void* Display = nullptr;    // X11: the Display* the platform draws on
  std::uintptr_t Window = 0;  // X11: the window's XID
  // Whether a frame may be shown now (the window exists and is on the screen); a frame that
  // may not is dropped.
  std::function<bool()> Showable;
  // Called after each frame the device showed in the window.
  std::function<void()> Shown;
};

void RegisterNativeWindow(HWND Window, TNativeWindow Native);
void UnregisterNativeWindow(HWND Window);
// The window's registration, or null.
const TNativeWindow* FindNativeWindow(HWND Window);

}  // namespace qel::d3d9
