#include "tests/e2e/wayland/VirtualInput.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "tests/e2e/wayland/VirtualKeyboard.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace qel::e2e {
namespace {

// The evdev code of the key whose first keysym has that name, or -1.
int EvdevCode(xkb_keymap* Keymap, const std::string& Name) {
  const xkb_keysym_t Wanted = xkb_keysym_from_name(Name.c_str(), XKB_KEYSYM_NO_FLAGS);
  if (Wanted == XKB_KEY_NoSymbol) return -1;
  for (xkb_keycode_t K = xkb_keymap_min_keycode(Keymap); K <= xkb_keymap_max_keycode(Keymap); ++K) {
    const xkb_keysym_t* Syms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(Keymap, K, 0, 0, &Syms) > 0 && Syms[0] == Wanted)
      return static_cast<int>(K) - 8;  // XKB codes are evdev codes plus 8
  }
  return -1;
}

// Hands the keymap's text to the virtual keyboard through a sealed memory file.
bool SendKeymapText(wl_proxy* Keyboard, xkb_keymap* Keymap) {
  char* Text = xkb_keymap_get_as_string(Keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
  if (!Text) return false;
  const std::size_t Size = std::strlen(Text) + 1;
  const int Fd = memfd_create("qel-e2e-keymap", MFD_CLOEXEC);
  const bool Written = Fd >= 0 && write(Fd, Text, Size) == static_cast<ssize_t>(Size);
  std::free(Text);
  if (Written) SendKeymap(Keyboard, Fd, static_cast<std::uint32_t>(Size));
  if (Fd >= 0) close(Fd);
  return Written;
}

std::uint32_t NowMs() {
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
}

}  // namespace

int RunVirtualInput(TTestClient& Client, int LayoutWidth, int LayoutHeight) {
  if (!Client.Seat || !Client.PointerManager || !Client.KeyboardManager) {
    std::fprintf(stderr, "wlprobe: the compositor offers no seat, virtual pointer or virtual keyboard\n");
    return 1;
  }
  xkb_context* Context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names Names{"evdev", "pc105", "us", "", ""};
  xkb_keymap* Keymap = Context ? xkb_keymap_new_from_names(Context, &Names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  if (!Keymap) {
    std::fprintf(stderr, "wlprobe: no keymap\n");
    return 1;
  }
  wl_proxy* Keyboard = CreateVirtualKeyboard(Client.KeyboardManager, Client.Seat);
  zwlr_virtual_pointer_v1* Pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(Client.PointerManager, Client.Seat);
  int Status = SendKeymapText(Keyboard, Keymap) && Client.Roundtrip(10000) ? 0 : 1;
  std::printf(Status == 0 ? "ready\n" : "error: the devices were not made\n");
  std::fflush(stdout);

  std::string Line;
  while (Status == 0 && std::getline(std::cin, Line)) {
    std::istringstream In(Line);
    std::string Command, Error;
    In >> Command;
    if (Command == "key") {
      std::string Name;
      In >> Name;
      const int Code = EvdevCode(Keymap, Name);
      if (Code < 0) {
        Error = "no key " + Name;
      } else {
        SendKey(Keyboard, NowMs(), static_cast<std::uint32_t>(Code), true);
        SendKey(Keyboard, NowMs(), static_cast<std::uint32_t>(Code), false);
      }
    } else if (Command == "move") {
      int Dx = 0, Dy = 0;
      In >> Dx >> Dy;
      zwlr_virtual_pointer_v1_motion(Pointer, NowMs(), wl_fixed_from_int(Dx), wl_fixed_from_int(Dy));
      zwlr_virtual_pointer_v1_frame(Pointer);
    } else if (Command == "at") {
      unsigned X = 0, Y = 0;
      In >> X >> Y;
      zwlr_virtual_pointer_v1_motion_absolute(Pointer, NowMs(), X, Y, static_cast<std::uint32_t>(LayoutWidth),
                                              static_cast<std::uint32_t>(LayoutHeight));
      zwlr_virtual_pointer_v1_frame(Pointer);
    } else if (Command == "click") {
      zwlr_virtual_pointer_v1_button(Pointer, NowMs(), BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_frame(Pointer);
      zwlr_virtual_pointer_v1_button(Pointer, NowMs(), BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
      zwlr_virtual_pointer_v1_frame(Pointer);
    } else {
      Error = "unknown command '" + Line + "'";
    }
    if (Error.empty() && !Client.Roundtrip(10000)) {
      Error = "the compositor did not answer";
      Status = 1;
    }
    std::printf("%s\n", Error.empty() ? "ok" : ("error: " + Error).c_str());
    std::fflush(stdout);
  }
  zwlr_virtual_pointer_v1_destroy(Pointer);
  DestroyVirtualKeyboard(Keyboard);
  Client.Roundtrip(1000);
  xkb_keymap_unref(Keymap);
  xkb_context_unref(Context);
  return Status;
}

}  // namespace qel::e2e
