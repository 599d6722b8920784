#include "platform/x11/X11Visual.h"

namespace qel::x11 {
namespace {

// A channel value of Bits bits widened to 8 bits, repeating its high bits below.
std::uint32_t Widen(unsigned long Value, int Bits) {
  if (Bits <= 0) return 0;
  if (Bits >= 8) return static_cast<std::uint32_t>(Value >> (Bits - 8)) & 0xFF;
  std::uint32_t V = static_cast<std::uint32_t>(Value) << (8 - Bits);
  for (int Have = Bits; Have < 8; Have += Bits) V |= V >> Have;
  return V & 0xFF;
}

}  // namespace

TChannelMasks::TChannel TChannelMasks::Describe(unsigned long Mask) {
  TChannel C;
  C.Mask = Mask;
  if (!Mask) return C;
  while (!((Mask >> C.Shift) & 1)) ++C.Shift;
  while ((Mask >> (C.Shift + C.Bits)) & 1) ++C.Bits;
  return C;
}

TChannelMasks::TChannelMasks(const Visual* V) {
  if (!V) return;
  FRed = Describe(V->red_mask);
  FGreen = Describe(V->green_mask);
  FBlue = Describe(V->blue_mask);
  FPlain = V->red_mask == 0xFF0000 && V->green_mask == 0xFF00 && V->blue_mask == 0xFF;
}

std::uint32_t TChannelMasks::ToXrgb(unsigned long Pixel) const {
  const auto Get = [Pixel](const TChannel& C) { return Widen((Pixel & C.Mask) >> C.Shift, C.Bits); };
  return Get(FRed) << 16 | Get(FGreen) << 8 | Get(FBlue);
}

unsigned long TChannelMasks::FromXrgb(std::uint32_t Xrgb) const {
  const auto Put = [](std::uint32_t Value8, const TChannel& C) -> unsigned long {
    if (C.Bits <= 0) return 0;
    const unsigned long V = C.Bits >= 8 ? static_cast<unsigned long>(Value8) << (C.Bits - 8) : Value8 >> (8 - C.Bits);
    return (V << C.Shift) & C.Mask;
  };
  return Put(Xrgb >> 16 & 0xFF, FRed) | Put(Xrgb >> 8 & 0xFF, FGreen) | Put(Xrgb & 0xFF, FBlue);
}

}  // namespace qel::x11
