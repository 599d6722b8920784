#include "tools/wave-render/BuiltInDesktop.h"

#include <algorithm>
#include <cstdint>

namespace qel::waverender {
namespace {

struct TRgb {
  int R, G, B;
};

class TPainter {
 public:
  TPainter(TBitmap& B, int W, int H) : FB(B), FW(W), FH(H) {}

  void Put(int X, int Y, TRgb C) {
    if (X < 0 || Y < 0 || X >= FW || Y >= FH) return;
    reinterpret_cast<std::uint32_t*>(FB.ScanLine(Y))[X] =
        static_cast<std::uint32_t>(C.R) << 16 | static_cast<std::uint32_t>(C.G) << 8 | static_cast<std::uint32_t>(C.B);
  }
  void Fill(int X0, int Y0, int X1, int Y1, TRgb C) {
    for (int Y = std::max(0, Y0); Y < std::min(FH, Y1); ++Y)
      for (int X = std::max(0, X0); X < std::min(FW, X1); ++X) Put(X, Y, C);
  }
  // Darkens what is there, for shadows.
  void Shade(int X0, int Y0, int X1, int Y1) {
    for (int Y = std::max(0, Y0); Y < std::min(FH, Y1); ++Y)
      for (int X = std::max(0, X0); X < std::min(FW, X1); ++X) {
        std::uint32_t& P = reinterpret_cast<std::uint32_t*>(FB.ScanLine(Y))[X];
        P = (P >> 1) & 0x7F7F7F;
      }
  }

 private:
  TBitmap& FB;
  int FW, FH;
};

// A fixed sequence of numbers for the text-like marks.
struct TMarks {
  std::uint32_t State;
  int Next(int N) {
    State = State * 1103515245u + 12345u;
    return static_cast<int>((State >> 16) % static_cast<std::uint32_t>(N));
  }
};

// Lines of "words" between X0 and X1, from Y0 down to Y1.
void Text(TPainter& P, int X0, int Y0, int X1, int Y1, int Unit, TRgb Ink, std::uint32_t Seed) {
  TMarks M{Seed};
  const int LineH = 16 * Unit, CharW = 6 * Unit, MarkH = 7 * Unit;
  for (int Y = Y0; Y + LineH <= Y1; Y += LineH) {
    const int End = X1 - (M.Next(4) == 0 ? (X1 - X0) / 2 : 0);  // some lines stop early
    for (int X = X0 + (M.Next(6) == 0 ? 4 * CharW : 0); X < End;) {
      const int Word = (2 + M.Next(8)) * CharW;
      P.Fill(X, Y + (LineH - MarkH) / 2, std::min(X + Word, End), Y + (LineH + MarkH) / 2, Ink);
      X += Word + CharW;
    }
  }
}

struct TWindowLook {
  TRgb Title, TitleText, Client, Ink;
  std::uint32_t Seed;
};

void Window(TPainter& P, int X0, int Y0, int X1, int Y1, int Unit, const TWindowLook& L) {
  const int Bar = 26 * Unit;
  P.Shade(X0 + 8 * Unit, Y0 + 8 * Unit, X1 + 8 * Unit, Y1 + 8 * Unit);
  P.Fill(X0, Y0, X1, Y1, TRgb{90, 90, 100});
  P.Fill(X0 + Unit, Y0 + Unit, X1 - Unit, Y0 + Bar, L.Title);
  // Title and the minimise, maximise and close buttons.
  P.Fill(X0 + 10 * Unit, Y0 + 9 * Unit, X0 + std::min(160 * Unit, (X1 - X0) / 3), Y0 + 17 * Unit, L.TitleText);
  const TRgb Buttons[3] = {{200, 200, 200}, {200, 200, 200}, {220, 70, 60}};
  for (int i = 0; i < 3; ++i) {
    const int Right = X1 - Unit - 6 * Unit - i * 22 * Unit;
    P.Fill(Right - 16 * Unit, Y0 + 6 * Unit, Right, Y0 + 20 * Unit, Buttons[2 - i]);
  }
  P.Fill(X0 + Unit, Y0 + Bar, X1 - Unit, Y1 - Unit, L.Client);
  Text(P, X0 + 14 * Unit, Y0 + Bar + 10 * Unit, X1 - 14 * Unit, Y1 - 10 * Unit, Unit, L.Ink, L.Seed);
}

}  // namespace

void PaintBuiltInDesktop(TBitmap& Bitmap, int W, int H) {
  Bitmap.SetSize(W, H, TPixelFormat::pf32bit);
  if (W < 1 || H < 1) return;
  TPainter P(Bitmap, W, H);
  const int Unit = std::max(1, std::min(W / 640, H / 360));

  // Wallpaper: deep blue at the top left to teal at the bottom right.
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X) {
      const int T = static_cast<int>((std::int64_t{X} * 255 / W + std::int64_t{Y} * 255 / H) / 2);
      P.Put(X, Y, TRgb{18 + T * 20 / 255, 36 + T * 90 / 255, 88 + T * 60 / 255});
    }

  // Icons down the left edge, each with its label.
  const TRgb Icons[4] = {{240, 200, 80}, {90, 170, 240}, {120, 200, 110}, {230, 110, 90}};
  for (int i = 0; i < 4; ++i) {
    const int X = 20 * Unit, Y = 20 * Unit + i * 80 * Unit;
    P.Fill(X + 6 * Unit, Y, X + 42 * Unit, Y + 36 * Unit, Icons[i]);
    P.Fill(X, Y + 44 * Unit, X + 48 * Unit, Y + 50 * Unit, TRgb{230, 230, 235});
  }

  // Windows, back to front: a terminal, a text editor, a browser.
  Window(P, W * 8 / 100, H * 52 / 100, W * 42 / 100, H * 86 / 100, Unit,
         TWindowLook{{50, 50, 56}, {190, 190, 190}, {12, 12, 14}, {90, 220, 110}, 7});
  Window(P, W * 20 / 100, H * 10 / 100, W * 62 / 100, H * 62 / 100, Unit,
         TWindowLook{{40, 90, 200}, {240, 240, 250}, {250, 250, 248}, {60, 60, 70}, 11});
  const int BX0 = W * 50 / 100, BY0 = H * 28 / 100, BX1 = W * 94 / 100, BY1 = H * 84 / 100;
  Window(P, BX0, BY0, BX1, BY1, Unit, TWindowLook{{70, 130, 110}, {235, 245, 240}, {238, 240, 244}, {70, 70, 80}, 23});
  // The browser's page: a coloured banner and a picture beside its text.
  P.Fill(BX0 + Unit, BY0 + 26 * Unit, BX1 - Unit, BY0 + 70 * Unit, TRgb{200, 90, 60});
  P.Fill(BX0 + 14 * Unit, BY0 + 40 * Unit, BX0 + 140 * Unit, BY0 + 56 * Unit, TRgb{250, 235, 225});
  P.Fill(BX1 - (BX1 - BX0) / 3, BY0 + 84 * Unit, BX1 - 14 * Unit, BY0 + 84 * Unit + (BY1 - BY0) / 3,
         TRgb{110, 160, 210});

  // Task bar with its start button and clock.
  const int Bar = 36 * Unit;
  P.Fill(0, H - Bar, W, H, TRgb{30, 32, 40});
  P.Fill(6 * Unit, H - Bar + 6 * Unit, 30 * Unit, H - 6 * Unit, TRgb{70, 140, 230});
  for (int i = 0; i < 3; ++i)
    P.Fill(44 * Unit + i * 150 * Unit, H - Bar + 6 * Unit, 184 * Unit + i * 150 * Unit, H - 6 * Unit,
           i == 1 ? TRgb{70, 76, 92} : TRgb{52, 56, 68});
  P.Fill(W - 70 * Unit, H - Bar + 14 * Unit, W - 16 * Unit, H - 14 * Unit, TRgb{220, 220, 225});
}

}  // namespace qel::waverender
