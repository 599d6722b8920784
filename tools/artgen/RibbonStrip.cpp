#include "tools/artgen/RibbonStrip.h"

#include <cstdint>

namespace qel {

TArgbPicture MakeRibbonStrip() {
  // Alpha of rows 0 ... 73; the rows below are transparent.
  static const std::uint8_t Alpha[74] = {
      0,   177, 225, 255, 255, 255, 255, 255, 253, 251, 249, 246, 243, 241, 238, 235, 232, 228, 225,
      221, 218, 214, 210, 206, 202, 198, 194, 190, 185, 181, 176, 172, 167, 163, 158, 154, 149, 144,
      139, 135, 130, 125, 120, 116, 111, 106, 101, 97,  92,  88,  83,  79,  74,  70,  65,  61,  57,
      53,  49,  45,  41,  37,  34,  30,  27,  23,  20,  17,  14,  12,  9,   6,   4,   2};
  TArgbPicture P;
  P.Width = 32;
  P.Height = 128;
  P.Pixels.resize(32 * 128);
  for (int Y = 0; Y < P.Height; ++Y) {
    const std::uint32_t A = Y < 74 ? Alpha[Y] : 0;
    for (int X = 0; X < P.Width; ++X) P.At(X, Y) = A << 24 | 0x00FFFFFFu;
  }
  return P;
}

}  // namespace qel
