// wave-render for Windows: the same program, drawing through the system's Direct3D 9. The
// screen, the desktop picture and the manual clock are the headless platform's; the device
// draws into a hidden window of the screen's size and the frames are read back from it.
#include <string>
#include <vector>

#include "platform/win32/Win32OffscreenPlatform.h"
#include "tools/wave-render/HeadlessHost.h"

int main(int argc, char** argv) {
  qel::waverender::THeadlessHostOf<qel::TWin32OffscreenPlatform> Host;
  return qel::waverender::WaveRenderMain(std::vector<std::string>(argv + 1, argv + argc), Host, stdout, stderr);
}
