#include "engine/images/ImagePayload.h"

#include "framework/LittleEndian.h"
#include "engine/images/PatternLayout.h"

namespace qel {

namespace {

std::int32_t LoadInt(const std::uint8_t* P) { return static_cast<std::int32_t>(le::Load32(P)); }
void StoreInt(std::uint8_t* P, std::int32_t V) { le::Store32(P, static_cast<std::uint32_t>(V)); }

}  // namespace

bool ReadImagePayloadHeader(TStream& Stream, TImagePayloadHeader& Header) {
  std::uint8_t B[ImagePayloadHeaderSize];
  if (!Stream.ReadBuffer(B, sizeof(B))) return false;
  Header.Format = static_cast<TColorFormat>(B[0]);
  Header.PatternSize = {LoadInt(B + 1), LoadInt(B + 5)};
  Header.VisibleSize = {LoadInt(B + 9), LoadInt(B + 13)};
  Header.PatternCount = LoadInt(B + 17);
  Header.TextureSize = {LoadInt(B + 21), LoadInt(B + 25)};
  Header.TextureCount = LoadInt(B + 29);
  return true;
}

bool WriteImagePayloadHeader(TStream& Stream, const TImagePayloadHeader& Header) {
  std::uint8_t B[ImagePayloadHeaderSize];
  B[0] = Header.Format;
  StoreInt(B + 1, Header.PatternSize.X);
  StoreInt(B + 5, Header.PatternSize.Y);
  StoreInt(B + 9, Header.VisibleSize.X);
  StoreInt(B + 13, Header.VisibleSize.Y);
  StoreInt(B + 17, Header.PatternCount);
  StoreInt(B + 21, Header.TextureSize.X);
  StoreInt(B + 25, Header.TextureSize.Y);
  StoreInt(B + 29, Header.TextureCount);
  return Stream.WriteBuffer(B, sizeof(B));
}

std::int64_t ImagePayloadPixelBytes(const TImagePayloadHeader& Header) {
  if (Header.TextureSize.X < 0 || Header.TextureSize.Y < 0 || Header.TextureCount < 0) return -1;
  // Each factor is below 2^31 and a pixel has at most 4 bytes: the first two products fit,
  // the last is checked by division.
  const std::int64_t Texture = std::int64_t{Header.TextureSize.X} * Header.TextureSize.Y * FormatBytes(Header.Format);
  if (Header.TextureCount != 0 && Texture > INT64_MAX / Header.TextureCount) return -1;
  return Texture * Header.TextureCount;
}

bool IsLoadableImagePayload(const TImagePayloadHeader& Header, std::int64_t BytesLeft, TPoint MaxTextureSize) {
  if (!IsKnownFormat(Header.Format)) return false;
  if (Header.TextureSize.X < 1 || Header.TextureSize.Y < 1 || Header.TextureCount < 0) return false;
  TPatternLayout Layout;
  if (!LayOutPatterns(Header.TextureSize, Header.PatternSize, Header.VisibleSize, Layout)) return false;
  // No textures: an empty image, ready but with nothing to draw, whatever its counts say.
  if (Header.TextureCount == 0) return true;
  if (Header.TextureSize.X > MaxTextureSize.X || Header.TextureSize.Y > MaxTextureSize.Y) return false;
  if (Header.PatternCount > 0 &&
      std::int64_t{Header.PatternCount} > std::int64_t{Layout.PatternsPerTexture} * Header.TextureCount)
    return false;
  const std::int64_t PixelBytes = ImagePayloadPixelBytes(Header);
  return PixelBytes >= 0 && PixelBytes <= BytesLeft;
}

}  // namespace qel
