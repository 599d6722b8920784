#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Clock.h"
#include "framework/Controls.h"
#include "framework/Object.h"

namespace qel {

// A window of the platform, as the framework knows it: an opaque handle. On Windows it is
// the HWND; elsewhere it is the platform's own window object, which the software Direct3D
// device presents into.
using TWindowHandle = std::uintptr_t;

enum class TBorderStyle { bsNone, bsSingle, bsSizeable };

enum class TControlKind { ckPanel, ckLabel, ckButton };

// A control the platform shows inside a form's window.
struct TControlParams {
  TControlKind Kind = TControlKind::ckPanel;
  std::uintptr_t Id = 0;  // names the control in Click events
  int Left = 0;           // in the window's client coordinates
  int Top = 0;
  int Width = 0;
  int Height = 0;
  std::string Caption;
  TFont Font;
  int TabOrder = -1;  // the button with the lowest non-negative tab order has the focus
};

// What the platform needs to show a form's window.
struct TWindowParams {
  std::string Caption;
  int Left = 0;  // of the client area, or of the whole window where the system draws a frame
  int Top = 0;
  // Centred on the screen: Left and Top centre the client area; a system that draws a frame
  // around it centres the whole window instead.
  bool DesktopCenter = false;
  int ClientWidth = 0;
  int ClientHeight = 0;
  TBorderStyle BorderStyle = TBorderStyle::bsSizeable;
  bool BorderIcons = true;
  bool CursorVisible = true;
  bool Visible = false;
  std::vector<TControlParams> Controls;  // the visible ones, parents before children
};

// Input and window events, in client coordinates of the window they belong to.
struct TPlatformEvent {
  // Click: a control was clicked (by mouse or keyboard). Resize: the window's client area
  // got a new size that the platform chose (X and Y hold the width and height).
  // MouseEnter: where the pointer rests as the window first learns it, whenever that comes
  // (a system that tells a window where the pointer is only when it enters it); not a move.
  enum class TKind { KeyDown, MouseMove, MouseEnter, MouseDown, Click, Resize, Close, Quit };
  TKind Kind = TKind::Quit;
  TWindowHandle Window = 0;  // 0: the application's main window
  std::uint16_t Key = 0;     // virtual-key code (KeyDown)
  int X = 0;
  int Y = 0;
  std::uintptr_t Control = 0;  // TControlParams::Id (Click)
};

struct TScreenSize {
  int Width = 0;
  int Height = 0;
};

// The operating system as the framework uses it. One implementation per system
// (Win32, X11) and a headless one for tests and off-screen rendering.
class TPlatform : public TObject {
 public:
  virtual TClock& Clock() = 0;
  virtual TScreenSize ScreenSize() = 0;
  // Copies what the primary screen shows now into a 32-bit bitmap of the screen's size.
  virtual bool CaptureDesktop(TBitmap& Bitmap) = 0;
  virtual void MessageBox(const std::string& Text, const std::string& Caption) = 0;

  virtual TWindowHandle CreateWindow(const TWindowParams& Params) = 0;
  virtual void UpdateWindow(TWindowHandle Window, const TWindowParams& Params) = 0;
  virtual void DestroyWindow(TWindowHandle Window) = 0;

  // Takes the next pending event without waiting; false when there is none.
  virtual bool PollEvent(TPlatformEvent& Event) = 0;
  // Waits until an event is pending or TimeoutMs have passed (forever when negative).
  virtual void WaitEvent(std::int64_t TimeoutMs) = 0;

  // Bytes carried in the executable under a name (the artwork archive "glowdb").
  virtual bool FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) = 0;
};

}  // namespace qel
