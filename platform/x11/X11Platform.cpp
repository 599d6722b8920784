#include "platform/x11/X11Platform.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/Random.h"
#include "platform/d3d9/NativeWindow.h"
#include "platform/d3d9/soft/Presentation.h"
#include "platform/resources/EmbeddedResources.h"
#include "platform/unix/ControlCanvas.h"
#include "platform/unix/EnvironmentSwitch.h"
#include "platform/unix/QuitSignals.h"
#include "platform/x11/X11Capture.h"
#include "platform/x11/X11Errors.h"
#include "platform/x11/X11MessageBox.h"
#include "platform/x11/X11Painter.h"
#include "platform/x11/X11Presenter.h"

namespace qel {
namespace {

HWND AsHwnd(TWindowHandle H) { return reinterpret_cast<HWND>(H); }

}  // namespace

struct TX11Platform::TWindowRec {
  TWindowHandle Handle = 0;
  Window Xid = 0;
  bool Own = true;         // false: the host's window in hack mode
  bool Fullscreen = false;  // the borderless run-mode window
  bool Mapped = false;
  bool Grabbed = false;
  bool Gone = false;  // destroyed under the program
  TWindowParams Params;
  int Width = 0, Height = 0;  // as the server has it
  Visual* WindowVisual = nullptr;
  int Depth = 0;
  Colormap Map = None;
  bool OwnColormap = false;
  posix::TPointerState Pointer;
  std::unique_ptr<x11::TPresenter> Presenter;
  std::unique_ptr<x11::TPainter> Painter;
};

TX11Platform::TX11Platform() = default;

TX11Platform::~TX11Platform() {
  if (FCountFrames) std::fprintf(stderr, "qelwave: %llu frames shown\n", FFramesShown);
  while (!FWindows.empty()) DestroyWindow(FWindows.begin()->first);
  if (FDisplay) {
    if (FBlankCursor) XFreeCursor(FDisplay, FBlankCursor);
    XCloseDisplay(FDisplay);
    x11::InstallErrorHandlers("qelwave", {});
  }
  posix::ReleaseQuitSignals();
}

bool TX11Platform::Open(const TX11Options& Options, std::string& Error) {
  FOptions = Options;
  FDisplay = XOpenDisplay(nullptr);
  if (!FDisplay) {
    Error = std::string("cannot open the X display \"") + XDisplayName(nullptr) + "\"";
    return false;
  }
  x11::InstallErrorHandlers("qelwave", [this](XID Id) {
    TWindowRec* W = Find(Id);
    if (W) W->Gone = true;
    return W != nullptr;
  });
  FScreen = DefaultScreen(FDisplay);
  const Window Root = RootWindow(FDisplay, FScreen);
  if (FOptions.Hack) {
    if (!FOptions.HostWindow) FOptions.HostWindow = Root;
    XWindowAttributes A{};
    bool Found = false;
    {
      x11::TErrorTrap Trap(FDisplay);
      Found = XGetWindowAttributes(FDisplay, FOptions.HostWindow, &A) && !Trap.Failed();
      // Resizes and the window's end, from now on.
      if (Found) XSelectInput(FDisplay, FOptions.HostWindow, StructureNotifyMask | ExposureMask);
    }
    if (!Found) {
      char Text[64];
      std::snprintf(Text, sizeof Text, "there is no window 0x%lx on the display", FOptions.HostWindow);
      Error = Text;
      return false;
    }
    FHost = x11::TRect{0, 0, A.width, A.height};
  }
  if (!FindMonitor(FMonitor)) {
    FMonitorGone = true;
    Error = "there is no monitor \"" + FOptions.Monitor + "\"";
    return false;
  }
  int RandRErrorBase = 0;
  if (XRRQueryExtension(FDisplay, &FRandREventBase, &RandRErrorBase))
    XRRSelectInput(FDisplay, Root, RRScreenChangeNotifyMask);
  else
    FRandREventBase = -1;
  // Monitors set or deleted by a client (xrandr --setmonitor) are announced only as a
  // ConfigureNotify of the root window.
  if (!FOptions.Hack) XSelectInput(FDisplay, Root, StructureNotifyMask);
  FDeleteWindow = XInternAtom(FDisplay, "WM_DELETE_WINDOW", False);
  const Pixmap Empty = XCreatePixmap(FDisplay, Root, 1, 1, 1);
  XColor Black{};
  FBlankCursor = XCreatePixmapCursor(FDisplay, Empty, Empty, &Black, &Black, 0, 0);
  XFreePixmap(FDisplay, Empty);

  posix::CatchQuitSignals();
  // Test switches: presentation without shared memory, as on a remote display, and frames
  // sent in part checked against the same frames sent whole.
  FAllowShm = !posix::EnvironmentSwitch("QEL_TEST_NO_SHM");
  FCheckPresents = posix::EnvironmentSwitch("QEL_TEST_CHECK_PRESENTS");
  soft::DefaultDrawSettings().CheckShown = FCheckPresents;  // and each frame against the frame drawn whole
  // Benchmark switches: the same waves on every run, and the number of frames shown
  // written to standard error when the program ends.
  if (const char* Seed = std::getenv("QEL_TEST_SEED")) {
    char* End = nullptr;
    const unsigned long long Value = std::strtoull(Seed, &End, 10);
    if (*Seed && !*End) FixRandomizeSeed(Value);
  }
  FCountFrames = posix::EnvironmentSwitch("QEL_TEST_FRAME_COUNT");
  return true;
}

TX11Platform::TWindowRec* TX11Platform::Find(Window Xid) {
  for (auto& [Handle, W] : FWindows)
    if (W->Xid == Xid) return W.get();
  return nullptr;
}

std::vector<x11::TMonitor> TX11Platform::Monitors() const { return x11::Monitors(FDisplay, FScreen); }

bool TX11Platform::FindMonitor(x11::TRect& Rect) const {
  const std::vector<x11::TMonitor> All = Monitors();
  if (FOptions.Monitor.empty()) {
    Rect = All.front().Rect;
    return true;
  }
  for (const x11::TMonitor& M : All)
    if (M.Name == FOptions.Monitor) {
      Rect = M.Rect;
      return true;
    }
  return false;
}

// The run-mode window keeps covering its monitor (the primary one may now be another); its
// new size comes back as a ConfigureNotify. A saver whose monitor has gone ends.
void TX11Platform::FollowMonitor() {
  const x11::TRect Old = FMonitor;
  if (!FindMonitor(FMonitor)) {
    FMonitorGone = true;
    return;
  }
  for (auto& [Handle, W] : FWindows)
    if (W->Own && W->Fullscreen && !W->Gone && W->Width == Old.Width && W->Height == Old.Height)
      XMoveResizeWindow(FDisplay, W->Xid, FMonitor.X, FMonitor.Y, static_cast<unsigned>(FMonitor.Width),
                        static_cast<unsigned>(FMonitor.Height));
}

TScreenSize TX11Platform::ScreenSize() {
  if (FOptions.Hack) return {FHost.Width, FHost.Height};
  return {FMonitor.Width, FMonitor.Height};
}

bool TX11Platform::CaptureDesktop(TBitmap& Bitmap) {
  if (FOptions.NoDesktop) return false;
  const TScreenSize S = ScreenSize();
  if (!Bitmap.SetSize(S.Width, S.Height, TPixelFormat::pf32bit)) return false;
  const int Screen = FScreen;
  if (!FOptions.Hack)
    return x11::ReadDrawable(FDisplay, RootWindow(FDisplay, Screen), DefaultVisual(FDisplay, Screen),
                             DefaultDepth(FDisplay, Screen), FMonitor.X, FMonitor.Y, S.Width, S.Height, Bitmap);
  XWindowAttributes A{};
  {
    x11::TErrorTrap Trap(FDisplay);
    if (!XGetWindowAttributes(FDisplay, FOptions.HostWindow, &A) || Trap.Failed()) return false;
  }
  // The host's picture of the screen from before it covered it, where it left one.
  Atom Type = None;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  Pixmap Shot = None;
  if (XGetWindowProperty(FDisplay, FOptions.HostWindow, XInternAtom(FDisplay, "_SCREENSAVER_SCREENSHOT", False), 0, 1,
                         False, XA_PIXMAP, &Type, &Format, &Count, &After, &Data) == Success &&
      Data) {
    if (Type == XA_PIXMAP && Format == 32 && Count == 1) Shot = static_cast<Pixmap>(*reinterpret_cast<long*>(Data));
    XFree(Data);
  }
  if (Shot) {
    Window Root;
    int X, Y;
    unsigned W = 0, H = 0, Border, Depth = 0;
    bool Ok;
    {
      x11::TErrorTrap Trap(FDisplay);
      Ok = XGetGeometry(FDisplay, Shot, &Root, &X, &Y, &W, &H, &Border, &Depth) && !Trap.Failed();
    }
    if (Ok) {
      const bool WindowDepth = static_cast<int>(Depth) == A.depth;
      Visual* V = WindowDepth ? A.visual : DefaultVisual(FDisplay, Screen);
      if (WindowDepth || static_cast<int>(Depth) == DefaultDepth(FDisplay, Screen))
        if (x11::ReadDrawable(FDisplay, Shot, V, static_cast<int>(Depth), 0, 0, static_cast<int>(W),
                              static_cast<int>(H), Bitmap))
          return true;
    }
  }
  return x11::ReadDrawable(FDisplay, FOptions.HostWindow, A.visual, A.depth, 0, 0, S.Width, S.Height, Bitmap);
}

void TX11Platform::MessageBox(const std::string& Text, const std::string& Caption) {
  // A hack has no window of its own to show anything in, and its host owns the screen; a
  // saver beside the primary one leaves the words to that one.
  if (!TakesInput()) {
    std::fprintf(stderr, "qelwave: %s\n", Text.c_str());
    return;
  }
  x11::ShowMessageBox(FDisplay, FMonitor, Text, Caption, [] { return posix::QuitSignalled(); }, posix::QuitSignalFd());
}

TWindowHandle TX11Platform::CreateWindow(const TWindowParams& Params) {
  auto Rec = std::make_unique<TWindowRec>();
  TWindowRec& W = *Rec;
  W.Handle = reinterpret_cast<TWindowHandle>(Rec.get());
  W.Params = Params;
  if (FOptions.Hack) {
    W.Own = false;
    W.Xid = FOptions.HostWindow;
    XWindowAttributes A{};
    x11::TErrorTrap Trap(FDisplay);
    if (XGetWindowAttributes(FDisplay, W.Xid, &A) && !Trap.Failed()) {
      W.WindowVisual = A.visual;
      W.Depth = A.depth;
      W.Width = A.width;
      W.Height = A.height;
    } else {
      W.Gone = true;
    }
  } else {
    const Window Root = RootWindow(FDisplay, FScreen);
    W.WindowVisual = DefaultVisual(FDisplay, FScreen);
    W.Depth = DefaultDepth(FDisplay, FScreen);
    W.Map = DefaultColormap(FDisplay, FScreen);
    XVisualInfo Info{};
    const bool DefaultFits = W.WindowVisual->c_class == TrueColor && (W.Depth == 24 || W.Depth == 32);
    if (!DefaultFits && XMatchVisualInfo(FDisplay, FScreen, 24, TrueColor, &Info)) {
      W.WindowVisual = Info.visual;
      W.Depth = 24;
      W.Map = XCreateColormap(FDisplay, Root, Info.visual, AllocNone);
      W.OwnColormap = true;
    }
    W.Fullscreen = Params.BorderStyle == TBorderStyle::bsNone;
    XSetWindowAttributes A{};
    unsigned long Mask = CWBorderPixel | CWColormap | CWOverrideRedirect | CWEventMask;
    // The run-mode window shows what was under it until its first frame: no black flash.
    if (W.Fullscreen) {
      A.background_pixmap = None;
      Mask |= CWBackPixmap;
    } else {
      A.background_pixel = WhitePixel(FDisplay, FScreen);
      Mask |= CWBackPixel;
    }
    A.border_pixel = 0;
    A.colormap = W.Map;
    A.override_redirect = W.Fullscreen ? True : False;
    A.event_mask = StructureNotifyMask | ExposureMask | VisibilityChangeMask;
    if (TakesInput())
      A.event_mask |= KeyPressMask | PointerMotionMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask;
    W.Width = std::max(Params.ClientWidth, 1);
    W.Height = std::max(Params.ClientHeight, 1);
    W.Xid = XCreateWindow(FDisplay, Root, FMonitor.X + Params.Left, FMonitor.Y + Params.Top,
                          static_cast<unsigned>(W.Width), static_cast<unsigned>(W.Height), 0, W.Depth, InputOutput,
                          W.WindowVisual, Mask, &A);
    XSetWMProtocols(FDisplay, W.Xid, &FDeleteWindow, 1);
    SetNames(W);
    SetCursor(W);
  }
  const TWindowHandle Handle = W.Handle;
  FWindows[Handle] = std::move(Rec);
  soft::TBufferPresenter Presenter;
  Presenter.Lend = [this, &W](int Width, int Height, soft::TFrameBuffer& Buffer) {
    if (W.Gone) return false;
    Buffer.Width = Width;
    Buffer.Height = Height;
    return PresenterOf(W).Lend(Width, Height, Buffer.Pixels, Buffer.Pitch);
  };
  Presenter.Show = [this, &W](const soft::TFrameBuffer& Buffer) {
    if (W.Gone) return;
    if (W.Own && !W.Mapped) {
      PresenterOf(W).Invalidate();  // what this frame changed is not on the screen
      return;
    }
    PresenterOf(W).Present(Buffer.Pixels, Buffer.Width, Buffer.Height, Buffer.Pitch, W.Width, W.Height,
                           Buffer.Changed);
    ++FFramesShown;
  };
  soft::RegisterBufferPresenter(AsHwnd(Handle), std::move(Presenter));
  // A GL device shows its frames in the window itself.
  d3d9::TNativeWindow Native;
  Native.Display = FDisplay;
  Native.Window = W.Xid;
  Native.Ready = [&W](int, int) { return !W.Gone && (!W.Own || W.Mapped) ? W.Height : 0; };
  Native.Shown = [this] { ++FFramesShown; };
  d3d9::RegisterNativeWindow(AsHwnd(Handle), std::move(Native));
  if (W.Own && Params.Visible) Map(W);
  return Handle;
}

void TX11Platform::SetNames(TWindowRec& W) {
  const std::string& Caption = W.Params.Caption;
  XStoreName(FDisplay, W.Xid, Caption.c_str());
  XChangeProperty(FDisplay, W.Xid, XInternAtom(FDisplay, "_NET_WM_NAME", False),
                  XInternAtom(FDisplay, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(Caption.data()), static_cast<int>(Caption.size()));
  XClassHint Class{const_cast<char*>("qelwave"), const_cast<char*>("QelWave")};
  XSetClassHint(FDisplay, W.Xid, &Class);
  // A single border is a window of fixed size.
  XSizeHints* Hints = XAllocSizeHints();
  Hints->flags = PPosition | PSize;
  Hints->x = FMonitor.X + W.Params.Left;
  Hints->y = FMonitor.Y + W.Params.Top;
  Hints->width = W.Width;
  Hints->height = W.Height;
  if (W.Params.BorderStyle == TBorderStyle::bsSingle) {
    Hints->flags |= PMinSize | PMaxSize;
    Hints->min_width = Hints->max_width = W.Width;
    Hints->min_height = Hints->max_height = W.Height;
  }
  XSetWMNormalHints(FDisplay, W.Xid, Hints);
  XFree(Hints);
  // A caption with a close box only: no minimise or maximise buttons, no window menu.
  // flags, functions, decorations, input mode, state
  long Motif[5] = {3, 0x04 | 0x20, 0x02 | 0x08, 0, 0};  // move, close; border, title
  if (W.Params.BorderIcons) Motif[0] = 0;
  const Atom MotifAtom = XInternAtom(FDisplay, "_MOTIF_WM_HINTS", False);
  XChangeProperty(FDisplay, W.Xid, MotifAtom, MotifAtom, 32, PropModeReplace, reinterpret_cast<unsigned char*>(Motif),
                  5);
}

void TX11Platform::SetCursor(TWindowRec& W) {
  if (W.Params.CursorVisible)
    XUndefineCursor(FDisplay, W.Xid);
  else
    XDefineCursor(FDisplay, W.Xid, FBlankCursor);
}

void TX11Platform::Map(TWindowRec& W) {
  if (W.Fullscreen) {
    XMapRaised(FDisplay, W.Xid);
    if (TakesInput()) Grab(W);
  } else {
    XMapWindow(FDisplay, W.Xid);
  }
  W.Mapped = true;
  if (TakesInput()) LearnPointer(W);
  XFlush(FDisplay);
}

// Where the pointer rests as the window appears, as a window that appears under the pointer
// learns it on Windows: a pointer that stays still never ends the saver, whenever the server
// tells of it.
void TX11Platform::LearnPointer(TWindowRec& W) {
  Window Root, Child;
  int RootX, RootY, X, Y;
  unsigned Mask;
  if (XQueryPointer(FDisplay, W.Xid, &Root, &Child, &RootX, &RootY, &X, &Y, &Mask))
    FInput.Enter(W.Handle, W.Pointer, X, Y);
}

// Keys and pointer come to the saver wherever the focus and the pointer were; another
// program holding a grab (a menu that is open) gets a moment to let go.
void TX11Platform::Grab(TWindowRec& W) {
  const Cursor Shape = W.Params.CursorVisible ? None : FBlankCursor;
  bool Keyboard = false, Pointer = false;
  for (int Try = 0; Try < 20 && !(Keyboard && Pointer); ++Try) {
    if (Try) usleep(25'000);
    if (!Keyboard)
      Keyboard = XGrabKeyboard(FDisplay, W.Xid, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    if (!Pointer)
      Pointer = XGrabPointer(FDisplay, W.Xid, True, PointerMotionMask | ButtonPressMask | ButtonReleaseMask,
                             GrabModeAsync, GrabModeAsync, None, Shape, CurrentTime) == GrabSuccess;
  }
  if (!Keyboard) {
    std::fprintf(stderr, "qelwave: could not grab the keyboard; keys reach the saver only while it has the focus\n");
    x11::TErrorTrap Trap(FDisplay);
    XSetInputFocus(FDisplay, W.Xid, RevertToPointerRoot, CurrentTime);
  }
  W.Grabbed = Keyboard || Pointer;
}

void TX11Platform::UpdateWindow(TWindowHandle Handle, const TWindowParams& Params) {
  auto It = FWindows.find(Handle);
  if (It == FWindows.end()) return;
  TWindowRec& W = *It->second;
  const TWindowParams Old = W.Params;
  W.Params = Params;
  if (!W.Own || W.Gone) return;  // the host's window is the host's business
  const bool Full = Params.BorderStyle == TBorderStyle::bsNone;
  if (Full != W.Fullscreen && !W.Mapped) {
    XSetWindowAttributes A{};
    A.override_redirect = Full ? True : False;
    XChangeWindowAttributes(FDisplay, W.Xid, CWOverrideRedirect, &A);
    W.Fullscreen = Full;
  }
  if (Params.Left != Old.Left || Params.Top != Old.Top || Params.ClientWidth != Old.ClientWidth ||
      Params.ClientHeight != Old.ClientHeight) {
    W.Width = std::max(Params.ClientWidth, 1);
    W.Height = std::max(Params.ClientHeight, 1);
    XMoveResizeWindow(FDisplay, W.Xid, FMonitor.X + Params.Left, FMonitor.Y + Params.Top,
                      static_cast<unsigned>(W.Width), static_cast<unsigned>(W.Height));
  }
  if (Params.Caption != Old.Caption || Params.BorderStyle != Old.BorderStyle || Params.BorderIcons != Old.BorderIcons ||
      Params.ClientWidth != Old.ClientWidth || Params.ClientHeight != Old.ClientHeight)
    SetNames(W);
  if (Params.CursorVisible != Old.CursorVisible) SetCursor(W);
  if (Params.Visible && !W.Mapped) {
    Map(W);
  } else if (!Params.Visible && W.Mapped) {
    if (W.Grabbed) {
      XUngrabKeyboard(FDisplay, CurrentTime);
      XUngrabPointer(FDisplay, CurrentTime);
      W.Grabbed = false;
    }
    XUnmapWindow(FDisplay, W.Xid);
    W.Mapped = false;
  }
  if (W.Mapped && !W.Fullscreen) Paint(W);
  XFlush(FDisplay);
}

void TX11Platform::DestroyWindow(TWindowHandle Handle) {
  auto It = FWindows.find(Handle);
  if (It == FWindows.end()) return;
  soft::UnregisterPresenter(AsHwnd(Handle));
  d3d9::UnregisterNativeWindow(AsHwnd(Handle));
  FInput.Forget(Handle);
  TWindowRec& W = *It->second;
  {
    // The window may be going at this very moment by another hand.
    x11::TErrorTrap Trap(FDisplay);
    W.Presenter.reset();
    W.Painter.reset();
    if (W.Own && !W.Gone) {
      if (W.Grabbed) {
        XUngrabKeyboard(FDisplay, CurrentTime);
        XUngrabPointer(FDisplay, CurrentTime);
      }
      XDestroyWindow(FDisplay, W.Xid);
    } else if (!W.Own && !W.Gone) {
      XSelectInput(FDisplay, W.Xid, NoEventMask);
    }
    if (W.OwnColormap) XFreeColormap(FDisplay, W.Map);
  }
  FWindows.erase(It);
}

void TX11Platform::Paint(TWindowRec& W) {
  if (!W.Painter) W.Painter = std::make_unique<x11::TPainter>(FDisplay, W.Xid, W.WindowVisual, W.Map, W.Depth);
  posix::PaintControls(*W.Painter, W.Params, W.Pointer.Pressed);
}

x11::TPresenter& TX11Platform::PresenterOf(TWindowRec& W) {
  if (!W.Presenter)
    W.Presenter = std::make_unique<x11::TPresenter>(FDisplay, W.Xid, W.WindowVisual, W.Depth, FAllowShm, FCheckPresents);
  return *W.Presenter;
}

void TX11Platform::Push(TPlatformEvent::TKind Kind, TWindowRec& W, int X, int Y) {
  TPlatformEvent E{Kind};
  E.Window = W.Handle;
  E.X = X;
  E.Y = Y;
  FInput.Push(E);
}

void TX11Platform::Translate(XEvent& E) {
  if (FRandREventBase >= 0 && E.type == FRandREventBase + RRScreenChangeNotify) {
    XRRUpdateConfiguration(&E);
    FollowMonitor();
    return;
  }
  if (E.type == ConfigureNotify && E.xconfigure.window == RootWindow(FDisplay, FScreen) && !FOptions.Hack) {
    FollowMonitor();
    return;
  }
  if (E.type == MappingNotify) {
    XRefreshKeyboardMapping(&E.xmapping);
    return;
  }
  if (E.type == ConfigureNotify && FOptions.Hack && E.xconfigure.window == FOptions.HostWindow)
    FHost = x11::TRect{0, 0, E.xconfigure.width, E.xconfigure.height};
  if (E.type == DestroyNotify && FOptions.Hack && E.xdestroywindow.window == FOptions.HostWindow) FHostGone = true;
  TWindowRec* W = Find(E.xany.window);
  if (!W) return;
  switch (E.type) {
    case KeyPress:
      FInput.Key(W->Handle, W->Params, XLookupKeysym(&E.xkey, 0));
      break;
    case EnterNotify:
      FInput.Enter(W->Handle, W->Pointer, E.xcrossing.x, E.xcrossing.y);
      break;
    case MotionNotify:
      FInput.Move(W->Handle, W->Pointer, E.xmotion.x, E.xmotion.y);
      break;
    case ButtonPress:
    case ButtonRelease:
      if (FInput.Button(W->Handle, W->Params, W->Pointer, static_cast<int>(E.xbutton.button), E.type == ButtonPress,
                        E.xbutton.x, E.xbutton.y))
        Paint(*W);
      break;
    case Expose:
      // Frames are sent where they change: an exposed saver window gets the next one whole.
      if (W->Presenter) W->Presenter->Invalidate();
      if (E.xexpose.count == 0 && W->Own && !W->Fullscreen) Paint(*W);
      break;
    case ConfigureNotify:
      if (E.xconfigure.width != W->Width || E.xconfigure.height != W->Height) {
        W->Width = E.xconfigure.width;
        W->Height = E.xconfigure.height;
        Push(TPlatformEvent::TKind::Resize, *W, W->Width, W->Height);
      }
      break;
    case DestroyNotify:
      if (E.xdestroywindow.window == W->Xid) W->Gone = true;
      break;
    case ClientMessage:
      if (static_cast<Atom>(E.xclient.data.l[0]) == FDeleteWindow) Push(TPlatformEvent::TKind::Close, *W);
      break;
    case VisibilityNotify:
      // Stays above windows that appear later.
      if (W->Own && W->Fullscreen && E.xvisibility.state != VisibilityUnobscured) XRaiseWindow(FDisplay, W->Xid);
      break;
    default:
      break;
  }
}

bool TX11Platform::PollEvent(TPlatformEvent& Event) {
  for (;;) {
    bool Quit = posix::QuitSignalled() || FHostGone || FMonitorGone;
    for (auto& [Handle, W] : FWindows) Quit = Quit || W->Gone;
    if (Quit) {
      Event = TPlatformEvent{TPlatformEvent::TKind::Quit};
      return true;
    }
    if (FInput.Take(Event)) return true;
    // Everything that has arrived is translated at once, so that the moves among it merge.
    if (!XPending(FDisplay)) return false;
    while (XEventsQueued(FDisplay, QueuedAlready) > 0) {
      XEvent E;
      XNextEvent(FDisplay, &E);
      Translate(E);
    }
  }
}

void TX11Platform::WaitEvent(std::int64_t TimeoutMs) {
  if (posix::QuitSignalled() || !FInput.Empty() || XPending(FDisplay)) return;
  pollfd Fds[2] = {{ConnectionNumber(FDisplay), POLLIN, 0}, {posix::QuitSignalFd(), POLLIN, 0}};
  const int Timeout = TimeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(TimeoutMs, INT_MAX));
  poll(Fds, posix::QuitSignalFd() >= 0 ? 2 : 1, Timeout);
}

bool TX11Platform::FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) {
  return FindEmbeddedResource(Name, Data, Size);
}

}  // namespace qel
