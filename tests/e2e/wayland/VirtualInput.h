#pragma once
#include "tests/e2e/wayland/TestClient.h"

namespace qel::e2e {

// A virtual keyboard and pointer on the compositor's seat (KWin: its fake input), present from
// start to end, so that no key or move is lost while the seat's devices change. Reads commands from stdin, one a line,
// and answers each with "ok" once the compositor has taken it (or "error: ..."):
//   key NAME       presses and releases the key of that keysym name (a, space, Escape, Return)
//   move DX DY     moves the pointer by so many pixels
//   moves N DX DY  N such moves sent at once
//   at X Y         puts the pointer at X, Y of a layout W x H wide given at start (KWin: of its
//                  logical layout)
//   click          presses and releases the left button
// Ends at the end of the input. Returns the exit status.
int RunVirtualInput(TTestClient& Client, int LayoutWidth, int LayoutHeight);

}  // namespace qel::e2e
