// x11probe: what the end-to-end tests of qelwave need from the X server, fast: a known
// desktop picture on the root window, screenshots through MIT-SHM (a few ms each, so a
// 10 ms frame is not missed) checked against that picture, windows made and destroyed
// for hack mode, and watching for windows being mapped.
//
//   x11probe paint-root                    the desktop picture, left on the root window
//   x11probe first-frame OUT.png MS [X W]  waits for the first change of the screen and checks
//                                          it is the desktop picture in R5G6B5 colours
//   x11probe wave OUT.png MS [X W]         waits until the desktop is at most faintly visible
//                                          (under 27 % of its contrast) under light that
//                                          varies within its cells (clouds, ribbons)
//                                          With X W, both look only at the columns X ... X+W-1
//                                          of the screen (one monitor of several); X is a
//                                          multiple of 128, where the desktop picture repeats.
//   x11probe apart X1 X2 W                 whether the columns from X1 and from X2, W wide,
//                                          show different pictures (two waves of their own)
//   x11probe window X Y W H [shot]         maps a magenta window, prints its id, lives until
//                                          SIGTERM or until the window is destroyed; with shot
//                                          it carries the desktop picture as xscreensaver's
//                                          _SCREENSAVER_SCREENSHOT
//   x11probe drawn ID MS                   waits until a window made by `window` is drawn over
//                                          all over (neither magenta nor black)
//   x11probe window-first-frame ID desktop|black OUT.png MS
//                                          prints "ready" while the window is not drawn on,
//                                          waits for the first frame that covers it and checks
//                                          it is the desktop picture in R5G6B5 colours (as
//                                          bright, or evenly dimmed to half at most), or black
//   x11probe grab                          grabs keyboard and pointer and lets go (status 0 if
//                                          both could be grabbed)
//   x11probe hold-pointer MS               grabs the pointer (as an open menu does), prints
//                                          "ready", lets go after MS milliseconds
//   x11probe clear ID                      paints a window made by `window` magenta again
//   x11probe destroy ID                    destroys a window
//   x11probe watch-maps                    prints "ready", then counts windows mapped until
//                                          SIGTERM and prints the count
//   x11probe find NAME MS                  waits for a viewable window of that name, prints
//                                          its root position and size
//   x11probe windows                       prints how many top-level windows are viewable
//   x11probe shot OUT.png                  the screen as a PNG
// Every wait ends after MS milliseconds at the latest (exit status 1).
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/common/ScreenChecks.h"
#include "tools/common/Png.h"

namespace {

using Clock = std::chrono::steady_clock;
Display* D = nullptr;
volatile std::sig_atomic_t Stop = 0;

// Pixels of the default visual (16 or 24 bits) to and from 0xRRGGBB, each channel widened
// by repeating its high bits.
int LowBit(unsigned long Mask) { return Mask ? __builtin_ctzl(Mask) : 0; }
int BitCount(unsigned long Mask) { return __builtin_popcountl(Mask); }
unsigned long PixelOf(std::uint32_t Rgb) {
  const Visual* V = DefaultVisual(D, DefaultScreen(D));
  const auto Put = [Rgb](int Shift, unsigned long Mask) {
    return (static_cast<unsigned long>(Rgb >> Shift & 0xFF) >> (8 - BitCount(Mask)) << LowBit(Mask)) & Mask;
  };
  return Put(16, V->red_mask) | Put(8, V->green_mask) | Put(0, V->blue_mask);
}
std::uint32_t RgbOf(unsigned long Pixel) {
  const Visual* V = DefaultVisual(D, DefaultScreen(D));
  const auto Get = [Pixel](unsigned long Mask) {
    const int Bits = BitCount(Mask);
    std::uint32_t Value = static_cast<std::uint32_t>((Pixel & Mask) >> LowBit(Mask)) << (8 - Bits);
    for (int Have = Bits; Have < 8; Have += Bits) Value |= Value >> Have;
    return Value & 0xFF;
  };
  return Get(V->red_mask) << 16 | Get(V->green_mask) << 8 | Get(V->blue_mask);
}

// A pixel of an image of the default visual, read straight for the usual layouts: the
// first frame is on screen for 10 ms or less.
unsigned long PixelAt(XImage* I, int X, int Y) {
  const char* Row = I->data + static_cast<std::size_t>(Y) * I->bytes_per_line;
  if (I->bits_per_pixel == 32 && I->byte_order == LSBFirst) return reinterpret_cast<const std::uint32_t*>(Row)[X];
  if (I->bits_per_pixel == 16 && I->byte_order == LSBFirst) return reinterpret_cast<const std::uint16_t*>(Row)[X];
  return XGetPixel(I, X, Y);
}

long ElapsedMs(Clock::time_point Start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
}

class TScreen {
 public:
  // The whole screen, or its columns from Left on, Width wide.
  explicit TScreen(int Left = 0, int Width = 0) : Left(Left) {
    const int S = DefaultScreen(D);
    W = Width > 0 ? Width : DisplayWidth(D, S) - Left;
    H = DisplayHeight(D, S);
    Image = XShmCreateImage(D, DefaultVisual(D, S), static_cast<unsigned>(DefaultDepth(D, S)), ZPixmap, nullptr, &Shm,
                            static_cast<unsigned>(W), static_cast<unsigned>(H));
    Shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(Image->bytes_per_line) * H, IPC_CREAT | 0600);
    Shm.shmaddr = Image->data = static_cast<char*>(shmat(Shm.shmid, nullptr, 0));
    Shm.readOnly = False;
    XShmAttach(D, &Shm);
    XSync(D, False);
    shmctl(Shm.shmid, IPC_RMID, nullptr);
    Shot.Width = W;
    Shot.Height = H;
    Shot.Pixels.resize(static_cast<std::size_t>(W) * H);
  }
  ~TScreen() {
    XShmDetach(D, &Shm);
    XSync(D, False);
    shmdt(Shm.shmaddr);
    Image->data = nullptr;
    XDestroyImage(Image);
  }
  // The screen now, in Shot.
  void Take() {
    XShmGetImage(D, DefaultRootWindow(D), Image, Left, 0, AllPlanes);
    const bool Xrgb = Image->bits_per_pixel == 32 && Image->byte_order == LSBFirst;  // the usual screen: fast
    for (int Y = 0; Y < H; ++Y) {
      const auto* Row = reinterpret_cast<const std::uint32_t*>(Image->data + static_cast<std::size_t>(Y) * Image->bytes_per_line);
      for (int X = 0; X < W; ++X) Shot.At(X, Y) = 0xFF000000u | (Xrgb ? Row[X] : RgbOf(PixelAt(Image, X, Y)));
    }
  }
  bool Save(const std::string& File) const {
    std::string Error;
    if (!qel::SavePng(File, Shot, Error)) std::fprintf(stderr, "x11probe: %s\n", Error.c_str());
    return Error.empty();
  }
  int Left = 0;
  int W = 0, H = 0;
  qel::TArgbPicture Shot;

 private:
  XShmSegmentInfo Shm{};
  XImage* Image = nullptr;
};

int PaintRoot() {
  const int S = DefaultScreen(D);
  const int W = DisplayWidth(D, S), H = DisplayHeight(D, S);
  const Window Root = DefaultRootWindow(D);
  const Pixmap P = XCreatePixmap(D, Root, static_cast<unsigned>(W), static_cast<unsigned>(H),
                                 static_cast<unsigned>(DefaultDepth(D, S)));
  XImage* Image = XCreateImage(D, DefaultVisual(D, S), static_cast<unsigned>(DefaultDepth(D, S)), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(W), static_cast<unsigned>(H), 32, 0);
  Image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(Image->bytes_per_line) * H));
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) XPutPixel(Image, X, Y, qel::e2e::DesktopPixel(X, Y));
  const GC G = XCreateGC(D, P, 0, nullptr);
  XPutImage(D, P, G, Image, 0, 0, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H));
  XDestroyImage(Image);
  XFreeGC(D, G);
  XSetWindowBackgroundPixmap(D, Root, P);
  XClearWindow(D, Root);
  // The picture outlives this client.
  XSetCloseDownMode(D, RetainPermanent);
  XSync(D, False);
  return 0;
}

int FirstFrame(const std::string& Out, long Ms, int Left, int Width) {
  TScreen S(Left, Width);
  const auto Start = Clock::now();
  int Shots = 0;
  do {
    S.Take();
    ++Shots;
  } while (qel::e2e::ShowsDesktop(S.Shot) && ElapsedMs(Start) < Ms);
  if (qel::e2e::ShowsDesktop(S.Shot)) {
    std::printf("the screen did not change in %ld ms\n", Ms);
    return 1;
  }
  S.Save(Out);
  // A frame sent in pieces (XPutImage splits large pictures) can be caught half drawn.
  std::string Report;
  const bool Good = qel::e2e::IsFirstFrame(S.Shot, Report);
  std::printf("first change after %ld ms (%d screenshots): %s\n", ElapsedMs(Start), Shots, Report.c_str());
  return Good ? 0 : 1;
}

int Wave(const std::string& Out, long Ms, int Left, int Width) {
  TScreen S(Left, Width);
  const auto Start = Clock::now();
  std::string Report;
  do {
    S.Take();
    if (qel::e2e::IsWave(S.Shot, Report)) {
      S.Save(Out);
      std::printf("wave after %ld ms: %s\n", ElapsedMs(Start), Report.c_str());
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (ElapsedMs(Start) < Ms);
  S.Save(Out);
  std::printf("no wave in %ld ms: %s\n", Ms, Report.c_str());
  return 1;
}

// Two waves of their own differ in colour or in where their ribbons are: a good part of
// the pixels of one is far from those at the same place in the other.
int Apart(int X1, int X2, int W) {
  TScreen A(X1, W), B(X2, W);
  A.Take();
  B.Take();
  const double Share = qel::e2e::ChangedShare(A.Shot, B.Shot, 24);
  std::printf("%.1f %% of the pixels differ by more than 24\n", Share * 100);
  return Share >= 0.05 ? 0 : 1;
}

constexpr std::uint32_t Magenta = 0xFF00FF;

// The desktop picture as a pixmap of the screen's depth, as xscreensaver leaves it on its
// window for its hacks.
void AttachScreenshot(Window Win, int W, int H) {
  const int S = DefaultScreen(D);
  const unsigned Depth = static_cast<unsigned>(DefaultDepth(D, S));
  const Pixmap P = XCreatePixmap(D, Win, static_cast<unsigned>(W), static_cast<unsigned>(H), Depth);
  XImage* Image = XCreateImage(D, DefaultVisual(D, S), Depth, ZPixmap, 0, nullptr, static_cast<unsigned>(W),
                               static_cast<unsigned>(H), 32, 0);
  Image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(Image->bytes_per_line) * H));
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) XPutPixel(Image, X, Y, PixelOf(qel::e2e::DesktopPixel(X, Y)));
  const GC G = XCreateGC(D, P, 0, nullptr);
  XPutImage(D, P, G, Image, 0, 0, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H));
  XDestroyImage(Image);
  XFreeGC(D, G);
  const long Id = static_cast<long>(P);
  XChangeProperty(D, Win, XInternAtom(D, "_SCREENSAVER_SCREENSHOT", False), XA_PIXMAP, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&Id), 1);
}

int MakeWindow(int X, int Y, int W, int H, bool Shot) {
  XSetWindowAttributes A{};
  A.background_pixel = PixelOf(Magenta);
  A.override_redirect = True;
  A.event_mask = StructureNotifyMask;
  const Window Win = XCreateWindow(D, DefaultRootWindow(D), X, Y, static_cast<unsigned>(W), static_cast<unsigned>(H),
                                   0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWOverrideRedirect | CWEventMask, &A);
  if (Shot) AttachScreenshot(Win, W, H);
  XMapWindow(D, Win);
  XSync(D, False);
  std::printf("%lu\n", Win);
  std::fflush(stdout);
  for (;;) {
    while (XPending(D)) {
      XEvent E;
      XNextEvent(D, &E);
      if (E.type == DestroyNotify && E.xdestroywindow.window == Win) return 0;
    }
    if (Stop) return 0;
    pollfd F{ConnectionNumber(D), POLLIN, 0};
    poll(&F, 1, 100);
  }
}

int Drawn(Window Win, long Ms) {
  const auto Start = Clock::now();
  XWindowAttributes A{};
  if (!XGetWindowAttributes(D, Win, &A)) return 1;
  do {
    XImage* I = XGetImage(D, Win, 0, 0, static_cast<unsigned>(A.width), static_cast<unsigned>(A.height), AllPlanes,
                          ZPixmap);
    long Other = 0;
    for (int Y = 0; Y < A.height; ++Y)
      for (int X = 0; X < A.width; ++X) {
        // Neither the window's own background nor the black of a frame too small for it.
        const std::uint32_t P = RgbOf(PixelAt(I, X, Y));
        Other += P != Magenta && P != 0;
      }
    XDestroyImage(I);
    if (Other > static_cast<long>(A.width) * A.height * 9 / 10) {
      std::printf("window drawn over after %ld ms\n", ElapsedMs(Start));
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (ElapsedMs(Start) < Ms);
  std::printf("window not drawn in %ld ms\n", Ms);
  return 1;
}

int WindowFirstFrame(Window Win, const std::string& Want, const std::string& Out, long Ms) {
  const auto Start = Clock::now();
  XWindowAttributes A{};
  if (!XGetWindowAttributes(D, Win, &A) || (Want != "desktop" && Want != "black")) return 2;
  const unsigned long Background = PixelOf(Magenta);
  bool Watching = false;
  do {
    XImage* I = XGetImage(D, Win, 0, 0, static_cast<unsigned>(A.width), static_cast<unsigned>(A.height), AllPlanes,
                          ZPixmap);
    if (!I) return 1;
    long Uncovered = 0;
    for (int Y = 0; Y < A.height; ++Y)
      for (int X = 0; X < A.width; ++X) Uncovered += PixelAt(I, X, Y) == Background;
    if (!Watching) {
      XDestroyImage(I);
      if (!Uncovered) {
        std::printf("the window was drawn on before the watch began\n");
        return 1;
      }
      std::printf("ready\n");
      std::fflush(stdout);
      Watching = true;
      continue;
    }
    // A frame covers the whole window (a frame sent in pieces is caught whole the next time).
    if (!Uncovered) {
      qel::TArgbPicture Frame;
      Frame.Width = A.width;
      Frame.Height = A.height;
      Frame.Pixels.resize(static_cast<std::size_t>(A.width) * A.height);
      for (int Y = 0; Y < A.height; ++Y)
        for (int X = 0; X < A.width; ++X) Frame.At(X, Y) = 0xFF000000u | RgbOf(PixelAt(I, X, Y));
      XDestroyImage(I);
      std::string Error, Report;
      if (!qel::SavePng(Out, Frame, Error)) std::fprintf(stderr, "x11probe: %s\n", Error.c_str());
      const bool Good = Want == "desktop" ? qel::e2e::IsDimmedDesktop(Frame, Report) : qel::e2e::IsBlack(Frame, Report);
      std::printf("first frame after %ld ms: %s\n", ElapsedMs(Start), Report.c_str());
      return Good ? 0 : 1;
    }
    XDestroyImage(I);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  } while (ElapsedMs(Start) < Ms);
  std::printf("no frame covered the window in %ld ms\n", Ms);
  return 1;
}

// Whether another client can take the keyboard and the pointer now.
int Grab() {
  const Window Root = DefaultRootWindow(D);
  const bool Keyboard = XGrabKeyboard(D, Root, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  const bool Pointer = XGrabPointer(D, Root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                                    CurrentTime) == GrabSuccess;
  XUngrabKeyboard(D, CurrentTime);
  XUngrabPointer(D, CurrentTime);
  XSync(D, False);
  std::printf("keyboard %s, pointer %s\n", Keyboard ? "grabbed" : "held by another client",
              Pointer ? "grabbed" : "held by another client");
  return Keyboard && Pointer ? 0 : 1;
}

int HoldPointer(long Ms) {
  if (XGrabPointer(D, DefaultRootWindow(D), False, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, None,
                   CurrentTime) != GrabSuccess)
    return 1;
  XSync(D, False);
  std::printf("ready\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
  XUngrabPointer(D, CurrentTime);
  XSync(D, False);
  return 0;
}

int WatchMaps() {
  XSelectInput(D, DefaultRootWindow(D), SubstructureNotifyMask);
  XSync(D, False);
  std::printf("ready\n");
  std::fflush(stdout);
  int Maps = 0;
  while (!Stop) {
    while (XPending(D)) {
      XEvent E;
      XNextEvent(D, &E);
      Maps += E.type == MapNotify;
    }
    pollfd F{ConnectionNumber(D), POLLIN, 0};
    poll(&F, 1, 50);
  }
  while (XPending(D)) {
    XEvent E;
    XNextEvent(D, &E);
    Maps += E.type == MapNotify;
  }
  std::printf("%d\n", Maps);
  return 0;
}

int ViewableTopLevels(const char* Name, int& X, int& Y, int& W, int& H) {
  Window Root, Parent, *Children = nullptr;
  unsigned Count = 0;
  int Found = 0;
  XQueryTree(D, DefaultRootWindow(D), &Root, &Parent, &Children, &Count);
  for (unsigned i = 0; i < Count; ++i) {
    XWindowAttributes A{};
    if (!XGetWindowAttributes(D, Children[i], &A) || A.map_state != IsViewable) continue;
    char* WinName = nullptr;
    const bool Named = XFetchName(D, Children[i], &WinName) && WinName;
    const bool Match = !Name || (Named && std::strcmp(WinName, Name) == 0);
    if (WinName) XFree(WinName);
    if (!Match) continue;
    ++Found;
    X = A.x;
    Y = A.y;
    W = A.width;
    H = A.height;
  }
  if (Children) XFree(Children);
  return Found;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  const std::string Command = argc > 1 ? argv[1] : "";
  D = XOpenDisplay(nullptr);
  if (!D) {
    std::fprintf(stderr, "x11probe: no display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreErrors);  // windows may go while they are looked at
  std::signal(SIGTERM, [](int) { Stop = 1; });
  const auto Arg = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };
  const auto Num = [&](int i) { return std::strtol(Arg(i).c_str(), nullptr, 0); };
  if (Command == "paint-root") return PaintRoot();
  if (Command == "first-frame") return FirstFrame(Arg(2), Num(3), static_cast<int>(Num(4)), static_cast<int>(Num(5)));
  if (Command == "wave") return Wave(Arg(2), Num(3), static_cast<int>(Num(4)), static_cast<int>(Num(5)));
  if (Command == "apart") return Apart(static_cast<int>(Num(2)), static_cast<int>(Num(3)), static_cast<int>(Num(4)));
  if (Command == "window")
    return MakeWindow(static_cast<int>(Num(2)), static_cast<int>(Num(3)), static_cast<int>(Num(4)),
                      static_cast<int>(Num(5)), Arg(6) == "shot");
  if (Command == "drawn") return Drawn(static_cast<Window>(Num(2)), Num(3));
  if (Command == "window-first-frame") return WindowFirstFrame(static_cast<Window>(Num(2)), Arg(3), Arg(4), Num(5));
  if (Command == "grab") return Grab();
  if (Command == "hold-pointer") return HoldPointer(Num(2));
  if (Command == "clear") {
    XClearWindow(D, static_cast<Window>(Num(2)));
    XSync(D, False);
    return 0;
  }
  if (Command == "destroy") {
    XDestroyWindow(D, static_cast<Window>(Num(2)));
    XSync(D, False);
    return 0;
  }
  if (Command == "watch-maps") return WatchMaps();
  if (Command == "find") {
    const auto Start = Clock::now();
    int X = 0, Y = 0, W = 0, H = 0;
    do {
      if (ViewableTopLevels(argv[2], X, Y, W, H)) {
        std::printf("%d %d %d %d\n", X, Y, W, H);
        return 0;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (ElapsedMs(Start) < Num(3));
    return 1;
  }
  if (Command == "windows") {
    int X, Y, W, H;
    std::printf("%d\n", ViewableTopLevels(nullptr, X, Y, W, H));
    return 0;
  }
  if (Command == "shot") {
    TScreen S;
    S.Take();
    return S.Save(Arg(2)) ? 0 : 1;
  }
  std::fprintf(stderr, "x11probe: unknown command '%s'\n", Command.c_str());
  return 2;
}
