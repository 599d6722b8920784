#pragma once
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <map>
#include <string>
#include <tuple>

#include "framework/Controls.h"
#include "platform/unix/ControlCanvas.h"

namespace qel::x11 {

// Draws the classic controls (raised panels, labels, push buttons, the error mark) into a
// window through an off-screen picture, so a repaint never flickers. Text is drawn with Xft:
// a sans-serif font found through fontconfig (DejaVu Sans where installed) stands in for the
// framework's "MS Sans Serif", at the font's character height in pixels.
class TPainter : public posix::TControlCanvas {
 public:
  TPainter(Display* D, Window Target, Visual* V, Colormap Map, int Depth);
  ~TPainter();
  TPainter(const TPainter&) = delete;
  TPainter& operator=(const TPainter&) = delete;

  void Begin(int Width, int Height) override;
  void Fill(int X, int Y, int W, int H, std::uint32_t Rgb) override;
  void Text(int X, int Y, const std::string& Caption, const TFont& Font) override;
  int TextWidth(const std::string& Caption, const TFont& Font) override;
  int TextHeight(const TFont& Font) override;
  void End() override;

 private:
  XftFont* FontFor(const TFont& Font);
  XftColor* Colour(std::uint32_t Rgb);

  Display* FDisplay;
  Window FWindow;
  Visual* FVisual;
  Colormap FColormap;
  int FDepth;
  GC FGC;
  Pixmap FPicture = None;
  int FWidth = 0, FHeight = 0;
  XftDraw* FDraw = nullptr;
  std::map<std::tuple<std::string, int, bool>, XftFont*> FFonts;
  std::map<std::uint32_t, XftColor> FColours;
};

}  // namespace qel::x11
