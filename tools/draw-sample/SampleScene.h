#pragma once

namespace qel {

class TGlowCanvas;
class TGlowFonts;
class TGlowImage;

// Everything the sample frame draws with.
struct TSampleScene {
  TGlowCanvas* Canvas = nullptr;
  TGlowFonts* Fonts = nullptr;
  TGlowImage* Clouds = nullptr;  // "bg"
  TGlowImage* Strip = nullptr;   // "tex"
};

// Draws the sample frame on a 640 x 480 target: the three blend effects over known
// backgrounds, a ribbon of the strip, and both fonts in every style.
void DrawSampleScene(const TSampleScene& Scene);

}  // namespace qel
