#include "platform/wayland/WaylandCapture.h"

#include <poll.h>

#include <chrono>
#include <memory>

#include "platform/wayland/CaptureFormats.h"
#include "platform/wayland/WaylandBuffers.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace qel::wl {
namespace {

struct TCapture {
  wl_shm* Shm = nullptr;
  zwlr_screencopy_frame_v1* Frame = nullptr;
  std::uint32_t Format = 0;
  int Width = 0, Height = 0, Stride = 0;
  bool Offered = false;  // a buffer description that ConvertCapture reads
  bool YInvert = false;
  bool Copying = false;
  bool Ready = false, Failed = false;
  std::unique_ptr<TShmBuffer> Buffer;

  // Version 3 lists every buffer kind and ends with buffer_done; older ones offer one.
  void Copy() {
    if (Copying) return;
    Copying = true;
    if (Offered) Buffer = TShmBuffer::Make(Shm, Width, Height, Stride, Format);
    if (!Buffer) {
      Failed = true;
      return;
    }
    zwlr_screencopy_frame_v1_copy(Frame, Buffer->Buffer());
  }
};

const zwlr_screencopy_frame_v1_listener FrameListener = {
    // buffer
    [](void* Data, zwlr_screencopy_frame_v1* Frame, std::uint32_t Format, std::uint32_t Width, std::uint32_t Height,
       std::uint32_t Stride) {
      auto* C = static_cast<TCapture*>(Data);
      // The first readable format offered wins; sizes beyond reason are not believed.
      if (C->Offered || !CaptureFormatReadable(Format) || Width == 0 || Height == 0 || Width > 32768 ||
          Height > 32768 || Stride > 4 * 32768)
        return;
      C->Offered = true;
      C->Format = Format;
      C->Width = static_cast<int>(Width);
      C->Height = static_cast<int>(Height);
      C->Stride = static_cast<int>(Stride);
      if (zwlr_screencopy_frame_v1_get_version(Frame) < 3) C->Copy();
    },
    // flags
    [](void* Data, zwlr_screencopy_frame_v1*, std::uint32_t Flags) {
      static_cast<TCapture*>(Data)->YInvert = (Flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    },
    // ready
    [](void* Data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {
      static_cast<TCapture*>(Data)->Ready = true;
    },
    // failed
    [](void* Data, zwlr_screencopy_frame_v1*) { static_cast<TCapture*>(Data)->Failed = true; },
    // damage
    [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {},
    // linux_dmabuf
    [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
    // buffer_done
    [](void* Data, zwlr_screencopy_frame_v1*) { static_cast<TCapture*>(Data)->Copy(); },
};

}  // namespace

bool CaptureOutput(wl_display* Display, wl_shm* Shm, zwlr_screencopy_manager_v1* Manager, wl_output* Output,
                   int TimeoutMs, TBitmap& Bitmap) {
  if (!Display || !Shm || !Manager || !Output) return false;
  // A queue of its own: nothing else is dispatched while the capture is waited for.
  wl_event_queue* Queue = wl_display_create_queue(Display);
  auto* Wrapped = static_cast<zwlr_screencopy_manager_v1*>(wl_proxy_create_wrapper(Manager));
  wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(Wrapped), Queue);
  TCapture C;
  C.Shm = Shm;
  C.Frame = zwlr_screencopy_manager_v1_capture_output(Wrapped, 0, Output);
  wl_proxy_wrapper_destroy(Wrapped);
  zwlr_screencopy_frame_v1_add_listener(C.Frame, &FrameListener, &C);
  wl_display_flush(Display);

  const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  bool Broken = false;
  while (!C.Ready && !C.Failed && !Broken) {
    if (wl_display_dispatch_queue_pending(Display, Queue) < 0) break;
    if (C.Ready || C.Failed) break;
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(End - std::chrono::steady_clock::now());
    if (Left.count() <= 0) break;
    if (wl_display_prepare_read_queue(Display, Queue) != 0) continue;
    wl_display_flush(Display);
    pollfd Fd{wl_display_get_fd(Display), POLLIN, 0};
    if (poll(&Fd, 1, static_cast<int>(Left.count())) > 0) {
      Broken = wl_display_read_events(Display) < 0;
    } else {
      wl_display_cancel_read(Display);
    }
  }
  const bool Ok = C.Ready && C.Buffer &&
                  ConvertCapture(C.Format, C.Buffer->Data(), C.Width, C.Height, C.Stride, C.YInvert, Bitmap);
  zwlr_screencopy_frame_v1_destroy(C.Frame);
  C.Buffer.reset();
  wl_display_flush(Display);
  wl_event_queue_destroy(Queue);
  return Ok;
}

}  // namespace qel::wl
