#include "engine/images/LineConversion.h"

#include <array>
#include <bit>
#include <cstring>

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

// Encoders: each keeps the high bits of every channel (truncation) and packs them. The pack
// rules are written once for a single pixel and for a vector of four: rows go sixteen pixels at
// a time through vector registers, where the compiler's portable vector types narrow the packed
// 32-bit lanes to the 16- or 8-bit texels.
using TVec32 = std::uint32_t __attribute__((vector_size(16)));
using TVec16 = std::uint16_t __attribute__((vector_size(16)));
using TVec8 = std::uint8_t __attribute__((vector_size(16)));

// The even and the odd pixels of A followed by B.
inline TVec32 Evens(TVec32 A, TVec32 B) { return __builtin_shufflevector(A, B, 0, 2, 4, 6); }
inline TVec32 Odds(TVec32 A, TVec32 B) { return __builtin_shufflevector(A, B, 1, 3, 5, 7); }
// The low halves of the lanes of A, then of B.
inline TVec16 Narrow(TVec32 A, TVec32 B) {
  return __builtin_shufflevector(std::bit_cast<TVec16>(A), std::bit_cast<TVec16>(B), 0, 2, 4, 6, 8, 10, 12,
                                 14);
}
inline TVec8 Narrow(TVec16 A, TVec16 B) {
  return __builtin_shufflevector(std::bit_cast<TVec8>(A), std::bit_cast<TVec8>(B), 0, 2, 4, 6, 8, 10, 12, 14,
                                 16, 18, 20, 22, 24, 26, 28, 30);
}

template <int Bytes, class TPack>
void EncodeRow(const void* Source, void* Dest, int Count) {
  static_assert(std::endian::native == std::endian::little, "vector lanes assume little-endian pixels");
  constexpr TPack Pack;
  const auto* S = static_cast<const std::uint8_t*>(Source);
  auto* D = static_cast<std::uint8_t*>(Dest);
  int I = 0;
  for (; I + 16 <= Count; I += 16) {
    const std::uint8_t* From = S + static_cast<std::size_t>(I) * 4;
    TVec32 P0, P1, P2, P3;
    std::memcpy(&P0, From, 16);
    std::memcpy(&P1, From + 16, 16);
    std::memcpy(&P2, From + 32, 16);
    std::memcpy(&P3, From + 48, 16);
    std::uint8_t* To = D + static_cast<std::size_t>(I) * Bytes;
    if constexpr (Bytes == 4) {
      P0 = Pack(P0);
      P1 = Pack(P1);
      P2 = Pack(P2);
      P3 = Pack(P3);
      std::memcpy(To, &P0, 16);
      std::memcpy(To + 16, &P1, 16);
      std::memcpy(To + 32, &P2, 16);
      std::memcpy(To + 48, &P3, 16);
    } else if constexpr (Bytes == 2) {
      // Packed values fit 16 bits: put each odd pixel above its even neighbour.
      const TVec32 Low = Pack(Evens(P0, P1)) | (Pack(Odds(P0, P1)) << 16);
      const TVec32 High = Pack(Evens(P2, P3)) | (Pack(Odds(P2, P3)) << 16);
      std::memcpy(To, &Low, 16);
      std::memcpy(To + 16, &High, 16);
    } else {
      const TVec8 Out = Narrow(Narrow(Pack(P0), Pack(P1)), Narrow(Pack(P2), Pack(P3)));
      std::memcpy(To, &Out, 16);
    }
  }
  for (; I < Count; ++I)
    StorePixel<Bytes>(D + static_cast<std::size_t>(I) * Bytes, Pack(LoadPixel<4>(S + static_cast<std::size_t>(I) * 4)));
}

// Each rule works on one pixel (std::uint32_t) or four (TVec32) alike.
struct TPackR3G3B2 {
  template <class T> constexpr T operator()(T P) const { return ((P >> 16) & 0xE0) | ((P >> 11) & 0x1C) | ((P >> 6) & 0x03); }
};
struct TPackR5G6B5 {
  template <class T> constexpr T operator()(T P) const {
    return ((P >> 8) & 0xF800) | ((P >> 5) & 0x07E0) | ((P >> 3) & 0x001F);
  }
};
struct TPackX8R8G8B8 {
  template <class T> constexpr T operator()(T P) const { return P | 0xFF000000u; }
};
struct TPackX1R5G5B5 {
  template <class T> constexpr T operator()(T P) const {
    return ((P >> 9) & 0x7C00) | ((P >> 6) & 0x03E0) | ((P >> 3) & 0x001F);
  }
};
struct TPackX4R4G4B4 {
  template <class T> constexpr T operator()(T P) const {
    return ((P >> 12) & 0x0F00) | ((P >> 8) & 0x00F0) | ((P >> 4) & 0x000F);
  }
};
struct TPackA1R5G5B5 {
  template <class T> constexpr T operator()(T P) const { return ((P >> 16) & 0x8000) | TPackX1R5G5B5()(P); }
};
struct TPackA4R4G4B4 {
  template <class T> constexpr T operator()(T P) const { return ((P >> 16) & 0xF000) | TPackX4R4G4B4()(P); }
};
struct TPackA8R3G3B2 {
  template <class T> constexpr T operator()(T P) const { return ((P >> 16) & 0xFF00) | TPackR3G3B2()(P); }
};
struct TPackA2R2G2B2 {
  template <class T> constexpr T operator()(T P) const {
    return ((P >> 24) & 0xC0) | ((P >> 18) & 0x30) | ((P >> 12) & 0x0C) | ((P >> 6) & 0x03);
  }
};
struct TPackA8 {
  template <class T> constexpr T operator()(T P) const { return P >> 24; }
};

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
    case cfR3G3B2: return EncodeRow<1, TPackR3G3B2>;
    case cfR5G6B5: return EncodeRow<2, TPackR5G6B5>;
    case cfX8R8G8B8: return EncodeRow<4, TPackX8R8G8B8>;
    case cfX1R5G5B5: return EncodeRow<2, TPackX1R5G5B5>;
    case cfX4R4G4B4: return EncodeRow<2, TPackX4R4G4B4>;
    case cfA8R8G8B8: return CopyARGB;
    case cfA1R5G5B5: return EncodeRow<2, TPackA1R5G5B5>;
    case cfA4R4G4B4: return EncodeRow<2, TPackA4R4G4B4>;
    case cfA8R3G3B2: return EncodeRow<2, TPackA8R3G3B2>;
    case cfA2R2G2B2: return EncodeRow<1, TPackA2R2G2B2>;
    case cfA8: return EncodeRow<1, TPackA8>;
    default: return nullptr;
  }
}

bool SameLayout(TColorFormat A, TColorFormat B) {
  if (A == B) return true;
  const auto Pair = [&](TColorFormat X, TColorFormat Y) { return (A == X && B == Y) || (A == Y && B == X); };
  return Pair(cfX4R4G4B4, cfA4R4G4B4) || Pair(cfX8R8G8B8, cfA8R8G8B8);
}

}  // namespace qel
