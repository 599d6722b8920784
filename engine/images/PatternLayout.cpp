#include "engine/images/PatternLayout.h"

#include <climits>

namespace qel {

bool LayOutPatterns(TPoint TextureSize, TPoint PatternSize, TPoint VisibleSize, TPatternLayout& Layout) {
  if (PatternSize.X < 1) PatternSize.X = TextureSize.X;
  if (PatternSize.Y < 1) PatternSize.Y = TextureSize.Y;
  if (VisibleSize.X < 1) VisibleSize.X = TextureSize.X;
  if (VisibleSize.Y < 1) VisibleSize.Y = TextureSize.Y;
  Layout.PatternSize = PatternSize;
  Layout.VisibleSize = VisibleSize;
  if (TextureSize.X < 1 || TextureSize.Y < 1 || PatternSize.X > TextureSize.X || PatternSize.Y > TextureSize.Y ||
      VisibleSize.X > PatternSize.X || VisibleSize.Y > PatternSize.Y)
    return false;
  Layout.PatternsPerRow = TextureSize.X / PatternSize.X;
  Layout.PatternsPerColumn = TextureSize.Y / PatternSize.Y;
  const long long PerTexture = static_cast<long long>(Layout.PatternsPerRow) * Layout.PatternsPerColumn;
  if (PerTexture > INT_MAX) return false;  // more cells than an index can count
  Layout.PatternsPerTexture = static_cast<int>(PerTexture);
  return true;
}

}  // namespace qel
