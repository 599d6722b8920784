#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/draw/GlowTypes.h"
#include "engine/images/DXTextures.h"
#include "engine/images/TextureFormats.h"
#include "framework/Bitmap.h"
#include "framework/Streams.h"

namespace qel {

class TGlowDb;

// An image: equally sized cells (patterns: animation frames, glyphs or one picture) laid out
// row by row over one or more equal textures. Its pixels come from an image payload (an
// archive record, or embedded in a font) or from a framework bitmap.
class TGlowImage : public TDXMultiTexture {
 public:
  TGlowImage() = default;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  // Whether Name equals Value with the ASCII letters A-Z folded. Allocates nothing.
  bool HasName(std::string_view Value) const;

  // The texture-format wishes; stored only while nothing is created.
  TGlowQuality Quality() const { return FQuality; }
  void SetQuality(TGlowQuality Value);
  TAlphaLevel AlphaLevel() const { return FAlphaLevel; }
  void SetAlphaLevel(TAlphaLevel Value);

  // The part of a cell that is drawn, centred in the cell; may change at any time.
  TPoint VisibleSize() const { return FVisibleSize; }
  void SetVisibleSize(TPoint Value) { FVisibleSize = Value; }
  // The cell size in texels; stored only while nothing is created.
  TPoint PatternSize() const { return FPatternSize; }
  void SetPatternSize(TPoint Value);
  int PatternCount() const { return FPatternCount; }
  int PatternsPerRow() const { return FPatternsPerRow; }
  int PatternsPerColumn() const { return FPatternsPerColumn; }
  int PatternsPerTexture() const { return FPatternsPerTexture; }

  // Computes the pattern layout (sizes below 1 become the texture's) and chooses the
  // texture format from Quality and AlphaLevel.
  bool Prepare() override;

  // Reads one image payload at the stream's position and creates and fills the textures.
  // The header is checked before anything is created; textures the image held are released
  // first. On failure the image has no textures.
  bool LoadFromStream(TStream& Stream);
  // Loads the archive record Key as an image payload, whatever the record's type.
  bool LoadRecord(const std::string& Key, TGlowDb& Archive);
  // Builds the textures from the PatternSize cells of a bitmap (a bitmap that is not 32-bit
  // is made opaque 32-bit in place). Set PatternSize and the texture Size to positive values
  // first. With UseColorKey, pixels near ColorKey (0x00BBGGRR) become transparent
  // (Tolerance: percent of the largest colour distance). Textures the image held are
  // released first.
  bool LoadFromBitmap(TBitmap& Bitmap, bool UseColorKey, std::uint32_t ColorKey, int Tolerance);

  // The texture holding TexCoord's pattern (clamped to the existing ones) and the texture
  // coordinates of the source rectangle's corners (top-left, top-right, bottom-right,
  // bottom-left). False while the image has no textures or no patterns.
  bool GetPatternCoords(const TTexCoord& TexCoord, TPoint4& Corners, int& TextureIndex) const;

 private:
  bool FillFromStream(TStream& Stream, TColorFormat SourceFormat);

  std::string FName = "[unnamed]";
  TGlowQuality FQuality = qlHigh;
  TAlphaLevel FAlphaLevel = avFull;
  int FPatternsPerRow = 0;
  int FPatternsPerColumn = 0;
  int FPatternsPerTexture = 0;
  TPoint FVisibleSize;
  TPoint FPatternSize;
  int FPatternCount = 0;
};

}  // namespace qel
