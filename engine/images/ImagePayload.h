#pragma once
#include <cstdint>

#include "engine/images/ColorFormats.h"
#include "engine/images/IntPoint.h"
#include "framework/Streams.h"

namespace qel {

// The 33-byte header of an image payload (little-endian, 32-bit signed integers after the
// format byte). The pixel data follows: for each texture, its rows top to bottom, each row
// TextureSize.X pixels of FormatBytes(Format) bytes, no padding.
struct TImagePayloadHeader {
  TColorFormat Format = cfUnknown;
  TPoint PatternSize;
  TPoint VisibleSize;
  std::int32_t PatternCount = 0;
  TPoint TextureSize;
  std::int32_t TextureCount = 0;
};

inline constexpr int ImagePayloadHeaderSize = 33;

// Reads the header at the stream's position; False on a short read.
bool ReadImagePayloadHeader(TStream& Stream, TImagePayloadHeader& Header);
// Writes the header at the stream's position; False when not all 33 bytes were written.
bool WriteImagePayloadHeader(TStream& Stream, const TImagePayloadHeader& Header);

// Bytes of pixel data the header announces; -1 when that is more than an int64 holds.
std::int64_t ImagePayloadPixelBytes(const TImagePayloadHeader& Header);

// Whether a payload with this header can be loaded before anything is created for it: a
// known format, textures of at least 1 x 1 and cells that fit them (sizes below 1 meaning the
// texture's); unless the texture count is 0 (an empty image), textures of at most
// MaxTextureSize, no more patterns than they hold, and pixel data that fits in the BytesLeft
// bytes after the header.
bool IsLoadableImagePayload(const TImagePayloadHeader& Header, std::int64_t BytesLeft, TPoint MaxTextureSize);

}  // namespace qel
