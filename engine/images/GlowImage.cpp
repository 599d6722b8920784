#include "engine/images/GlowImage.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/device/GlowDevices.h"
#include "engine/images/BitmapPatterns.h"
#include "engine/images/ImagePayload.h"
#include "engine/images/LineConversion.h"
#include "engine/images/PatternLayout.h"
#include "framework/AsciiText.h"

namespace qel {

namespace {

// The largest texture the device takes; nothing while there is no device.
TPoint MaxTextureSize() {
  if (!Direct3DDevice) return TPoint{0, 0};
  const auto Clamp = [](DWORD V) { return static_cast<std::int32_t>(std::min<DWORD>(V, INT_MAX)); };
  return TPoint{Clamp(DeviceCaps.MaxTextureWidth), Clamp(DeviceCaps.MaxTextureHeight)};
}

}  // namespace

void TGlowImage::SetName(const std::string& Value) { FName = Value; }

bool TGlowImage::HasName(std::string_view Value) const { return SameTextAscii(FName, Value); }

void TGlowImage::SetQuality(TGlowQuality Value) {
  if (State() == tsNone) FQuality = Value;
}

void TGlowImage::SetAlphaLevel(TAlphaLevel Value) {
  if (State() == tsNone) FAlphaLevel = Value;
}

void TGlowImage::SetPatternSize(TPoint Value) {
  if (State() == tsNone) FPatternSize = Value;
}

bool TGlowImage::Prepare() {
  TPatternLayout Layout;
  const bool Fits = LayOutPatterns(Size(), FPatternSize, FVisibleSize, Layout);
  FPatternSize = Layout.PatternSize;
  FVisibleSize = Layout.VisibleSize;
  if (!Fits) return false;
  FPatternsPerRow = Layout.PatternsPerRow;
  FPatternsPerColumn = Layout.PatternsPerColumn;
  FPatternsPerTexture = Layout.PatternsPerTexture;
  if (FPatternCount < 1)
    FPatternCount = static_cast<int>(std::min<long long>(static_cast<long long>(FPatternsPerTexture) * TextureCount(), INT_MAX));
  SetFormat(ChooseTextureFormat(FQuality, FAlphaLevel, GetUsage()));
  return Format() != D3DFMT_UNKNOWN;
}

bool TGlowImage::LoadFromStream(TStream& Stream) {
  TImagePayloadHeader Header;
  if (!ReadImagePayloadHeader(Stream, Header)) return false;
  const std::int64_t BytesLeft = std::max<std::int64_t>(Stream.Size() - Stream.Position(), 0);
  if (!IsLoadableImagePayload(Header, BytesLeft, MaxTextureSize())) return false;

  SetState(tsNone);  // a new payload replaces whatever the image held
  FPatternSize = Header.PatternSize;
  FVisibleSize = Header.VisibleSize;
  FPatternCount = Header.PatternCount;
  SetSize(Header.TextureSize);
  SetTextureCount(Header.TextureCount);
  SetState(tsReady);
  if (State() != tsReady) return false;
  if (FillFromStream(Stream, Header.Format)) return true;
  SetState(tsNone);
  return false;
}

bool TGlowImage::FillFromStream(TStream& Stream, TColorFormat SourceFormat) {
  const TColorFormat DestFormat = FormatFromD3D(Format());
  const TARGBLineConverter Encode = ARGBLineConverter(DestFormat);
  if (!Encode) return false;
  if (TextureCount() == 0) return true;  // an empty image: no rows to read or buffer
  const int Width = Size().X;
  const bool Raw = SameLayout(SourceFormat, DestFormat);
  const std::int64_t SourceRowBytes = static_cast<std::int64_t>(Width) * FormatBytes(SourceFormat);
  std::vector<std::uint8_t> ARGBRow, SourceRow;
  if (!Raw) {
    ARGBRow.resize(static_cast<std::size_t>(Width) * 4);
    if (SourceFormat != cfA8R8G8B8) SourceRow.resize(static_cast<std::size_t>(SourceRowBytes));
  }
  for (int Index = 0; Index < TextureCount(); ++Index) {
    TTextureLock Locked;
    if (!Lock(Index, LockWrite, Locked)) return false;
    auto* Row = static_cast<std::uint8_t*>(Locked.Bits);
    bool Complete = true;
    for (int Y = 0; Y < Size().Y && Complete; ++Y, Row += Locked.Pitch) {
      if (Raw) {
        Complete = Stream.ReadBuffer(Row, SourceRowBytes);
      } else if (SourceFormat == cfA8R8G8B8) {
        Complete = Stream.ReadBuffer(ARGBRow.data(), SourceRowBytes);
        if (Complete) Encode(ARGBRow.data(), Row, Width);
      } else {
        Complete = Stream.ReadBuffer(SourceRow.data(), SourceRowBytes);
        if (Complete) {
          LineToARGB(SourceRow.data(), ARGBRow.data(), Width, SourceFormat);
          Encode(ARGBRow.data(), Row, Width);
        }
      }
    }
    Unlock(Index);
    if (!Complete) return false;
  }
  return true;
}

bool TGlowImage::LoadRecord(const std::string& Key, TGlowDb& Archive) {
  std::vector<std::uint8_t> Payload;
  if (!Archive.EnsureOpen() || !Archive.ReadRecord(Key, Payload)) return false;
  TResourceStream Stream(Payload.data(), static_cast<std::int64_t>(Payload.size()));
  return LoadFromStream(Stream);
}

bool TGlowImage::LoadFromBitmap(TBitmap& Bitmap, bool UseColorKey, std::uint32_t ColorKey, int Tolerance) {
  SetState(tsNone);  // new pixels replace whatever the image held
  FPatternCount = 0;  // counted afresh from the new bitmap by Prepare
  const TPoint Page = Size();
  const TPoint MaxSize = MaxTextureSize();
  if (Page.X < 1 || Page.Y < 1 || Page.X > MaxSize.X || Page.Y > MaxSize.Y || FPatternSize.X < 1 || FPatternSize.Y < 1)
    return false;
  if (Bitmap.PixelFormat() != TPixelFormat::pf32bit && !ForceOpaque(Bitmap)) return false;
  // The cells go from the bitmap straight into the locked textures, a row at a time, as the
  // pages PackPatterns would make: no picture-sized copy in between.
  const TPatternPacking Packing(Bitmap, Page, FPatternSize, FPatternSize);
  SetTextureCount(Packing.Pages());
  SetState(tsReady);
  if (State() != tsReady) return false;
  const TARGBLineConverter Encode = ARGBLineConverter(FormatFromD3D(Format()));
  if (!Encode) return false;
  std::vector<std::uint8_t> ARGBRow(static_cast<std::size_t>(Page.X) * 4);
  for (int Index = 0; Index < TextureCount(); ++Index) {
    TTextureLock Locked;
    if (!Lock(Index, LockWrite, Locked)) return false;
    auto* Row = static_cast<std::uint8_t*>(Locked.Bits);
    for (int Y = 0; Y < Page.Y; ++Y, Row += Locked.Pitch) {
      const int PackedY = Index * Page.Y + Y;
      const std::uint8_t* Source = UseColorKey ? nullptr : Packing.DirectRow(PackedY);
      if (!Source) {
        Packing.ComposeRow(PackedY, ARGBRow.data(), UseColorKey, ColorKey, Tolerance);
        Source = ARGBRow.data();
      }
      Encode(Source, Row, Page.X);
    }
    Unlock(Index);
  }
  return true;
}

bool TGlowImage::GetPatternCoords(const TTexCoord& TexCoord, TPoint4& Corners, int& TextureIndex) const {
  if (State() == tsNone || TextureCount() < 1 || FPatternCount < 1 || FPatternsPerTexture < 1 || FPatternsPerRow < 1 ||
      FPatternsPerColumn < 1)
    return false;
  const int Pattern = std::clamp(TexCoord.Pattern, 0, FPatternCount - 1);
  TextureIndex = Pattern / FPatternsPerTexture;
  const int Slot = Pattern % FPatternsPerTexture;
  // The visible part is centred in the cell (halves truncated toward zero).
  const long long OffsetX = (static_cast<long long>(FPatternSize.X) - FVisibleSize.X) / 2;
  const long long OffsetY = (static_cast<long long>(FPatternSize.Y) - FVisibleSize.Y) / 2;
  const double Left = static_cast<double>(TexCoord.SrcX) +
                      static_cast<double>(Slot % FPatternsPerRow) * FPatternSize.X + static_cast<double>(OffsetX);
  const double Top = static_cast<double>(TexCoord.SrcY) +
                     static_cast<double>((Slot / FPatternsPerRow) % FPatternsPerColumn) * FPatternSize.Y +
                     static_cast<double>(OffsetY);
  const double Width = TexCoord.SrcWidth > 0 ? TexCoord.SrcWidth : FVisibleSize.X;
  const double Height = TexCoord.SrcHeight > 0 ? TexCoord.SrcHeight : FVisibleSize.Y;
  double ULeft = Left / Size().X, URight = (Left + Width) / Size().X;
  double VTop = Top / Size().Y, VBottom = (Top + Height) / Size().Y;
  if (TexCoord.FlipX) std::swap(ULeft, URight);
  if (TexCoord.FlipY) std::swap(VTop, VBottom);
  Corners = Point4(ULeft, VTop, URight, VTop, URight, VBottom, ULeft, VBottom);
  return true;
}

}  // namespace qel
