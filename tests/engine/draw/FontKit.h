#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/LittleEndian.h"
#include "engine/images/ImagePayload.h"
#include "framework/Streams.h"
#include "platform/resources/EmbeddedResources.h"
#include "tests/support/MemoryArchive.h"

namespace qel::testing {

// An image payload of opaque white 8 x 8 cells with a 6 x 6 visible part, Count patterns
// on one 32 x 8 A8R8G8B8 texture (four cells).
inline std::vector<std::uint8_t> CellImagePayload(int Count) {
  TMemoryStream S;
  TImagePayloadHeader H;
  H.Format = cfA8R8G8B8;
  H.PatternSize = {8, 8};
  H.VisibleSize = {6, 6};
  H.PatternCount = Count;
  H.TextureSize = {32, 8};
  H.TextureCount = 1;
  WriteImagePayloadHeader(S, H);
  const std::vector<std::uint8_t> Pixels(32 * 8 * 4, 0xFF);
  S.WriteBuffer(Pixels.data(), static_cast<std::int64_t>(Pixels.size()));
  return S.Bytes();
}

// A font record payload: the glyph table header, one entry per advance (height 6), and the
// image. GlyphCount is written as given, so it may disagree with the table.
inline std::vector<std::uint8_t> FontPayload(std::int32_t First, std::int32_t Spacing,
                                             const std::vector<std::int32_t>& Advances, std::int32_t GlyphCount,
                                             const std::vector<std::uint8_t>& Image) {
  std::vector<std::uint8_t> P(16 + Advances.size() * 8);
  le::Store32(P.data(), static_cast<std::uint32_t>(First));
  le::Store32(P.data() + 4, static_cast<std::uint32_t>(Spacing));
  le::Store32(P.data() + 12, static_cast<std::uint32_t>(GlyphCount));
  for (std::size_t I = 0; I < Advances.size(); ++I) {
    le::Store32(P.data() + 16 + 8 * I, static_cast<std::uint32_t>(Advances[I]));
    le::Store32(P.data() + 20 + 8 * I, 6);
  }
  P.insert(P.end(), Image.begin(), Image.end());
  return P;
}

// The font "ABCD": first character 'A', spacing 1, advances 5, 6, 7, 8.
inline std::vector<std::uint8_t> AbcdFont() { return FontPayload('A', 1, {5, 6, 7, 8}, 4, CellImagePayload(4)); }

// The artwork archive the program carries.
inline TGlowDb* EmbeddedArchive(TComponent* Owner) {
  const void* Data = nullptr;
  std::int64_t Size = 0;
  if (!FindEmbeddedResource("glowdb", Data, Size)) return nullptr;
  TGlowDb* Db = Create<TGlowDb>(Owner);
  Db->OpenStream(new TResourceStream(Data, Size));
  return Db;
}

}  // namespace qel::testing
