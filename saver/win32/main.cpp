// qelwave.scr: the screensaver on Windows. The host's first argument picks the mode; for
// the configuration panel ("/c:HWND" or "/c HWND") the named window, else the foreground
// window, owns the panel's window, as the host's dialog expects.
#include <cstdlib>
#include <string>

#include "app/Program.h"
#include "platform/win32/Win32Platform.h"

namespace {

std::string Narrow(const wchar_t* Text) {
  const int Length = WideCharToMultiByte(CP_UTF8, 0, Text, -1, nullptr, 0, nullptr, nullptr);
  if (Length <= 1) return {};
  std::string Result(static_cast<std::size_t>(Length - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text, -1, Result.data(), Length, nullptr, nullptr);
  return Result;
}

// The window named by "/c:N" or by "/c N"; nullptr when none is named or it does not exist.
HWND NamedWindow(int Count, wchar_t** Arguments) {
  const wchar_t* Text = nullptr;
  if (Count > 1 && Arguments[1][0] && Arguments[1][1] && Arguments[1][2] == L':') Text = Arguments[1] + 3;
  else if (Count > 2) Text = Arguments[2];
  if (!Text || !*Text) return nullptr;
  wchar_t* End = nullptr;
  const unsigned long long Value = std::wcstoull(Text, &End, 10);
  if (*End != L'\0' || Value == 0) return nullptr;
  HWND Window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(Value));
  return IsWindow(Window) ? Window : nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  int Count = 0;
  wchar_t** Arguments = CommandLineToArgvW(GetCommandLineW(), &Count);
  const std::string First = Arguments && Count > 1 ? Narrow(Arguments[1]) : std::string();

  qel::TWin32Platform Platform;
  if (First.size() >= 2 && (First[1] == 'c' || First[1] == 'C')) {
    HWND Owner = NamedWindow(Count, Arguments);
    Platform.SetOwnerWindow(Owner ? Owner : GetForegroundWindow());
  }
  if (Arguments) LocalFree(Arguments);

  qel::TApplication App(Platform);
  qel::RunProgram(App, First);
  return 0;
}
