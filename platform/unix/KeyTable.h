#pragma once
#include <cstdint>

namespace qel::posix {

// The virtual-key code a Windows program would see for a keysym of the key's unshifted level
// (X11 and xkbcommon number keysyms alike): letters and digits as their upper-case characters,
// Escape 27, Space 32, the usual codes for the named keys, and 0xFF for keys that have none.
// Never 0.
std::uint16_t VirtualKeyOf(unsigned long KeySym);

}  // namespace qel::posix
