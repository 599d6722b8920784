#include "platform/win32/Win32Clock.h"

#include <windows.h>

namespace qel {

bool TWin32Clock::QueryPerformanceFrequency(std::int64_t& Frequency) {
  LARGE_INTEGER Value;
  const bool Ok = ::QueryPerformanceFrequency(&Value) != 0;
  Frequency = Ok ? Value.QuadPart : 0;
  return Ok;
}

bool TWin32Clock::QueryPerformanceCounter(std::int64_t& Counter) {
  LARGE_INTEGER Value;
  const bool Ok = ::QueryPerformanceCounter(&Value) != 0;
  Counter = Ok ? Value.QuadPart : 0;
  return Ok;
}

std::uint32_t TWin32Clock::GetTickCount() { return ::GetTickCount(); }

void TWin32Clock::SleepEx(std::uint32_t Milliseconds, bool Alertable) { ::SleepEx(Milliseconds, Alertable); }

}  // namespace qel
