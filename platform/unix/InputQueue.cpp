#include "platform/unix/InputQueue.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>

#include "platform/unix/ControlCanvas.h"
#include "platform/unix/KeyTable.h"

namespace qel::posix {

void TInputQueue::Key(TWindowHandle Window, const TWindowParams& Params, unsigned long Sym, bool EscapeClicks) {
  TPlatformEvent E;
  E.Window = Window;
  if (const TControlParams* Focused = FocusedButton(Params)) {
    // The focused button takes the keys, as a push button does.
    const bool Presses = Sym == XKB_KEY_Return || Sym == XKB_KEY_KP_Enter || Sym == XKB_KEY_space ||
                         (EscapeClicks && Sym == XKB_KEY_Escape);
    if (!Presses) return;
    E.Kind = TPlatformEvent::TKind::Click;
    E.Control = Focused->Id;
  } else {
    E.Kind = TPlatformEvent::TKind::KeyDown;
    E.Key = VirtualKeyOf(Sym);
  }
  Push(E);
}

void TInputQueue::Enter(TWindowHandle Window, TPointerState& State, int X, int Y) {
  if (State.Known) {
    Move(Window, State, X, Y);
    return;
  }
  State.Known = true;
  TPlatformEvent E{TPlatformEvent::TKind::MouseEnter};
  E.Window = Window;
  E.X = X;
  E.Y = Y;
  Push(E);
}

void TInputQueue::Move(TWindowHandle Window, TPointerState& State, int X, int Y) {
  State.Known = true;
  if (FMoveWaiting && FMove.Window != Window) FlushMove();
  FMove = TPlatformEvent{TPlatformEvent::TKind::MouseMove};
  FMove.Window = Window;
  FMove.X = X;
  FMove.Y = Y;
  FMoveWaiting = true;
}

bool TInputQueue::Button(TWindowHandle Window, const TWindowParams& Params, TPointerState& State, int Button,
                         bool Down, int X, int Y) {
  const TControlParams* Control = Button == 1 ? ButtonAt(Params, X, Y) : nullptr;
  if (Down) {
    TPlatformEvent E{TPlatformEvent::TKind::MouseDown};
    E.Window = Window;
    E.X = X;
    E.Y = Y;
    Push(E);
    if (!Control) return false;
    State.Pressed = Control->Id;
    return true;
  }
  if (Button != 1 || !State.Pressed) return false;
  if (Control && Control->Id == State.Pressed) {
    TPlatformEvent E{TPlatformEvent::TKind::Click};
    E.Window = Window;
    E.Control = Control->Id;
    Push(E);
  }
  State.Pressed = 0;
  return true;
}

void TInputQueue::Push(const TPlatformEvent& Event) {
  FlushMove();
  FQueue.push_back(Event);
}

void TInputQueue::FlushMove() {
  if (!FMoveWaiting) return;
  FMoveWaiting = false;
  FQueue.push_back(FMove);
}

bool TInputQueue::Take(TPlatformEvent& Event) {
  if (FQueue.empty()) FlushMove();
  if (FQueue.empty()) return false;
  Event = FQueue.front();
  FQueue.pop_front();
  return true;
}

bool TInputQueue::TakeFor(TWindowHandle Window, TPlatformEvent& Event) {
  auto It = std::find_if(FQueue.begin(), FQueue.end(), [&](const TPlatformEvent& E) { return E.Window == Window; });
  if (It != FQueue.end()) {
    Event = *It;
    FQueue.erase(It);
    return true;
  }
  if (!FMoveWaiting || FMove.Window != Window) return false;
  FMoveWaiting = false;
  Event = FMove;
  return true;
}

void TInputQueue::Forget(TWindowHandle Window) {
  if (FMoveWaiting && FMove.Window == Window) FMoveWaiting = false;
  FQueue.erase(std::remove_if(FQueue.begin(), FQueue.end(), [&](const TPlatformEvent& E) { return E.Window == Window; }),
               FQueue.end());
}

}  // namespace qel::posix
