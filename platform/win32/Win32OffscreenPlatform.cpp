#include "platform/win32/Win32OffscreenPlatform.h"

namespace qel {

TWin32OffscreenPlatform::~TWin32OffscreenPlatform() = default;

TWindowParams TWin32OffscreenPlatform::Hidden(TWindowParams Params) {
  Params.Visible = false;
  Params.Controls.clear();
  return Params;
}

TWindowHandle TWin32OffscreenPlatform::CreateWindow(const TWindowParams& Params) {
  // Input comes from the script, never from the window.
  auto Window = std::make_unique<TWin32Window>(Hidden(Params), nullptr, nullptr, [](const TFont&) { return HFONT{}; });
  if (!Window->Window()) return 0;
  const auto Handle = reinterpret_cast<TWindowHandle>(Window->Window());
  FWindows[Handle] = std::move(Window);
  return Handle;
}

void TWin32OffscreenPlatform::UpdateWindow(TWindowHandle Window, const TWindowParams& Params) {
  auto It = FWindows.find(Window);
  if (It != FWindows.end()) It->second->Update(Hidden(Params));
}

void TWin32OffscreenPlatform::DestroyWindow(TWindowHandle Window) { FWindows.erase(Window); }

bool TWin32OffscreenPlatform::PollEvent(TPlatformEvent& Event) {
  // The system's own messages for the windows are handled; only the script makes events.
  MSG Message;
  while (PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  return THeadlessPlatform::PollEvent(Event);
}

}  // namespace qel
