#include "tools/draw-sample/SampleScene.h"

#include <cmath>
#include <numbers>
#include <string>

#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "engine/images/GlowImage.h"

namespace qel {

namespace {

constexpr std::int32_t Replace = 1, AlphaBlend = 1284, Multiply = 512, AddLight = 260;

// Three panels of 200 x 150, one per effect, each on a background that shows what the
// effect does to what lies under it.
void DrawEffectPanels(const TSampleScene& S) {
  TGlowCanvas& C = *S.Canvas;
  // Alpha blending over red, green and blue bars: a white quad fading out to the right and
  // a half-transparent yellow one.
  for (int Bar = 0; Bar < 3; ++Bar)
    C.FillRect({10, 30 + Bar * 50, 210, 80 + Bar * 50}, Color4(0xFF000000u | (0xC0u << (8 * Bar))), Replace);
  C.FillQuad(Bounds4(30, 40, 160, 50), Color4Corners(0xFFFFFFFFu, 0x00FFFFFFu, 0x00FFFFFFu, 0xFFFFFFFFu), AlphaBlend);
  C.FillQuad(Bounds4(60, 110, 100, 60), Color4(0x8000FFFFu), AlphaBlend);

  // Multiplying: a light grey to white gradient darkened by the cloud picture, tinted blue
  // in its right half.
  C.FillQuad(Bounds4(220, 30, 200, 150), Color4Corners(0xFFA0A0A0u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFA0A0A0u), Replace);
  C.TexMap(S.Clouds, Bounds4(220, 30, 100, 150), Color4(0xFFFFFFFFu), DefaultTexCoord, Multiply);
  C.TexMap(S.Clouds, Bounds4(320, 30, 100, 150), Color4(0xFFFFC080u), DefaultTexCoord, Multiply);

  // Additive light: red, green and blue squares of light on dark blue add up to near white
  // where all three meet.
  C.FillRect({430, 30, 630, 180}, Color4(0xFF401010u), Replace);
  const std::uint32_t Lights[3] = {0xC00000FFu, 0xC000FF00u, 0xC0FF0000u};
  const double Centres[3][2] = {{505, 85}, {555, 85}, {530, 125}};
  for (int L = 0; L < 3; ++L)
    C.FillQuad(Bounds4(Centres[L][0] - 40, Centres[L][1] - 40, 80, 80), Color4(Lights[L]), AddLight);
}

// A ribbon of the strip across the frame, as the wave draws it: quads of the strip image,
// bent along a sine, in additive light.
void DrawRibbon(const TSampleScene& S) {
  constexpr int Segments = 48;
  constexpr double Left = 10, Width = 620, Middle = 215, Amplitude = 14, Thickness = 44;
  for (int I = 0; I < Segments; ++I) {
    const double X0 = Left + Width * I / Segments, X1 = Left + Width * (I + 1) / Segments;
    const double Y0 = Middle + Amplitude * std::sin(X0 / 90), Y1 = Middle + Amplitude * std::sin(X1 / 90);
    const double H0 = Thickness * (0.6 + 0.4 * std::cos(X0 / 70)), H1 = Thickness * (0.6 + 0.4 * std::cos(X1 / 70));
    const TPoint4 Quad = Point4(X0, Y0 - H0 / 2, X1, Y1 - H1 / 2, X1, Y1 + H1 / 2, X0, Y0 + H0 / 2);
    S.Canvas->TexMap(S.Strip, Quad, Alpha4(0xE0), DefaultTexCoord, AddLight);
  }
}

void DrawFontSamples(TGlowFont& Font, double Top) {
  struct TLine {
    TFontStylesFx Style;
    const char* Text;
  };
  const TLine Lines[] = {
      {{}, "Plain: The quick brown fox 0123456789"},
      {{feBold}, "Bold: jumps over the lazy dog"},
      {{feItalic}, "Italic: !\"#%&'()*+,-./:;<=>?@[]"},
      {{feShadow}, "Shadow: dark drop two pixels down-right"},
  };
  double Y = Top;
  const double LineHeight = Font.Image()->VisibleSize().Y + 4;
  for (const TLine& L : Lines) {
    Font.SetStyle(L.Style);
    Font.TextOut(L.Text, 10, Y, 0xFFFFFFFFu);
    Y += LineHeight;
  }
  Font.SetStyle({feEmboss});
  Font.SetEmbossColor(0x00FFFFFFu);
  Font.TextOutEx("Emboss: pressed into the plate", 10, Y, 0xFF606060u, 0xFF606060u, AlphaBlend);
  Y += LineHeight;
  Font.SetStyle({});
  Font.TextOutEx("Tags: #$FF0000FFred top, &$FFFF0000blue bottom, 0xFF00FF00all green", 10, Y, 0xFFFFFFFFu,
                 0xFF00FFFFu, AlphaBlend);
}

}  // namespace

void DrawSampleScene(const TSampleScene& Scene) {
  DrawEffectPanels(Scene);
  DrawRibbon(Scene);
  // A plate under the text, so that dark shadows and light highlights both show.
  Scene.Canvas->FillRect({0, 245, 640, 480}, Color4Corners(0xFF603820u, 0xFF906848u, 0xFF906848u, 0xFF603820u),
                         Replace);
  TGlowFont* Small = Scene.Fonts->Items(0);
  TGlowFont* Large = Scene.Fonts->Items(1);
  if (Small) {
    Small->TextOut("1284 alpha blend", 14, 12, 0xFFFFFFFFu);
    Small->TextOut("512 multiply", 224, 12, 0xFFFFFFFFu);
    Small->TextOut("260 additive", 434, 12, 0xFFFFFFFFu);
    DrawFontSamples(*Small, 250);
  }
  if (Large) DrawFontSamples(*Large, 350);
}

}  // namespace qel
