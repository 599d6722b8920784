#pragma once
#include <functional>
#include <vector>

#include "framework/Platform.h"
#include "platform/win32/WindowsApi.h"

namespace qel {

// One form's window on Windows: a window of the program's own class, its styles following
// the form's border, and the form's controls as real Win32 controls (static text, push
// button; a panel is painted as a raised bevel). Messages become platform events.
class TWin32Window {
 public:
  using TSink = std::function<void(const TPlatformEvent&)>;
  using TFontSource = std::function<HFONT(const TFont&)>;

  // Owner: the window this one belongs to and stays above (nullptr: none).
  TWin32Window(const TWindowParams& Params, HWND Owner, TSink Sink, TFontSource Fonts);
  ~TWin32Window();
  TWin32Window(const TWin32Window&) = delete;
  TWin32Window& operator=(const TWin32Window&) = delete;

  HWND Window() const { return FWindow; }
  void Update(const TWindowParams& Params);
  // Whether dialog keys (Tab, Enter, Space on the focused button) are this window's business.
  bool HasControls() const { return !FControls.empty(); }

 private:
  struct TControlWindow {
    TControlParams Params;
    HWND Window = nullptr;  // none for a panel, which the form's window paints
  };

  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  bool Handle(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result);
  void Place(const TWindowParams& Params);
  void SyncControls(const std::vector<TControlParams>& Controls);
  void FocusFirstControl();
  void PaintPanels();
  void Post(TPlatformEvent Event);

  HWND FWindow = nullptr;
  TWindowParams FParams;
  TSink FSink;
  TFontSource FFonts;
  std::vector<TControlWindow> FControls;
};

}  // namespace qel
