#pragma once
// A window a test's device can draw into: on Windows a hidden window of the system, since the
// real Direct3D 9 needs one; elsewhere any handle, since the software device keeps the frames.
#include "framework/Platform.h"

#ifdef _WIN32
#include <windows.h>
#undef CreateWindow
#undef MessageBox
#undef FindResource
#endif

namespace qel::test {

inline TWindowHandle DeviceWindow() {
#ifdef _WIN32
  static const HWND Window = CreateWindowExW(0, L"STATIC", L"test device", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                             GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<TWindowHandle>(Window);
#else
  return 1;
#endif
}

}  // namespace qel::test
