#pragma once
#include <cstdint>
#include <string>

#include "framework/Platform.h"

namespace qel::posix {

constexpr std::uint32_t ButtonFace = 0xF0F0F0;  // 0xRRGGBB, as the classic controls have it

// Where the classic controls are drawn: a picture of a window's size that a platform fills
// with rectangles and text, and shows at End. The controls' looks (raised panels, push
// buttons with their focus rectangle) are drawn the same way on every such canvas.
class TControlCanvas {
 public:
  virtual ~TControlCanvas() = default;
  // Starts a picture of the window's size filled with the button-face colour.
  virtual void Begin(int Width, int Height) = 0;
  virtual void Fill(int X, int Y, int W, int H, std::uint32_t Rgb) = 0;
  virtual void Text(int X, int Y, const std::string& Caption, const TFont& Font) = 0;  // Y: top of the text
  virtual int TextWidth(const std::string& Caption, const TFont& Font) = 0;
  virtual int TextHeight(const TFont& Font) = 0;  // ascent and descent
  // Shows the picture.
  virtual void End() = 0;

  void RaisedPanel(int X, int Y, int W, int H);
  void Button(int X, int Y, int W, int H, const std::string& Caption, const TFont& Font, bool Pressed, bool Focused);
  // The error mark: a white cross on a red disc of Size pixels across.
  void ErrorMark(int X, int Y, int Size);

 private:
  void Edge(int X, int Y, int W, int H, std::uint32_t TopLeft, std::uint32_t BottomRight);
};

// The button that has the keyboard focus: the visible button of the lowest tab order.
const TControlParams* FocusedButton(const TWindowParams& Window);
// The button under a point of the client area, or nullptr.
const TControlParams* ButtonAt(const TWindowParams& Window, int X, int Y);
// Draws a form's controls; Pressed is the Id of a button held down (0: none).
void PaintControls(TControlCanvas& Canvas, const TWindowParams& Window, std::uintptr_t Pressed);

}  // namespace qel::posix
