#include "tools/glowdb/FontRaster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <memory>

#include "framework/LittleEndian.h"

namespace qel {
namespace {

struct TFreeType {
  FT_Library Library = nullptr;
  FT_Face Face = nullptr;
  ~TFreeType() {
    if (Face) FT_Done_Face(Face);
    if (Library) FT_Done_FreeType(Library);
  }
};

struct TGlyph {
  int Advance = 0;
  int Left = 0;  // ink offset from the pen position
  int Top = 0;   // ink rows above the baseline
  int Width = 0;
  int Rows = 0;
  std::vector<std::uint8_t> Coverage;
};

int Round26_6(FT_Pos V) { return static_cast<int>(std::lround(V / 64.0)); }

bool Rasterise(TFreeType& FT, const TFontRequest& Request, int Code, TGlyph& G, std::string& Error) {
  const FT_UInt Index = FT_Get_Char_Index(FT.Face, static_cast<FT_ULong>(Code));
  if (Index == 0) {
    // No glyph for this code: an empty cell that advances like a space.
    const FT_UInt Space = FT_Get_Char_Index(FT.Face, ' ');
    if (Space && FT_Load_Glyph(FT.Face, Space, FT_LOAD_DEFAULT) == 0) G.Advance = Round26_6(FT.Face->glyph->advance.x);
    return true;
  }
  if (FT_Load_Glyph(FT.Face, Index, FT_LOAD_DEFAULT) != 0)
    return Error = "cannot load the glyph of character " + std::to_string(Code), false;
  if (Request.Bold) FT_GlyphSlot_Embolden(FT.Face->glyph);
  if (FT_Render_Glyph(FT.Face->glyph, FT_RENDER_MODE_NORMAL) != 0)
    return Error = "cannot render the glyph of character " + std::to_string(Code), false;
  const FT_GlyphSlot Slot = FT.Face->glyph;
  G.Advance = Round26_6(Slot->advance.x);
  G.Left = Slot->bitmap_left;
  G.Top = Slot->bitmap_top;
  G.Width = static_cast<int>(Slot->bitmap.width);
  G.Rows = static_cast<int>(Slot->bitmap.rows);
  G.Coverage.resize(static_cast<std::size_t>(G.Width) * G.Rows);
  for (int Y = 0; Y < G.Rows; ++Y)
    for (int X = 0; X < G.Width; ++X) {
      const unsigned char* Line = Slot->bitmap.buffer + static_cast<std::ptrdiff_t>(Y) * Slot->bitmap.pitch;
      G.Coverage[static_cast<std::size_t>(Y) * G.Width + X] =
          Slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((Line[X >> 3] >> (7 - (X & 7))) & 1) * 255 : Line[X];
    }
  return true;
}

}  // namespace

bool BuildFontPayload(const TFontRequest& Request, std::vector<std::uint8_t>& Payload, std::string& Error) {
  if (Request.First < 0 || Request.First > 255 || Request.Count < 1 || Request.First + Request.Count > 256)
    return Error = "first and count must pick character codes within 0 ... 255", false;
  if (!(Request.Size > 0 && Request.Size <= 500)) return Error = "size must be above 0 and at most 500 points", false;
  TFreeType FT;
  if (FT_Init_FreeType(&FT.Library) != 0) return Error = "FreeType cannot start", false;
  if (FT_New_Face(FT.Library, Request.FontFile.c_str(), 0, &FT.Face) != 0)
    return Error = "cannot read the font " + Request.FontFile, false;
  if (FT_Set_Char_Size(FT.Face, 0, static_cast<FT_F26Dot6>(std::lround(Request.Size * 64)), 96, 96) != 0)
    return Error = "the font cannot be set to size " + std::to_string(Request.Size), false;
  FT_Select_Charmap(FT.Face, FT_ENCODING_UNICODE);  // Latin-1 codes are their own code points

  std::vector<TGlyph> Glyphs(static_cast<std::size_t>(Request.Count));
  for (int i = 0; i < Request.Count; ++i)
    if (!Rasterise(FT, Request, Request.First + i, Glyphs[static_cast<std::size_t>(i)], Error)) return false;

  TPoint Visible = Request.Visible;
  if (Visible.X <= 0) {
    for (const TGlyph& G : Glyphs) Visible.X = std::max(Visible.X, G.Advance);
  }
  if (Visible.Y <= 0) Visible.Y = Round26_6(FT.Face->size->metrics.height);
  TPoint Cell = Request.Cell;
  if (Cell.X <= 0) Cell.X = Visible.X + 1;
  if (Cell.Y <= 0) Cell.Y = Visible.Y + 1;
  if (Visible.X < 1 || Visible.Y < 1) return Error = "the font gives no visible size", false;

  // The baseline sits where the ink of the whole range fits the visible height best; when it
  // cannot fit, ascenders and descenders give up rows in proportion.
  int Above = 0, Below = 0;
  for (const TGlyph& G : Glyphs)
    if (G.Rows > 0) {
      Above = std::max(Above, G.Top);
      Below = std::max(Below, G.Rows - G.Top);
    }
  const int Ink = Above + Below;
  const int Baseline = Ink <= Visible.Y
                           ? Above + (Visible.Y - Ink) / 2
                           : static_cast<int>(std::lround(double(Visible.Y) * Above / std::max(Ink, 1)));

  // One row of cells, one per glyph, cut apart again by the image layout.
  TArgbPicture Strip;
  Strip.Width = Cell.X * Request.Count;
  Strip.Height = Cell.Y;
  if (Cell.X > 16384 || Cell.Y > 16384 || std::uint64_t(Strip.Width) * Strip.Height > (1u << 26))
    return Error = "cells are too large", false;
  Strip.Pixels.assign(static_cast<std::size_t>(Strip.Width) * Strip.Height, 0u);
  const int OffsetX = (Cell.X - Visible.X) / 2, OffsetY = (Cell.Y - Visible.Y) / 2;
  for (int i = 0; i < Request.Count; ++i) {
    const TGlyph& G = Glyphs[static_cast<std::size_t>(i)];
    for (int Y = 0; Y < G.Rows; ++Y)
      for (int X = 0; X < G.Width; ++X) {
        const int VX = G.Left + X, VY = Baseline - G.Top + Y;
        if (VX < 0 || VY < 0 || VX >= Visible.X || VY >= Visible.Y) continue;
        const int CX = OffsetX + VX, CY = OffsetY + VY;
        if (CX < 0 || CY < 0 || CX >= Cell.X || CY >= Cell.Y) continue;
        const std::uint32_t Alpha = G.Coverage[static_cast<std::size_t>(Y) * G.Width + X];
        Strip.At(i * Cell.X + CX, CY) = Alpha << 24 | 0x00FFFFFFu;
      }
  }

  std::vector<std::uint8_t> Image;
  if (!BuildImagePayload(Strip, TImageLayout{Cell, Visible, Request.Texture, Request.Format}, Image, Error)) return false;
  Payload.assign(16 + 8 * static_cast<std::size_t>(Request.Count), 0);
  le::Store32(Payload.data(), static_cast<std::uint32_t>(Request.First));
  le::Store32(Payload.data() + 12, static_cast<std::uint32_t>(Request.Count));
  for (int i = 0; i < Request.Count; ++i) {
    le::Store32(Payload.data() + 16 + 8 * i, static_cast<std::uint32_t>(Glyphs[static_cast<std::size_t>(i)].Advance));
    le::Store32(Payload.data() + 20 + 8 * i, static_cast<std::uint32_t>(Visible.Y));
  }
  Payload.insert(Payload.end(), Image.begin(), Image.end());
  return true;
}

}  // namespace qel
