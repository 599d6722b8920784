#include "tests/e2e/wayland/VirtualKeyboard.h"

namespace qel::e2e {
namespace {

extern const wl_interface KeyboardInterface;

const wl_interface* const CreateTypes[] = {&wl_seat_interface, &KeyboardInterface};
const wl_interface* const NoTypes[] = {nullptr, nullptr, nullptr, nullptr};

const wl_message ManagerRequests[] = {{"create_virtual_keyboard", "on", const_cast<const wl_interface**>(CreateTypes)}};
const wl_message KeyboardRequests[] = {{"keymap", "uhu", const_cast<const wl_interface**>(NoTypes)},
                                       {"key", "uuu", const_cast<const wl_interface**>(NoTypes)},
                                       {"modifiers", "uuuu", const_cast<const wl_interface**>(NoTypes)},
                                       {"destroy", "", const_cast<const wl_interface**>(NoTypes)}};

const wl_interface KeyboardInterface = {"zwp_virtual_keyboard_v1", 1, 4, KeyboardRequests, 0, nullptr};

enum : std::uint32_t { opCreate = 0, opKeymap = 0, opKey = 1, opDestroy = 3 };
constexpr std::uint32_t KeymapFormatXkbV1 = 1;

}  // namespace

const wl_interface VirtualKeyboardManagerInterface = {"zwp_virtual_keyboard_manager_v1", 1, 1, ManagerRequests, 0,
                                                      nullptr};

wl_proxy* CreateVirtualKeyboard(wl_proxy* Manager, wl_seat* Seat) {
  return wl_proxy_marshal_flags(Manager, opCreate, &KeyboardInterface, wl_proxy_get_version(Manager), 0, Seat,
                                nullptr);
}

void SendKeymap(wl_proxy* Keyboard, int Fd, std::uint32_t Size) {
  wl_proxy_marshal_flags(Keyboard, opKeymap, nullptr, wl_proxy_get_version(Keyboard), 0, KeymapFormatXkbV1, Fd, Size);
}

void SendKey(wl_proxy* Keyboard, std::uint32_t TimeMs, std::uint32_t EvdevCode, bool Pressed) {
  wl_proxy_marshal_flags(Keyboard, opKey, nullptr, wl_proxy_get_version(Keyboard), 0, TimeMs, EvdevCode,
                         Pressed ? 1u : 0u);
}

void DestroyVirtualKeyboard(wl_proxy* Keyboard) {
  wl_proxy_marshal_flags(Keyboard, opDestroy, nullptr, wl_proxy_get_version(Keyboard), WL_MARSHAL_FLAG_DESTROY);
}

}  // namespace qel::e2e
