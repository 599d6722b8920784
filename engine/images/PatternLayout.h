#pragma once
#include "engine/images/IntPoint.h"

namespace qel {

// Where an image's equal cells (patterns) lie on its equal textures: row by row from the
// top-left corner of each texture; texels past the last whole cell column or row are unused.
struct TPatternLayout {
  TPoint PatternSize;
  TPoint VisibleSize;
  int PatternsPerRow = 0;
  int PatternsPerColumn = 0;
  int PatternsPerTexture = 0;
};

// Lays out cells of PatternSize on textures of TextureSize. A pattern width or height below
// 1 becomes the texture's, and so does a visible width or height below 1 (the texture's, not
// the pattern's). False unless the texture is at least 1 x 1, the pattern fits the texture
// and the visible part fits the pattern.
bool LayOutPatterns(TPoint TextureSize, TPoint PatternSize, TPoint VisibleSize, TPatternLayout& Layout);

}  // namespace qel
