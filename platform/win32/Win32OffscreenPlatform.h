#pragma once
#include <map>
#include <memory>

#include "platform/headless/HeadlessPlatform.h"
#include "platform/win32/Win32Window.h"

namespace qel {

// The headless platform (manual clock, chosen screen and desktop picture, scripted input)
// whose windows are real Win32 windows that are never shown, so that the system's Direct3D 9
// can make a device of the window's size and draw into it off the screen.
class TWin32OffscreenPlatform : public THeadlessPlatform {
 public:
  using THeadlessPlatform::THeadlessPlatform;
  ~TWin32OffscreenPlatform() override;

  TWindowHandle CreateWindow(const TWindowParams& Params) override;
  void UpdateWindow(TWindowHandle Window, const TWindowParams& Params) override;
  void DestroyWindow(TWindowHandle Window) override;
  bool PollEvent(TPlatformEvent& Event) override;

 private:
  static TWindowParams Hidden(TWindowParams Params);

  std::map<TWindowHandle, std::unique_ptr<TWin32Window>> FWindows;
};

}  // namespace qel
