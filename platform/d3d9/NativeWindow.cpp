#include "platform/d3d9/NativeWindow.h"

#include <map>

namespace qel::d3d9 {
namespace {

std::map<HWND, TNativeWindow>& Windows() {
  static auto* Registry = new std::map<HWND, TNativeWindow>;  // outlives late releases at exit
  return *Registry;
}

}  // namespace

void RegisterNativeWindow(HWND Window, TNativeWindow Native) { Windows()[Window] = std::move(Native); }

void UnregisterNativeWindow(HWND Window) { Windows().erase(Window); }

const TNativeWindow* FindNativeWindow(HWND Window) {
  auto It = Windows().find(Window);
  return It == Windows().end() ? nullptr : &It->second;
}

}  // namespace qel::d3d9
