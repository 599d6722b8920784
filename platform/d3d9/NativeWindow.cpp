#include "platform/d3d9/NativeWindow.h"

#include <map>

namespace qel::d3d9 {
namespace {

// Both outlive late releases at exit.
std::map<HWND, TNativeWindow>& Windows() {
  static auto* Registry = new std::map<HWND, TNativeWindow>;
  return *Registry;
}
std::map<const void*, std::function<void(HWND)>>& Watchers() {
  static auto* Registry = new std::map<const void*, std::function<void(HWND)>>;
  return *Registry;
}

void Changing(HWND Window) {
  if (!Windows().count(Window)) return;
  // A watcher may stop watching from its call.
  const auto Now = Watchers();
  for (const auto& [Watcher, Changed] : Now) Changed(Window);
}

}  // namespace

void RegisterNativeWindow(HWND Window, TNativeWindow Native) {
  static std::uint64_t Registered = 0;
  Changing(Window);
  Native.Serial = ++Registered;
  Windows()[Window] = std::move(Native);
}

void UnregisterNativeWindow(HWND Window) {
  Changing(Window);
  Windows().erase(Window);
}

const TNativeWindow* FindNativeWindow(HWND Window) {
  auto It = Windows().find(Window);
  return It == Windows().end() ? nullptr : &It->second;
}

void WatchNativeWindows(const void* Watcher, std::function<void(HWND Window)> Changed) {
  Watchers()[Watcher] = std::move(Changed);
}

void UnwatchNativeWindows(const void* Watcher) { Watchers().erase(Watcher); }

}  // namespace qel::d3d9
