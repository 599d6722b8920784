#include "engine/images/LineConversion.h"

#include <array>
#include <bit>
#include <cstring>
#include <type_traits>

namespace qel {

namespace {

// Pixels are read and written byte-wise little-endian, so rows need no alignment and the
// result does not depend on the host's byte order.
template <int Bytes>
std::uint32_t LoadPixel(const std::uint8_t* P) {
  if constexpr (Bytes == 1) {
    return P[0];
  } else if constexpr (Bytes == 2) {
    return P[0] | (std::uint32_t{P[1]} << 8);
  } else {
    return P[0] | (std::uint32_t{P[1]} << 8) | (std::uint32_t{P[2]} << 16) | (std::uint32_t{P[3]} << 24);
  }
}

template <int Bytes>
void StorePixel(std::uint8_t* P, std::uint32_t V) {
  P[0] = static_cast<std::uint8_t>(V);
  if constexpr (Bytes >= 2) P[1] = static_cast<std::uint8_t>(V >> 8);
  if constexpr (Bytes == 4) {
    P[2] = static_cast<std::uint8_t>(V >> 16);
    P[3] = static_cast<std::uint8_t>(V >> 24);
  }
}

// Expansion of an n-bit channel value to 8 bits: round(v * 255 / (2^n - 1)). The divisor is
// odd or divides 255, so no value falls on a half.
constexpr std::array<std::uint8_t, 256> ExpansionTable(int Bits) {
  std::array<std::uint8_t, 256> Table{};
  const int Max = (1 << Bits) - 1;
  for (int V = 0; V <= Max; ++V) Table[V] = static_cast<std::uint8_t>((V * 255 * 2 + Max) / (2 * Max));
  return Table;
}

constexpr std::array<std::array<std::uint8_t, 256>, 9> Expand = {
    std::array<std::uint8_t, 256>{}, ExpansionTable(1), ExpansionTable(2), ExpansionTable(3), ExpansionTable(4),
    ExpansionTable(5), ExpansionTable(6), ExpansionTable(7), ExpansionTable(8),
};

template <int Bits>
std::uint32_t ExpandChannel(std::uint32_t Value, int Shift) {
  if constexpr (Bits == 0) {
    (void)Value;
    (void)Shift;
    return 255;
  } else {
    return Expand[Bits][(Value >> Shift) & ((1u << Bits) - 1)];
  }
}

// The generic decoder: split the little-endian pixel into blue, green, red, alpha from bit 0
// upwards and expand each channel.
template <int Bytes, int B, int G, int R, int A>
void DecodeChannels(const void* Source, void* Dest, int Count) {
  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  for (int I = 0; I < Count; ++I, S += Bytes, D += 4) {
    std::uint32_t V = 0;
    if constexpr (Bytes > 0) V = LoadPixel<Bytes>(S);
    StorePixel<4>(D, ExpandChannel<B>(V, 0) | (ExpandChannel<G>(V, B) << 8) | (ExpandChannel<R>(V, B + G) << 16) |
                         (ExpandChannel<A>(V, B + G + R) << 24));
  }
}

void DecodeOpaque32(const void* Source, void* Dest, int Count) {
  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  for (int I = 0; I < Count; ++I, S += 4, D += 4) StorePixel<4>(D, LoadPixel<4>(S) | 0xFF000000u);
}

void DecodeAlphaOnly(const void* Source, void* Dest, int Count) {
  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  for (int I = 0; I < Count; ++I, D += 4) StorePixel<4>(D, (std::uint32_t{S[I]} << 24) | 0x00FFFFFFu);
}

// Encoders: each keeps the high bits of every channel (truncation) and packs them. Rows go
// in blocks through small local arrays, which lets the compiler use vector instructions
// without having to prove that source and destination do not overlap.
template <int Bytes, std::uint32_t (*Pack)(std::uint32_t)>
void EncodeRow(const void* Source, void* Dest, int Count) {
  static_assert(std::endian::native == std::endian::little, "block copies assume little-endian pixels");
  using TOut = std::conditional_t<Bytes == 1, std::uint8_t, std::conditional_t<Bytes == 2, std::uint16_t, std::uint32_t>>;
  constexpr int Block = 16;
  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  int I = 0;
  for (; I + Block <= Count; I += Block) {
    std::uint32_t In[Block];
    TOut Out[Block];
    std::memcpy(In, S + static_cast<std::size_t>(I) * 4, sizeof(In));
    for (int K = 0; K < Block; ++K) Out[K] = static_cast<TOut>(Pack(In[K]));
    std::memcpy(D + static_cast<std::size_t>(I) * Bytes, Out, sizeof(Out));
  }
  for (; I < Count; ++I) StorePixel<Bytes>(D + static_cast<std::size_t>(I) * Bytes, Pack(LoadPixel<4>(S + static_cast<std::size_t>(I) * 4)));
}

constexpr std::uint32_t PackR3G3B2(std::uint32_t P) { return ((P >> 16) & 0xE0) | ((P >> 11) & 0x1C) | ((P >> 6) & 0x03); }
constexpr std::uint32_t PackR5G6B5(std::uint32_t P) {
  return ((P >> 8) & 0xF800) | ((P >> 5) & 0x07E0) | ((P >> 3) & 0x001F);
}
constexpr std::uint32_t PackX8R8G8B8(std::uint32_t P) { return P | 0xFF000000u; }
constexpr std::uint32_t PackX1R5G5B5(std::uint32_t P) {
  return ((P >> 9) & 0x7C00) | ((P >> 6) & 0x03E0) | ((P >> 3) & 0x001F);
}
constexpr std::uint32_t PackX4R4G4B4(std::uint32_t P) {
  return ((P >> 12) & 0x0F00) | ((P >> 8) & 0x00F0) | ((P >> 4) & 0x000F);
}
constexpr std::uint32_t PackA1R5G5B5(std::uint32_t P) { return ((P >> 16) & 0x8000) | PackX1R5G5B5(P); }
constexpr std::uint32_t PackA4R4G4B4(std::uint32_t P) { return ((P >> 16) & 0xF000) | PackX4R4G4B4(P); }
constexpr std::uint32_t PackA8R3G3B2(std::uint32_t P) { return ((P >> 16) & 0xFF00) | PackR3G3B2(P); }
constexpr std::uint32_t PackA2R2G2B2(std::uint32_t P) {
  return ((P >> 24) & 0xC0) | ((P >> 18) & 0x30) | ((P >> 12) & 0x0C) | ((P >> 6) & 0x03);
}
constexpr std::uint32_t PackA8(std::uint32_t P) { return P >> 24; }

void CopyARGB(const void* Source, void* Dest, int Count) {
  if (Count > 0) std::memcpy(Dest, Source, static_cast<std::size_t>(Count) * 4);
}

}  // namespace

void LineToARGB(const void* Source, void* Dest, int Count, TColorFormat Code) {
  if (Count <= 0) return;
  switch (Code) {
    case cfA8R8G8B8: return CopyARGB(Source, Dest, Count);
    case cfX8R8G8B8: return DecodeOpaque32(Source, Dest, Count);
    case cfA8: return DecodeAlphaOnly(Source, Dest, Count);
    case cfR3G3B2: return DecodeChannels<1, 2, 3, 3, 0>(Source, Dest, Count);
    case cfR5G6B5: return DecodeChannels<2, 5, 6, 5, 0>(Source, Dest, Count);
    case cfX1R5G5B5: return DecodeChannels<2, 5, 5, 5, 0>(Source, Dest, Count);
    case cfX4R4G4B4: return DecodeChannels<2, 4, 4, 4, 0>(Source, Dest, Count);
    case cfA1R5G5B5: return DecodeChannels<2, 5, 5, 5, 1>(Source, Dest, Count);
    case cfA4R4G4B4: return DecodeChannels<2, 4, 4, 4, 4>(Source, Dest, Count);
    case cfA8R3G3B2: return DecodeChannels<2, 2, 3, 3, 8>(Source, Dest, Count);
    case cfA2R2G2B2: return DecodeChannels<1, 2, 2, 2, 2>(Source, Dest, Count);
    default: return DecodeChannels<0, 0, 0, 0, 0>(Source, Dest, Count);  // no channels: opaque white
  }
}

TARGBLineConverter ARGBLineConverter(TColorFormat Code) {
  switch (Code) {
    case cfR3G3B2: return EncodeRow<1, PackR3G3B2>;
    case cfR5G6B5: return EncodeRow<2, PackR5G6B5>;
    case cfX8R8G8B8: return EncodeRow<4, PackX8R8G8B8>;
    case cfX1R5G5B5: return EncodeRow<2, PackX1R5G5B5>;
    case cfX4R4G4B4: return EncodeRow<2, PackX4R4G4B4>;
    case cfA8R8G8B8: return CopyARGB;
    case cfA1R5G5B5: return EncodeRow<2, PackA1R5G5B5>;
    case cfA4R4G4B4: return EncodeRow<2, PackA4R4G4B4>;
    case cfA8R3G3B2: return EncodeRow<2, PackA8R3G3B2>;
    case cfA2R2G2B2: return EncodeRow<1, PackA2R2G2B2>;
    case cfA8: return EncodeRow<1, PackA8>;
    default: return nullptr;
  }
}

bool SameLayout(TColorFormat A, TColorFormat B) {
  if (A == B) return true;
  const auto Pair = [&](TColorFormat X, TColorFormat Y) { return (A == X && B == Y) || (A == Y && B == X); };
  return Pair(cfX4R4G4B4, cfA4R4G4B4) || Pair(cfX8R8G8B8, cfA8R8G8B8);
}

}  // namespace qel
