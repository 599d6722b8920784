#include "platform/d3d9/soft/TexelFormats.h"

#include <cstring>

namespace qel::soft {
namespace {

struct TLayout {
  int Bytes;
  // Widths and positions from bit 0: blue, green, red, alpha.
  int BlueBits, GreenBits, RedBits, AlphaBits;
};

bool Layout(D3DFORMAT Format, TLayout& L) {
  switch (Format) {
    case D3DFMT_R3G3B2: L = {1, 2, 3, 3, 0}; return true;
    case D3DFMT_R5G6B5: L = {2, 5, 6, 5, 0}; return true;
    case D3DFMT_X8R8G8B8: L = {4, 8, 8, 8, 0}; return true;
    case D3DFMT_X1R5G5B5: L = {2, 5, 5, 5, 0}; return true;
    case D3DFMT_X4R4G4B4: L = {2, 4, 4, 4, 0}; return true;
    case D3DFMT_A8R8G8B8: L = {4, 8, 8, 8, 8}; return true;
    case D3DFMT_A1R5G5B5: L = {2, 5, 5, 5, 1}; return true;
    case D3DFMT_A4R4G4B4: L = {2, 4, 4, 4, 4}; return true;
    case D3DFMT_A8R3G3B2: L = {2, 2, 3, 3, 8}; return true;
    case D3DFMT_A8: L = {1, 0, 0, 0, 8}; return true;
    default: return false;
  }
}

std::uint32_t Expand(std::uint32_t Value, int Bits) {
  if (Bits == 0) return 255;
  const std::uint32_t Max = (1u << Bits) - 1;
  return (Value * 255 + Max / 2) / Max;
}

}  // namespace

int TexelBytes(D3DFORMAT Format) {
  TLayout L;
  return Layout(Format, L) ? L.Bytes : 0;
}

void DecodeTexels(D3DFORMAT Format, const std::uint8_t* Source, std::uint32_t* Dest, int Count) {
  TLayout L;
  if (!Layout(Format, L)) return;
  if (Format == D3DFMT_A8R8G8B8) {
    std::memcpy(Dest, Source, static_cast<std::size_t>(Count) * 4);
    return;
  }
  if (Format == D3DFMT_A8) {
    for (int i = 0; i < Count; ++i) Dest[i] = (std::uint32_t{Source[i]} << 24) | 0x00FFFFFFu;
    return;
  }
  for (int i = 0; i < Count; ++i, Source += L.Bytes) {
    std::uint32_t Raw = 0;
    for (int b = 0; b < L.Bytes; ++b) Raw |= std::uint32_t{Source[b]} << (8 * b);
    int Shift = 0;
    auto Take = [&](int Bits) {
      const std::uint32_t V = Bits ? (Raw >> Shift) & ((1u << Bits) - 1) : 0;
      Shift += Bits;
      return Expand(V, Bits);
    };
    const std::uint32_t B = Take(L.BlueBits), G = Take(L.GreenBits), R = Take(L.RedBits);
    const std::uint32_t A = Take(L.AlphaBits);
    Dest[i] = (A << 24) | (R << 16) | (G << 8) | B;
  }
}

}  // namespace qel::soft
