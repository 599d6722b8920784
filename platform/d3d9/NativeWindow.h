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
  enum class TSystem { X11, Wayland };
  TSystem System = TSystem::X11;
  void* Display = nullptr;    // X11: the Display*; Wayland: the wl_display* the platform draws on
  // X11: the window's XID; Wayland: the surface's wl_egl_window*, 0 while it is not mapped.
  std::uintptr_t Window = 0;
  // Readies the window for a frame of Width x Height pixels, shown in its top-left corner,
  // and answers the window's height in pixels as the platform knows it (asking the system
  // would cost a round trip a frame); 0 where the frame may not be shown now (the window is
  // gone or off the screen): it is dropped.
  std::function<int(int Width, int Height)> Ready;
  // The platform paces the frames itself (Ready waits until the screen asks for one): a
  // swap must then never wait, as the screen may never ask.
  bool Paced = false;
  // Called after each frame the device showed in the window.
  std::function<void()> Shown;
  // Set by RegisterNativeWindow, new with each registration: what a device made for an
  // earlier window of the same handle is not for this one.
  std::uint64_t Serial = 0;
};

// Registers anew what was registered for Window before (a surface mapped again).
void RegisterNativeWindow(HWND Window, TNativeWindow Native);
void UnregisterNativeWindow(HWND Window);
// The window's registration, or null.
const TNativeWindow* FindNativeWindow(HWND Window);

// Changed is called with the window's handle before its registration is replaced or ends,
// while the native window still exists: what a device made on it goes then.
void WatchNativeWindows(const void* Watcher, std::function<void(HWND Window)> Changed);
void UnwatchNativeWindows(const void* Watcher);

}  // namespace qel::d3d9
