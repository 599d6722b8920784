#pragma once
#include <cstdint>

#include "framework/Object.h"

namespace qel {

// Time as the program sees it: a high-resolution counter with its frequency, a millisecond
// tick count (wrapping at 2^32) and an alertable sleep.
class TClock : public TObject {
 public:
  virtual bool QueryPerformanceFrequency(std::int64_t& Frequency) = 0;
  virtual bool QueryPerformanceCounter(std::int64_t& Counter) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void SleepEx(std::uint32_t Milliseconds, bool Alertable) = 0;
};

// The real clock of the machine, from the C++ steady clock.
class TSteadyClock : public TClock {
 public:
  bool QueryPerformanceFrequency(std::int64_t& Frequency) override;
  bool QueryPerformanceCounter(std::int64_t& Counter) override;
  std::uint32_t GetTickCount() override;
  void SleepEx(std::uint32_t Milliseconds, bool Alertable) override;
};

// A clock that moves only when told to, or when somebody sleeps on it. Time is kept in
// counter ticks; the frequency is chosen at construction (0 = no performance counter).
class TManualClock : public TClock {
 public:
  explicit TManualClock(std::int64_t Frequency = 10'000'000) : FFrequency(Frequency) {}

  bool QueryPerformanceFrequency(std::int64_t& Frequency) override;
  bool QueryPerformanceCounter(std::int64_t& Counter) override;
  std::uint32_t GetTickCount() override;
  void SleepEx(std::uint32_t Milliseconds, bool Alertable) override;

  // The counter wraps around at the ends of its 64-bit range, as a hardware counter would.
  void AdvanceTicks(std::int64_t Ticks) {
    FTicks = static_cast<std::int64_t>(static_cast<std::uint64_t>(FTicks) + static_cast<std::uint64_t>(Ticks));
  }
  void AdvanceMs(double Milliseconds);
  // Sets the counter anywhere, backwards too: clock faults for tests.
  void SetTicks(std::int64_t Ticks) { FTicks = Ticks; }
  std::int64_t Ticks() const { return FTicks; }
  std::int64_t Frequency() const { return FFrequency; }
  double NowMs() const;
  // Total time spent in SleepEx, in milliseconds.
  std::uint64_t SleptMs() const { return FSleptMs; }

 private:
  std::int64_t FFrequency;
  std::int64_t FTicks = 0;
  std::uint64_t FSleptMs = 0;
};

// The clock the whole process reads; the platform installs its own at start.
TClock& Clock();
void SetClock(TClock* Clock);

}  // namespace qel
