#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "engine/images/DXTextures.h"
#include "engine/images/ImagePayload.h"
#include "framework/Streams.h"
#include "tests/support/MemoryArchive.h"

namespace qel::test {

// The header of the smaller font's glyph image: 90 cells of 16 x 13 (15 x 12 drawn) on one
// 128 x 256 A4R4G4B4 texture.
inline TImagePayloadHeader SmallFontHeader() {
  TImagePayloadHeader H;
  H.Format = cfA4R4G4B4;
  H.PatternSize = {16, 13};
  H.VisibleSize = {15, 12};
  H.PatternCount = 90;
  H.TextureSize = {128, 256};
  H.TextureCount = 1;
  return H;
}

// An image payload: the header, then Pixels as they are.
inline std::vector<std::uint8_t> Payload(const TImagePayloadHeader& Header, const std::vector<std::uint8_t>& Pixels) {
  TMemoryStream S;
  WriteImagePayloadHeader(S, Header);
  S.WriteBuffer(Pixels.data(), static_cast<std::int64_t>(Pixels.size()));
  return S.Bytes();
}

// A payload of Count textures of Width x Height whose pixel bytes count up from Seed.
inline std::vector<std::uint8_t> CountingPayload(TColorFormat Format, int Width, int Height, int Count = 1,
                                                 std::uint8_t Seed = 1) {
  TImagePayloadHeader H;
  H.Format = Format;
  H.TextureSize = {Width, Height};
  H.TextureCount = Count;
  std::vector<std::uint8_t> Pixels(static_cast<std::size_t>(Width) * Height * Count * FormatBytes(Format));
  for (std::size_t I = 0; I < Pixels.size(); ++I) Pixels[I] = static_cast<std::uint8_t>(Seed + I);
  return Payload(H, Pixels);
}

// Texture Index's rows, Width * BytesPerTexel bytes each, without the pitch padding.
inline std::vector<std::uint8_t> TextureBytes(TDXMultiTexture& Texture, int Index, int BytesPerTexel) {
  std::vector<std::uint8_t> Bytes;
  TTextureLock Lock;
  if (!Texture.Lock(Index, LockReadOnly, Lock)) return Bytes;
  const std::size_t RowBytes = static_cast<std::size_t>(Texture.Size().X) * BytesPerTexel;
  for (int Y = 0; Y < Texture.Size().Y; ++Y) {
    const auto* Row = static_cast<const std::uint8_t*>(Lock.Bits) + static_cast<std::ptrdiff_t>(Y) * Lock.Pitch;
    Bytes.insert(Bytes.end(), Row, Row + RowBytes);
  }
  Texture.Unlock(Index);
  return Bytes;
}

// One texel as a little-endian integer.
inline std::uint32_t Texel(TDXMultiTexture& Texture, int Index, int X, int Y) {
  TTextureLock Lock;
  if (!Texture.Lock(Index, LockReadOnly, Lock)) return 0xDEADBEEF;
  const int Bytes = FormatBytes(Lock.Format);
  const auto* P = static_cast<const std::uint8_t*>(Lock.Bits) + static_cast<std::ptrdiff_t>(Y) * Lock.Pitch + X * Bytes;
  std::uint32_t V = 0;
  for (int I = 0; I < Bytes; ++I) V |= std::uint32_t{P[I]} << (8 * I);
  Texture.Unlock(Index);
  return V;
}

}  // namespace qel::test
