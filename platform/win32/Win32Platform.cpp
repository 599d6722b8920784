#include "platform/win32/Win32Platform.h"

#include <cstring>

#include "platform/resources/EmbeddedResources.h"

namespace qel {

TWin32Platform::~TWin32Platform() {
  FWindows.clear();
  for (const auto& [Key, Font] : FFonts) DeleteObject(Font);
}

TScreenSize TWin32Platform::ScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool TWin32Platform::CaptureDesktop(TBitmap& Bitmap) {
  const int W = GetSystemMetrics(SM_CXSCREEN);
  const int H = GetSystemMetrics(SM_CYSCREEN);
  if (!Bitmap.SetSize(W, H, TPixelFormat::pf32bit) || W <= 0 || H <= 0) return false;
  HWND Desktop = GetDesktopWindow();
  HDC Screen = GetWindowDC(Desktop);
  if (!Screen) return false;
  // A top-down 32-bit section has the TBitmap's own row layout, so rows copy as they are.
  BITMAPINFO Info{};
  Info.bmiHeader.biSize = sizeof(Info.bmiHeader);
  Info.bmiHeader.biWidth = W;
  Info.bmiHeader.biHeight = -H;
  Info.bmiHeader.biPlanes = 1;
  Info.bmiHeader.biBitCount = 32;
  Info.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;
  HDC Memory = CreateCompatibleDC(Screen);
  HBITMAP Section = Memory ? CreateDIBSection(Memory, &Info, DIB_RGB_COLORS, &Bits, nullptr, 0) : nullptr;
  bool Copied = false;
  if (Section && Bits) {
    HGDIOBJ Previous = SelectObject(Memory, Section);
    Copied = BitBlt(Memory, 0, 0, W, H, Screen, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (Copied)
      for (int Y = 0; Y < H; ++Y)
        std::memcpy(Bitmap.ScanLine(Y), static_cast<const std::uint8_t*>(Bits) + static_cast<std::size_t>(Y) * W * 4,
                    static_cast<std::size_t>(W) * 4);
    SelectObject(Memory, Previous);
  }
  if (Section) DeleteObject(Section);
  if (Memory) DeleteDC(Memory);
  ReleaseDC(Desktop, Screen);
  return Copied;
}

void TWin32Platform::MessageBox(const std::string& Text, const std::string& Caption) {
  MessageBoxW(nullptr, Widen(Text).c_str(), Widen(Caption).c_str(), MB_ICONERROR | MB_OK);
}

HFONT TWin32Platform::FontFor(const TFont& Font) {
  const auto Key = std::make_tuple(Font.Name, Font.Height, Font.Bold);
  auto It = FFonts.find(Key);
  if (It != FFonts.end()) return It->second;
  // A negative height asks for the character height, as the framework's fonts give it.
  HFONT Made = CreateFontW(-Font.Height, 0, 0, 0, Font.Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, Widen(Font.Name).c_str());
  FFonts[Key] = Made;
  return Made;
}

TWindowHandle TWin32Platform::CreateWindow(const TWindowParams& Params) {
  auto Window = std::make_unique<TWin32Window>(
      Params, FOwner, [this](const TPlatformEvent& E) { FEvents.push_back(E); },
      [this](const TFont& F) { return FontFor(F); });
  if (!Window->Window()) return 0;
  const auto Handle = reinterpret_cast<TWindowHandle>(Window->Window());
  FWindows[Handle] = std::move(Window);
  return Handle;
}

void TWin32Platform::UpdateWindow(TWindowHandle Window, const TWindowParams& Params) {
  auto It = FWindows.find(Window);
  if (It != FWindows.end()) It->second->Update(Params);
}

void TWin32Platform::DestroyWindow(TWindowHandle Window) {
  FWindows.erase(Window);
  // Nothing may arrive for a window that is gone.
  std::erase_if(FEvents, [Window](const TPlatformEvent& E) { return E.Window == Window; });
}

bool TWin32Platform::PollEvent(TPlatformEvent& Event) {
  MSG Message;
  while (FEvents.empty() && PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) {
      FEvents.push_back(TPlatformEvent{TPlatformEvent::TKind::Quit});
      break;
    }
    // Tab, Enter and Space on a focused button work as in any dialog.
    HWND Top = Message.hwnd ? GetAncestor(Message.hwnd, GA_ROOT) : nullptr;
    auto It = FWindows.find(reinterpret_cast<TWindowHandle>(Top));
    if (It != FWindows.end() && It->second->HasControls() && IsDialogMessageW(Top, &Message)) continue;
    TranslateMessage(&Message);
    DispatchMessageW(&Message);
  }
  if (FEvents.empty()) return false;
  Event = FEvents.front();
  FEvents.pop_front();
  return true;
}

void TWin32Platform::WaitEvent(std::int64_t TimeoutMs) {
  if (!FEvents.empty()) return;
  const DWORD Timeout =
      TimeoutMs < 0 ? INFINITE : static_cast<DWORD>(TimeoutMs < INFINITE - 1 ? TimeoutMs : INFINITE - 1);
  MsgWaitForMultipleObjectsEx(0, nullptr, Timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE | MWMO_ALERTABLE);
}

bool TWin32Platform::FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) {
  return FindEmbeddedResource(Name, Data, Size);
}

}  // namespace qel
