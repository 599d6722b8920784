#include "platform/wayland/WaylandPlatform.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/d3d9/NativeWindow.h"
#include "platform/d3d9/soft/Presentation.h"
#include "platform/resources/EmbeddedResources.h"
#include "platform/unix/ControlCanvas.h"
#include "platform/unix/EnvironmentSwitch.h"
#include "platform/unix/MessageBoxLayout.h"
#include "platform/unix/QuitSignals.h"
#include "platform/wayland/BufferCanvas.h"
#include "platform/wayland/KWinCapture.h"
#include "platform/wayland/LayerShell.h"
#include "platform/wayland/OutputTransform.h"
#include "platform/wayland/WaylandBuffers.h"
#include "platform/wayland/WaylandCapture.h"
#include "platform/wayland/WaylandPresenter.h"
#include "platform/wayland/WaylandSurface.h"
#include "fractional-scale-v1-client-protocol.h"
#include "platform/wayland/SurfaceScale.h"
#include "viewporter-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace qel {
namespace {

HWND AsHwnd(TWindowHandle H) { return reinterpret_cast<HWND>(H); }

// How long the program waits for the compositor's answer at start, and for a capture.
constexpr int AnswerMs = 5000;
constexpr int CaptureMs = 2000;

}  // namespace

struct TWaylandPlatform::TOutput {
  std::uint32_t GlobalName = 0;
  wl_output* Output = nullptr;
  zxdg_output_v1* Xdg = nullptr;
  std::string Name;
  int ModeWidth = 0, ModeHeight = 0;
  int LogicalWidth = 0, LogicalHeight = 0;
  int Scale = 1;
  std::int32_t Transform = WL_OUTPUT_TRANSFORM_NORMAL;

  // The output's size in pixels, as a buffer that covers it is.
  TScreenSize Pixels() const {
    int W = 0, H = 0;
    wl::UprightSize(Transform, ModeWidth, ModeHeight, W, H);
    if (W <= 0 || H <= 0) W = LogicalWidth * Scale, H = LogicalHeight * Scale;
    return {W, H};
  }
  ~TOutput() {
    if (Xdg) zxdg_output_v1_destroy(Xdg);
    if (wl_output_get_version(Output) >= WL_OUTPUT_RELEASE_SINCE_VERSION)
      wl_output_release(Output);
    else
      wl_output_destroy(Output);
  }
};


namespace {

using TOutput = TWaylandPlatform::TOutput;
using TSurface = TWaylandPlatform::TSurface;

const wl_output_listener OutputListener = {
    // geometry
    [](void* Data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, const char*,
       const char*, std::int32_t Transform) { static_cast<TOutput*>(Data)->Transform = Transform; },
    // mode
    [](void* Data, wl_output*, std::uint32_t Flags, std::int32_t Width, std::int32_t Height, std::int32_t) {
      if (!(Flags & WL_OUTPUT_MODE_CURRENT)) return;
      static_cast<TOutput*>(Data)->ModeWidth = Width;
      static_cast<TOutput*>(Data)->ModeHeight = Height;
    },
    // done
    [](void*, wl_output*) {},
    // scale
    [](void* Data, wl_output*, std::int32_t Factor) { static_cast<TOutput*>(Data)->Scale = std::max(Factor, 1); },
    // name
    [](void* Data, wl_output*, const char* Name) { static_cast<TOutput*>(Data)->Name = Name ? Name : ""; },
    // description
    [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener XdgOutputListener = {
    // logical_position
    [](void*, zxdg_output_v1*, std::int32_t, std::int32_t) {},
    // logical_size
    [](void* Data, zxdg_output_v1*, std::int32_t Width, std::int32_t Height) {
      static_cast<TOutput*>(Data)->LogicalWidth = Width;
      static_cast<TOutput*>(Data)->LogicalHeight = Height;
    },
    // done
    [](void*, zxdg_output_v1*) {},
    // name
    [](void* Data, zxdg_output_v1*, const char* Name) { static_cast<TOutput*>(Data)->Name = Name ? Name : ""; },
    // description
    [](void*, zxdg_output_v1*, const char*) {},
};

const xdg_wm_base_listener WmBaseListener = {
    [](void*, xdg_wm_base* Base, std::uint32_t Serial) { xdg_wm_base_pong(Base, Serial); },
};

const wl_callback_listener SyncListener = {
    [](void* Data, wl_callback*, std::uint32_t) { *static_cast<bool*>(Data) = true; },
};

template <class T>
T* Bind(wl_registry* Registry, std::uint32_t Name, const wl_interface& Interface, std::uint32_t Offered,
        std::uint32_t Wanted) {
  return static_cast<T*>(wl_registry_bind(Registry, Name, &Interface, std::min(Offered, Wanted)));
}

}  // namespace

// Listeners that reach into the platform.
struct TWaylandPlatform::TListeners {
  static const zwlr_layer_surface_v1_listener Layer;
  static const xdg_surface_listener XdgSurface;
  static const xdg_toplevel_listener Toplevel;
  static const wp_fractional_scale_v1_listener FractionalScale;
};

const wp_fractional_scale_v1_listener TWaylandPlatform::TListeners::FractionalScale = {
    // preferred_scale
    [](void* Data, wp_fractional_scale_v1*, std::uint32_t Scale) {
      auto* S = static_cast<TSurface*>(Data);
      S->Scale120 = static_cast<int>(std::clamp<std::uint32_t>(Scale, 1, 120 * 16));
      if (S->Configured) S->Platform->Rescaled(*S);
    },
};

const zwlr_layer_surface_v1_listener TWaylandPlatform::TListeners::Layer = {
    // configure
    [](void* Data, zwlr_layer_surface_v1* Layer, std::uint32_t Serial, std::uint32_t Width, std::uint32_t Height) {
      auto* S = static_cast<TSurface*>(Data);
      zwlr_layer_surface_v1_ack_configure(Layer, Serial);
      S->Platform->Configured(*S, static_cast<int>(std::min(Width, 65535u)), static_cast<int>(std::min(Height, 65535u)));
    },
    // closed
    [](void* Data, zwlr_layer_surface_v1*) { static_cast<TSurface*>(Data)->Closed = true; },
};

const xdg_surface_listener TWaylandPlatform::TListeners::XdgSurface = {
    [](void* Data, xdg_surface* Xdg, std::uint32_t Serial) {
      auto* S = static_cast<TSurface*>(Data);
      xdg_surface_ack_configure(Xdg, Serial);
      S->Platform->Configured(*S, S->PendingWidth, S->PendingHeight);
    },
};

const xdg_toplevel_listener TWaylandPlatform::TListeners::Toplevel = {
    // configure
    [](void* Data, xdg_toplevel*, std::int32_t Width, std::int32_t Height, wl_array*) {
      auto* S = static_cast<TSurface*>(Data);
      S->PendingWidth = std::clamp(Width, 0, 65535);
      S->PendingHeight = std::clamp(Height, 0, 65535);
    },
    // close
    [](void* Data, xdg_toplevel*) {
      auto* S = static_cast<TSurface*>(Data);
      S->Platform->Push(TPlatformEvent::TKind::Close, *S);
    },
    // configure_bounds
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    // wm_capabilities
    [](void*, xdg_toplevel*, wl_array*) {},
};

TWaylandPlatform::TWaylandPlatform() = default;

TWaylandPlatform::~TWaylandPlatform() {
  while (!FWindows.empty()) DestroyWindow(FWindows.begin()->first);
  if (FCountFrames)
    std::fprintf(stderr, "qelwave: %llu frames shown, %llu of them through EGL\n", FFramesShown, FEglFramesShown);
  FSeats.clear();
  FOutputs.clear();
  if (FScreencopy) zwlr_screencopy_manager_v1_destroy(FScreencopy);
  if (FFractionalScale) wp_fractional_scale_manager_v1_destroy(FFractionalScale);
  if (FLayerShell) zwlr_layer_shell_v1_destroy(FLayerShell);
  if (FXdgOutputs) zxdg_output_manager_v1_destroy(FXdgOutputs);
  if (FViewporter) wp_viewporter_destroy(FViewporter);
  if (FWmBase) xdg_wm_base_destroy(FWmBase);
  if (FShm) wl_shm_destroy(FShm);
  if (FCompositor) wl_compositor_destroy(FCompositor);
  if (FRegistry) wl_registry_destroy(FRegistry);
  if (FDisplay) {
    wl_display_flush(FDisplay);
    wl_display_disconnect(FDisplay);
    posix::ReleaseQuitSignals();
  }
}

void TWaylandPlatform::Global(void* Data, wl_registry* Registry, std::uint32_t Name, const char* Interface,
                              std::uint32_t Version) {
  auto* P = static_cast<TWaylandPlatform*>(Data);
  const auto Is = [&](const wl_interface& I) { return std::strcmp(Interface, I.name) == 0; };
  if (Is(wl_compositor_interface) && !P->FCompositor) {
    P->FCompositor = Bind<wl_compositor>(Registry, Name, wl_compositor_interface, Version, 4);
  } else if (Is(wl_shm_interface) && !P->FShm) {
    P->FShm = Bind<wl_shm>(Registry, Name, wl_shm_interface, Version, 1);
  } else if (Is(wl_seat_interface)) {
    P->FSeats.push_back(
        std::make_unique<wl::TSeat>(Bind<wl_seat>(Registry, Name, wl_seat_interface, Version, 5),
                                    static_cast<wl::TSeatSink&>(*P)));
  } else if (Is(wl_output_interface)) {
    auto O = std::make_unique<TOutput>();
    O->GlobalName = Name;
    O->Output = Bind<wl_output>(Registry, Name, wl_output_interface, Version, 4);
    wl_output_add_listener(O->Output, &OutputListener, O.get());
    if (P->FXdgOutputs) {
      O->Xdg = zxdg_output_manager_v1_get_xdg_output(P->FXdgOutputs, O->Output);
      zxdg_output_v1_add_listener(O->Xdg, &XdgOutputListener, O.get());
    }
    P->FOutputs.push_back(std::move(O));
  } else if (Is(zxdg_output_manager_v1_interface) && !P->FXdgOutputs) {
    P->FXdgOutputs = Bind<zxdg_output_manager_v1>(Registry, Name, zxdg_output_manager_v1_interface, Version, 3);
    for (auto& O : P->FOutputs) {
      O->Xdg = zxdg_output_manager_v1_get_xdg_output(P->FXdgOutputs, O->Output);
      zxdg_output_v1_add_listener(O->Xdg, &XdgOutputListener, O.get());
    }
  } else if (Is(xdg_wm_base_interface) && !P->FWmBase) {
    P->FWmBase = Bind<xdg_wm_base>(Registry, Name, xdg_wm_base_interface, Version, 2);
    xdg_wm_base_add_listener(P->FWmBase, &WmBaseListener, nullptr);
  } else if (Is(wp_viewporter_interface) && !P->FViewporter) {
    P->FViewporter = Bind<wp_viewporter>(Registry, Name, wp_viewporter_interface, Version, 1);
  } else if (Is(zwlr_layer_shell_v1_interface) && !P->FLayerShell) {
    P->FLayerShell = Bind<zwlr_layer_shell_v1>(Registry, Name, zwlr_layer_shell_v1_interface, Version, 4);
  } else if (Is(wp_fractional_scale_manager_v1_interface) && !P->FFractionalScale) {
    P->FFractionalScale =
        Bind<wp_fractional_scale_manager_v1>(Registry, Name, wp_fractional_scale_manager_v1_interface, Version, 1);
  } else if (Is(zwlr_screencopy_manager_v1_interface) && !P->FScreencopy) {
    P->FScreencopy =
        Bind<zwlr_screencopy_manager_v1>(Registry, Name, zwlr_screencopy_manager_v1_interface, Version, 3);
  }
}

void TWaylandPlatform::GlobalRemove(void* Data, wl_registry*, std::uint32_t Name) {
  auto* P = static_cast<TWaylandPlatform*>(Data);
  auto It = std::find_if(P->FOutputs.begin(), P->FOutputs.end(), [&](const auto& O) { return O->GlobalName == Name; });
  if (It == P->FOutputs.end()) return;
  // The output the saver covers ends it; another one is simply forgotten.
  if (It->get() == P->FOutput)
    P->FOutputGone = true;
  else
    P->FOutputs.erase(It);
}

bool TWaylandPlatform::Open(const TWaylandOptions& Options, std::string& Error) {
  FOptions = Options;
  FDisplay = wl_display_connect(nullptr);
  if (!FDisplay) {
    const char* Name = std::getenv("WAYLAND_DISPLAY");
    Error = std::string("cannot connect to the Wayland compositor \"") + (Name && *Name ? Name : "wayland-0") + "\"";
    return false;
  }
  static const wl_registry_listener RegistryListener = {Global, GlobalRemove};
  FRegistry = wl_display_get_registry(FDisplay);
  wl_registry_add_listener(FRegistry, &RegistryListener, this);
  // The globals first, then what the outputs and seats say about themselves.
  if (!Roundtrip() || !Roundtrip()) {
    Error = "the Wayland compositor does not answer";
    return false;
  }
  if (!FCompositor || !FShm || (!FLayerShell && !FWmBase)) {
    Error = "the Wayland compositor offers no shared-memory buffers or no shell for a full-screen surface";
    return false;
  }
  if (FOutputs.empty()) {
    Error = "the Wayland compositor has no output";
    return false;
  }
  TOutput* Chosen = FOutputs.front().get();
  if (!FOptions.Output.empty()) {
    auto It = std::find_if(FOutputs.begin(), FOutputs.end(), [&](const auto& O) { return O->Name == FOptions.Output; });
    if (It == FOutputs.end()) {
      Error = "the Wayland compositor has no output \"" + FOptions.Output + "\"";
      FOutputGone = true;
      return false;
    }
    Chosen = It->get();
  }
  const TScreenSize Size = Chosen->Pixels();
  if (Size.Width <= 0 || Size.Height <= 0) {
    Error = "the Wayland compositor did not say the size of output \"" + Chosen->Name + "\"";
    return false;
  }
  FOutput = Chosen;
  posix::CatchQuitSignals();
  // A test switch: each frame checked before it is shown against the same frame drawn whole.
  soft::DefaultDrawSettings().CheckShown = posix::EnvironmentSwitch("QEL_TEST_CHECK_PRESENTS");
  FCountFrames = posix::EnvironmentSwitch("QEL_TEST_FRAME_COUNT");
  return true;
}

std::vector<std::string> TWaylandPlatform::OutputNames() const {
  std::vector<std::string> Names;
  if (FOutput) Names.push_back(FOutput->Name);
  for (const auto& O : FOutputs)
    if (O.get() != FOutput) Names.push_back(O->Name);
  return Names;
}

void TWaylandPlatform::MarkLost() {
  if (FLost) return;
  FLost = true;
  std::fprintf(stderr, "qelwave: the connection to the Wayland compositor was lost\n");
}

bool TWaylandPlatform::QuitPending() const {
  if (posix::QuitSignalled() || FLost || FOutputGone) return true;
  for (const auto& [Handle, S] : FWindows)
    if (S->Closed) return true;
  return false;
}

bool TWaylandPlatform::Pump(int TimeoutMs) {
  if (FLost) return false;
  while (wl_display_prepare_read(FDisplay) != 0) {
    if (wl_display_dispatch_pending(FDisplay) < 0) {
      MarkLost();
      return false;
    }
  }
  // A full socket is sent later; anything else is a broken connection.
  if (wl_display_flush(FDisplay) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(FDisplay);
    MarkLost();
    return false;
  }
  pollfd Fds[2] = {{wl_display_get_fd(FDisplay), POLLIN, 0}, {posix::QuitSignalFd(), POLLIN, 0}};
  const int Ready = poll(Fds, posix::QuitSignalFd() >= 0 ? 2 : 1, TimeoutMs);
  if (Ready > 0 && Fds[0].revents) {
    if (wl_display_read_events(FDisplay) < 0) {
      MarkLost();
      return false;
    }
  } else {
    wl_display_cancel_read(FDisplay);
  }
  if (wl_display_dispatch_pending(FDisplay) < 0) {
    MarkLost();
    return false;
  }
  return true;
}

template <class TDone>
bool TWaylandPlatform::PumpUntil(TDone Done, int TimeoutMs, bool StopOnEvents) {
  const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (QuitPending() || (StopOnEvents && FInput.EventsWaiting())) return false;
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(End - std::chrono::steady_clock::now());
    if (Left.count() <= 0 || !Pump(static_cast<int>(Left.count()))) return false;
  }
  return true;
}

bool TWaylandPlatform::Roundtrip() {
  bool Done = false;
  wl_callback* Sync = wl_display_sync(FDisplay);
  wl_callback_add_listener(Sync, &SyncListener, &Done);
  PumpUntil([&] { return Done; }, AnswerMs, false);
  wl_callback_destroy(Sync);
  return Done;
}

TScreenSize TWaylandPlatform::ScreenSize() { return FOutput ? FOutput->Pixels() : TScreenSize{}; }

bool TWaylandPlatform::CaptureDesktop(TBitmap& Bitmap) {
  if (FOptions.Background || FOptions.NoDesktop || !FOutput) return false;
  const TScreenSize S = ScreenSize();
  // Screencopy where the compositor offers it; KDE Plasma's KWin answers on the session bus instead.
  if (!FScreencopy)
    return Bitmap.SetSize(S.Width, S.Height, TPixelFormat::pf32bit) &&
           wl::CaptureKWinScreen(FOutput->Name, CaptureMs, Bitmap);
  // Screencopy holds the output's pixels as the output does: a turned output's are turned
  // back upright.
  const std::int32_t Transform = FOutput->Transform;
  int Width = 0, Height = 0;
  wl::UprightSize(Transform, S.Width, S.Height, Width, Height);
  TBitmap Held;
  TBitmap& Into = Transform == WL_OUTPUT_TRANSFORM_NORMAL ? Bitmap : Held;
  if (!Into.SetSize(Width, Height, TPixelFormat::pf32bit)) return false;
  const bool Ok = wl::CaptureOutput(FDisplay, FShm, FScreencopy, FOutput->Output, CaptureMs, Into);
  if (wl_display_get_error(FDisplay)) MarkLost();
  return Ok && (&Into == &Bitmap || wl::TurnUpright(Held, Transform, Bitmap));
}

TWindowHandle TWaylandPlatform::CreateWindow(const TWindowParams& Params) {
  auto Rec = std::make_unique<TSurface>();
  TSurface& S = *Rec;
  S.Platform = this;
  S.Handle = reinterpret_cast<TWindowHandle>(Rec.get());
  S.Params = Params;
  S.Width = std::max(Params.ClientWidth, 1);
  S.Height = std::max(Params.ClientHeight, 1);
  FWindows[S.Handle] = std::move(Rec);
  S.Presenter = std::make_unique<wl::TPresenter>(
      FDisplay, FShm,
      [this](const std::function<bool()>& Done, int TimeoutMs, bool StopOnInput) {
        return PumpUntil(Done, TimeoutMs, StopOnInput);
      },
      [this, &S] { return S.Configured && !S.Closed && !FLost; });
  soft::TBufferPresenter Presenter;
  Presenter.Lend = [&S](int Width, int Height, soft::TFrameBuffer& Buffer) {
    Buffer.Width = Width;
    Buffer.Height = Height;
    return S.Presenter->Lend(Width, Height, Buffer.Pixels, Buffer.Pitch, &Buffer.Kept);
  };
  Presenter.Show = [this, &S](const soft::TFrameBuffer& Buffer) { FFramesShown += S.Presenter->Present(Buffer); };
  soft::RegisterBufferPresenter(AsHwnd(S.Handle), std::move(Presenter));
  // The GL device's context is made for the saver's window before the surface is mapped.
  if (Params.BorderStyle == TBorderStyle::bsNone) RegisterEglWindow(S, false);
  if (Params.Visible) Map(S);
  return S.Handle;
}

void TWaylandPlatform::RegisterEglWindow(TSurface& S, bool Mapped) {
  // A GL device swaps the saver's frames into the surface itself, paced as the presenter is.
  d3d9::TNativeWindow Native;
  Native.System = d3d9::TNativeWindow::TSystem::Wayland;
  Native.Display = FDisplay;
  if (Mapped) Native.Window = reinterpret_cast<std::uintptr_t>(S.Presenter->EglWindow(S.Width, S.Height));
  Native.Ready = [&S](int Width, int Height) { return S.Presenter->ReadyForEgl(Width, Height) ? Height : 0; };
  Native.Paced = true;
  Native.Shown = [this] { ++FFramesShown, ++FEglFramesShown; };
  d3d9::RegisterNativeWindow(AsHwnd(S.Handle), std::move(Native));
}

void TWaylandPlatform::Map(TSurface& S) {
  S.Saver = S.Params.BorderStyle == TBorderStyle::bsNone;
  S.Surface = wl_compositor_create_surface(FCompositor);
  if (FViewporter) S.Viewport = wp_viewporter_get_viewport(FViewporter, S.Surface);
  S.Presenter->Attach(S.Surface, S.Viewport);
  if (S.Saver) RegisterEglWindow(S);
  if (S.Saver && FLayerShell) {
    const auto Layer = FOptions.Background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY;
    S.Layer = zwlr_layer_shell_v1_get_layer_surface(FLayerShell, S.Surface, FOutput->Output, Layer, "qelwave");
    zwlr_layer_surface_v1_set_anchor(S.Layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                  ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Over panels and docks too, which do not push it aside.
    zwlr_layer_surface_v1_set_exclusive_zone(S.Layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(S.Layer, FOptions.Keyboard && !FOptions.Background ? 1 : 0);
    zwlr_layer_surface_v1_add_listener(S.Layer, &TListeners::Layer, &S);
  }
  // A fractional scale needs the viewporter to show its buffers at the surface's size.
  if (S.Saver && S.Viewport && FFractionalScale) {
    S.FractionalScale = wp_fractional_scale_manager_v1_get_fractional_scale(FFractionalScale, S.Surface);
    wp_fractional_scale_v1_add_listener(S.FractionalScale, &TListeners::FractionalScale, &S);
  }
  if (!S.Layer) {
    S.Xdg = xdg_wm_base_get_xdg_surface(FWmBase, S.Surface);
    xdg_surface_add_listener(S.Xdg, &TListeners::XdgSurface, &S);
    S.Toplevel = xdg_surface_get_toplevel(S.Xdg);
    xdg_toplevel_add_listener(S.Toplevel, &TListeners::Toplevel, &S);
    xdg_toplevel_set_title(S.Toplevel, S.Params.Caption.c_str());
    xdg_toplevel_set_app_id(S.Toplevel, "qelwave");
    if (S.Saver) {
      xdg_toplevel_set_fullscreen(S.Toplevel, FOutput->Output);
    } else if (S.Params.BorderStyle == TBorderStyle::bsSingle) {
      xdg_toplevel_set_min_size(S.Toplevel, S.Width, S.Height);
      xdg_toplevel_set_max_size(S.Toplevel, S.Width, S.Height);
    }
  }
  wl_surface_commit(S.Surface);
  wl_display_flush(FDisplay);
}

void TWaylandPlatform::Unmap(TSurface& S) {
  if (S.Saver) RegisterEglWindow(S, false);
  S.Presenter->Detach();
  if (S.FractionalScale) wp_fractional_scale_v1_destroy(S.FractionalScale);
  if (S.Layer) zwlr_layer_surface_v1_destroy(S.Layer);
  if (S.Toplevel) xdg_toplevel_destroy(S.Toplevel);
  if (S.Xdg) xdg_surface_destroy(S.Xdg);
  if (S.Viewport) wp_viewport_destroy(S.Viewport);
  if (S.Surface) wl_surface_destroy(S.Surface);
  S.FractionalScale = nullptr;
  S.Scale120 = 0;
  S.Layer = nullptr;
  S.Toplevel = nullptr;
  S.Xdg = nullptr;
  S.Viewport = nullptr;
  S.Surface = nullptr;
  S.Configured = false;
  S.Canvas.reset();
  wl_display_flush(FDisplay);
}

void TWaylandPlatform::Configured(TSurface& S, int Width, int Height) {
  const int Scale = FOutput->Scale;
  if (Width <= 0 || Height <= 0) {
    // The client's choice: the output's logical size for the saver, the form's for other windows.
    const TScreenSize Full = FOutput->Pixels();
    Width = !S.Saver ? S.Params.ClientWidth : FOutput->LogicalWidth > 0 ? FOutput->LogicalWidth : Full.Width / Scale;
    Height = !S.Saver ? S.Params.ClientHeight : FOutput->LogicalHeight > 0 ? FOutput->LogicalHeight : Full.Height / Scale;
  }
  if (!S.Saver) {
    // A window of controls keeps the form's size and is drawn at once.
    S.LogicalWidth = S.Width;
    S.LogicalHeight = S.Height;
    S.Configured = true;
    S.Presenter->SetLogicalSize(S.LogicalWidth, S.LogicalHeight, Scale);
    Paint(S);
    return;
  }
  S.LogicalWidth = std::max(Width, 1);
  S.LogicalHeight = std::max(Height, 1);
  S.Configured = true;
  S.Presenter->SetLogicalSize(S.LogicalWidth, S.LogicalHeight, Scale);
  Rescaled(S);
}

void TWaylandPlatform::Rescaled(TSurface& S) {
  // The frames follow the surface at the output's full resolution: at the compositor's
  // fractional scale where it says one (until then as the output's pixels are to its logical
  // size), else at the output's integer scale.
  int PixelWidth = S.LogicalWidth * FOutput->Scale, PixelHeight = S.LogicalHeight * FOutput->Scale;
  if (S.FractionalScale) {
    const int Scale120 =
        S.Scale120 > 0 ? S.Scale120 : wl::ScaleBetween(FOutput->Pixels().Width, FOutput->LogicalWidth);
    PixelWidth = wl::BufferPixels(S.LogicalWidth, Scale120);
    PixelHeight = wl::BufferPixels(S.LogicalHeight, Scale120);
  }
  if (PixelWidth != S.Width || PixelHeight != S.Height) {
    S.Width = PixelWidth;
    S.Height = PixelHeight;
    Push(TPlatformEvent::TKind::Resize, S, PixelWidth, PixelHeight);
  }
}

void TWaylandPlatform::UpdateWindow(TWindowHandle Handle, const TWindowParams& Params) {
  auto It = FWindows.find(Handle);
  if (It == FWindows.end()) return;
  TSurface& S = *It->second;
  const TWindowParams Old = S.Params;
  S.Params = Params;
  if (!S.Configured || !S.Saver) {
    S.Width = std::max(Params.ClientWidth, 1);
    S.Height = std::max(Params.ClientHeight, 1);
  }
  if (Params.Visible && !S.Surface) {
    Map(S);
  } else if (!Params.Visible && S.Surface) {
    Unmap(S);
  } else if (S.Toplevel && Params.Caption != Old.Caption) {
    xdg_toplevel_set_title(S.Toplevel, Params.Caption.c_str());
  }
  if (S.Surface && !S.Saver) Paint(S);
}

wl::TBufferCanvas& TWaylandPlatform::CanvasOf(TSurface& S) {
  if (!S.Canvas) {
    S.Canvas = std::make_unique<wl::TBufferCanvas>(
        [&S](int Width, int Height, int& Pitch) -> std::uint32_t* {
          wl::TShmBuffer* B = S.Presenter->WaitFree(Width, Height);
          if (!B) return nullptr;
          B->SetLent(false);  // painted here
          Pitch = B->Stride() / 4;
          return reinterpret_cast<std::uint32_t*>(B->Data());
        },
        [&S] {
          soft::TFrameBuffer Frame;
          Frame.Width = S.Width;
          Frame.Height = S.Height;
          if (!S.Presenter->Lend(S.Width, S.Height, Frame.Pixels, Frame.Pitch)) return;
          S.Presenter->Present(Frame, true);
        });
  }
  return *S.Canvas;
}

void TWaylandPlatform::Paint(TSurface& S) {
  if (!S.Surface || !S.Configured || S.Closed || FLost) return;
  if (S.Box)
    posix::PaintMessageBox(CanvasOf(S), *S.Box, S.BoxText, S.Pointer.Pressed != 0);
  else
    posix::PaintControls(CanvasOf(S), S.Params, S.Pointer.Pressed);
}

void TWaylandPlatform::DestroyWindow(TWindowHandle Handle) {
  auto It = FWindows.find(Handle);
  if (It == FWindows.end()) return;
  soft::UnregisterPresenter(AsHwnd(Handle));
  FInput.Forget(Handle);
  Unmap(*It->second);
  d3d9::UnregisterNativeWindow(AsHwnd(Handle));
  FWindows.erase(It);
}

TSurface* TWaylandPlatform::Find(wl_surface* Surface) {
  if (!Surface) return nullptr;
  for (auto& [Handle, S] : FWindows)
    if (S->Surface == Surface) return S.get();
  return nullptr;
}

void TWaylandPlatform::Push(TPlatformEvent::TKind Kind, TSurface& S, int X, int Y) {
  TPlatformEvent E{Kind};
  E.Window = S.Handle;
  E.X = X;
  E.Y = Y;
  FInput.Push(E);
}

namespace {

// Surface-local coordinates to the buffer's pixels.
int ToPixels(double Value, int Pixels, int Logical) {
  return static_cast<int>(Value * (Logical > 0 ? static_cast<double>(Pixels) / Logical : 1.0));
}

}  // namespace

void TWaylandPlatform::SeatKey(wl_surface* Surface, std::uint32_t Sym) {
  TSurface* S = Find(Surface);
  if (!S || FOptions.Background) return;
  FInput.Key(S->Handle, S->Params, Sym, S->Box != nullptr);
}

void TWaylandPlatform::SeatPointerEnter(wl_pointer* Pointer, wl_surface* Surface, std::uint32_t Serial, double X,
                                        double Y) {
  TSurface* S = Find(Surface);
  if (!S || FOptions.Background) return;
  if (!S->Params.CursorVisible) wl_pointer_set_cursor(Pointer, Serial, nullptr, 0, 0);
  FInput.Enter(S->Handle, S->Pointer, ToPixels(X, S->Width, S->LogicalWidth), ToPixels(Y, S->Height, S->LogicalHeight));
}

void TWaylandPlatform::SeatPointerMotion(wl_surface* Surface, double X, double Y) {
  TSurface* S = Find(Surface);
  if (!S || FOptions.Background) return;
  FInput.Move(S->Handle, S->Pointer, ToPixels(X, S->Width, S->LogicalWidth), ToPixels(Y, S->Height, S->LogicalHeight));
}

void TWaylandPlatform::SeatButton(wl_surface* Surface, int Button, bool Pressed, double X, double Y) {
  TSurface* S = Find(Surface);
  if (!S || FOptions.Background) return;
  const int Px = ToPixels(X, S->Width, S->LogicalWidth), Py = ToPixels(Y, S->Height, S->LogicalHeight);
  if (FInput.Button(S->Handle, S->Params, S->Pointer, Button, Pressed, Px, Py)) Paint(*S);
}

bool TWaylandPlatform::PollEvent(TPlatformEvent& Event) {
  // Everything that has arrived is dispatched at once, so that the moves among it merge.
  if (!QuitPending() && FInput.Empty()) Pump(0);
  if (QuitPending()) {
    Event = TPlatformEvent{TPlatformEvent::TKind::Quit};
    return true;
  }
  return FInput.Take(Event);
}

void TWaylandPlatform::WaitEvent(std::int64_t TimeoutMs) {
  if (QuitPending() || !FInput.Empty()) return;
  Pump(TimeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(TimeoutMs, INT_MAX)));
}

bool TWaylandPlatform::FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) {
  return FindEmbeddedResource(Name, Data, Size);
}

}  // namespace qel
