#pragma once
#include "engine/draw/GlowTypes.h"

namespace qel {

class TDXBaseTexture;

// The texture coordinates (U, V per corner, in corner order) and texture number with which
// a selector maps Texture onto a quad. An image is addressed by pattern; any other texture
// object, or none, in texels of its size with texture number 0. False when an image
// refuses, and then nothing is to be drawn.
bool TexMapCoords(TDXBaseTexture* Texture, const TTexCoord& TexCoord, TPoint4& Coords, int& TextureNumber);

}  // namespace qel
