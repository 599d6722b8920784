#pragma once
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "framework/Platform.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Window.h"

namespace qel {

// The framework's platform on Windows: the primary screen through the system metrics, the
// desktop captured from the desktop window's device context, forms as Win32 windows whose
// messages become the framework's events, MessageBox, and the executable's own resources.
class TWin32Platform : public TPlatform {
 public:
  TWin32Platform() = default;
  ~TWin32Platform() override;

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

  // The window that the windows made from now on belong to (the screensaver host's dialog
  // for the configuration window); nullptr for none.
  void SetOwnerWindow(HWND Owner) { FOwner = Owner; }

 private:
  HFONT FontFor(const TFont& Font);

  TWin32Clock FClock;
  HWND FOwner = nullptr;
  std::map<TWindowHandle, std::unique_ptr<TWin32Window>> FWindows;
  std::deque<TPlatformEvent> FEvents;
  std::map<std::tuple<std::string, int, bool>, HFONT> FFonts;
};

}  // namespace qel
