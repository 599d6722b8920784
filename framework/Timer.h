#pragma once
#include <cstdint>

#include "framework/Component.h"
#include "framework/Events.h"

namespace qel {

// A framework timer: fires OnTimer every Interval milliseconds of the process clock's tick
// count, from the application's message loop. It runs only while Enabled, with a non-zero
// Interval and an assigned OnTimer; any change of these starts the countdown anew.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* Owner);
  ~TTimer() override;

  std::uint32_t Interval() const { return FInterval; }
  void SetInterval(std::uint32_t Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);

  // For the message loop: whether the timer runs, and the tick count it is due at.
  bool Running() const { return FEnabled && FInterval > 0 && FOnTimer; }
  std::uint32_t DueTick() const { return FStartTick + FInterval; }
  // Fires the timer if it is due at Now; answers whether it fired.
  bool FireIfDue(std::uint32_t Now);

 private:
  void Restart();

  std::uint32_t FInterval = 1000;
  bool FEnabled = true;
  TNotifyEvent FOnTimer;
  std::uint32_t FStartTick = 0;
};

}  // namespace qel
