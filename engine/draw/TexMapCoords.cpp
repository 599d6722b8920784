#include "engine/draw/TexMapCoords.h"

#include "engine/images/DXTextures.h"
#include "engine/images/GlowImage.h"

namespace qel {

namespace {

void WholeTexture(TPoint4& Coords) { Coords = Point4(0, 0, 1, 0, 1, 1, 0, 1); }

}  // namespace

bool TexMapCoords(TDXBaseTexture* Texture, const TTexCoord& TexCoord, TPoint4& Coords, int& TextureNumber) {
  if (auto* Image = dynamic_cast<TGlowImage*>(Texture)) return Image->GetPatternCoords(TexCoord, Coords, TextureNumber);
  TextureNumber = 0;
  if (TexCoord.SrcWidth < 1 || TexCoord.SrcHeight < 1) {
    WholeTexture(Coords);
    return true;
  }
  // Without a texture, or with one of no size, there is nothing to divide by: whole texture.
  if (!Texture || Texture->Size().X < 1 || Texture->Size().Y < 1) {
    WholeTexture(Coords);
    return true;
  }
  // The third and fourth fields are the right and bottom edges here, not extents.
  const double W = Texture->Size().X;
  const double H = Texture->Size().Y;
  const double Left = TexCoord.SrcX / W;
  const double Top = TexCoord.SrcY / H;
  const double Right = TexCoord.SrcWidth / W;
  const double Bottom = TexCoord.SrcHeight / H;
  Coords = Point4(Left, Top, Right, Top, Right, Bottom, Left, Bottom);
  return true;
}

}  // namespace qel
