#include <string>

#include "app/FrameLayers.h"
#include "app/MainForm.h"
#include "framework/Events.h"

namespace qel {
namespace {

constexpr std::int32_t fxBlend = 1284;    // source over the frame by its alpha
constexpr std::int32_t fxMultiply = 512;  // the frame times the source colour
constexpr std::int32_t fxAddGlow = 260;   // the frame plus the source weighted by its alpha

}  // namespace

// One frame, drawn from the state before this event's processing steps. Without an
// initialised device Render and Flip do nothing.
void TMainForm::TimerTimer(TObject*) {
  D->Render(0xFF000000, true);
  Fire(FOnFrameRendered, this);
  Timer->Process();
  D->Flip();
}

// The tint, the clouds multiplied over it, the desktop, the frame rate when asked for, then
// the ribbons. Images are looked up by name once a frame; a missing one is not drawn.
void TMainForm::DRender(TObject*) {
  const int W = D->Width();
  const int H = D->Height();
  const double Fade = Wave.Fade;

  C->FillRect(TRect{0, 0, W, H}, ColorAlpha4(Wave.WaveColor, TintAlpha(Fade)), fxBlend);
  if (TGlowImage* Clouds = Tex->Find("bg"))
    C->TexMap(Clouds, Bounds4(0, 0, W, H), ColorAlpha4(Wave.WaveColor, CloudAlpha(Fade)), TexPattern(0), fxMultiply);
  if (DesktopImage)
    C->TexMap(DesktopImage.get(), Bounds4(0, 0, W, H), ColorAlpha4(0xFFFFFF, DesktopAlpha(Fade)), TexPattern(0),
              fxBlend);

  if (ShowFPS) {
    if (TGlowFont* Readout = Font->Items(0))
      Readout->TextOut("FPS:" + std::to_string(Timer->FrameRate()), 10.0, 10.0, 0x80FFFFFF);
  }

  TGlowImage* Strip = Tex->Find("tex");
  for (int i = 0; Strip && i < Wave.LayerCount; ++i) {
    const TWaveLayer& L = Wave.Layers[static_cast<std::size_t>(i)];
    const TColor4 Light = Alpha4(RibbonOpacity(L, Fade));
    ForEachRibbonQuad(L, Fade, W, [&](const TPoint4& Corners) { C->TexMap(Strip, Corners, Light, TexPattern(0), fxAddGlow); });
  }
}

}  // namespace qel
