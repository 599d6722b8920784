#include "engine/draw/GlowFont.h"

#include <cmath>
#include <stdexcept>

#include "engine/archive/GlowDb.h"
#include "framework/LittleEndian.h"
#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "framework/Rounding.h"
#include "framework/Streams.h"

namespace qel {

namespace {

constexpr std::int32_t AlphaBlend = 1284;
constexpr std::size_t GlyphEntryBytes = 8;

bool ReadInt32(TStream& Stream, std::int32_t& Value) {
  std::uint8_t Bytes[4];
  if (!Stream.ReadBuffer(Bytes, 4)) return false;
  Value = static_cast<std::int32_t>(le::Load32(Bytes));
  return true;
}

// A colour tag is its two-character prefix, a "$" or "x" and eight hexadecimal digits. It
// counts only where at least two more characters follow it.
constexpr std::size_t TagLength = 10;

bool TagAt(std::string_view Text, std::size_t Pos, char First, char Second) {
  return Pos + TagLength + 1 < Text.size() && Text[Pos] == First && Text[Pos + 1] == Second;
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// The eight digits of the tag at Pos; false when they are not all hexadecimal.
bool TagColor(std::string_view Text, std::size_t Pos, std::uint32_t& Color) {
  std::uint32_t Value = 0;
  for (std::size_t I = Pos + 2; I < Pos + TagLength; ++I) {
    const int D = HexDigit(Text[I]);
    if (D < 0) return false;
    Value = (Value << 4) | static_cast<std::uint32_t>(D);
  }
  Color = Value;
  return true;
}

std::uint32_t WithAlpha(double Opacity, std::uint32_t Color) {
  const auto Alpha = static_cast<std::uint32_t>(nearest(Opacity) & 0xFF);
  return (Alpha << 24) | (Color & 0xFFFFFF);
}

}  // namespace

TGlowFont::TGlowFont(TGlowFonts* Owner) : FOwner(Owner) {}

TGlowFont::~TGlowFont() = default;

bool TGlowFont::LoadRecord(const std::string& Key, TGlowDb& Archive, TGlowQuality Quality, TAlphaLevel AlphaLevel) {
  if (FLoaded) return false;
  if (!Archive.EnsureOpen()) return false;
  const int Index = Archive.RecordIndex(Key);
  if (Index == -1 || Archive.RecordType(Index) != recFont) return false;
  TMemoryStream Stream;
  if (!Archive.ReadStream(Key, Stream) || !Stream.SetPosition(0)) return false;

  std::int32_t First = 0, Spacing = 0, Reserved = 0, Count = 0;
  if (!ReadInt32(Stream, First) || !ReadInt32(Stream, Spacing) || !ReadInt32(Stream, Reserved) ||
      !ReadInt32(Stream, Count))
    return false;
  // The count comes from outside: it must fit the bytes that are there before any table
  // is sized from it.
  const std::int64_t Left = Stream.Size() - Stream.Position();
  if (Count < 0 || static_cast<std::int64_t>(Count) * static_cast<std::int64_t>(GlyphEntryBytes) > Left) return false;
  std::vector<TGlyph> Glyphs(static_cast<std::size_t>(Count));
  for (TGlyph& G : Glyphs)
    if (!ReadInt32(Stream, G.Advance) || !ReadInt32(Stream, G.Height)) return false;
  FFirstChar = static_cast<std::uint8_t>(First & 0xFF);
  FSpacing = Spacing;
  FGlyphs = std::move(Glyphs);
  FGlyphCount = Count;

  auto Image = std::make_unique<TGlowImage>();
  Image->SetQuality(Quality);
  Image->SetAlphaLevel(AlphaLevel);
  Image->SetMipMapping(true);
  if (Image->LoadFromStream(Stream)) FImage = std::move(Image);
  FLoaded = FImage != nullptr;
  return FLoaded;
}

void TGlowFont::TextOut(std::string_view Text, double X, double Y, std::uint32_t Color) {
  TextOutEx(Text, X, Y, Color, Color, AlphaBlend);
}

void TGlowFont::TextOutEx(std::string_view Text, double X, double Y, std::uint32_t TopColor,
                          std::uint32_t BottomColor, std::int32_t Effect) {
  if (!FLoaded) return;
  if (!FOwner) throw std::runtime_error("TGlowFont: Unassigned Owner property.");
  TGlowCanvas* Canvas = FOwner->Canvas();
  if (!Canvas) throw std::runtime_error("TGlowFont: Unassigned Owner.Canvas property.");

  TColor4 Colors = Color4Corners(TopColor, TopColor, BottomColor, BottomColor);
  const double W = FImage->VisibleSize().X;
  double PenX = X;
  for (std::size_t I = 0; I < Text.size(); ++I) {
    if (FTextTags) {
      // Each tag is tried once, where the previous one left the position.
      bool Changed = false;
      if (TagAt(Text, I, '#', '$')) {
        TagColor(Text, I, TopColor);
        I += TagLength;
        Changed = true;
      }
      if (TagAt(Text, I, '&', '$')) {
        TagColor(Text, I, BottomColor);
        I += TagLength;
        Changed = true;
      }
      if (TagAt(Text, I, '0', 'x')) {
        TagColor(Text, I, BottomColor);
        TopColor = BottomColor;
        I += TagLength;
        Changed = true;
      }
      if (Changed) Colors = Color4Corners(TopColor, TopColor, BottomColor, BottomColor);
    }
    const int Glyph = static_cast<unsigned char>(Text[I]) - FFirstChar;
    if (Glyph < 0 || Glyph >= FGlyphCount) {
      PenX += (W * FBlankSpacing + FInterleave) * FScale;
      continue;
    }
    DrawGlyph(*Canvas, Glyph, PenX, Y, Colors, Effect);
    // Advance and spacing come from the record: their sum may not fit 32 bits.
    PenX += (static_cast<double>(FGlyphs[static_cast<std::size_t>(Glyph)].Advance) + FSpacing + FInterleave) * FScale;
  }
}

void TGlowFont::DrawGlyph(TGlowCanvas& Canvas, int Glyph, double PenX, double Y, const TColor4& Colors,
                          std::int32_t Effect) const {
  const TTexCoord Selector = TexPattern(Glyph);
  const int W = FImage->VisibleSize().X;
  const int H = FImage->VisibleSize().Y;
  const bool Bold = FStyle.Contains(feBold);
  TGlowImage* Image = FImage.get();

  TPoint4 Q = Bounds4Scaled(std::trunc(PenX), std::trunc(Y), W, H, FScale);
  if (FStyle.Contains(feItalic)) {
    // The offsets are whole pixels of the unscaled glyph: the top leans right.
    const double Lean = W / 8.0;
    Q[0].X = static_cast<float>(std::trunc(Q[0].X + Lean));
    Q[1].X = static_cast<float>(std::trunc(Q[1].X + Lean));
    Q[2].X = static_cast<float>(std::trunc(Q[2].X - Lean));
    Q[3].X = static_cast<float>(std::trunc(Q[3].X - Lean));
  }
  if (FStyle.Contains(feShadow)) {
    // Only the shadow offset grows with the scale.
    const double Factor = FScale * FShadowDistance;
    const TPoint2 Offset = Point2((Bold ? 3 : 2) * Factor, 2 * Factor);
    const std::uint32_t Shadow = WithAlpha(FShadowIntensity * 255, FShadowColor);
    Canvas.TexMap(Image, Point4Offset(Q, Offset), Color4(Shadow), Selector, Effect);
  }
  const bool Emboss = FStyle.Contains(feEmboss);
  if (Emboss) Q = Point4Offset(Q, Point2(-1, -1));
  Canvas.TexMap(Image, Q, Colors, Selector, Effect);
  if (Bold) {
    Canvas.TexMap(Image, Point4Offset(Q, Point2(-1, 0)), Colors, Selector, Effect);
    Canvas.TexMap(Image, Point4Offset(Q, Point2(1, 0)), Colors, Selector, Effect);
  }
  if (Emboss) {
    const TColor4 Highlight =
        Color4(WithAlpha(Bold ? FEmbossStrength * 255 * 0.65 : FEmbossStrength * 255, FEmbossColor));
    Canvas.TexMap(Image, Point4Offset(Q, Point2(1, 1)), Highlight, Selector, Effect);
    if (Bold) {
      Canvas.TexMap(Image, Point4Offset(Q, Point2(0, 1)), Highlight, Selector, Effect);
      Canvas.TexMap(Image, Point4Offset(Q, Point2(2, 1)), Highlight, Selector, Effect);
    }
  }
}

}  // namespace qel
