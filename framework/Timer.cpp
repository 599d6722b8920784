#include "framework/Timer.h"

#include "framework/Application.h"
#include "framework/Clock.h"

namespace qel {

TTimer::TTimer(TComponent* Owner) : TComponent(Owner) {
  Restart();
  if (Application) Application->RegisterTimer(this);
}

TTimer::~TTimer() {
  if (Application) Application->UnregisterTimer(this);
}

void TTimer::SetInterval(std::uint32_t Value) {
  FInterval = Value;
  Restart();
}

void TTimer::SetEnabled(bool Value) {
  FEnabled = Value;
  Restart();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  Restart();
}

void TTimer::Restart() { FStartTick = Clock().GetTickCount(); }

bool TTimer::FireIfDue(std::uint32_t Now) {
  if (!Running()) return false;
  // Unsigned difference: correct across the tick count's wrap.
  if (Now - FStartTick < FInterval) return false;
  FStartTick = Now;
  FOnTimer(this);
  return true;
}

}  // namespace qel
