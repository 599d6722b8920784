#include "tools/artgen/Clouds.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/Random.h"

namespace qel {
namespace {

// One octave of value noise: random values on a lattice of the given period, blended with
// a smooth curve so no lattice lines show. The lattice does not wrap, so the picture's
// edges do not match up.
class TValueNoise {
 public:
  TValueNoise(int Width, int Height, int Period) : FPeriod(Period), FColumns(Width / Period + 2) {
    const int Rows = Height / Period + 2;
    FValues.resize(static_cast<std::size_t>(FColumns) * Rows);
    for (double& V : FValues) V = Random(65536) / 65535.0;
  }

  double At(int X, int Y) const {
    const double FX = double(X) / FPeriod, FY = double(Y) / FPeriod;
    const int X0 = static_cast<int>(FX), Y0 = static_cast<int>(FY);
    const double SX = Smooth(FX - X0), SY = Smooth(FY - Y0);
    const double Top = Lerp(Value(X0, Y0), Value(X0 + 1, Y0), SX);
    const double Bottom = Lerp(Value(X0, Y0 + 1), Value(X0 + 1, Y0 + 1), SX);
    return Lerp(Top, Bottom, SY);
  }

 private:
  static double Smooth(double T) { return T * T * T * (T * (T * 6 - 15) + 10); }
  static double Lerp(double A, double B, double T) { return A + (B - A) * T; }
  double Value(int X, int Y) const { return FValues[static_cast<std::size_t>(Y) * FColumns + X]; }

  int FPeriod;
  int FColumns;
  std::vector<double> FValues;
};

}  // namespace

TArgbPicture MakeClouds(int Width, int Height, std::uint64_t Seed, int Low, int High, double Mean) {
  RandSeed(Seed);
  struct TOctave {
    int Period;
    double Weight;
  };
  const TOctave Octaves[] = {{64, 1.0}, {32, 0.5}, {16, 0.25}, {8, 0.12}, {4, 0.05}};
  std::vector<TValueNoise> Noise;
  for (const TOctave& O : Octaves) Noise.emplace_back(Width, Height, O.Period);

  std::vector<double> T(static_cast<std::size_t>(Width) * Height);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width; ++X) {
      double Sum = 0;
      for (std::size_t i = 0; i < Noise.size(); ++i) Sum += Octaves[i].Weight * Noise[i].At(X, Y);
      T[static_cast<std::size_t>(Y) * Width + X] = Sum;
    }
  // Stretch to 0 ... 1, then bend with a power curve until the mean grey is where it should be.
  const auto [MinIt, MaxIt] = std::minmax_element(T.begin(), T.end());
  const double Min = *MinIt, Span = std::max(*MaxIt - Min, 1e-9);
  for (double& V : T) V = (V - Min) / Span;
  const auto MeanGrey = [&](double Gamma) {
    double Sum = 0;
    for (double V : T) Sum += std::round(Low + (High - Low) * std::pow(V, Gamma));
    return Sum / double(T.size());
  };
  double GammaLow = 0.1, GammaHigh = 10.0;
  for (int i = 0; i < 60; ++i) {
    const double Mid = std::sqrt(GammaLow * GammaHigh);
    (MeanGrey(Mid) > Mean ? GammaLow : GammaHigh) = Mid;
  }
  const double Gamma = std::sqrt(GammaLow * GammaHigh);

  TArgbPicture P;
  P.Width = Width;
  P.Height = Height;
  P.Pixels.resize(T.size());
  for (std::size_t i = 0; i < T.size(); ++i) {
    const auto Grey = static_cast<std::uint32_t>(std::round(Low + (High - Low) * std::pow(T[i], Gamma)));
    P.Pixels[i] = 0xFF000000u | Grey << 16 | Grey << 8 | Grey;
  }
  return P;
}

}  // namespace qel
