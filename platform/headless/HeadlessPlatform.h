#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "framework/Platform.h"

namespace qel {

// A platform without a screen: a manual clock, a screen of a chosen size with a chosen
// desktop picture, input scripted at chosen times, and windows that exist only as records.
// Waiting advances the clock to the next scripted event; with nothing left to wait for,
// the application is told to quit, so a headless run always ends.
class THeadlessPlatform : public TPlatform {
 public:
  struct TWindow {
    TWindowParams Params;
    bool Alive = true;
  };

  explicit THeadlessPlatform(int ScreenWidth = 800, int ScreenHeight = 600, std::int64_t Frequency = 10'000'000);

  TManualClock& ManualClock() { return FClock; }
  TClock& Clock() override { return FClock; }
  TScreenSize ScreenSize() override { return FScreen; }
  void SetScreenSize(int Width, int Height) { FScreen = {Width, Height}; }
  bool CaptureDesktop(TBitmap& Bitmap) override;
  // The picture CaptureDesktop copies; by default a black screen.
  TBitmap& Desktop() { return FDesktop; }
  void MessageBox(const std::string& Text, const std::string& Caption) override;
  const std::vector<std::string>& Messages() const { return FMessages; }

  TWindowHandle CreateWindow(const TWindowParams& Params) override;
  void UpdateWindow(TWindowHandle Window, const TWindowParams& Params) override;
  void DestroyWindow(TWindowHandle Window) override;
  const TWindow* Window(TWindowHandle Handle) const;

  bool PollEvent(TPlatformEvent& Event) override;
  void WaitEvent(std::int64_t TimeoutMs) override;

  bool FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) override;
  void AddResource(const std::string& Name, std::vector<std::uint8_t> Bytes) { FResources[Name] = std::move(Bytes); }

  // Script: events delivered once the clock reaches AtMs (milliseconds since the start).
  void KeyDownAt(double AtMs, std::uint16_t Key);
  void MouseMoveAt(double AtMs, int X, int Y);
  void MouseEnterAt(double AtMs, int X, int Y);
  void CloseAt(double AtMs);
  void ClickAt(double AtMs, std::uintptr_t Control);
  void ResizeAt(double AtMs, int Width, int Height);
  // Ends the run at AtMs whatever happens.
  void QuitAt(double AtMs);
  std::size_t PendingEvents() const { return FScript.size(); }

 private:
  struct TScripted {
    double AtMs;
    TPlatformEvent Event;
  };
  void Schedule(double AtMs, const TPlatformEvent& Event);

  TManualClock FClock;
  TScreenSize FScreen;
  TBitmap FDesktop;
  std::vector<std::string> FMessages;
  std::map<TWindowHandle, TWindow> FWindows;
  TWindowHandle FNextHandle = 1;
  std::deque<TScripted> FScript;  // sorted by time, stable for equal times
  std::map<std::string, std::vector<std::uint8_t>> FResources;
};

}  // namespace qel
