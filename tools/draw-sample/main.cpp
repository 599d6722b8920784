// draw-sample: one frame of the drawing operations, rendered on the software device and
// written as PNG.  Usage: draw-sample [OUT.png]
#include <cstdio>
#include <memory>
#include <string>

#include "engine/archive/GlowDb.h"
#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "engine/images/GlowImages.h"
#include "platform/d3d9/soft/Presentation.h"
#include "platform/resources/EmbeddedResources.h"
#include "tools/common/Png.h"
#include "tools/draw-sample/SampleScene.h"

using namespace qel;

int main(int argc, char** argv) {
  const std::string Out = argc > 1 ? argv[1] : "draw-sample.png";
  auto Root = std::make_unique<TComponent>(nullptr);
  TGlowDevice* Device = Create<TGlowDevice>(Root.get());
  Device->SetWidth(640);
  Device->SetHeight(480);
  Device->SetWindowHandle(1);
  TGlowCanvas* Canvas = Create<TGlowCanvas>(Root.get());
  Canvas->SetPublisher(Device);
  Canvas->SetAlphaTesting(false);
  TGlowImages* Images = Create<TGlowImages>(Root.get());
  Images->SetPublisher(Device);
  TGlowFonts* Fonts = Create<TGlowFonts>(Root.get());
  Fonts->SetPublisher(Device);
  Fonts->SetCanvas(Canvas);

  const void* Data = nullptr;
  std::int64_t Size = 0;
  if (!FindEmbeddedResource("glowdb", Data, Size)) {
    std::fprintf(stderr, "draw-sample: the artwork archive is not in this program\n");
    return 1;
  }
  TGlowDb* Db = Create<TGlowDb>(Root.get());
  Db->OpenStream(new TResourceStream(Data, Size));
  if (!Device->Initialize()) {
    std::fprintf(stderr, "draw-sample: the software device did not start\n");
    return 1;
  }
  if (!Images->LoadFromGlowDb(*Db) || !Fonts->LoadFromGlowDb(*Db)) {
    std::fprintf(stderr, "draw-sample: the artwork archive did not load\n");
    return 1;
  }
  const TSampleScene Scene{Canvas, Fonts, Images->Find("bg"), Images->Find("tex")};
  Device->SetOnRender([&](TObject*) { DrawSampleScene(Scene); });
  if (!Device->Render(0xFF000000u, true)) {
    std::fprintf(stderr, "draw-sample: rendering failed\n");
    return 1;
  }
  soft::TFrame Frame;
  if (!soft::ReadBackBuffer(Direct3DDevice.Get(), Frame)) {
    std::fprintf(stderr, "draw-sample: the back buffer cannot be read\n");
    return 1;
  }
  TArgbPicture Picture{Frame.Width, Frame.Height, Frame.Pixels};
  for (std::uint32_t& P : Picture.Pixels) P |= 0xFF000000u;  // the frame is opaque
  std::string Error;
  if (!SavePng(Out, Picture, Error)) {
    std::fprintf(stderr, "draw-sample: %s\n", Error.c_str());
    return 1;
  }
  std::printf("%s: %d x %d\n", Out.c_str(), Picture.Width, Picture.Height);
  return 0;
}
