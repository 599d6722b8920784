#pragma once
#include <cstdint>
#include <deque>

#include "framework/Platform.h"

namespace qel::posix {

// What a platform keeps of a window for its input: whether the window has learnt where the
// pointer is, and the button held down in it.
struct TPointerState {
  bool Known = false;
  std::uintptr_t Pressed = 0;  // TControlParams::Id of the button held down; 0: none
};

// The input of a Unix platform's windows turned into the events a Windows program sees, by the
// same rules on X11 and Wayland:
// - keys by the key table, or, where a button has the focus, Return, Enter and Space (Escape
//   too where asked) as a click on it, other keys ignored;
// - the first position a window learns of the pointer without a move (at its map, at an
//   enter) as where the pointer rests (MouseEnter), whenever it arrives; only later positions
//   are moves;
// - the moves of one dispatch, until another event or the program takes them, as one move to
//   the newest position: a quick move is one long move, not many short ones;
// - a click as a press and a release of the left button on the same button.
class TInputQueue {
 public:
  // A key went down; Sym is the keysym of its unshifted level (X11's and xkbcommon's).
  void Key(TWindowHandle Window, const TWindowParams& Params, unsigned long Sym, bool EscapeClicks = false);
  // The window learns where the pointer is, in its client pixels, without the pointer moving
  // (its map, an enter): the first time where the pointer rests, later a move.
  void Enter(TWindowHandle Window, TPointerState& State, int X, int Y);
  // The pointer moved to (X, Y).
  void Move(TWindowHandle Window, TPointerState& State, int X, int Y);
  // Button 1 left, 2 middle, 3 right. True when the button shown pressed changed: the window
  // is to be painted again.
  bool Button(TWindowHandle Window, const TWindowParams& Params, TPointerState& State, int Button, bool Down, int X,
              int Y);
  // Any other event (Resize, Close) in its place among the input.
  void Push(const TPlatformEvent& Event);

  // The next event, oldest first; the merged move comes once nothing else is waiting.
  bool Take(TPlatformEvent& Event);
  // The next event of one window (a modal one), leaving the others' waiting.
  bool TakeFor(TWindowHandle Window, TPlatformEvent& Event);
  bool Empty() const { return FQueue.empty() && !FMoveWaiting; }
  // Whether an event other than the merged move is waiting.
  bool EventsWaiting() const { return !FQueue.empty(); }
  // The window is gone: nothing of it is delivered any more.
  void Forget(TWindowHandle Window);

 private:
  void FlushMove();

  std::deque<TPlatformEvent> FQueue;
  bool FMoveWaiting = false;
  TPlatformEvent FMove;
};

}  // namespace qel::posix
