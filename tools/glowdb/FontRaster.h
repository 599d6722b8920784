#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/glowdb/ImagePayload.h"

namespace qel {

// A bitmap font to rasterise: Size in points at 96 dots per inch, glyphs for the character
// codes First ... First + Count - 1 (taken as Latin-1), each drawn white with its coverage
// as alpha into the visible part of a cell. Sizes left at 0 are worked out from the font:
// visible = (widest advance, line height), cell = visible + 1 each way, texture 256 x 256.
struct TFontRequest {
  std::string FontFile;
  double Size = 0;
  bool Bold = false;  // embolden the outlines (for a face that has no bold of its own)
  int First = 32;
  int Count = 95;
  TPoint Cell;
  TPoint Visible;
  TPoint Texture{256, 256};
  TColorFormat Format = cfA4R4G4B4;
};

// The font payload: first character, spacing 0, reserved 0, glyph count, per glyph its
// advance and height (the visible height), then the image payload of the glyph cells.
bool BuildFontPayload(const TFontRequest& Request, std::vector<std::uint8_t>& Payload, std::string& Error);

}  // namespace qel
