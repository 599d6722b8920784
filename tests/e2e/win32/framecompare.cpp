// framecompare: the figures the fidelity test reports, per pair of pictures of one size.
//
//   framecompare frames A.png B.png          A against B
//   framecompare r5g6b5 DESKTOP.png FRAME.png  FRAME against DESKTOP as a 16-bit texture holds it
//
// Prints "PIXELS EQUAL WITHIN1 WITHIN2 MAX": pixel counts whose largest channel difference
// is 0, at most 1, at most 2, and the largest difference of all. Exit status 2 on bad input.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/common/Png.h"

namespace {

int Channel(std::uint32_t P, int Shift) { return static_cast<int>(P >> Shift & 0xFF); }

// The texture keeps the high Bits of the channel; drawing it widens them back to 8 bits
// rounded to nearest, as both devices read a UNORM texel.
int ThroughTexture(int V, int Bits) {
  const int Max = (1 << Bits) - 1;
  return ((V >> (8 - Bits)) * 255 + Max / 2) / Max;
}

std::uint32_t R5G6B5(std::uint32_t P) {
  return static_cast<std::uint32_t>(ThroughTexture(Channel(P, 16), 5) << 16 | ThroughTexture(Channel(P, 8), 6) << 8 |
                                    ThroughTexture(Channel(P, 0), 5));
}

bool Load(const char* File, qel::TArgbPicture& Picture) {
  std::string Error;
  if (qel::LoadPng(File, Picture, Error)) return true;
  std::fprintf(stderr, "framecompare: %s: %s\n", File, Error.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string Mode = argc == 4 ? argv[1] : "";
  if (Mode != "frames" && Mode != "r5g6b5") {
    std::fprintf(stderr, "usage: framecompare frames|r5g6b5 A.png B.png\n");
    return 2;
  }
  qel::TArgbPicture A, B;
  if (!Load(argv[2], A) || !Load(argv[3], B)) return 2;
  if (A.Width != B.Width || A.Height != B.Height) {
    std::fprintf(stderr, "framecompare: %dx%d against %dx%d\n", A.Width, A.Height, B.Width, B.Height);
    return 2;
  }
  long long Within[3] = {};
  int Max = 0;
  for (std::size_t I = 0; I < A.Pixels.size(); ++I) {
    const std::uint32_t P = Mode == "r5g6b5" ? R5G6B5(A.Pixels[I]) : A.Pixels[I], Q = B.Pixels[I];
    const int Diff = std::max({std::abs(Channel(P, 16) - Channel(Q, 16)), std::abs(Channel(P, 8) - Channel(Q, 8)),
                               std::abs(Channel(P, 0) - Channel(Q, 0))});
    for (int T = Diff; T < 3; ++T) ++Within[T];
    Max = std::max(Max, Diff);
  }
  std::printf("%zu %lld %lld %lld %d\n", A.Pixels.size(), Within[0], Within[1], Within[2], Max);
  return 0;
}
