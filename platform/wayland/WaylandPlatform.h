#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Platform.h"
#include "platform/d3d9/soft/Presentation.h"
#include "platform/unix/InputQueue.h"
#include "platform/wayland/WaylandSeat.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_output;
struct xdg_wm_base;
struct wp_viewporter;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_layer_shell_v1;
struct zwlr_screencopy_manager_v1;
struct wp_fractional_scale_manager_v1;

namespace qel {
namespace wl {
class TBufferCanvas;
}

struct TWaylandOptions {
  // The background layer, behind the windows: no desktop picture, input ignored.
  bool Background = false;
  bool NoDesktop = false;  // start from black instead of what the output shows
  std::string Output;      // the output to cover, by name ("HEADLESS-1", "DP-2"); empty: the first
  bool Keyboard = true;    // the saver takes the keyboard to itself (one saver of several does)
};

// The framework's platform on a Wayland compositor. The run-mode form (no border) becomes a
// layer-shell surface over the whole output on the overlay layer (the background layer with
// Background), with the keyboard to itself; a compositor without the layer shell gets a
// full-screen xdg toplevel instead. Frames of the software Direct3D device are drawn straight
// into wl_shm buffers and shown at the pace of the compositor's frame callbacks. SIGTERM,
// SIGINT and SIGHUP, the compositor closing the surface and the output going away end the
// message loop; the compositor going away too, with Lost() true.
class TWaylandPlatform : public TPlatform, private wl::TSeatSink {
 public:
  TWaylandPlatform();
  ~TWaylandPlatform() override;

  // Connects to $WAYLAND_DISPLAY and learns the outputs. Error says why not.
  bool Open(const TWaylandOptions& Options, std::string& Error);
  bool Opened() const { return FOutput != nullptr; }
  // The connection to the compositor broke while the program ran (said on stderr).
  bool Lost() const { return FLost; }
  // The output to cover is not there (Open failed for it) or went away while the program ran.
  bool OutputGone() const { return FOutputGone; }
  // The names of the outputs, the covered one first.
  std::vector<std::string> OutputNames() const;

  TClock& Clock() override { return FClock; }
  TScreenSize ScreenSize() override;
  bool CaptureDesktop(TBitmap& Bitmap) override;
  void MessageBox(const std::string& Text, const std::string& Caption) override;

  TWindowHandle CreateWindow(const TWindowParams& Params) override;
  void UpdateWindow(TWindowHandle Window, const TWindowParams& Params) override;
  void DestroyWindow(TWindowHandle Window) override;

  bool PollEvent(TPlatformEvent& Event) override;
  void WaitEvent(std::int64_t TimeoutMs) override;

  bool FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) override;

  struct TOutput;
  struct TSurface;

 private:
  struct TListeners;

  static void Global(void* Data, wl_registry* Registry, std::uint32_t Name, const char* Interface,
                     std::uint32_t Version);
  static void GlobalRemove(void* Data, wl_registry* Registry, std::uint32_t Name);

  // Sends what is queued, waits up to TimeoutMs (0: not at all, negative: forever) for the
  // compositor or a quit signal, and dispatches what came. False once the connection broke.
  bool Pump(int TimeoutMs);
  // Pump until Done answers true, an event other than a pointer move is queued for the
  // program (StopOnEvents), or TimeoutMs passed.
  template <class TDone>
  bool PumpUntil(TDone Done, int TimeoutMs, bool StopOnEvents);
  bool Roundtrip();
  bool QuitPending() const;
  void MarkLost();

  void Map(TSurface& S);
  void Unmap(TSurface& S);
  void Configured(TSurface& S, int Width, int Height);
  void Rescaled(TSurface& S);  // the saver's frames take the size its surface shows at
  // What a GL device needs of the saver's surface: its wl_egl_window while it is Mapped.
  void RegisterEglWindow(TSurface& S, bool Mapped = true);
  void Paint(TSurface& S);  // a window of controls, or the message box
  wl::TBufferCanvas& CanvasOf(TSurface& S);
  TSurface* Find(wl_surface* Surface);
  void Push(TPlatformEvent::TKind Kind, TSurface& S, int X = 0, int Y = 0);

  void SeatKey(wl_surface* Surface, std::uint32_t Sym) override;
  void SeatPointerEnter(wl_pointer* Pointer, wl_surface* Surface, std::uint32_t Serial, double X, double Y) override;
  void SeatPointerMotion(wl_surface* Surface, double X, double Y) override;
  void SeatButton(wl_surface* Surface, int Button, bool Pressed, double X, double Y) override;

  TSteadyClock FClock;
  TWaylandOptions FOptions;
  wl_display* FDisplay = nullptr;
  wl_registry* FRegistry = nullptr;
  wl_compositor* FCompositor = nullptr;
  wl_shm* FShm = nullptr;
  xdg_wm_base* FWmBase = nullptr;
  wp_viewporter* FViewporter = nullptr;
  zxdg_output_manager_v1* FXdgOutputs = nullptr;
  zwlr_layer_shell_v1* FLayerShell = nullptr;
  zwlr_screencopy_manager_v1* FScreencopy = nullptr;
  wp_fractional_scale_manager_v1* FFractionalScale = nullptr;
  std::vector<std::unique_ptr<wl::TSeat>> FSeats;
  std::vector<std::unique_ptr<TOutput>> FOutputs;
  TOutput* FOutput = nullptr;  // the one the program covers
  bool FOutputGone = false;
  bool FLost = false;
  // A test switch (QEL_TEST_FRAME_COUNT): the frames shown, and how many of them a GL device
  // swapped, said at the end.
  bool FCountFrames = false;
  unsigned long long FFramesShown = 0, FEglFramesShown = 0;
  std::map<TWindowHandle, std::unique_ptr<TSurface>> FWindows;
  posix::TInputQueue FInput;
};

}  // namespace qel
