#pragma once
#include <cstdint>

#include "framework/Component.h"
#include "framework/Events.h"

namespace qel {

enum TPerformancePrecision : std::uint8_t { ppLow = 0, ppHigh = 1 };

// Paces the program from the application's idle processing: fires OnTimer once per frame,
// at most MaxFPS frames per second, and lets Process fire OnProcess once per fixed step of
// 1/Speed second that has come due. Times are fixed-point milliseconds with 20 fraction
// bits in integers, so the per-frame path uses no floating point.
class TGlowTimer : public TComponent {
 public:
  // Installs itself as the application's idle handler (outside the form designer); the
  // last timer created is the one that runs.
  explicit TGlowTimer(TComponent* Owner);
  // Unhooks itself from the idle event if it is still installed there.
  ~TGlowTimer() override;

  double Speed() const { return FSpeed; }
  void SetSpeed(double Value);
  std::int32_t MaxFPS() const { return FMaxFPS; }
  void SetMaxFPS(std::int32_t Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  TPerformancePrecision Precision() const { return FPrecision; }
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value) { FOnTimer = std::move(Value); }
  const TNotifyEvent& OnProcess() const { return FOnProcess; }
  void SetOnProcess(TNotifyEvent Value) { FOnProcess = std::move(Value); }

  // Frames per second of the last measurement, 0 before the first.
  std::int32_t FrameRate() const { return FFrameRate; }

  // The application's idle handler: one frame per call.
  void HandleIdle(TObject* Sender, bool& Done);
  // Fires OnProcess once per whole step owed; called by the OnTimer handler once per frame.
  void Process();

 private:
  struct TIdleHook;
  // Fixed ms since the previous reading, never negative and never beyond the signed 32-bit
  // range: a longer stall (a suspended machine, a debugger) counts as the longest interval.
  std::int32_t ReadElapsed();

  std::int32_t FMaxFPS = 0;
  double FSpeed = 0.0;
  bool FEnabled = false;
  TNotifyEvent FOnTimer;
  std::int32_t FFrameRate = 0;
  TPerformancePrecision FPrecision = ppLow;
  std::uint32_t FLastTick = 0;
  std::int64_t FLastCounter = 0;
  TNotifyEvent FOnProcess;
  bool FProcessed = false;
  std::int32_t FDelta = 0;
  std::int32_t FStepsDue = 0;
  std::int64_t FCounterFrequency = 0;
  std::int32_t FMinFramePeriod = 0;
  std::int32_t FStepPeriod = 1;
  std::int32_t FStepAccumulator = 0;
  // 64 bits: a run of ever shorter frames can sum to more than 2048 ms before a
  // measurement ends.
  std::int64_t FRateTime = 0;
  std::int32_t FRateFrames = 0;
};

}  // namespace qel
