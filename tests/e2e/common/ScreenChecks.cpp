#include "tests/e2e/common/ScreenChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace qel::e2e {
namespace {

int Channel(std::uint32_t P, int Shift) { return static_cast<int>(P >> Shift & 0xFF); }

int ChannelDiff(std::uint32_t A, std::uint32_t B) {
  return std::max({std::abs(Channel(A, 16) - Channel(B, 16)), std::abs(Channel(A, 8) - Channel(B, 8)),
                   std::abs(Channel(A, 0) - Channel(B, 0))});
}

// 8 bits cut to Bits and widened back by repeating the high bits.
int Quantised(int V, int Bits) {
  const int Cut = V >> (8 - Bits);
  return (Cut << (8 - Bits)) | (Cut >> (2 * Bits - 8));
}

std::uint32_t Rgb(std::uint32_t P) { return P & 0xFFFFFF; }

// The share of pixels within Tolerance of the desktop picture in 5/6/5 bits (or, with
// OrOriginal, also those still showing the picture itself), and the largest difference.
double QuantisedMatch(const TArgbPicture& S, int Tolerance, bool OrOriginal, int& Worst) {
  long Good = 0;
  Worst = 0;
  for (int Y = 0; Y < S.Height; ++Y)
    for (int X = 0; X < S.Width; ++X) {
      const std::uint32_t P = Rgb(S.At(X, Y)), Want = DesktopPixel(X, Y);
      if (OrOriginal && P == Want) {
        ++Good;
        continue;
      }
      const std::uint32_t Cut = static_cast<std::uint32_t>(Quantised(Channel(Want, 16), 5) << 16 |
                                                           Quantised(Channel(Want, 8), 6) << 8 |
                                                           Quantised(Channel(Want, 0), 5));
      const int Diff = ChannelDiff(P, Cut);
      Worst = std::max(Worst, Diff);
      Good += Diff <= Tolerance;
    }
  return static_cast<double>(Good) / (static_cast<double>(S.Width) * S.Height);
}

double Luma(std::uint32_t P) { return 0.299 * Channel(P, 16) + 0.587 * Channel(P, 8) + 0.114 * Channel(P, 0); }

std::string Format(const char* Pattern, auto... Values) {
  char Text[512];
  std::snprintf(Text, sizeof Text, Pattern, Values...);
  return Text;
}

}  // namespace

std::uint32_t DesktopPixel(int X, int Y) {
  const bool Light = LightCell(X, Y);
  const int Tweak = (X * 7 + Y * 3) & 7;
  const int R = Light ? 0xE3 - Tweak : 0x2D + Tweak;
  const int G = Light ? 0xC5 + Tweak : 0x4B - Tweak;
  const int B = Light ? 0xAB - Tweak : 0x1F + Tweak;
  return static_cast<std::uint32_t>(R << 16 | G << 8 | B);
}

bool LightCell(int X, int Y) { return ((X / 64) + (Y / 64)) % 2 == 0; }

bool ShowsDesktop(const TArgbPicture& Shot) {
  long Samples = 0, Other = 0;
  for (int Y = 0; Y < Shot.Height; Y += 3)
    for (int X = 0; X < Shot.Width; X += 5) {
      ++Samples;
      Other += Rgb(Shot.At(X, Y)) != DesktopPixel(X, Y);
    }
  return Other * 1000 <= Samples;  // a pointer drawn into the shot may hide a little of it
}

bool IsFirstFrame(const TArgbPicture& Shot, std::string& Report) {
  int Worst = 0, WorstWhole = 0;
  const double Changed = 1.0 - QuantisedMatch(Shot, -1, true, Worst);
  const double Match = QuantisedMatch(Shot, 2, true, Worst);
  const double Whole = QuantisedMatch(Shot, 2, false, WorstWhole);
  Report = Format("%.2f %% of the screen changed, %.4f %% of pixels within 2 of the desktop in R5G6B5 or unchanged, "
                  "largest difference %d; %.4f %% within 2 of the R5G6B5 desktop",
                  Changed * 100, Match * 100, Worst, Whole * 100);
  // More than a pointer's worth of the screen, less than the first piece of a split picture.
  return Match >= 0.999 && Changed >= 0.01;
}

bool IsDimmedDesktop(const TArgbPicture& Shot, std::string& Report) {
  // The brightness that fits best, then how many pixels are the picture at that brightness.
  const auto Cut = [](int X, int Y, int Shift) { return Quantised(Channel(DesktopPixel(X, Y), Shift), Shift == 8 ? 6 : 5); };
  double Cross = 0, Square = 0;
  for (int Y = 0; Y < Shot.Height; ++Y)
    for (int X = 0; X < Shot.Width; ++X)
      for (int Shift : {16, 8, 0}) {
        Cross += Channel(Shot.At(X, Y), Shift) * Cut(X, Y, Shift);
        Square += Cut(X, Y, Shift) * Cut(X, Y, Shift);
      }
  const double Brightness = Square > 0 ? Cross / Square : 0;
  long Good = 0;
  for (int Y = 0; Y < Shot.Height; ++Y)
    for (int X = 0; X < Shot.Width; ++X) {
      double Worst = 0;
      for (int Shift : {16, 8, 0})
        Worst = std::max(Worst, std::abs(Channel(Shot.At(X, Y), Shift) - Brightness * Cut(X, Y, Shift)));
      Good += Worst <= 3.0;
    }
  const double Share = static_cast<double>(Good) / (static_cast<double>(Shot.Width) * Shot.Height);
  Report = Format("%.4f %% of pixels within 3 of the desktop in R5G6B5 at %.3f of its brightness", Share * 100,
                  Brightness);
  return Share >= 0.999 && Brightness >= 0.5;
}

bool IsWave(const TArgbPicture& Shot, std::string& Report) {
  // The desktop picture's own contrast: light cells (first 64 pixels) against dark ones.
  double Desk[2] = {0, 0};
  for (int X = 0; X < 128; ++X) Desk[LightCell(X, 0)] += Luma(DesktopPixel(X, 0)) / 64;
  const double Picture = Desk[1] - Desk[0];
  // The desktop shows as the difference between its light and its dark cells; the wave
  // (clouds and ribbons) as light that varies within the cells, which the picture does not.
  const int Columns = (Shot.Width + 63) / 64, Rows = (Shot.Height + 63) / 64;
  std::vector<double> Sum(static_cast<std::size_t>(Columns * Rows)), Squares(Sum.size());
  std::vector<long> Count(Sum.size());
  double Kind[2] = {0, 0};
  long KindCount[2] = {0, 0};
  for (int Y = 0; Y < Shot.Height; Y += 2)
    for (int X = 0; X < Shot.Width; X += 2) {
      const double L = Luma(Shot.At(X, Y));
      const std::size_t Cell = static_cast<std::size_t>((Y / 64) * Columns + X / 64);
      Sum[Cell] += L;
      Squares[Cell] += L * L;
      ++Count[Cell];
      Kind[LightCell(X, Y)] += L;
      ++KindCount[LightCell(X, Y)];
    }
  const double Contrast = Kind[1] / static_cast<double>(KindCount[1]) - Kind[0] / static_cast<double>(KindCount[0]);
  // Over the tenth of the cells that vary most: the ribbons cross a band of the screen whose
  // share is smaller the taller the screen.
  std::vector<double> Spreads(Sum.size());
  for (std::size_t i = 0; i < Sum.size(); ++i) {
    const double Mean = Sum[i] / static_cast<double>(Count[i]);
    Spreads[i] = std::sqrt(std::max(0.0, Squares[i] / static_cast<double>(Count[i]) - Mean * Mean));
  }
  std::sort(Spreads.begin(), Spreads.end(), std::greater<>());
  const std::size_t Tenth = std::max<std::size_t>(1, Spreads.size() / 10);
  double Spread = 0;
  for (std::size_t i = 0; i < Tenth; ++i) Spread += Spreads[i] / static_cast<double>(Tenth);
  Report = Format("light and dark cells of the desktop %.1f apart (%.1f in the picture), brightness varying by %.1f "
                  "in the tenth of the cells varying most",
                  Contrast, Picture, Spread);
  // A quarter of the picture stays (opacity 63 of 255) once the first wave is under way.
  return Contrast < 0.27 * Picture && Spread > 7;
}

bool IsBlack(const TArgbPicture& Shot, std::string& Report) {
  const int Band = Shot.Height / 10;
  long Lit = 0, LitAtEdges = 0;
  for (int Y = 0; Y < Shot.Height; ++Y)
    for (int X = 0; X < Shot.Width; ++X) {
      const bool Light = ChannelDiff(Shot.At(X, Y), 0) > 8;
      Lit += Light;
      LitAtEdges += Light && (Y < Band || Y >= Shot.Height - Band);
    }
  const double Share = static_cast<double>(Lit) / static_cast<double>(Shot.Pixels.size());
  const double EdgeShare = static_cast<double>(LitAtEdges) / (2.0 * Band * Shot.Width);
  Report = Format("%.4f %% of pixels not black, %.4f %% in the top and bottom tenths", Share * 100, EdgeShare * 100);
  return Share <= 0.5 && EdgeShare <= 0.001;
}

double ChangedShare(const TArgbPicture& A, const TArgbPicture& B, int Tolerance) {
  long Changed = 0;
  for (std::size_t i = 0; i < A.Pixels.size() && i < B.Pixels.size(); ++i)
    Changed += ChannelDiff(A.Pixels[i], B.Pixels[i]) > Tolerance;
  return static_cast<double>(Changed) / static_cast<double>(std::max<std::size_t>(1, A.Pixels.size()));
}

}  // namespace qel::e2e
