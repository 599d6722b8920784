// wave-render: the screensaver on a virtual clock, without a screen, writing its frames as
// pictures. This build runs it on the headless platform, drawing on the software device, or
// on the GL device with --renderer gl (or auto, on a hardware GL driver).
#include <string>
#include <vector>

#include "platform/d3d9/gl/RendererChoice.h"
#include "tools/wave-render/HeadlessHost.h"

int main(int argc, char** argv) {
  qel::waverender::THeadlessHost Host;
  Host.ChooseRenderer = [](const std::string& Name, std::string& Error) {
    qel::gl::TRenderer Renderer = qel::gl::TRenderer::Soft;
    std::string Chosen;
    return qel::gl::ParseRenderer(Name, Renderer) && qel::gl::ChooseRenderer(Renderer, Chosen, Error);
  };
  return qel::waverender::WaveRenderMain(std::vector<std::string>(argv + 1, argv + argc), Host, stdout, stderr);
}
