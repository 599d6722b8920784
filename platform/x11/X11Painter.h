#pragma once
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include <map>
#include <string>
#include <tuple>

#include "framework/Controls.h"

namespace qel::x11 {

// Draws the classic controls (raised panels, labels, push buttons, the error mark) into a
// window through an off-screen picture, so a repaint never flickers. Text is drawn with Xft:
// a sans-serif font found through fontconfig (DejaVu Sans where installed) stands in for the
// framework's "MS Sans Serif", at the font's character height in pixels.
class TPainter {
 public:
  TPainter(Display* D, Window Target, Visual* V, Colormap Map, int Depth);
  ~TPainter();
  TPainter(const TPainter&) = delete;
  TPainter& operator=(const TPainter&) = delete;

  // Starts a picture of the window's size filled with the button-face colour.
  void Begin(int Width, int Height);
  void RaisedPanel(int X, int Y, int W, int H);
  void Text(int X, int Y, const std::string& Caption, const TFont& Font);  // Y: top of the text
  // Width of a caption in pixels.
  int TextWidth(const std::string& Caption, const TFont& Font);
  void Button(int X, int Y, int W, int H, const std::string& Caption, const TFont& Font, bool Pressed, bool Focused);
  void ErrorMark(int X, int Y, int Size);
  // Shows the picture.
  void End();

 private:
  XftFont* FontFor(const TFont& Font);
  XftColor* Colour(std::uint32_t Rgb);
  void Fill(int X, int Y, int W, int H, std::uint32_t Rgb);
  void Edge(int X, int Y, int W, int H, std::uint32_t TopLeft, std::uint32_t BottomRight);

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
