#pragma once
#include <X11/Xlib.h>

#include <cstdint>

namespace qel::x11 {

// The channel layout of a TrueColor visual, for turning its pixels into 0x00RRGGBB words
// and back.
class TChannelMasks {
 public:
  explicit TChannelMasks(const Visual* V);

  // 8 bits per channel at the usual places: words can be copied as they are.
  bool IsPlainXrgb() const { return FPlain; }
  std::uint32_t ToXrgb(unsigned long Pixel) const;
  unsigned long FromXrgb(std::uint32_t Xrgb) const;

 private:
  struct TChannel {
    unsigned long Mask = 0;
    int Shift = 0;  // of the mask's lowest bit
    int Bits = 0;
  };
  static TChannel Describe(unsigned long Mask);
  TChannel FRed, FGreen, FBlue;
  bool FPlain = false;
};

}  // namespace qel::x11
