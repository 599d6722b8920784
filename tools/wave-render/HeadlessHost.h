#pragma once
#include <cstring>
#include <functional>
#include <string>
#include <memory>

#include "platform/headless/HeadlessPlatform.h"
#include "tools/wave-render/WaveRender.h"

namespace qel::waverender {

// wave-render on the headless platform, or on one made from it (TPlatformClass): its manual
// clock, and a screen showing the desktop picture given.
template <class TPlatformClass>
class THeadlessHostOf : public TRenderHost {
 public:
  TPlatform& MakePlatform(int Width, int Height, const TBitmap& Desktop) override {
    FPlatform = std::make_unique<TPlatformClass>(Width, Height);
    TBitmap& Screen = FPlatform->Desktop();
    Screen.SetSize(Desktop.Width(), Desktop.Height(), TPixelFormat::pf32bit);
    for (int Y = 0; Y < Desktop.Height(); ++Y)
      std::memcpy(Screen.ScanLine(Y), Desktop.ScanLine(Y), static_cast<std::size_t>(Desktop.Width()) * 4);
    return *FPlatform;
  }
  TManualClock& Clock() override { return FPlatform->ManualClock(); }
  TPlatformClass* Platform() const { return FPlatform.get(); }
  bool UseRenderer(const std::string& Name, std::string& Error) override {
    if (Name.empty()) return true;
    if (!ChooseRenderer) return Error = "--renderer: this build draws only with the system's Direct3D 9", false;
    return ChooseRenderer(Name, Error);
  }
  // Chooses the device --renderer names, where the system offers a choice.
  std::function<bool(const std::string& Name, std::string& Error)> ChooseRenderer;

 private:
  std::unique_ptr<TPlatformClass> FPlatform;
};

using THeadlessHost = THeadlessHostOf<THeadlessPlatform>;

}  // namespace qel::waverender
