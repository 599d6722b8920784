#pragma once
// The changed parts of a frame as a presenter takes them: a few rectangles, top to bottom.
#include <cstddef>
#include <vector>

#include "platform/d3d9/soft/Presentation.h"

namespace qel::soft {

// Joins rectangles that overlap or touch in rows into the rectangle around them, then the
// nearest ones in rows until at most MaxCount are left: Rects, sorted by top, end up covering
// at least what they covered, none overlapping another.
void MergeChangedRects(std::vector<TPixelRect>& Rects, std::size_t MaxCount);

}  // namespace qel::soft
