#include <gtest/gtest.h>

#include <string>

#include "platform/d3d9/NativeWindow.h"

namespace qel::d3d9 {
namespace {

HWND Handle(std::uintptr_t Id) { return reinterpret_cast<HWND>(Id); }

TNativeWindow Window(std::uintptr_t Id) {
  TNativeWindow W;
  W.Window = Id;
  return W;
}

// A device watches the windows it draws in: it hears of a window made anew or gone while the
// registration it knew is still there to let go of, and a registration made anew is new to it.
TEST(NativeWindow, WatchersHearOfEachChangeBeforeItAndNewRegistrationsAreNew) {
  const HWND A = Handle(0x5101), B = Handle(0x5102);
  std::string Heard;
  int Watcher = 0;
  WatchNativeWindows(&Watcher, [&](HWND Changed) {
    const TNativeWindow* Known = FindNativeWindow(Changed);
    Heard += (Changed == A ? "A" : "B") + std::to_string(Known ? Known->Window : 0) + " ";
  });
  RegisterNativeWindow(A, Window(0));
  const std::uint64_t First = FindNativeWindow(A)->Serial;
  RegisterNativeWindow(A, Window(7));
  EXPECT_NE(First, FindNativeWindow(A)->Serial);
  RegisterNativeWindow(B, Window(9));
  UnregisterNativeWindow(A);
  UnregisterNativeWindow(A);  // gone already: nothing to hear
  EXPECT_EQ(nullptr, FindNativeWindow(A));
  EXPECT_EQ("A0 A7 ", Heard);
  // A watcher that stops watching from its call is not called again.
  WatchNativeWindows(&Watcher, [&](HWND) {
    Heard += "once ";
    UnwatchNativeWindows(&Watcher);
  });
  UnregisterNativeWindow(B);
  RegisterNativeWindow(B, {});
  UnregisterNativeWindow(B);
  EXPECT_EQ("A0 A7 once ", Heard);
}

}  // namespace
}  // namespace qel::d3d9
