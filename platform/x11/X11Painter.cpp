#include "platform/x11/X11Painter.h"

#include <algorithm>

namespace qel::x11 {
namespace {

constexpr std::uint32_t WindowText = 0x000000;

}  // namespace

TPainter::TPainter(Display* D, Window Target, Visual* V, Colormap Map, int Depth)
    : FDisplay(D), FWindow(Target), FVisual(V), FColormap(Map), FDepth(Depth) {
  FGC = XCreateGC(D, Target, 0, nullptr);
  XSetGraphicsExposures(D, FGC, False);
}

TPainter::~TPainter() {
  if (FDraw) XftDrawDestroy(FDraw);
  if (FPicture) XFreePixmap(FDisplay, FPicture);
  for (auto& [Key, Font] : FFonts)
    if (Font) XftFontClose(FDisplay, Font);
  for (auto& [Rgb, C] : FColours) XftColorFree(FDisplay, FVisual, FColormap, &C);
  XFreeGC(FDisplay, FGC);
}

XftColor* TPainter::Colour(std::uint32_t Rgb) {
  auto It = FColours.find(Rgb);
  if (It != FColours.end()) return &It->second;
  XRenderColor R;
  R.red = static_cast<unsigned short>((Rgb >> 16 & 0xFF) * 0x101);
  R.green = static_cast<unsigned short>((Rgb >> 8 & 0xFF) * 0x101);
  R.blue = static_cast<unsigned short>((Rgb & 0xFF) * 0x101);
  R.alpha = 0xFFFF;
  XftColor C{};
  XftColorAllocValue(FDisplay, FVisual, FColormap, &R, &C);
  return &FColours.emplace(Rgb, C).first->second;
}

XftFont* TPainter::FontFor(const TFont& Font) {
  const auto Key = std::make_tuple(Font.Name, Font.Height, Font.Bold);
  auto It = FFonts.find(Key);
  if (It != FFonts.end()) return It->second;
  XftFont* F = XftFontOpen(FDisplay, DefaultScreen(FDisplay), XFT_FAMILY, XftTypeString, "DejaVu Sans", XFT_FAMILY,
                           XftTypeString, "sans-serif", XFT_PIXEL_SIZE, XftTypeDouble,
                           static_cast<double>(std::max(Font.Height, 1)), XFT_WEIGHT, XftTypeInteger,
                           Font.Bold ? XFT_WEIGHT_BOLD : XFT_WEIGHT_MEDIUM, nullptr);
  FFonts[Key] = F;
  return F;
}

void TPainter::Begin(int Width, int Height) {
  Width = std::max(Width, 1);
  Height = std::max(Height, 1);
  if (!FPicture || Width != FWidth || Height != FHeight) {
    if (FDraw) XftDrawDestroy(FDraw);
    if (FPicture) XFreePixmap(FDisplay, FPicture);
    FPicture = XCreatePixmap(FDisplay, FWindow, static_cast<unsigned>(Width), static_cast<unsigned>(Height),
                             static_cast<unsigned>(FDepth));
    FDraw = XftDrawCreate(FDisplay, FPicture, FVisual, FColormap);
    FWidth = Width;
    FHeight = Height;
  }
  Fill(0, 0, Width, Height, posix::ButtonFace);
}

void TPainter::Fill(int X, int Y, int W, int H, std::uint32_t Rgb) {
  if (W > 0 && H > 0) XftDrawRect(FDraw, Colour(Rgb), X, Y, static_cast<unsigned>(W), static_cast<unsigned>(H));
}

void TPainter::Text(int X, int Y, const std::string& Caption, const TFont& Font) {
  XftFont* F = FontFor(Font);
  if (!F) return;
  XftDrawStringUtf8(FDraw, Colour(WindowText), F, X, Y + F->ascent, reinterpret_cast<const FcChar8*>(Caption.data()),
                    static_cast<int>(Caption.size()));
}

int TPainter::TextWidth(const std::string& Caption, const TFont& Font) {
  XftFont* F = FontFor(Font);
  if (!F) return 0;
  XGlyphInfo Extents{};
  XftTextExtentsUtf8(FDisplay, F, reinterpret_cast<const FcChar8*>(Caption.data()), static_cast<int>(Caption.size()),
                     &Extents);
  return Extents.xOff;
}

int TPainter::TextHeight(const TFont& Font) {
  XftFont* F = FontFor(Font);
  return F ? F->ascent + F->descent : 0;
}

void TPainter::End() {
  XCopyArea(FDisplay, FPicture, FWindow, FGC, 0, 0, static_cast<unsigned>(FWidth), static_cast<unsigned>(FHeight), 0,
            0);
  XFlush(FDisplay);
}

}  // namespace qel::x11
