#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/draw/GlowTypes.h"
#include "engine/images/GlowImage.h"
#include "framework/Object.h"

namespace qel {

class TGlowDb;
class TGlowFonts;
class TGlowCanvas;

enum TFontStyleFx : std::uint8_t { feBold, feItalic, feShadow, feEmboss };

// A set of style effects; as a bit mask feBold is 1, feItalic 2, feShadow 4, feEmboss 8.
class TFontStylesFx {
 public:
  constexpr TFontStylesFx() = default;
  constexpr TFontStylesFx(std::initializer_list<TFontStyleFx> Styles) {
    for (TFontStyleFx S : Styles) FMask |= Bit(S);
  }
  constexpr bool Contains(TFontStyleFx S) const { return (FMask & Bit(S)) != 0; }
  constexpr std::uint8_t Mask() const { return FMask; }
  constexpr bool operator==(const TFontStylesFx&) const = default;

 private:
  static constexpr std::uint8_t Bit(TFontStyleFx S) { return static_cast<std::uint8_t>(1u << S); }
  std::uint8_t FMask = 0;
};

struct TGlyph {
  std::int32_t Advance;  // pixels from this glyph's left edge to the next character's
  std::int32_t Height;   // kept from the record; drawing does not use it
};

// A bitmap font: one image whose patterns are the glyphs of a run of character codes, and
// their advances. It draws through the canvas of the font list that owns it.
class TGlowFont : public TObject {
 public:
  explicit TGlowFont(TGlowFonts* Owner);
  ~TGlowFont() override;

  // Reads one font record of the archive; a font loads at most once.
  bool LoadRecord(const std::string& Key, TGlowDb& Archive, TGlowQuality Quality, TAlphaLevel AlphaLevel);

  // Text is drawn with its top-left corner at (X, Y). Colours are engine colours; "#$",
  // "&$" and "0x" tags of eight hexadecimal digits inside the text change them. Throws
  // std::runtime_error when the font has no owner or its owner no canvas.
  void TextOut(std::string_view Text, double X, double Y, std::uint32_t Color);
  void TextOutEx(std::string_view Text, double X, double Y, std::uint32_t TopColor, std::uint32_t BottomColor,
                 std::int32_t Effect);

  TGlowFonts* Owner() const { return FOwner; }
  bool Loaded() const { return FLoaded; }
  TGlowImage* Image() const { return FImage.get(); }
  std::uint8_t FirstChar() const { return FFirstChar; }
  int GlyphCount() const { return FGlyphCount; }
  const TGlyph& Glyph(int Index) const { return FGlyphs.at(static_cast<std::size_t>(Index)); }
  std::int32_t Spacing() const { return FSpacing; }

  const std::string& Name() const { return FName; }
  void SetName(std::string Value) { FName = std::move(Value); }
  TFontStylesFx Style() const { return FStyle; }
  void SetStyle(TFontStylesFx Value) { FStyle = Value; }
  double Scale() const { return FScale; }
  void SetScale(double Value) { FScale = Value; }
  bool TextTags() const { return FTextTags; }
  void SetTextTags(bool Value) { FTextTags = Value; }
  double Interleave() const { return FInterleave; }
  void SetInterleave(double Value) { FInterleave = Value; }
  double BlankSpacing() const { return FBlankSpacing; }
  void SetBlankSpacing(double Value) { FBlankSpacing = Value; }
  double ShadowIntensity() const { return FShadowIntensity; }
  void SetShadowIntensity(double Value) { FShadowIntensity = Value; }
  std::uint32_t ShadowColor() const { return FShadowColor; }
  void SetShadowColor(std::uint32_t Value) { FShadowColor = Value; }
  double ShadowDistance() const { return FShadowDistance; }
  void SetShadowDistance(double Value) { FShadowDistance = Value; }
  double EmbossStrength() const { return FEmbossStrength; }
  void SetEmbossStrength(double Value) { FEmbossStrength = Value; }
  std::uint32_t EmbossColor() const { return FEmbossColor; }
  void SetEmbossColor(std::uint32_t Value) { FEmbossColor = Value; }

 private:
  void DrawGlyph(TGlowCanvas& Canvas, int Glyph, double PenX, double Y, const TColor4& Colors,
                 std::int32_t Effect) const;

  std::vector<TGlyph> FGlyphs;
  TGlowFonts* FOwner;
  TFontStylesFx FStyle;
  double FScale = 1.0;
  bool FTextTags = true;
  std::unique_ptr<TGlowImage> FImage;
  std::int32_t FSpacing = 0;
  bool FLoaded = false;
  std::uint8_t FFirstChar = 32;
  double FInterleave = 0.0;
  int FGlyphCount = 0;
  std::string FName;
  double FBlankSpacing = 0.3;
  double FShadowIntensity = 0.5;
  std::uint32_t FShadowColor = 0;
  double FEmbossStrength = 0.8;
  std::uint32_t FEmbossColor = 0;
  double FShadowDistance = 1.0;
};

}  // namespace qel
