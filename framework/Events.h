#pragma once
#include <cstdint>
#include <functional>

#include "framework/Object.h"

namespace qel {

// Events are plain callables; the sender is the component that fires them.
// An empty event is skipped.
using TNotifyEvent = std::function<void(TObject* Sender)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;

enum TShiftFlag : std::uint32_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = std::uint32_t;

using TKeyEvent = std::function<void(TObject* Sender, std::uint16_t& Key, TShiftState Shift)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Calls an event when it is assigned.
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args) {
  if (event) event(std::forward<Args>(args)...);
}

}  // namespace qel
