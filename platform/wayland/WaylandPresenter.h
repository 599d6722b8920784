#pragma once
#include <wayland-client.h>

#include <cstdint>
#include <functional>

#include "platform/d3d9/soft/Presentation.h"
#include "platform/wayland/WaylandBuffers.h"

struct wp_viewport;
struct wl_egl_window;

namespace qel::wl {

// Shows finished frames (0xAARRGGBB words, rows top-down) on one wl_surface through wl_shm
// buffers: one frame for each frame callback of the compositor, only the parts that changed
// damaged (in buffer coordinates), and frames of the output's pixels shown at the surface's
// logical size (through the viewporter where there is one, else an integer buffer scale).
// The device can draw straight into the buffers (Lend): showing such a frame copies nothing.
// A GL device shows its frames through a wl_egl_window on the surface instead, paced alike.
class TPresenter {
 public:
  // Dispatches the compositor's events until Done answers true (then true), TimeoutMs passed,
  // or, with StopOnInput, input for the program is waiting (false).
  using TWaitFor = std::function<bool(const std::function<bool()>& Done, int TimeoutMs, bool StopOnInput)>;
  // Whether the surface can show a frame now (configured, not closed, the connection whole).
  using TCanShow = std::function<bool()>;

  TPresenter(wl_display* Display, wl_shm* Shm, TWaitFor WaitFor, TCanShow CanShow);
  ~TPresenter();
  TPresenter(const TPresenter&) = delete;
  TPresenter& operator=(const TPresenter&) = delete;

  // The surface mapped (Viewport may be null); Detach before it goes.
  void Attach(wl_surface* Surface, wp_viewport* Viewport);
  void Detach();
  // The size the compositor gave the surface, and the output's integer scale (used where
  // there is no viewporter).
  void SetLogicalSize(int Width, int Height, int Scale);

  // Memory for the next frame of Width x Height (Pitch in pixels), or false. Kept, when given:
  // set when the memory was lent (given) before and written by nothing else since.
  bool Lend(int Width, int Height, std::uint32_t*& Pixels, int& Pitch, bool* Kept = nullptr);
  // A buffer of Width x Height to draw into, waiting a little for the compositor to free one.
  TShmBuffer* WaitFree(int Width, int Height);
  // Shows a frame; Whole: damage all of it. False where it was not shown (then the next
  // frame is shown whole, as Changed is against the frame before).
  bool Present(const soft::TFrameBuffer& Frame, bool Whole = false);

  // The surface's wl_egl_window, made on first asking at the size of the frames to come, so
  // that the first is drawn at its size; null while detached. Detach ends it.
  wl_egl_window* EglWindow(int Width, int Height);
  // Readies the surface for a frame of Width x Height that an EGL swap then commits: waits,
  // as Present does, for the compositor to ask for a frame, sizes the wl_egl_window to the
  // frame and shows it at the logical size. False: the frame cannot be shown now.
  bool ReadyForEgl(int Width, int Height);

 private:
  bool Commit(const soft::TFrameBuffer& Frame, bool Whole);
  // Waits for the compositor to ask for the next frame (a while; not past input); false
  // where the surface cannot show one.
  bool AwaitFrame();
  // The viewport or the buffer scale that shows a frame of Width x Height at the logical size.
  void ShowAt(int Width, int Height);
  // A frame callback with the next commit.
  void AskForFrame();

  static const wl_callback_listener FrameListener;

  wl_display* FDisplay;
  wl_shm* FShm;
  TWaitFor FWaitFor;
  TCanShow FCanShow;
  wl_surface* FSurface = nullptr;
  wp_viewport* FViewport = nullptr;
  wl_callback* FFrame = nullptr;  // the compositor has not yet asked for the next frame
  wl_egl_window* FEglWindow = nullptr;
  int FEglWidth = 0, FEglHeight = 0;
  TBufferRing FBuffers{3};
  int FLogicalWidth = 0, FLogicalHeight = 0, FScale = 1;
  int FShownScale = 1;
  int FShownWidth = 0, FShownHeight = 0;  // the viewport's destination
  int FShownBufferWidth = 0, FShownBufferHeight = 0;
  bool FDamageAll = true;  // the next frame shows whole
};

}  // namespace qel::wl
