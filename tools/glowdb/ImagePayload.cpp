#include "tools/glowdb/ImagePayload.h"

#include <algorithm>

#include "engine/images/ImagePayload.h"
#include "engine/images/LineConversion.h"
#include "framework/Streams.h"

namespace qel {

namespace {

// Larger payloads would not fit the archive's 32-bit sizes with room to spare.
constexpr std::int64_t MaxPayload = std::int64_t(1) << 30;
constexpr int MaxSide = 16384;

bool InRange(TPoint S) { return S.X > 0 && S.Y > 0 && S.X <= MaxSide && S.Y <= MaxSide; }

}  // namespace

bool BuildImagePayload(const TArgbPicture& Picture, const TImageLayout& Layout, std::vector<std::uint8_t>& Payload,
                       std::string& Error) {
  const TARGBLineConverter Encode = ARGBLineConverter(Layout.Format);
  if (!Encode) return Error = "no pixel format to write", false;
  if (!InRange(Layout.Pattern) || !InRange(Layout.Visible) || !InRange(Layout.Texture))
    return Error = "pattern, visible and texture sizes must be 1 ... 16384", false;
  const TPoint Pattern = Layout.Pattern, Texture = Layout.Texture;
  const int Columns = Picture.Width / Pattern.X, Rows = Picture.Height / Pattern.Y;
  if (Columns < 1 || Rows < 1) return Error = "the picture is smaller than one pattern", false;
  const int PerRow = Texture.X / Pattern.X, PerColumn = Texture.Y / Pattern.Y;
  if (PerRow < 1 || PerColumn < 1) return Error = "a texture cannot hold one pattern", false;
  const std::int64_t Count = std::int64_t(Columns) * Rows, PerTexture = std::int64_t(PerRow) * PerColumn;

  TImagePayloadHeader Header;
  Header.Format = Layout.Format;
  Header.PatternSize = Pattern;
  Header.VisibleSize = Layout.Visible;
  Header.PatternCount = static_cast<std::int32_t>(Count);
  Header.TextureSize = Texture;
  Header.TextureCount = static_cast<std::int32_t>((Count + PerTexture - 1) / PerTexture);
  const std::int64_t PixelBytes = ImagePayloadPixelBytes(Header);
  if (PixelBytes < 0 || PixelBytes > MaxPayload) return Error = "the image payload would exceed 1 GB", false;

  TMemoryStream Out;
  WriteImagePayloadHeader(Out, Header);
  std::vector<std::uint32_t> Page(static_cast<std::size_t>(Texture.X) * Texture.Y);
  std::vector<std::uint8_t> Row(static_cast<std::size_t>(Texture.X) * FormatBytes(Layout.Format));
  for (std::int64_t T = 0; T < Header.TextureCount; ++T) {
    std::fill(Page.begin(), Page.end(), 0u);  // cells without a pattern stay transparent black
    for (std::int64_t Slot = 0; Slot < PerTexture && T * PerTexture + Slot < Count; ++Slot) {
      const std::int64_t K = T * PerTexture + Slot;
      const int SX = static_cast<int>(K % Columns) * Pattern.X, SY = static_cast<int>(K / Columns) * Pattern.Y;
      const int DX = static_cast<int>(Slot % PerRow) * Pattern.X, DY = static_cast<int>(Slot / PerRow) * Pattern.Y;
      for (int Y = 0; Y < Pattern.Y; ++Y)
        for (int X = 0; X < Pattern.X; ++X)
          Page[static_cast<std::size_t>(DY + Y) * Texture.X + DX + X] = Picture.At(SX + X, SY + Y);
    }
    for (int Y = 0; Y < Texture.Y; ++Y) {
      Encode(Page.data() + static_cast<std::size_t>(Y) * Texture.X, Row.data(), Texture.X);
      Out.WriteBuffer(Row.data(), static_cast<std::int64_t>(Row.size()));
    }
  }
  Payload = Out.Bytes();
  return true;
}

}  // namespace qel
