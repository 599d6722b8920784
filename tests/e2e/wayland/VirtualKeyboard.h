#pragma once
#include <wayland-client.h>

#include <cstdint>

// The client side of the virtual keyboard protocol (zwp_virtual_keyboard_manager_v1 and
// zwp_virtual_keyboard_v1, version 1), whose XML no Debian package ships: its two interfaces
// described by hand, with the requests a test needs. A keyboard takes an XKB keymap first and
// then keys as evdev codes.
namespace qel::e2e {

extern const wl_interface VirtualKeyboardManagerInterface;  // "zwp_virtual_keyboard_manager_v1"

wl_proxy* CreateVirtualKeyboard(wl_proxy* Manager, wl_seat* Seat);
void SendKeymap(wl_proxy* Keyboard, int Fd, std::uint32_t Size);  // XKB v1 text keymap
void SendKey(wl_proxy* Keyboard, std::uint32_t TimeMs, std::uint32_t EvdevCode, bool Pressed);
void DestroyVirtualKeyboard(wl_proxy* Keyboard);

}  // namespace qel::e2e
