// wlprobe: what the end-to-end tests of qelwave need from a Wayland compositor: a window
// with a known picture, a keyboard and pointer that stay, and frames of the outputs taken
// through screencopy (KWin: its screenshots over D-Bus) and checked against what the saver
// should show.
//
//   wlprobe window [APP_ID]                shows the desktop picture in a window, prints
//                                          "shown W H", lives until SIGTERM
//   wlprobe input W H                      virtual keyboard and pointer, commands on stdin
//                                          (VirtualInput.h); W x H is the output layout
//   wlprobe first-frame OUT.png MS         prints "watching" once it sees the desktop
//                                          picture, then waits for the first frame that
//                                          differs and checks it is the picture in R5G6B5
//                                          (without screencopy: the picture in R5G6B5, dimming)
//   wlprobe covered MS                     waits until the first output no longer shows
//                                          the desktop picture
//   wlprobe wave DIR MS OUTPUT...          waits until every output shows a wave (saved as
//                                          DIR/wave-OUTPUT.png); several must not show
//                                          one and the same picture
//   wlprobe uncovered MS OUTPUT...         waits until every output shows the desktop
//                                          picture or one plain colour
//   wlprobe panel OUT.png MS               waits for a still window over the desktop picture
//                                          and prints its position and size
//   wlprobe behind X Y W H DIR MS          waits until the test window at X, Y (W x H) shows
//                                          its picture untouched while a wave moves around it
//   wlprobe shot OUT.png [OUTPUT]          the output as a PNG
//   wlprobe outputs                        the outputs' names, one a line
//   wlprobe judge FILE.png black|wave      checks a screenshot taken by other means
//   wlprobe judge FILE.png same REF.png    ... or that it shows what REF.png shows
//   wlprobe mutter-remote                  mutter's screen cast and input (MutterRemote.h)
// Every wait ends after MS milliseconds at the latest (exit status 1).
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/common/ScreenChecks.h"
#include "tests/e2e/wayland/MutterRemote.h"
#include "tests/e2e/wayland/ScreenCopy.h"
#include "tests/e2e/wayland/TestClient.h"
#include "tests/e2e/wayland/TestWindow.h"
#include "tests/e2e/wayland/VirtualInput.h"

namespace {

using namespace qel;
using namespace qel::e2e;

volatile std::sig_atomic_t Stop = 0;

long ElapsedMs(Clock::time_point Start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - Start).count());
}

bool Save(const std::string& File, const TArgbPicture& Shot) {
  std::string Error;
  if (!SavePng(File, Shot, Error)) std::fprintf(stderr, "wlprobe: %s\n", Error.c_str());
  return Error.empty();
}

int Fail(const std::string& Error) {
  std::printf("%s\n", Error.c_str());
  return 1;
}

int FirstFrame(TTestClient& Client, const std::string& Out, long Ms) {
  if (Client.Outputs.empty()) return Fail("the compositor has no output");
  TScreenCopy Copy(Client, Client.Outputs[0].Handle, true);
  TArgbPicture Shot;
  std::string Error;
  if (!Copy.Next(Shot, After(10000), Error)) return Fail(Error);
  if (!ShowsDesktop(Shot)) {
    Save(Out, Shot);
    return Fail("the desktop picture is not on the screen");
  }
  std::printf("watching\n");
  std::fflush(stdout);
  const auto Start = Clock::now();
  int Frames = 0;
  do {
    if (!Copy.Next(Shot, Start + std::chrono::milliseconds(Ms), Error)) return Fail(Error);
    ++Frames;
  } while (ShowsDesktop(Shot));
  Save(Out, Shot);
  std::string Report;
  // Screenshots a shot at a time (KWin's) come too far apart to be sure of the very first frame:
  // one of the first few, the picture already dimming, counts.
  const bool Good = IsFirstFrame(Shot, Report) || (!Client.Screencopy && IsDimmedDesktop(Shot, Report));
  std::printf("first change after %ld ms (%d frames): %s\n", ElapsedMs(Start), Frames, Report.c_str());
  return Good ? 0 : 1;
}

int Covered(TTestClient& Client, long Ms) {
  if (Client.Outputs.empty()) return Fail("the compositor has no output");
  TScreenCopy Copy(Client, Client.Outputs[0].Handle, true);
  const auto Deadline = After(Ms);
  TArgbPicture Shot;
  std::string Error;
  do
    if (!Copy.Next(Shot, Deadline, Error)) return Fail("the desktop picture stayed: " + Error);
  while (ShowsDesktop(Shot));
  return 0;
}

// Takes a frame of each named output in turn until Done holds for all of them together or
// the time is up; Report says what the last round found.
bool EachOutput(TTestClient& Client, const std::vector<std::string>& Names, long Ms,
                const std::function<bool(const std::vector<TArgbPicture>&, std::string&)>& Done,
                std::vector<TArgbPicture>& Shots, std::string& Report) {
  const auto Start = Clock::now();
  Shots.assign(Names.size(), {});
  do {
    for (std::size_t i = 0; i < Names.size(); ++i)
      if (!CaptureOutput(Client, Names[i], Shots[i], Report)) return false;
    if (Done(Shots, Report)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while (ElapsedMs(Start) < Ms);
  return false;
}

int Wave(TTestClient& Client, const std::string& Dir, long Ms, const std::vector<std::string>& Names) {
  std::vector<TArgbPicture> Shots;
  std::string Report;
  const bool Good = EachOutput(
      Client, Names, Ms,
      [&](const std::vector<TArgbPicture>& S, std::string& R) {
        R.clear();
        bool All = true;
        for (std::size_t i = 0; i < S.size(); ++i) {
          std::string One;
          All = IsWave(S[i], One) && All;
          R += Names[i] + ": " + One + "; ";
        }
        // Outputs of one size that show the same picture show one wave, not each its own.
        for (std::size_t i = 1; i < S.size(); ++i)
          if (S[i].Width == S[0].Width && S[i].Height == S[0].Height && ChangedShare(S[0], S[i], 8) < 0.05) {
            R += Names[i] + " shows the same picture as " + Names[0];
            return false;
          }
        return All;
      },
      Shots, Report);
  for (std::size_t i = 0; i < Shots.size(); ++i)
    if (Shots[i].Width) Save(Dir + "/wave-" + Names[i] + ".png", Shots[i]);
  std::printf("%s %s\n", Good ? "wave:" : "no wave:", Report.c_str());
  return Good ? 0 : 1;
}

// The desktop picture, or one colour but for a pointer's worth.
bool Uncovered(const TArgbPicture& Shot) {
  if (ShowsDesktop(Shot)) return true;
  std::map<std::uint32_t, long> Count;
  for (std::size_t i = 0; i < Shot.Pixels.size(); i += 7) ++Count[Shot.Pixels[i] & 0xFFFFFF];
  long Most = 0;
  for (const auto& [Colour, N] : Count) Most = std::max(Most, N);
  return static_cast<double>(Most) >= 0.999 * static_cast<double>((Shot.Pixels.size() + 6) / 7);
}

int UncoveredOutputs(TTestClient& Client, long Ms, const std::vector<std::string>& Names) {
  std::vector<TArgbPicture> Shots;
  std::string Report;
  const bool Good = EachOutput(
      Client, Names, Ms,
      [&](const std::vector<TArgbPicture>& S, std::string& R) {
        for (std::size_t i = 0; i < S.size(); ++i)
          if (!Uncovered(S[i])) {
            R = Names[i] + " is still covered";
            return false;
          }
        return true;
      },
      Shots, Report);
  if (!Good) std::printf("%s\n", Report.c_str());
  return Good ? 0 : 1;
}

// The bounds of what covers the desktop picture: rows and columns with more than a pointer's
// width of other pixels.
bool CoveredBounds(const TArgbPicture& Shot, int& X0, int& Y0, int& X1, int& Y1) {
  std::vector<int> Rows(static_cast<std::size_t>(Shot.Height)), Columns(static_cast<std::size_t>(Shot.Width));
  for (int Y = 0; Y < Shot.Height; ++Y)
    for (int X = 0; X < Shot.Width; ++X)
      if ((Shot.At(X, Y) & 0xFFFFFF) != DesktopPixel(X, Y)) {
        ++Rows[static_cast<std::size_t>(Y)];
        ++Columns[static_cast<std::size_t>(X)];
      }
  X0 = Y0 = 1 << 30;
  X1 = Y1 = -1;
  for (int Y = 0; Y < Shot.Height; ++Y)
    if (Rows[static_cast<std::size_t>(Y)] > 48) Y0 = std::min(Y0, Y), Y1 = std::max(Y1, Y);
  for (int X = 0; X < Shot.Width; ++X)
    if (Columns[static_cast<std::size_t>(X)] > 48) X0 = std::min(X0, X), X1 = std::max(X1, X);
  return X1 >= 0 && Y1 >= 0;
}

int Panel(TTestClient& Client, const std::string& Out, long Ms) {
  std::vector<TArgbPicture> Shots;
  std::string Report;
  TArgbPicture Before;
  const bool Good = EachOutput(
      Client, {""}, Ms,
      [&](const std::vector<TArgbPicture>& S, std::string&) {
        // Still: the same as the frame before, and something over the picture.
        const bool Still = Before.Width && ChangedShare(Before, S[0], 0) == 0 && !ShowsDesktop(S[0]);
        Before = S[0];
        return Still;
      },
      Shots, Report);
  int X0, Y0, X1, Y1;
  if (!Good || !CoveredBounds(Shots[0], X0, Y0, X1, Y1)) return Fail("no window appeared over the desktop picture");
  Save(Out, Shots[0]);
  std::printf("%d %d %d %d\n", X0, Y0, X1 - X0 + 1, Y1 - Y0 + 1);
  return 0;
}

int Behind(TTestClient& Client, int WX, int WY, int WW, int WH, const std::string& Dir, long Ms) {
  const auto Inside = [&](int X, int Y) { return X >= WX && X < WX + WW && Y >= WY && Y < WY + WH; };
  std::vector<TArgbPicture> Shots;
  std::string Report;
  TArgbPicture Before;
  const bool Good = EachOutput(
      Client, {""}, Ms,
      [&](const std::vector<TArgbPicture>& S, std::string& R) {
        const TArgbPicture& Shot = S[0];
        long WindowWrong = 0, Around = 0, Moved = 0;
        double Sum = 0, Squares = 0;
        for (int Y = 0; Y < Shot.Height; ++Y)
          for (int X = 0; X < Shot.Width; ++X) {
            const std::uint32_t P = Shot.At(X, Y) & 0xFFFFFF;
            if (Inside(X, Y)) {
              WindowWrong += P != DesktopPixel(X - WX, Y - WY);
              continue;
            }
            ++Around;
            const double Luma = 0.299 * (P >> 16) + 0.587 * (P >> 8 & 0xFF) + 0.114 * (P & 0xFF);
            Sum += Luma;
            Squares += Luma * Luma;
            if (Before.Width == Shot.Width && Before.Height == Shot.Height) Moved += (Before.At(X, Y) & 0xFFFFFF) != P;
          }
        Before = Shot;
        const double N = static_cast<double>(Around);
        const double Spread = std::sqrt(std::max(0.0, Squares / N - (Sum / N) * (Sum / N)));
        const double WindowShare = static_cast<double>(WindowWrong) / (static_cast<double>(WW) * WH);
        const double MovedShare = static_cast<double>(Moved) / N;
        char Text[256];
        std::snprintf(Text, sizeof Text,
                      "%.4f %% of the window not its picture; around it brightness varying by %.1f, %.2f %% changed "
                      "since the shot before",
                      WindowShare * 100, Spread, MovedShare * 100);
        R = Text;
        // The window whole but for a pointer; around it the light of ribbons, moving.
        return WindowShare <= 0.001 && Spread > 10 && MovedShare > 0.001;
      },
      Shots, Report);
  if (Shots[0].Width) Save(Dir + "/behind.png", Shots[0]);
  std::printf("%s\n", Report.c_str());
  return Good ? 0 : 1;
}

int Judge(const std::string& File, const std::string& What, const std::string& Reference) {
  TArgbPicture Shot, Other;
  std::string Error, Report;
  if (!LoadPng(File, Shot, Error)) return Fail(Error);
  if (What == "same") {
    if (!LoadPng(Reference, Other, Error)) return Fail(Error);
    const double Changed = ChangedShare(Shot, Other, 8);
    std::printf("%.4f %% of pixels differ from %s\n", Changed * 100, Reference.c_str());
    return Shot.Width == Other.Width && Shot.Height == Other.Height && Changed <= 0.01 ? 0 : 1;  // the panel's clock may have moved on
  }
  const bool Good = What == "black" ? IsBlack(Shot, Report) : IsWave(Shot, Report);
  std::printf("%dx%d: %s\n", Shot.Width, Shot.Height, Report.c_str());
  return Good ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Command = argc > 1 ? argv[1] : "";
  const auto Arg = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };
  const auto Num = [&](int i) { return std::strtol(Arg(i).c_str(), nullptr, 10); };
  const auto Rest = [&](int From) { return std::vector<std::string>(argv + std::min(From, argc), argv + argc); };
  if (Command == "judge") return Judge(Arg(2), Arg(3), Arg(4));
  if (Command == "mutter-remote") return RunMutterRemote();

  std::signal(SIGTERM, [](int) { Stop = 1; });
  std::signal(SIGINT, [](int) { Stop = 1; });
  TTestClient Client;
  std::string Error;
  if (!Client.Connect(Error)) {
    std::fprintf(stderr, "wlprobe: %s\n", Error.c_str());
    return 2;
  }
  if (Command == "window") return RunTestWindow(Client, argc > 2 ? Arg(2) : "qel-e2e-window", Stop);
  if (Command == "input") return RunVirtualInput(Client, static_cast<int>(Num(2)), static_cast<int>(Num(3)));
  if (Command == "first-frame") return FirstFrame(Client, Arg(2), Num(3));
  if (Command == "covered") return Covered(Client, Num(2));
  if (Command == "wave") return Wave(Client, Arg(2), Num(3), Rest(4));
  if (Command == "uncovered") return UncoveredOutputs(Client, Num(2), Rest(3));
  if (Command == "panel") return Panel(Client, Arg(2), Num(3));
  if (Command == "behind")
    return Behind(Client, static_cast<int>(Num(2)), static_cast<int>(Num(3)), static_cast<int>(Num(4)),
                  static_cast<int>(Num(5)), Arg(6), Num(7));
  if (Command == "outputs") {
    for (const TOutput& O : Client.Outputs) std::printf("%s\n", O.Name.c_str());
    return 0;
  }
  if (Command == "shot") {
    TArgbPicture Shot;
    if (!CaptureOutput(Client, Arg(3), Shot, Error)) return Fail(Error);
    return Save(Arg(2), Shot) ? 0 : 1;
  }
  std::fprintf(stderr, "wlprobe: unknown command '%s'\n", Command.c_str());
  return 2;
}
