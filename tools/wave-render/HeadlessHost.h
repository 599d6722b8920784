#pragma once
#include <cstring>
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

 private:
  std::unique_ptr<TPlatformClass> FPlatform;
};

using THeadlessHost = THeadlessHostOf<THeadlessPlatform>;

}  // namespace qel::waverender
