#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/images/ColorFormats.h"
#include "engine/images/IntPoint.h"
#include "tools/common/Png.h"

namespace qel {

// How a picture becomes an image payload: the pattern cells cut from it, the part of each
// cell that is drawn, the texture pages the cells are laid out on, and the pixel format.
// Sizes are TPoint (X = width, Y = height).
struct TImageLayout {
  TPoint Pattern;
  TPoint Visible;
  TPoint Texture;
  TColorFormat Format = cfA8R8G8B8;
};

// Cuts Picture into Pattern-sized cells row by row (remainders at the right and bottom are
// dropped), lays them out row by row over as many Texture-sized pages as needed and writes
// the image payload: its header, then every page's rows in Layout.Format.
bool BuildImagePayload(const TArgbPicture& Picture, const TImageLayout& Layout, std::vector<std::uint8_t>& Payload,
                       std::string& Error);

}  // namespace qel
