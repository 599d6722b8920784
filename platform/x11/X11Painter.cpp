#include "platform/x11/X11Painter.h"

#include <algorithm>

namespace qel::x11 {
namespace {

constexpr std::uint32_t ButtonFace = 0xF0F0F0;
constexpr std::uint32_t Highlight = 0xFFFFFF;
constexpr std::uint32_t Light = 0xE3E3E3;
constexpr std::uint32_t Shadow = 0xA0A0A0;
constexpr std::uint32_t DarkShadow = 0x696969;
constexpr std::uint32_t WindowText = 0x000000;
constexpr std::uint32_t ErrorRed = 0xD32F2F;

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
  Fill(0, 0, Width, Height, ButtonFace);
}

void TPainter::Fill(int X, int Y, int W, int H, std::uint32_t Rgb) {
  if (W > 0 && H > 0) XftDrawRect(FDraw, Colour(Rgb), X, Y, static_cast<unsigned>(W), static_cast<unsigned>(H));
}

void TPainter::Edge(int X, int Y, int W, int H, std::uint32_t TopLeft, std::uint32_t BottomRight) {
  Fill(X, Y, W, 1, TopLeft);
  Fill(X, Y, 1, H, TopLeft);
  Fill(X, Y + H - 1, W, 1, BottomRight);
  Fill(X + W - 1, Y, 1, H, BottomRight);
}

void TPainter::RaisedPanel(int X, int Y, int W, int H) { Edge(X, Y, W, H, Highlight, Shadow); }

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

void TPainter::Button(int X, int Y, int W, int H, const std::string& Caption, const TFont& Font, bool Pressed,
                      bool Focused) {
  if (Pressed) {
    Edge(X, Y, W, H, DarkShadow, Highlight);
    Edge(X + 1, Y + 1, W - 2, H - 2, Shadow, Light);
  } else {
    Edge(X, Y, W, H, Highlight, DarkShadow);
    Edge(X + 1, Y + 1, W - 2, H - 2, Light, Shadow);
  }
  if (XftFont* F = FontFor(Font)) {
    const int Shift = Pressed ? 1 : 0;
    const int TextH = F->ascent + F->descent;
    Text(X + (W - TextWidth(Caption, Font)) / 2 + Shift, Y + (H - TextH) / 2 + Shift, Caption, Font);
  }
  if (Focused) {
    // The dotted focus rectangle inside the border.
    const int L = X + 3, T = Y + 3, R = X + W - 4, B = Y + H - 4;
    for (int i = L; i <= R; i += 2) {
      Fill(i, T, 1, 1, WindowText);
      Fill(i, B, 1, 1, WindowText);
    }
    for (int i = T; i <= B; i += 2) {
      Fill(L, i, 1, 1, WindowText);
      Fill(R, i, 1, 1, WindowText);
    }
  }
}

void TPainter::ErrorMark(int X, int Y, int Size) {
  XSetForeground(FDisplay, FGC, Colour(ErrorRed)->pixel);
  XFillArc(FDisplay, FPicture, FGC, X, Y, static_cast<unsigned>(Size), static_cast<unsigned>(Size), 0, 360 * 64);
  XSetForeground(FDisplay, FGC, Colour(Highlight)->pixel);
  XSetLineAttributes(FDisplay, FGC, static_cast<unsigned>(std::max(Size / 10, 2)), LineSolid, CapRound, JoinRound);
  const int A = Size * 3 / 10, B = Size - A;
  XDrawLine(FDisplay, FPicture, FGC, X + A, Y + A, X + B, Y + B);
  XDrawLine(FDisplay, FPicture, FGC, X + B, Y + A, X + A, Y + B);
}

void TPainter::End() {
  XCopyArea(FDisplay, FPicture, FWindow, FGC, 0, 0, static_cast<unsigned>(FWidth), static_cast<unsigned>(FHeight), 0,
            0);
  XFlush(FDisplay);
}

}  // namespace qel::x11
