#include "platform/wayland/BufferCanvas.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>

namespace qel::wl {

TBufferCanvas::TBufferCanvas(TTarget Target, TShow Show) : FTarget(std::move(Target)), FShow(std::move(Show)) {
  if (FT_Init_FreeType(&FLibrary) != 0) FLibrary = nullptr;
}

TBufferCanvas::~TBufferCanvas() {
  for (auto& [Key, Face] : FFaces)
    if (Face) FT_Done_Face(Face);
  if (FLibrary) FT_Done_FreeType(FLibrary);
  // Fontconfig keeps its configuration for the process otherwise; nothing else here uses it,
  // and a later match loads it again.
  FcFini();
}

FT_Face TBufferCanvas::FaceFor(const TFont& Font) {
  const auto Key = std::make_tuple(Font.Name, Font.Height, Font.Bold);
  auto It = FFaces.find(Key);
  if (It != FFaces.end()) return It->second;
  FT_Face Face = nullptr;
  FcPattern* Pattern = FcPatternCreate();
  FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("DejaVu Sans"));
  FcPatternAddString(Pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddDouble(Pattern, FC_PIXEL_SIZE, static_cast<double>(std::max(Font.Height, 1)));
  FcPatternAddInteger(Pattern, FC_WEIGHT, Font.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_MEDIUM);
  FcConfigSubstitute(nullptr, Pattern, FcMatchPattern);
  FcDefaultSubstitute(Pattern);
  FcResult Result;
  if (FcPattern* Match = FcFontMatch(nullptr, Pattern, &Result)) {
    FcChar8* File = nullptr;
    int Index = 0;
    FcPatternGetInteger(Match, FC_INDEX, 0, &Index);
    if (FLibrary && FcPatternGetString(Match, FC_FILE, 0, &File) == FcResultMatch &&
        FT_New_Face(FLibrary, reinterpret_cast<const char*>(File), Index, &Face) == 0)
      FT_Set_Pixel_Sizes(Face, 0, static_cast<FT_UInt>(std::max(Font.Height, 1)));
    FcPatternDestroy(Match);
  }
  FcPatternDestroy(Pattern);
  FFaces[Key] = Face;
  return Face;
}

void TBufferCanvas::Begin(int Width, int Height) {
  FWidth = std::max(Width, 1);
  FHeight = std::max(Height, 1);
  FPixels = FTarget(FWidth, FHeight, FPitch);
  Fill(0, 0, FWidth, FHeight, posix::ButtonFace);
}

void TBufferCanvas::Fill(int X, int Y, int W, int H, std::uint32_t Rgb) {
  if (!FPixels) return;
  const int L = std::max(X, 0), T = std::max(Y, 0), R = std::min(X + W, FWidth), B = std::min(Y + H, FHeight);
  for (int Row = T; Row < B; ++Row)
    std::fill(FPixels + static_cast<std::size_t>(Row) * FPitch + L, FPixels + static_cast<std::size_t>(Row) * FPitch + R,
              Rgb & 0xFFFFFFu);
}

// Captions are the program's own ASCII text; other bytes are drawn as what FreeType makes of them.
void TBufferCanvas::Text(int X, int Y, const std::string& Caption, const TFont& Font) {
  FT_Face Face = FaceFor(Font);
  if (!Face || !FPixels) return;
  const int Baseline = Y + static_cast<int>(Face->size->metrics.ascender >> 6);
  int PenX = X;
  for (unsigned char C : Caption) {
    if (FT_Load_Char(Face, C, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot G = Face->glyph;
    const FT_Bitmap& Bm = G->bitmap;
    for (unsigned Row = 0; Row < Bm.rows; ++Row) {
      const int Py = Baseline - G->bitmap_top + static_cast<int>(Row);
      if (Py < 0 || Py >= FHeight) continue;
      for (unsigned Col = 0; Col < Bm.width; ++Col) {
        const int Px = PenX + G->bitmap_left + static_cast<int>(Col);
        if (Px < 0 || Px >= FWidth) continue;
        const unsigned A = Bm.buffer[static_cast<std::ptrdiff_t>(Row) * Bm.pitch + Col];
        std::uint32_t& P = FPixels[static_cast<std::size_t>(Py) * FPitch + Px];
        // Black text over what is there, by the glyph's coverage.
        std::uint32_t Out = 0;
        for (int Shift = 0; Shift <= 16; Shift += 8) Out |= ((P >> Shift & 0xFF) * (255 - A) / 255) << Shift;
        P = Out;
      }
    }
    PenX += static_cast<int>(G->advance.x >> 6);
  }
}

int TBufferCanvas::TextWidth(const std::string& Caption, const TFont& Font) {
  FT_Face Face = FaceFor(Font);
  if (!Face) return 0;
  int Width = 0;
  for (unsigned char C : Caption)
    if (FT_Load_Char(Face, C, FT_LOAD_DEFAULT) == 0) Width += static_cast<int>(Face->glyph->advance.x >> 6);
  return Width;
}

int TBufferCanvas::TextHeight(const TFont& Font) {
  FT_Face Face = FaceFor(Font);
  if (!Face) return 0;
  return static_cast<int>((Face->size->metrics.ascender - Face->size->metrics.descender) >> 6);
}

void TBufferCanvas::End() {
  if (FPixels) FShow();
  FPixels = nullptr;
}

}  // namespace qel::wl
