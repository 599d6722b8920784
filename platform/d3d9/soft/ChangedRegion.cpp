#include "platform/d3d9/soft/ChangedRegion.h"

#include <algorithm>

namespace qel::soft {
namespace {

TPixelRect Around(const TPixelRect& A, const TPixelRect& B) {
  return {std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right), std::max(A.Bottom, B.Bottom)};
}

}  // namespace

void MergeChangedRects(std::vector<TPixelRect>& Rects, std::size_t MaxCount) {
  std::erase_if(Rects, [](const TPixelRect& R) { return R.Left >= R.Right || R.Top >= R.Bottom; });
  std::sort(Rects.begin(), Rects.end(), [](const TPixelRect& A, const TPixelRect& B) { return A.Top < B.Top; });
  std::vector<TPixelRect> Out;
  for (const TPixelRect& R : Rects)
    if (!Out.empty() && R.Top <= Out.back().Bottom)
      Out.back() = Around(Out.back(), R);
    else
      Out.push_back(R);
  // Each request costs more than the rows between two near bands.
  while (Out.size() > std::max<std::size_t>(MaxCount, 1)) {
    std::size_t Nearest = 0;
    for (std::size_t i = 1; i + 1 < Out.size(); ++i)
      if (Out[i + 1].Top - Out[i].Bottom < Out[Nearest + 1].Top - Out[Nearest].Bottom) Nearest = i;
    Out[Nearest] = Around(Out[Nearest], Out[Nearest + 1]);
    Out.erase(Out.begin() + static_cast<std::ptrdiff_t>(Nearest) + 1);
  }
  Rects = std::move(Out);
}

}  // namespace qel::soft
