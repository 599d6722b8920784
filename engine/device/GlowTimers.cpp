#include "engine/device/GlowTimers.h"

#include <limits>

#include "framework/Application.h"
#include "framework/Clock.h"
#include "framework/Rounding.h"

namespace qel {
namespace {

constexpr std::int64_t kOne = 1 << 20;               // 1 ms, or one step, in fixed point
constexpr std::int64_t kSecond = 1000 * kOne;        // 1048576000
constexpr std::int32_t kMaxSteps = 32 * (1 << 20);   // at most 32 steps per frame
constexpr std::int32_t kLongest = std::numeric_limits<std::int32_t>::max();  // just below 2048 ms

}  // namespace

// The idle handler as a callable of its own type, so the destructor can tell whether the
// application still holds this timer's handler.
struct TGlowTimer::TIdleHook {
  TGlowTimer* Timer;
  void operator()(TObject* Sender, bool& Done) const { Timer->HandleIdle(Sender, Done); }
};

TGlowTimer::TGlowTimer(TComponent* Owner) : TComponent(Owner) {
  SetSpeed(60.0);
  SetMaxFPS(100);
  FPrecision = ppLow;
  if (Clock().QueryPerformanceFrequency(FCounterFrequency) && FCounterFrequency > 0) FPrecision = ppHigh;
  if (!Designing()) {
    if (FPrecision == ppHigh)
      Clock().QueryPerformanceCounter(FLastCounter);
    else
      FLastTick = Clock().GetTickCount();
    if (Application) Application->SetOnIdle(TIdleHook{this});
  }
  FStepAccumulator = 0;
  FFrameRate = 0;
  FRateTime = 0;
  FRateFrames = 0;
  FProcessed = false;
}

TGlowTimer::~TGlowTimer() {
  if (!Application) return;
  const auto* Hook = Application->OnIdle().target<TIdleHook>();
  if (Hook && Hook->Timer == this) Application->SetOnIdle(nullptr);
}

void TGlowTimer::SetSpeed(double Value) {
  // Written so that NaN, too, becomes 1.0.
  FSpeed = Value >= 1.0 ? Value : 1.0;
  // An absurd speed would round the period to 0 and divide by it.
  const std::int64_t Period = nearest(static_cast<double>(kSecond) / FSpeed);
  FStepPeriod = static_cast<std::int32_t>(Period < 1 ? 1 : Period);
}

void TGlowTimer::SetMaxFPS(std::int32_t Value) {
  FMaxFPS = Value < 1 ? 1 : Value;
  FMinFramePeriod = static_cast<std::int32_t>(nearest(static_cast<double>(kSecond) / FMaxFPS));
}

std::int32_t TGlowTimer::ReadElapsed() {
  std::int64_t Elapsed = 0;
  if (FPrecision == ppHigh) {
    std::int64_t Counter = FLastCounter;
    Clock().QueryPerformanceCounter(Counter);
    // Unsigned difference: a counter that wraps past the end of its range still gives the
    // short time that passed; one that jumped back gives a negative count, taken as none.
    const auto Ticks = static_cast<std::int64_t>(static_cast<std::uint64_t>(Counter) - static_cast<std::uint64_t>(FLastCounter));
    FLastCounter = Counter;
    if (Ticks <= 0) return 0;
    // Beyond this many ticks the product overflows 64 bits; it is a stall in any case.
    if (Ticks > std::numeric_limits<std::int64_t>::max() / kSecond) return kLongest;
    Elapsed = Ticks * kSecond / FCounterFrequency;
  } else {
    const std::uint32_t Tick = Clock().GetTickCount();
    const std::uint32_t Ms = Tick - FLastTick;  // unsigned: right across the wrap
    FLastTick = Tick;
    Elapsed = static_cast<std::int64_t>(Ms) * kOne;
  }
  return Elapsed > kLongest ? kLongest : static_cast<std::int32_t>(Elapsed);
}

void TGlowTimer::HandleIdle(TObject*, bool& Done) {
  Done = false;
  FDelta = ReadElapsed();
  if (!FEnabled) {
    Clock().SleepEx(5, true);
    return;
  }

  // The reading runs from the previous frame's start, so the cap waits for what is left of
  // the frame period since then, in whole milliseconds rounded up (a frame never starts
  // early), and the frame's time is read again after the wait: each frame owes, and the
  // frame rate counts, the whole time from the previous frame's start to this one's.
  if (FMinFramePeriod > FDelta) {
    const auto Wait = static_cast<std::uint32_t>((FMinFramePeriod - FDelta + kOne - 1) / kOne);
    Clock().SleepEx(Wait, true);
    const std::int64_t Whole = static_cast<std::int64_t>(FDelta) + ReadElapsed();
    FDelta = static_cast<std::int32_t>(Whole > kLongest ? kLongest : Whole);
  }

  const std::int64_t Steps = static_cast<std::int64_t>(FDelta) * kOne / FStepPeriod;
  FStepsDue = static_cast<std::int32_t>(Steps > kMaxSteps ? kMaxSteps : Steps);

  FRateTime += FDelta;
  const std::int64_t Length = FDelta > 0 ? kSecond / FDelta : 4;
  ++FRateFrames;
  // A measurement that has seen no time yet goes on until it has: only a cap whose period
  // rounds to nothing, or a clock that stands still, lets frames take no time at all.
  if (FRateFrames >= Length && FRateTime > 0) {
    const std::int64_t Rate = static_cast<std::int64_t>(FRateFrames) * kSecond / FRateTime;
    FFrameRate = static_cast<std::int32_t>(Rate > kLongest ? kLongest : Rate);
    FRateTime = 0;
    FRateFrames = 0;
  }

  if (FProcessed) {
    FStepAccumulator += FStepsDue;
    FProcessed = false;
  }
  Fire(FOnTimer, this);
}

void TGlowTimer::Process() {
  FProcessed = true;
  const std::int32_t Whole = static_cast<std::int32_t>(FStepAccumulator / kOne);
  if (Whole < 1) return;
  if (FOnProcess)
    for (std::int32_t i = 0; i < Whole; ++i) FOnProcess(this);
  FStepAccumulator &= static_cast<std::int32_t>(kOne - 1);
}

}  // namespace qel
