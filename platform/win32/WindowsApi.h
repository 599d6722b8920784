#pragma once
// <windows.h> for the Win32 platform. Its A/W macros would rename the framework's methods of
// the same names (TPlatform::CreateWindow, MessageBox, FindResource); this platform calls
// the W functions by their full names.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#undef CreateWindow
#undef MessageBox
#undef FindResource

#include <string>

namespace qel {

// The framework's UTF-8 text as Windows's UTF-16.
inline std::wstring Widen(const std::string& Text) {
  if (Text.empty()) return {};
  const int Length = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(Length > 0 ? Length : 0), L'\0');
  if (Length > 0) MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
  return Wide;
}

}  // namespace qel
