// wave-render: the screensaver on a virtual clock, without a screen, writing its frames as
// pictures. This build runs it on the headless platform, drawing on the software device.
#include <string>
#include <vector>

#include "tools/wave-render/HeadlessHost.h"

int main(int argc, char** argv) {
  qel::waverender::THeadlessHost Host;
  return qel::waverender::WaveRenderMain(std::vector<std::string>(argv + 1, argv + argc), Host, stdout, stderr);
}
