#include "platform/wayland/WaylandSeat.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>

namespace qel::wl {

const wl_seat_listener TSeat::SeatListener = {
    [](void* Data, wl_seat*, std::uint32_t Caps) { static_cast<TSeat*>(Data)->Capabilities(Caps); },
    [](void*, wl_seat*, const char*) {},
};

const wl_keyboard_listener TSeat::KeyboardListener = {
    // keymap
    [](void* Data, wl_keyboard*, std::uint32_t Format, std::int32_t Fd, std::uint32_t Size) {
      static_cast<TSeat*>(Data)->Keymap(Format, Fd, Size);
    },
    // enter
    [](void* Data, wl_keyboard*, std::uint32_t, wl_surface* Surface, wl_array*) {
      static_cast<TSeat*>(Data)->FKeyFocus = Surface;
    },
    // leave
    [](void* Data, wl_keyboard*, std::uint32_t, wl_surface*) { static_cast<TSeat*>(Data)->FKeyFocus = nullptr; },
    // key
    [](void* Data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t Key, std::uint32_t State) {
      auto* S = static_cast<TSeat*>(Data);
      if (State != WL_KEYBOARD_KEY_STATE_PRESSED || !S->FKeyFocus) return;
      std::uint32_t Sym = 0;
      if (S->FState) {
        const xkb_keycode_t Code = Key + 8;  // evdev codes to xkb's
        const xkb_layout_index_t Layout = xkb_state_key_get_layout(S->FState, Code);
        const xkb_keysym_t* Syms = nullptr;
        if (Layout != XKB_LAYOUT_INVALID &&
            xkb_keymap_key_get_syms_by_level(S->FKeymap, Code, Layout, 0, &Syms) > 0)
          Sym = Syms[0];
      }
      S->FSink.SeatKey(S->FKeyFocus, Sym);
    },
    // modifiers
    [](void* Data, wl_keyboard*, std::uint32_t, std::uint32_t Depressed, std::uint32_t Latched, std::uint32_t Locked,
       std::uint32_t Group) {
      auto* S = static_cast<TSeat*>(Data);
      if (S->FState) xkb_state_update_mask(S->FState, Depressed, Latched, Locked, 0, 0, Group);
    },
    // repeat_info
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_pointer_listener TSeat::PointerListener = {
    // enter
    [](void* Data, wl_pointer* Pointer, std::uint32_t Serial, wl_surface* Surface, wl_fixed_t X, wl_fixed_t Y) {
      auto* S = static_cast<TSeat*>(Data);
      S->FPointerFocus = Surface;
      S->FX = wl_fixed_to_double(X);
      S->FY = wl_fixed_to_double(Y);
      S->FSink.SeatPointerEnter(Pointer, Surface, Serial, S->FX, S->FY);
    },
    // leave
    [](void* Data, wl_pointer*, std::uint32_t, wl_surface*) { static_cast<TSeat*>(Data)->FPointerFocus = nullptr; },
    // motion
    [](void* Data, wl_pointer*, std::uint32_t, wl_fixed_t X, wl_fixed_t Y) {
      auto* S = static_cast<TSeat*>(Data);
      S->FX = wl_fixed_to_double(X);
      S->FY = wl_fixed_to_double(Y);
      if (S->FPointerFocus) S->FSink.SeatPointerMotion(S->FPointerFocus, S->FX, S->FY);
    },
    // button
    [](void* Data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t Button, std::uint32_t State) {
      auto* S = static_cast<TSeat*>(Data);
      if (!S->FPointerFocus) return;
      const int Number = Button == BTN_LEFT     ? 1
                         : Button == BTN_MIDDLE ? 2
                         : Button == BTN_RIGHT  ? 3
                                                : static_cast<int>(Button - BTN_LEFT + 1);
      S->FSink.SeatButton(S->FPointerFocus, Number, State == WL_POINTER_BUTTON_STATE_PRESSED, S->FX, S->FY);
    },
    // axis, frame, axis_source, axis_stop, axis_discrete, axis_value120
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {},
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

TSeat::TSeat(wl_seat* Seat, TSeatSink& Sink) : FSeat(Seat), FSink(Sink) {
  FContext = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  wl_seat_add_listener(FSeat, &SeatListener, this);
}

TSeat::~TSeat() {
  Capabilities(0);
  DropKeymap();
  if (FContext) xkb_context_unref(FContext);
  if (wl_seat_get_version(FSeat) >= WL_SEAT_RELEASE_SINCE_VERSION)
    wl_seat_release(FSeat);
  else
    wl_seat_destroy(FSeat);
}

void TSeat::Capabilities(std::uint32_t Caps) {
  const bool Release = wl_seat_get_version(FSeat) >= WL_KEYBOARD_RELEASE_SINCE_VERSION;
  const bool Keyboard = Caps & WL_SEAT_CAPABILITY_KEYBOARD, Pointer = Caps & WL_SEAT_CAPABILITY_POINTER;
  if (Keyboard && !FKeyboard) {
    FKeyboard = wl_seat_get_keyboard(FSeat);
    wl_keyboard_add_listener(FKeyboard, &KeyboardListener, this);
  } else if (!Keyboard && FKeyboard) {
    Release ? wl_keyboard_release(FKeyboard) : wl_keyboard_destroy(FKeyboard);
    FKeyboard = nullptr;
    FKeyFocus = nullptr;
  }
  if (Pointer && !FPointer) {
    FPointer = wl_seat_get_pointer(FSeat);
    wl_pointer_add_listener(FPointer, &PointerListener, this);
  } else if (!Pointer && FPointer) {
    Release ? wl_pointer_release(FPointer) : wl_pointer_destroy(FPointer);
    FPointer = nullptr;
    FPointerFocus = nullptr;
  }
}

void TSeat::Keymap(std::uint32_t Format, int Fd, std::uint32_t Size) {
  DropKeymap();
  if (Format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && FContext && Size > 0) {
    void* Map = mmap(nullptr, Size, PROT_READ, MAP_PRIVATE, Fd, 0);
    if (Map != MAP_FAILED) {
      // The text ends with its NUL inside Size.
      FKeymap = xkb_keymap_new_from_buffer(FContext, static_cast<const char*>(Map), Size - 1, XKB_KEYMAP_FORMAT_TEXT_V1,
                                           XKB_KEYMAP_COMPILE_NO_FLAGS);
      munmap(Map, Size);
    }
  }
  close(Fd);
  if (FKeymap) FState = xkb_state_new(FKeymap);
}

void TSeat::DropKeymap() {
  if (FState) xkb_state_unref(FState);
  if (FKeymap) xkb_keymap_unref(FKeymap);
  FState = nullptr;
  FKeymap = nullptr;
}

}  // namespace qel::wl
