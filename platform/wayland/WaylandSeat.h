#pragma once
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>

namespace qel::wl {

// What a seat reports, in the surface-local coordinates of the compositor (logical pixels).
class TSeatSink {
 public:
  virtual ~TSeatSink() = default;
  // A key went down; Sym is the keysym of its unshifted level in the active layout.
  virtual void SeatKey(wl_surface* Surface, std::uint32_t Sym) = 0;
  virtual void SeatPointerEnter(wl_pointer* Pointer, wl_surface* Surface, std::uint32_t Serial, double X, double Y) = 0;
  virtual void SeatPointerMotion(wl_surface* Surface, double X, double Y) = 0;
  // Button: 1 left, 2 middle, 3 right, as X11 numbers them; others as they come.
  virtual void SeatButton(wl_surface* Surface, int Button, bool Pressed, double X, double Y) = 0;
};

// One wl_seat: its keyboard (with an xkbcommon keymap) and pointer, made and dropped as the
// seat's capabilities come and go.
class TSeat {
 public:
  TSeat(wl_seat* Seat, TSeatSink& Sink);
  ~TSeat();
  TSeat(const TSeat&) = delete;
  TSeat& operator=(const TSeat&) = delete;

 private:
  static const wl_seat_listener SeatListener;
  static const wl_keyboard_listener KeyboardListener;
  static const wl_pointer_listener PointerListener;

  void Capabilities(std::uint32_t Caps);
  void Keymap(std::uint32_t Format, int Fd, std::uint32_t Size);
  void DropKeymap();

  wl_seat* FSeat;
  TSeatSink& FSink;
  wl_keyboard* FKeyboard = nullptr;
  wl_pointer* FPointer = nullptr;
  xkb_context* FContext = nullptr;
  xkb_keymap* FKeymap = nullptr;
  xkb_state* FState = nullptr;
  wl_surface* FKeyFocus = nullptr;
  wl_surface* FPointerFocus = nullptr;
  double FX = 0, FY = 0;
};

}  // namespace qel::wl
