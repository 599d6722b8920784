// x11probe: what the end-to-end tests of qelwave need from the X server, fast: a known
// desktop picture on the root window, screenshots through MIT-SHM (a few ms each, so a
// 10 ms frame is not missed) checked against that picture, windows made and destroyed
// for hack mode, and watching for windows being mapped.
//
//   x11probe paint-root                    the desktop picture, left on the root window
//   x11probe first-frame OUT.png MS        waits for the first change of the screen and checks
//                                          it is the desktop picture in R5G6B5 colours
//   x11probe wave OUT.png MS               waits until the desktop is at most faintly visible
//                                          (under 27 % of its contrast) under light that
//                                          varies within its cells (clouds, ribbons)
//   x11probe window X Y W H                maps a magenta window, prints its id, lives until
//                                          SIGTERM or until the window is destroyed
//   x11probe drawn ID MS                   waits until a window made by `window` is drawn over
//                                          all over (neither magenta nor black)
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

#include "tools/common/Png.h"

namespace {

using Clock = std::chrono::steady_clock;
Display* D = nullptr;
volatile std::sig_atomic_t Stop = 0;

// The desktop picture: 64-pixel cells, light and dark, with low bits that a 16-bit frame
// cannot keep, so the saver's first frame tells itself apart from the picture.
std::uint32_t Desktop(int X, int Y) {
  const bool Light = ((X / 64) + (Y / 64)) % 2 == 0;
  const int Tweak = (X * 7 + Y * 3) & 7;
  const int R = Light ? 0xE3 - Tweak : 0x2D + Tweak;
  const int G = Light ? 0xC5 + Tweak : 0x4B - Tweak;
  const int B = Light ? 0xAB - Tweak : 0x1F + Tweak;
  return static_cast<std::uint32_t>(R << 16 | G << 8 | B);
}
bool LightCell(int X, int Y) { return ((X / 64) + (Y / 64)) % 2 == 0; }

int Channel(std::uint32_t P, int Shift) { return static_cast<int>(P >> Shift & 0xFF); }

// 8 bits cut to Bits and widened back by repeating the high bits.
int Quantised(int V, int Bits) {
  const int Cut = V >> (8 - Bits);
  return (Cut << (8 - Bits)) | (Cut >> (2 * Bits - 8));
}

long ElapsedMs(Clock::time_point Start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
}

class TScreen {
 public:
  TScreen() {
    const int S = DefaultScreen(D);
    W = DisplayWidth(D, S);
    H = DisplayHeight(D, S);
    Image = XShmCreateImage(D, DefaultVisual(D, S), static_cast<unsigned>(DefaultDepth(D, S)), ZPixmap, nullptr, &Shm,
                            static_cast<unsigned>(W), static_cast<unsigned>(H));
    Shm.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(Image->bytes_per_line) * H, IPC_CREAT | 0600);
    Shm.shmaddr = Image->data = static_cast<char*>(shmat(Shm.shmid, nullptr, 0));
    Shm.readOnly = False;
    XShmAttach(D, &Shm);
    XSync(D, False);
    shmctl(Shm.shmid, IPC_RMID, nullptr);
  }
  ~TScreen() {
    XShmDetach(D, &Shm);
    XSync(D, False);
    shmdt(Shm.shmaddr);
    Image->data = nullptr;
    XDestroyImage(Image);
  }
  void Take() { XShmGetImage(D, DefaultRootWindow(D), Image, 0, 0, AllPlanes); }
  std::uint32_t At(int X, int Y) const {
    return reinterpret_cast<const std::uint32_t*>(Image->data + static_cast<std::size_t>(Y) * Image->bytes_per_line)[X] &
           0xFFFFFF;
  }
  bool Save(const std::string& File) const {
    qel::TArgbPicture P;
    P.Width = W;
    P.Height = H;
    P.Pixels.resize(static_cast<std::size_t>(W) * H);
    for (int Y = 0; Y < H; ++Y)
      for (int X = 0; X < W; ++X) P.At(X, Y) = 0xFF000000u | At(X, Y);
    std::string Error;
    if (!qel::SavePng(File, P, Error)) std::fprintf(stderr, "x11probe: %s\n", Error.c_str());
    return Error.empty();
  }
  int W = 0, H = 0;

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
    for (int X = 0; X < W; ++X) XPutPixel(Image, X, Y, Desktop(X, Y));
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

// The share of pixels within Tolerance of the desktop picture in 5/6/5 bits (or, with
// OrOriginal, also those still showing the picture itself), and the largest difference.
double QuantisedMatch(const TScreen& S, int Tolerance, bool OrOriginal, int& Worst) {
  long Good = 0;
  Worst = 0;
  for (int Y = 0; Y < S.H; ++Y)
    for (int X = 0; X < S.W; ++X) {
      const std::uint32_t P = S.At(X, Y), Want = Desktop(X, Y);
      if (OrOriginal && P == Want) {
        ++Good;
        continue;
      }
      const int Diff = std::max({std::abs(Channel(P, 16) - Quantised(Channel(Want, 16), 5)),
                                 std::abs(Channel(P, 8) - Quantised(Channel(Want, 8), 6)),
                                 std::abs(Channel(P, 0) - Quantised(Channel(Want, 0), 5))});
      Worst = std::max(Worst, Diff);
      Good += Diff <= Tolerance;
    }
  return static_cast<double>(Good) / (static_cast<double>(S.W) * S.H);
}

bool IsDesktop(const TScreen& S) {
  for (int Y = 0; Y < S.H; Y += 3)
    for (int X = 0; X < S.W; X += 5)
      if (S.At(X, Y) != Desktop(X, Y)) return false;
  return true;
}

int FirstFrame(const std::string& Out, long Ms) {
  TScreen S;
  const auto Start = Clock::now();
  int Shots = 0;
  do {
    S.Take();
    ++Shots;
  } while (IsDesktop(S) && ElapsedMs(Start) < Ms);
  if (IsDesktop(S)) {
    std::printf("the screen did not change in %ld ms\n", Ms);
    return 1;
  }
  S.Save(Out);
  // A frame sent in pieces (XPutImage splits large pictures) can be caught half drawn: what
  // has changed must be the desktop in 16-bit colours, what has not is the picture itself.
  int Worst = 0, WorstWhole = 0;
  const double Changed = 1.0 - QuantisedMatch(S, -1, true, Worst);
  const double Match = QuantisedMatch(S, 2, true, Worst);
  const double Whole = QuantisedMatch(S, 2, false, WorstWhole);
  std::printf("first change after %ld ms (%d screenshots): %.2f %% of the screen changed, %.4f %% of pixels within 2 "
              "of the desktop in R5G6B5 or unchanged, largest difference %d; %.4f %% within 2 of the R5G6B5 "
              "desktop\n",
              ElapsedMs(Start), Shots, Changed * 100, Match * 100, Worst, Whole * 100);
  // More than a pointer's worth of the screen, less than the first piece of a split picture.
  return Match >= 0.999 && Changed >= 0.01 ? 0 : 1;
}

int Wave(const std::string& Out, long Ms) {
  TScreen S;
  const auto Start = Clock::now();
  const auto Luma = [](std::uint32_t P) { return 0.299 * Channel(P, 16) + 0.587 * Channel(P, 8) + 0.114 * Channel(P, 0); };
  // The desktop picture's own contrast: light cells (first 64 pixels) against dark ones.
  double Desk[2] = {0, 0};
  for (int X = 0; X < 128; ++X) Desk[LightCell(X, 0)] += Luma(Desktop(X, 0)) / 64;
  const double Picture = Desk[1] - Desk[0];
  const int Columns = (S.W + 63) / 64, Rows = (S.H + 63) / 64;
  double Contrast = 0, Spread = 0;
  do {
    S.Take();
    // The desktop shows as the difference between its light and its dark cells; the wave
    // (clouds and ribbons) as light that varies within the cells, which the picture does not.
    std::vector<double> Sum(static_cast<std::size_t>(Columns * Rows)), Squares(Sum.size());
    std::vector<long> Count(Sum.size());
    double Kind[2] = {0, 0};
    long KindCount[2] = {0, 0};
    for (int Y = 0; Y < S.H; Y += 2)
      for (int X = 0; X < S.W; X += 2) {
        const double L = Luma(S.At(X, Y));
        const std::size_t Cell = static_cast<std::size_t>((Y / 64) * Columns + X / 64);
        Sum[Cell] += L;
        Squares[Cell] += L * L;
        ++Count[Cell];
        Kind[LightCell(X, Y)] += L;
        ++KindCount[LightCell(X, Y)];
      }
    Contrast = Kind[1] / static_cast<double>(KindCount[1]) - Kind[0] / static_cast<double>(KindCount[0]);
    Spread = 0;
    for (std::size_t i = 0; i < Sum.size(); ++i) {
      const double Mean = Sum[i] / static_cast<double>(Count[i]);
      Spread += std::sqrt(std::max(0.0, Squares[i] / static_cast<double>(Count[i]) - Mean * Mean));
    }
    Spread /= static_cast<double>(Sum.size());
    // A quarter of the picture stays (opacity 63 of 255) once the first wave is under way.
    if (Contrast < 0.27 * Picture && Spread > 7) {
      S.Save(Out);
      std::printf("wave after %ld ms: light and dark cells of the desktop %.1f apart (%.1f in the picture), "
                  "brightness varying by %.1f within a cell\n",
                  ElapsedMs(Start), Contrast, Picture, Spread);
      return 0;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  } while (ElapsedMs(Start) < Ms);
  S.Save(Out);
  std::printf("no wave in %ld ms: cells %.1f apart (%.1f in the picture), brightness varying by %.1f within a cell\n",
              Ms, Contrast, Picture, Spread);
  return 1;
}

constexpr unsigned long Magenta = 0xFF00FF;

int MakeWindow(int X, int Y, int W, int H) {
  XSetWindowAttributes A{};
  A.background_pixel = Magenta;
  A.override_redirect = True;
  A.event_mask = StructureNotifyMask;
  const Window Win = XCreateWindow(D, DefaultRootWindow(D), X, Y, static_cast<unsigned>(W), static_cast<unsigned>(H),
                                   0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWBackPixel | CWOverrideRedirect | CWEventMask, &A);
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
        const unsigned long P = XGetPixel(I, X, Y) & 0xFFFFFF;
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
  if (Command == "first-frame") return FirstFrame(Arg(2), Num(3));
  if (Command == "wave") return Wave(Arg(2), Num(3));
  if (Command == "window")
    return MakeWindow(static_cast<int>(Num(2)), static_cast<int>(Num(3)), static_cast<int>(Num(4)),
                      static_cast<int>(Num(5)));
  if (Command == "drawn") return Drawn(static_cast<Window>(Num(2)), Num(3));
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
