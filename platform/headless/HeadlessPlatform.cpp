#include "platform/headless/HeadlessPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/resources/EmbeddedResources.h"

namespace qel {

THeadlessPlatform::THeadlessPlatform(int ScreenWidth, int ScreenHeight, std::int64_t Frequency)
    : FClock(Frequency), FScreen{ScreenWidth, ScreenHeight} {}

bool THeadlessPlatform::CaptureDesktop(TBitmap& Bitmap) {
  // A screen too large for a bitmap has no picture to copy into.
  if (!Bitmap.SetSize(FScreen.Width, FScreen.Height, TPixelFormat::pf32bit)) return false;
  if (FDesktop.Width() == 0 || FDesktop.PixelFormat() != TPixelFormat::pf32bit) return true;
  const int W = std::min(FScreen.Width, FDesktop.Width());
  const int H = std::min(FScreen.Height, FDesktop.Height());
  for (int Y = 0; Y < H; ++Y) std::memcpy(Bitmap.ScanLine(Y), FDesktop.ScanLine(Y), static_cast<std::size_t>(W) * 4);
  return true;
}

void THeadlessPlatform::MessageBox(const std::string& Text, const std::string& Caption) {
  FMessages.push_back(Caption + ": " + Text);
}

TWindowHandle THeadlessPlatform::CreateWindow(const TWindowParams& Params) {
  const TWindowHandle H = FNextHandle++;
  FWindows[H] = TWindow{Params, true};
  return H;
}

void THeadlessPlatform::UpdateWindow(TWindowHandle Window, const TWindowParams& Params) {
  auto It = FWindows.find(Window);
  if (It != FWindows.end()) It->second.Params = Params;
}

void THeadlessPlatform::DestroyWindow(TWindowHandle Window) {
  auto It = FWindows.find(Window);
  if (It != FWindows.end()) It->second.Alive = false;
}

const THeadlessPlatform::TWindow* THeadlessPlatform::Window(TWindowHandle Handle) const {
  auto It = FWindows.find(Handle);
  return It == FWindows.end() ? nullptr : &It->second;
}

bool THeadlessPlatform::PollEvent(TPlatformEvent& Event) {
  if (FScript.empty() || FScript.front().AtMs > FClock.NowMs()) return false;
  Event = FScript.front().Event;
  FScript.pop_front();
  return true;
}

void THeadlessPlatform::WaitEvent(std::int64_t TimeoutMs) {
  const double Now = FClock.NowMs();
  double Until = TimeoutMs >= 0 ? Now + static_cast<double>(TimeoutMs) : INFINITY;
  if (!FScript.empty()) Until = std::min(Until, FScript.front().AtMs);
  if (std::isinf(Until)) {
    // Nothing will ever happen again: end the run rather than hang.
    FScript.push_front(TScripted{Now, TPlatformEvent{TPlatformEvent::TKind::Quit}});
    return;
  }
  if (Until > Now) FClock.AdvanceMs(Until - Now);
}

bool THeadlessPlatform::FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) {
  auto It = FResources.find(Name);
  // What a test added comes first; otherwise whatever the program itself carries.
  if (It == FResources.end()) return FindEmbeddedResource(Name, Data, Size);
  Data = It->second.data();
  Size = static_cast<std::int64_t>(It->second.size());
  return true;
}

void THeadlessPlatform::Schedule(double AtMs, const TPlatformEvent& Event) {
  auto It = std::upper_bound(FScript.begin(), FScript.end(), AtMs,
                             [](double T, const TScripted& S) { return T < S.AtMs; });
  FScript.insert(It, TScripted{AtMs, Event});
}

void THeadlessPlatform::KeyDownAt(double AtMs, std::uint16_t Key) {
  TPlatformEvent E{TPlatformEvent::TKind::KeyDown};
  E.Key = Key;
  Schedule(AtMs, E);
}

void THeadlessPlatform::MouseMoveAt(double AtMs, int X, int Y) {
  TPlatformEvent E{TPlatformEvent::TKind::MouseMove};
  E.X = X;
  E.Y = Y;
  Schedule(AtMs, E);
}

void THeadlessPlatform::MouseEnterAt(double AtMs, int X, int Y) {
  TPlatformEvent E{TPlatformEvent::TKind::MouseEnter};
  E.X = X;
  E.Y = Y;
  Schedule(AtMs, E);
}

void THeadlessPlatform::CloseAt(double AtMs) { Schedule(AtMs, TPlatformEvent{TPlatformEvent::TKind::Close}); }

void THeadlessPlatform::ClickAt(double AtMs, std::uintptr_t Control) {
  TPlatformEvent E{TPlatformEvent::TKind::Click};
  E.Control = Control;
  Schedule(AtMs, E);
}

void THeadlessPlatform::ResizeAt(double AtMs, int Width, int Height) {
  TPlatformEvent E{TPlatformEvent::TKind::Resize};
  E.X = Width;
  E.Y = Height;
  Schedule(AtMs, E);
}

void THeadlessPlatform::QuitAt(double AtMs) { Schedule(AtMs, TPlatformEvent{TPlatformEvent::TKind::Quit}); }

}  // namespace qel
