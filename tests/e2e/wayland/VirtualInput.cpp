#include "tests/e2e/wayland/VirtualInput.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "tests/e2e/wayland/VirtualKeyboard.h"
#include "fake-input-client-protocol.h"
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

// The devices the commands drive: wlroots' virtual keyboard and pointer, or KWin's fake input.
struct TDevices {
  virtual ~TDevices() = default;
  virtual void Key(std::uint32_t Code, bool Pressed) = 0;
  virtual void Move(int Dx, int Dy) = 0;
  virtual void At(int X, int Y) = 0;
  virtual void Button(bool Pressed) = 0;
};

class TVirtualDevices : public TDevices {
 public:
  TVirtualDevices(TTestClient& Client, int LayoutWidth, int LayoutHeight)
      : Keyboard(CreateVirtualKeyboard(Client.KeyboardManager, Client.Seat)),
        Pointer(zwlr_virtual_pointer_manager_v1_create_virtual_pointer(Client.PointerManager, Client.Seat)),
        Width(static_cast<std::uint32_t>(LayoutWidth)),
        Height(static_cast<std::uint32_t>(LayoutHeight)) {}
  ~TVirtualDevices() override {
    zwlr_virtual_pointer_v1_destroy(Pointer);
    DestroyVirtualKeyboard(Keyboard);
  }
  bool SetKeymap(xkb_keymap* Keymap) { return SendKeymapText(Keyboard, Keymap); }
  void Key(std::uint32_t Code, bool Pressed) override { SendKey(Keyboard, NowMs(), Code, Pressed); }
  void Move(int Dx, int Dy) override {
    zwlr_virtual_pointer_v1_motion(Pointer, NowMs(), wl_fixed_from_int(Dx), wl_fixed_from_int(Dy));
    zwlr_virtual_pointer_v1_frame(Pointer);
  }
  void At(int X, int Y) override {
    zwlr_virtual_pointer_v1_motion_absolute(Pointer, NowMs(), static_cast<std::uint32_t>(X),
                                            static_cast<std::uint32_t>(Y), Width, Height);
    zwlr_virtual_pointer_v1_frame(Pointer);
  }
  void Button(bool Pressed) override {
    zwlr_virtual_pointer_v1_button(Pointer, NowMs(), BTN_LEFT,
                                   Pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(Pointer);
  }

 private:
  wl_proxy* Keyboard;
  zwlr_virtual_pointer_v1* Pointer;
  std::uint32_t Width, Height;
};

// KWin's fake input: keys by evdev code, the pointer in the compositor's logical coordinates.
class TFakeInput : public TDevices {
 public:
  explicit TFakeInput(org_kde_kwin_fake_input* Input) : Input(Input) {
    org_kde_kwin_fake_input_authenticate(Input, "wlprobe", "end-to-end tests");
  }
  void Key(std::uint32_t Code, bool Pressed) override {
    org_kde_kwin_fake_input_keyboard_key(Input, Code, Pressed ? WL_KEYBOARD_KEY_STATE_PRESSED
                                                              : WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  void Move(int Dx, int Dy) override {
    org_kde_kwin_fake_input_pointer_motion(Input, wl_fixed_from_int(Dx), wl_fixed_from_int(Dy));
  }
  void At(int X, int Y) override {
    org_kde_kwin_fake_input_pointer_motion_absolute(Input, wl_fixed_from_int(X), wl_fixed_from_int(Y));
  }
  void Button(bool Pressed) override {
    org_kde_kwin_fake_input_button(Input, BTN_LEFT,
                                   Pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  }

 private:
  org_kde_kwin_fake_input* Input;
};

}  // namespace

int RunVirtualInput(TTestClient& Client, int LayoutWidth, int LayoutHeight) {
  const bool Virtual = Client.Seat && Client.PointerManager && Client.KeyboardManager;
  if (!Virtual && !Client.FakeInput) {
    std::fprintf(stderr, "wlprobe: the compositor offers no virtual pointer and keyboard, nor fake input\n");
    return 1;
  }
  xkb_context* Context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names Names{"evdev", "pc105", "us", "", ""};
  xkb_keymap* Keymap = Context ? xkb_keymap_new_from_names(Context, &Names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr;
  if (!Keymap) {
    std::fprintf(stderr, "wlprobe: no keymap\n");
    return 1;
  }
  std::unique_ptr<TDevices> Devices;
  bool Made = true;
  if (Virtual) {
    auto V = std::make_unique<TVirtualDevices>(Client, LayoutWidth, LayoutHeight);
    Made = V->SetKeymap(Keymap);
    Devices = std::move(V);
  } else {
    Devices = std::make_unique<TFakeInput>(Client.FakeInput);
  }
  int Status = Made && Client.Roundtrip(10000) ? 0 : 1;
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
        Devices->Key(static_cast<std::uint32_t>(Code), true);
        Devices->Key(static_cast<std::uint32_t>(Code), false);
      }
    } else if (Command == "move") {
      int Dx = 0, Dy = 0;
      In >> Dx >> Dy;
      Devices->Move(Dx, Dy);
    } else if (Command == "moves") {
      // Sent together: the compositor passes them on at once, one dispatch of the client's.
      int Count = 0, Dx = 0, Dy = 0;
      In >> Count >> Dx >> Dy;
      for (int i = 0; i < Count; ++i) Devices->Move(Dx, Dy);
    } else if (Command == "at") {
      int X = 0, Y = 0;
      In >> X >> Y;
      Devices->At(X, Y);
    } else if (Command == "click") {
      Devices->Button(true);
      Devices->Button(false);
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
  Devices.reset();
  Client.Roundtrip(1000);
  xkb_keymap_unref(Keymap);
  xkb_context_unref(Context);
  return Status;
}

}  // namespace qel::e2e
