#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "framework/Bitmap.h"
#include "framework/Clock.h"
#include "framework/Platform.h"

namespace qel::waverender {

// What wave-render runs the screensaver on: a platform on a manual clock whose screen has
// the size asked for and whose desktop capture gives the picture asked for. The headless
// platform is one; a system's own platform with its clock replaced by a manual one is
// another (the frames then come from that system's Direct3D 9).
class TRenderHost {
 public:
  virtual ~TRenderHost() = default;
  // Called once, after the arguments and the input are checked. Desktop is 32-bit and of
  // the screen's size. The platform lives as long as the host.
  virtual TPlatform& MakePlatform(int Width, int Height, const TBitmap& Desktop) = 0;
  // The manual clock of the platform made (it starts at 0 ms).
  virtual TManualClock& Clock() = 0;
  // Called before MakePlatform with --renderer's value (empty when not given): false, with
  // the reason in Error, where that device cannot draw here.
  virtual bool UseRenderer(const std::string& Name, std::string& Error) = 0;
};

// The whole of wave-render but the choice of platform: reads the arguments (without the
// program's name), runs the screensaver's main form in run mode and writes what was asked
// for. Every output is written under a temporary name and renamed only once everything has
// succeeded, so a failure leaves no partial files. Answers the exit status: 0 done, 1 the
// rendering failed, 2 bad arguments or a bad desktop picture.
int WaveRenderMain(const std::vector<std::string>& Args, TRenderHost& Host, std::FILE* Out, std::FILE* Err);

}  // namespace qel::waverender
