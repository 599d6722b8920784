#include "platform/wayland/WaylandPresenter.h"

#include <climits>
#include <cstring>

#include <wayland-egl.h>

#include "viewporter-client-protocol.h"

namespace qel::wl {
namespace {

// An output that shows nothing sends no frame callbacks: the saver then draws a frame a second.
constexpr int HiddenFrameMs = 1000;
// How long a frame waits for a buffer the compositor holds to come back.
constexpr int ReleaseMs = 100;

}  // namespace

const wl_callback_listener TPresenter::FrameListener = {
    [](void* Data, wl_callback* Callback, std::uint32_t) {
      auto* P = static_cast<TPresenter*>(Data);
      P->FFrame = nullptr;
      wl_callback_destroy(Callback);
    },
};

TPresenter::TPresenter(wl_display* Display, wl_shm* Shm, TWaitFor WaitFor, TCanShow CanShow)
    : FDisplay(Display), FShm(Shm), FWaitFor(std::move(WaitFor)), FCanShow(std::move(CanShow)) {}

TPresenter::~TPresenter() { Detach(); }

void TPresenter::Attach(wl_surface* Surface, wp_viewport* Viewport) {
  Detach();
  FSurface = Surface;
  FViewport = Viewport;
}

void TPresenter::Detach() {
  if (FEglWindow) wl_egl_window_destroy(FEglWindow);
  FEglWindow = nullptr;
  if (FFrame) wl_callback_destroy(FFrame);
  FFrame = nullptr;
  FSurface = nullptr;
  FViewport = nullptr;
  FBuffers.Clear();
  FShownScale = 1;
  FShownWidth = FShownHeight = FShownBufferWidth = FShownBufferHeight = 0;
  FDamageAll = true;
}

void TPresenter::SetLogicalSize(int Width, int Height, int Scale) {
  FLogicalWidth = Width;
  FLogicalHeight = Height;
  FScale = Scale > 0 ? Scale : 1;
}

bool TPresenter::Lend(int Width, int Height, std::uint32_t*& Pixels, int& Pitch, bool* Kept) {
  if (!FSurface || !FCanShow()) return false;
  TShmBuffer* B = WaitFree(Width, Height);
  if (!B) return false;
  if (Kept) {
    *Kept = B->Lent();
    B->SetLent(true);
  }
  Pixels = reinterpret_cast<std::uint32_t*>(B->Data());
  Pitch = B->Stride() / 4;
  return true;
}

TShmBuffer* TPresenter::WaitFree(int Width, int Height) {
  TShmBuffer* B = nullptr;
  FWaitFor([&] { return (B = FBuffers.Free(FShm, Width, Height)) != nullptr; }, ReleaseMs, false);
  return B;
}

bool TPresenter::Present(const soft::TFrameBuffer& Frame, bool Whole) {
  const bool Shown = Commit(Frame, Whole || FDamageAll);
  FDamageAll = !Shown;
  return Shown;
}

bool TPresenter::AwaitFrame() {
  if (!FSurface || !FCanShow()) return false;
  // One frame for each the compositor shows: wait until it asks for the next.
  if (FFrame) FWaitFor([&] { return FFrame == nullptr; }, HiddenFrameMs, true);
  return FSurface && FCanShow();
}

void TPresenter::ShowAt(int Width, int Height) {
  // Frames of the output's full resolution on a surface of its logical size.
  if (FViewport) {
    if (FShownWidth != FLogicalWidth || FShownHeight != FLogicalHeight) {
      wp_viewport_set_destination(FViewport, FLogicalWidth, FLogicalHeight);
      FShownWidth = FLogicalWidth;
      FShownHeight = FLogicalHeight;
    }
  } else {
    const int Wanted = Width % FScale == 0 && Height % FScale == 0 ? FScale : 1;
    if (Wanted != FShownScale) wl_surface_set_buffer_scale(FSurface, Wanted);
    FShownScale = Wanted;
  }
}

void TPresenter::AskForFrame() {
  // A callback the wait gave up on is not wanted any more.
  if (FFrame) wl_callback_destroy(FFrame);
  FFrame = wl_surface_frame(FSurface);
  wl_callback_add_listener(FFrame, &FrameListener, this);
}

wl_egl_window* TPresenter::EglWindow(int Width, int Height) {
  if (!FEglWindow && FSurface && Width > 0 && Height > 0)
    FEglWindow = wl_egl_window_create(FSurface, FEglWidth = Width, FEglHeight = Height);
  return FEglWindow;
}

bool TPresenter::ReadyForEgl(int Width, int Height) {
  if (!FEglWindow || Width <= 0 || Height <= 0 || !AwaitFrame()) return false;
  if (FEglWidth != Width || FEglHeight != Height) wl_egl_window_resize(FEglWindow, Width, Height, 0, 0);
  FEglWidth = Width;
  FEglHeight = Height;
  ShowAt(Width, Height);
  AskForFrame();
  // The swap commits what was asked here with its buffer; a frame shown through memory
  // after it shows whole.
  FShownBufferWidth = FShownBufferHeight = 0;
  return true;
}

bool TPresenter::Commit(const soft::TFrameBuffer& Frame, bool Whole) {
  const int Width = Frame.Width, Height = Frame.Height;
  if (Width <= 0 || Height <= 0 || !AwaitFrame()) return false;
  // A frame in the device's own memory is copied whole: the buffer may hold any older frame.
  TShmBuffer* B = FBuffers.Owning(Frame.Pixels);
  if (!B) {
    Whole = true;
    B = WaitFree(Width, Height);
    if (!B) return false;
    B->SetLent(false);
    for (int Y = 0; Y < Height; ++Y)
      std::memcpy(B->Data() + static_cast<std::size_t>(Y) * B->Stride(),
                  Frame.Pixels + static_cast<std::size_t>(Y) * Frame.Pitch, static_cast<std::size_t>(Width) * 4);
  }
  if (B->Busy()) return false;
  ShowAt(Width, Height);
  wl_surface_attach(FSurface, B->Buffer(), 0, 0);
  // What differs from the frame shown before; the whole buffer where the compositor must
  // take it all (its first frame, a new size, an old compositor).
  const bool BufferDamage = wl_surface_get_version(FSurface) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION;
  Whole = Whole || FShownBufferWidth != Width || FShownBufferHeight != Height || !BufferDamage;
  if (Whole) {
    if (BufferDamage)
      wl_surface_damage_buffer(FSurface, 0, 0, Width, Height);
    else
      wl_surface_damage(FSurface, 0, 0, INT_MAX, INT_MAX);
  } else {
    for (const soft::TPixelRect& R : Frame.Changed)
      wl_surface_damage_buffer(FSurface, R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
  }
  FShownBufferWidth = Width;
  FShownBufferHeight = Height;
  AskForFrame();
  wl_surface_commit(FSurface);
  B->SetBusy();
  wl_display_flush(FDisplay);
  return true;
}

}  // namespace qel::wl
