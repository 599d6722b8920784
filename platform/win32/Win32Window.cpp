#include "platform/win32/Win32Window.h"

#include <algorithm>

namespace qel {
namespace {

const wchar_t kClassName[] = L"QelWaveForm";
constexpr WORD kIconId = 1;  // the program's icon resource, when it carries one

DWORD StyleOf(const TWindowParams& P) {
  DWORD Style = WS_CLIPCHILDREN;
  switch (P.BorderStyle) {
    case TBorderStyle::bsNone: Style |= WS_POPUP; break;
    case TBorderStyle::bsSingle: Style |= WS_CAPTION; break;
    case TBorderStyle::bsSizeable: Style |= WS_CAPTION | WS_THICKFRAME; break;
  }
  if (P.BorderIcons && P.BorderStyle != TBorderStyle::bsNone) {
    Style |= WS_SYSMENU | WS_MINIMIZEBOX;
    if (P.BorderStyle == TBorderStyle::bsSizeable) Style |= WS_MAXIMIZEBOX;
  }
  return Style;
}

DWORD ExStyleOf(const TWindowParams& P) { return P.Controls.empty() ? 0 : WS_EX_CONTROLPARENT; }

// The outer window for a client area of the asked size; Left and Top place the outer window.
RECT OuterRect(const TWindowParams& P) {
  RECT R{0, 0, P.ClientWidth, P.ClientHeight};
  AdjustWindowRectEx(&R, StyleOf(P), FALSE, ExStyleOf(P));
  const int Width = R.right - R.left, Height = R.bottom - R.top;
  int Left = P.Left, Top = P.Top;
  if (P.DesktopCenter) {
    Left = (GetSystemMetrics(SM_CXSCREEN) - Width) / 2;
    Top = (GetSystemMetrics(SM_CYSCREEN) - Height) / 2;
  }
  return RECT{Left, Top, Left + Width, Top + Height};
}

// Labels take the size of their text, as auto-sized labels do: the system's font for a name
// may be wider than the one the stored bounds were made with.
void FitLabel(HWND Label, HFONT Font, const std::wstring& Text) {
  HDC Dc = GetDC(Label);
  if (!Dc) return;
  HGDIOBJ Previous = SelectObject(Dc, Font);
  SIZE Size{};
  if (GetTextExtentPoint32W(Dc, Text.c_str(), static_cast<int>(Text.size()), &Size))
    SetWindowPos(Label, nullptr, 0, 0, Size.cx, Size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SelectObject(Dc, Previous);
  ReleaseDC(Label, Dc);
}

bool SameFont(const TFont& A, const TFont& B) {
  return A.Name == B.Name && A.Height == B.Height && A.Bold == B.Bold && A.Color == B.Color;
}

}  // namespace

TWin32Window::TWin32Window(const TWindowParams& Params, HWND Owner, TSink Sink, TFontSource Fonts)
    : FParams(Params), FSink(std::move(Sink)), FFonts(std::move(Fonts)) {
  // One class for every form's window, registered with the first.
  static const bool Registered = [] {
    WNDCLASSEXW C{};
    C.cbSize = sizeof(C);
    C.lpfnWndProc = &TWin32Window::WindowProc;
    C.hInstance = GetModuleHandleW(nullptr);
    C.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    C.hIcon = LoadIconW(C.hInstance, MAKEINTRESOURCEW(kIconId));
    C.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    C.lpszClassName = kClassName;
    return RegisterClassExW(&C) != 0;
  }();
  (void)Registered;
  const RECT R = OuterRect(Params);
  // WM_NCCREATE binds the window to this object, so the messages of creation already arrive.
  CreateWindowExW(ExStyleOf(Params), kClassName, Widen(Params.Caption).c_str(), StyleOf(Params), R.left, R.top,
                  R.right - R.left, R.bottom - R.top, Owner, nullptr, GetModuleHandleW(nullptr), this);
  if (!FWindow) return;
  SyncControls(Params.Controls);
  if (Params.Visible) {
    ShowWindow(FWindow, SW_SHOW);
    FocusFirstControl();
  }
}

TWin32Window::~TWin32Window() {
  if (!FWindow) return;
  SetWindowLongPtrW(FWindow, GWLP_USERDATA, 0);  // no messages reach this object any more
  DestroyWindow(FWindow);
}

void TWin32Window::Update(const TWindowParams& Params) {
  if (!FWindow) return;
  const bool WasVisible = FParams.Visible;
  if (Params.Caption != FParams.Caption) SetWindowTextW(FWindow, Widen(Params.Caption).c_str());
  Place(Params);
  FParams = Params;
  SyncControls(Params.Controls);
  if (Params.Visible != WasVisible) ShowWindow(FWindow, Params.Visible ? SW_SHOW : SW_HIDE);
  if (Params.Visible && !WasVisible) FocusFirstControl();
}

void TWin32Window::Place(const TWindowParams& Params) {
  const DWORD Style = StyleOf(Params), ExStyle = ExStyleOf(Params);
  const bool Restyled = Style != StyleOf(FParams) || ExStyle != ExStyleOf(FParams);
  if (Restyled) {
    // Keep WS_VISIBLE as it is; ShowWindow changes it.
    const LONG_PTR Visible = GetWindowLongPtrW(FWindow, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(FWindow, GWL_STYLE, static_cast<LONG_PTR>(Style) | Visible);
    SetWindowLongPtrW(FWindow, GWL_EXSTYLE, static_cast<LONG_PTR>(ExStyle));
  }
  const RECT R = OuterRect(Params);
  const RECT Old = OuterRect(FParams);
  if (Restyled || !EqualRect(&R, &Old))
    SetWindowPos(FWindow, nullptr, R.left, R.top, R.right - R.left, R.bottom - R.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (Restyled ? SWP_FRAMECHANGED : 0));
}

void TWin32Window::SyncControls(const std::vector<TControlParams>& Controls) {
  std::vector<TControlWindow> Next;
  bool PanelsChanged = false;
  for (const TControlParams& P : Controls) {
    auto It = std::find_if(FControls.begin(), FControls.end(), [&](const TControlWindow& C) {
      return C.Params.Id == P.Id && C.Params.Kind == P.Kind;
    });
    TControlWindow C;
    if (It != FControls.end()) {
      C = *It;
      It->Window = nullptr;  // moved to Next
    }
    if (P.Kind == TControlKind::ckPanel) {
      PanelsChanged |= It == FControls.end() || C.Params.Left != P.Left || C.Params.Top != P.Top ||
                       C.Params.Width != P.Width || C.Params.Height != P.Height;
    } else if (!C.Window) {
      const bool Button = P.Kind == TControlKind::ckButton;
      const DWORD Style = WS_CHILD | WS_VISIBLE | (Button ? WS_TABSTOP | BS_PUSHBUTTON : SS_LEFTNOWORDWRAP);
      C.Window = CreateWindowExW(0, Button ? L"BUTTON" : L"STATIC", Widen(P.Caption).c_str(), Style, P.Left, P.Top,
                                 P.Width, P.Height, FWindow, nullptr, GetModuleHandleW(nullptr), nullptr);
      if (C.Window) SendMessageW(C.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts(P.Font)), TRUE);
    } else {
      if (C.Params.Left != P.Left || C.Params.Top != P.Top || C.Params.Width != P.Width || C.Params.Height != P.Height)
        SetWindowPos(C.Window, nullptr, P.Left, P.Top, P.Width, P.Height, SWP_NOZORDER | SWP_NOACTIVATE);
      if (C.Params.Caption != P.Caption) SetWindowTextW(C.Window, Widen(P.Caption).c_str());
      if (!SameFont(C.Params.Font, P.Font))
        SendMessageW(C.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts(P.Font)), TRUE);
    }
    if (C.Window && P.Kind == TControlKind::ckLabel) FitLabel(C.Window, FFonts(P.Font), Widen(P.Caption));
    C.Params = P;
    Next.push_back(C);
  }
  for (const TControlWindow& Gone : FControls) {
    if (Gone.Window) DestroyWindow(Gone.Window);
    PanelsChanged |= Gone.Params.Kind == TControlKind::ckPanel &&
                     std::none_of(Next.begin(), Next.end(), [&](const TControlWindow& C) { return C.Params.Id == Gone.Params.Id; });
  }
  FControls = std::move(Next);
  if (PanelsChanged) InvalidateRect(FWindow, nullptr, TRUE);
}

void TWin32Window::FocusFirstControl() {
  const TControlWindow* First = nullptr;
  for (const TControlWindow& C : FControls)
    if (C.Window && C.Params.TabOrder >= 0 && (!First || C.Params.TabOrder < First->Params.TabOrder)) First = &C;
  if (First) SetFocus(First->Window);
}

void TWin32Window::PaintPanels() {
  PAINTSTRUCT Paint;
  HDC Dc = BeginPaint(FWindow, &Paint);
  for (const TControlWindow& C : FControls) {
    if (C.Params.Kind != TControlKind::ckPanel) continue;
    RECT R{C.Params.Left, C.Params.Top, C.Params.Left + C.Params.Width, C.Params.Top + C.Params.Height};
    DrawEdge(Dc, &R, BDR_RAISEDINNER, BF_RECT);
  }
  EndPaint(FWindow, &Paint);
}

void TWin32Window::Post(TPlatformEvent Event) {
  Event.Window = reinterpret_cast<TWindowHandle>(FWindow);
  if (FSink) FSink(Event);
}

bool TWin32Window::Handle(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  using TKind = TPlatformEvent::TKind;
  switch (Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      TPlatformEvent E{TKind::KeyDown};
      E.Key = static_cast<std::uint16_t>(WParam);
      Post(E);
      return false;  // system keys keep their default handling
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      TPlatformEvent E{Message == WM_MOUSEMOVE ? TKind::MouseMove : TKind::MouseDown};
      // Client coordinates are signed: a captured pointer left or above the window is negative.
      E.X = static_cast<short>(LOWORD(LParam));
      E.Y = static_cast<short>(HIWORD(LParam));
      Post(E);
      Result = 0;
      return true;
    }
    case WM_CLOSE:
      Post(TPlatformEvent{TKind::Close});  // the form decides; the window stays until it is freed
      Result = 0;
      return true;
    case WM_COMMAND:
      if (HIWORD(WParam) == BN_CLICKED && LParam != 0) {
        for (const TControlWindow& C : FControls)
          if (C.Window == reinterpret_cast<HWND>(LParam)) {
            TPlatformEvent E{TKind::Click};
            E.Control = C.Params.Id;
            Post(E);
          }
        Result = 0;
        return true;
      }
      return false;
    case WM_SETCURSOR:
      if (!FParams.CursorVisible && LOWORD(LParam) == HTCLIENT) {
        SetCursor(nullptr);
        Result = TRUE;
        return true;
      }
      return false;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(WParam), TRANSPARENT);
      SetTextColor(reinterpret_cast<HDC>(WParam), GetSysColor(COLOR_WINDOWTEXT));
      Result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      return true;
    case WM_ERASEBKGND:
      // A window without controls is the device's: painting it grey would flash before the
      // first frame, which must show the desktop as it was.
      if (FControls.empty()) {
        Result = 1;
        return true;
      }
      return false;
    case WM_PAINT:
      if (std::any_of(FControls.begin(), FControls.end(),
                      [](const TControlWindow& C) { return C.Params.Kind == TControlKind::ckPanel; })) {
        PaintPanels();
        Result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK TWin32Window::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Self = static_cast<TWin32Window*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    Self->FWindow = Window;
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TWin32Window*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  LRESULT Result = 0;
  if (Self && Self->Handle(Message, WParam, LParam, Result)) return Result;
  return DefWindowProcW(Window, Message, WParam, LParam);
}

}  // namespace qel
