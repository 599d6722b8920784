#pragma once
#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/Platform.h"
#include "platform/unix/InputQueue.h"
#include "platform/x11/X11Monitor.h"

namespace qel {

namespace x11 {
class TPainter;
class TPresenter;
}  // namespace x11

struct TX11Options {
  // Hack mode (xscreensaver, xsecurelock): the program draws into this window of its host
  // instead of making windows of its own, at the window's size, and takes no input.
  bool Hack = false;
  Window HostWindow = 0;  // 0 in hack mode: the root window
  // Run mode on this monitor (TMonitor's name) beside the saver on the primary one, which
  // takes the input: the window covers the monitor and takes none. Empty: the primary.
  std::string Monitor;
  bool NoDesktop = false;  // no desktop picture: the saver starts from black
};

// The framework's platform on an X11 display. Run-mode forms (no border) become an
// override-redirect window over the primary monitor that grabs the keyboard and the pointer;
// other forms become normal managed windows. Frames of the software Direct3D device reach
// the windows through presenters (MIT-SHM where possible). SIGTERM, SIGINT and SIGHUP, and
// the loss of the program's window or of its monitor, end the message loop; losing the
// display ends the process with status 1.
class TX11Platform : public TPlatform {
 public:
  TX11Platform();
  ~TX11Platform() override;

  // Connects to $DISPLAY and, in hack mode, checks the host's window. Error says why not.
  bool Open(const TX11Options& Options, std::string& Error);
  Display* XDisplay() const { return FDisplay; }
  // The screen's monitors, the primary first.
  std::vector<x11::TMonitor> Monitors() const;
  // The monitor of TX11Options::Monitor is not (or no longer) there.
  bool MonitorGone() const { return FMonitorGone; }

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

 private:
  struct TWindowRec;

  void Translate(XEvent& E);
  bool FindMonitor(x11::TRect& Rect) const;
  void FollowMonitor();
  bool TakesInput() const { return !FOptions.Hack && FOptions.Monitor.empty(); }
  TWindowRec* Find(Window Xid);
  void Map(TWindowRec& W);
  void Grab(TWindowRec& W);
  void SetNames(TWindowRec& W);
  void SetCursor(TWindowRec& W);
  void Paint(TWindowRec& W);
  x11::TPresenter& PresenterOf(TWindowRec& W);
  void Push(TPlatformEvent::TKind Kind, TWindowRec& W, int X = 0, int Y = 0);
  void LearnPointer(TWindowRec& W);

  TSteadyClock FClock;
  Display* FDisplay = nullptr;
  int FScreen = 0;
  TX11Options FOptions;
  x11::TRect FMonitor;
  x11::TRect FHost;  // hack mode: the host's window
  bool FHostGone = false;
  bool FMonitorGone = false;
  int FRandREventBase = -1;
  bool FAllowShm = true;
  bool FCheckPresents = false;
  bool FCountFrames = false;
  unsigned long long FFramesShown = 0;
  Cursor FBlankCursor = None;
  Atom FDeleteWindow = None;
  std::map<TWindowHandle, std::unique_ptr<TWindowRec>> FWindows;
  posix::TInputQueue FInput;
};

}  // namespace qel
