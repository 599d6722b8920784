#pragma once
#include "framework/Clock.h"

namespace qel {

// The machine's clock on Windows: the performance counter, the tick count and SleepEx.
class TWin32Clock : public TClock {
 public:
  bool QueryPerformanceFrequency(std::int64_t& Frequency) override;
  bool QueryPerformanceCounter(std::int64_t& Counter) override;
  std::uint32_t GetTickCount() override;
  void SleepEx(std::uint32_t Milliseconds, bool Alertable) override;
};

}  // namespace qel
