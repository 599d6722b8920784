#include "framework/Application.h"

#include <algorithm>
#include <limits>

#include "framework/Timer.h"

namespace qel {

TApplication* Application = nullptr;

TApplication::TApplication(TPlatform& Platform) : TComponent(nullptr), FPlatform(Platform) {
  Application = this;
  SetClock(&Platform.Clock());
}

TApplication::~TApplication() {
  // Forms and their components go first, while the application still answers them.
  while (ComponentCount() > 0) delete Components(ComponentCount() - 1);
  FTimers.clear();
  if (Application == this) Application = nullptr;
  SetClock(nullptr);
}

void TApplication::RegisterTimer(TTimer* Timer) { FTimers.push_back(Timer); }

void TApplication::UnregisterTimer(TTimer* Timer) {
  FTimers.erase(std::remove(FTimers.begin(), FTimers.end(), Timer), FTimers.end());
}

void TApplication::Run() {
  if (FMainForm && !FTerminated) FMainForm->Show();
  while (!FTerminated) {
    if (!ProcessMessage()) Idle();
  }
}

void TApplication::ProcessMessages() {
  while (!FTerminated && ProcessMessage()) {
  }
}

bool TApplication::ProcessMessage() {
  TPlatformEvent Event;
  if (FPlatform.PollEvent(Event)) {
    Dispatch(Event);
    return true;
  }
  // Timer events come only when nothing else is waiting, as on Windows.
  return FireDueTimer();
}

bool TApplication::FireDueTimer() {
  const std::uint32_t Now = FPlatform.Clock().GetTickCount();
  const std::vector<TTimer*> Timers = FTimers;  // a handler may create or free timers
  for (TTimer* T : Timers) {
    if (std::find(FTimers.begin(), FTimers.end(), T) == FTimers.end()) continue;
    if (T->FireIfDue(Now)) return true;
  }
  return false;
}

void TApplication::Idle() {
  bool Done = true;
  Fire(FOnIdle, this, Done);
  if (!Done || FTerminated) return;
  // Wait for the next event, or until the earliest timer is due.
  std::int64_t Timeout = -1;
  const std::uint32_t Now = FPlatform.Clock().GetTickCount();
  for (TTimer* T : FTimers) {
    if (!T->Running()) continue;
    const std::uint32_t Elapsed = Now - (T->DueTick() - T->Interval());
    const std::int64_t Left = Elapsed >= T->Interval() ? 0 : static_cast<std::int64_t>(T->Interval() - Elapsed);
    Timeout = Timeout < 0 ? Left : std::min(Timeout, Left);
  }
  FPlatform.WaitEvent(Timeout);
}

void TApplication::Dispatch(const TPlatformEvent& Event) {
  if (Event.Kind == TPlatformEvent::TKind::Quit) {
    Terminate();
    return;
  }
  TForm* Form = FMainForm;
  if (Event.Window != 0) {
    auto It = FWindows.find(Event.Window);
    if (It == FWindows.end()) return;
    Form = It->second;
  }
  if (!Form) return;
  switch (Event.Kind) {
    case TPlatformEvent::TKind::KeyDown:
      Form->KeyDown(Event.Key, 0);
      break;
    case TPlatformEvent::TKind::MouseMove:
      Form->MouseMove(0, Event.X, Event.Y);
      break;
    case TPlatformEvent::TKind::MouseEnter:
      Form->MouseEnter(Event.X, Event.Y);
      break;
    case TPlatformEvent::TKind::MouseDown:
      break;
    case TPlatformEvent::TKind::Click:
      Form->ControlClicked(Event.Control);
      break;
    case TPlatformEvent::TKind::Resize:
      Form->Resized(Event.X, Event.Y);
      break;
    case TPlatformEvent::TKind::Close:
      Form->Close();
      break;
    case TPlatformEvent::TKind::Quit:
      break;
  }
}

}  // namespace qel
