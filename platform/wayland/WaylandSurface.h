#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/unix/InputQueue.h"
#include "platform/unix/MessageBoxLayout.h"
#include "platform/wayland/BufferCanvas.h"
#include "platform/wayland/LayerShell.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/wayland/WaylandPresenter.h"
#include "fractional-scale-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace qel {

// One window of the program on the compositor: the saver's surface, a window of controls or
// the message box.
struct TWaylandPlatform::TSurface {
  TWaylandPlatform* Platform = nullptr;
  TWindowHandle Handle = 0;
  TWindowParams Params;
  bool Saver = false;         // the borderless run-mode window: covers the output
  int Width = 0, Height = 0;  // in buffer pixels, as the program has it
  wl_surface* Surface = nullptr;
  zwlr_layer_surface_v1* Layer = nullptr;
  xdg_surface* Xdg = nullptr;
  xdg_toplevel* Toplevel = nullptr;
  wp_viewport* Viewport = nullptr;
  wp_fractional_scale_v1* FractionalScale = nullptr;  // where the compositor offers it
  int Scale120 = 0;  // the scale it prefers, in 120ths; 0 until it says
  bool Configured = false;
  int LogicalWidth = 0, LogicalHeight = 0;  // as the compositor sized the surface
  int PendingWidth = 0, PendingHeight = 0;  // a toplevel's size until its configure ends
  bool Closed = false;
  std::unique_ptr<wl::TPresenter> Presenter;
  std::unique_ptr<wl::TBufferCanvas> Canvas;  // windows of controls (the configuration panel)
  posix::TPointerState Pointer;               // where the pointer is known, the button held down
  std::unique_ptr<posix::TMessageBoxLayout> Box;  // the message box: drawn as such, Escape clicks OK
  std::string BoxText;
};

}  // namespace qel
