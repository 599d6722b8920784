#include "framework/Clock.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "framework/Rounding.h"

namespace qel {
namespace {

using Steady = std::chrono::steady_clock;

TClock* Current = nullptr;

}  // namespace

bool TSteadyClock::QueryPerformanceFrequency(std::int64_t& Frequency) {
  Frequency = static_cast<std::int64_t>(Steady::period::den / Steady::period::num);
  return true;
}

bool TSteadyClock::QueryPerformanceCounter(std::int64_t& Counter) {
  Counter = static_cast<std::int64_t>(Steady::now().time_since_epoch().count());
  return true;
}

std::uint32_t TSteadyClock::GetTickCount() {
  const auto Ms = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now().time_since_epoch());
  return static_cast<std::uint32_t>(Ms.count());
}

void TSteadyClock::SleepEx(std::uint32_t Milliseconds, bool) {
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

bool TManualClock::QueryPerformanceFrequency(std::int64_t& Frequency) {
  Frequency = FFrequency;
  return FFrequency > 0;
}

bool TManualClock::QueryPerformanceCounter(std::int64_t& Counter) {
  Counter = FTicks;
  return FFrequency > 0;
}

double TManualClock::NowMs() const {
  const std::int64_t F = FFrequency > 0 ? FFrequency : 1000;
  return static_cast<double>(FTicks) * 1000.0 / static_cast<double>(F);
}

std::uint32_t TManualClock::GetTickCount() {
  const std::int64_t F = FFrequency > 0 ? FFrequency : 1000;
  // Whole seconds and the rest apart, so no product overflows; the tick count keeps the low
  // 32 bits of the milliseconds as it wraps.
  const std::uint64_t Ms = static_cast<std::uint64_t>(FTicks / F) * 1000u + static_cast<std::uint64_t>(FTicks % F * 1000 / F);
  return static_cast<std::uint32_t>(Ms);
}

void TManualClock::AdvanceMs(double Milliseconds) {
  const std::int64_t F = FFrequency > 0 ? FFrequency : 1000;
  const double Ticks = Milliseconds * static_cast<double>(F) / 1000.0 + 0.5;
  // Beyond the counter's range it only matters that the clock moves far; nearest() saturates.
  AdvanceTicks(nearest(std::floor(Ticks)));
}

void TManualClock::SleepEx(std::uint32_t Milliseconds, bool) {
  FSleptMs += Milliseconds;
  AdvanceMs(Milliseconds);
}

TClock& Clock() {
  static TSteadyClock Default;
  return Current ? *Current : Default;
}

void SetClock(TClock* Clock) { Current = Clock; }

}  // namespace qel
