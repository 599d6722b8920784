#pragma once
#include "engine/draw/Glow2D.h"

namespace qel {

// The component through which the application and the fonts draw: the batcher with the
// rectangle fill on top.
class TGlowCanvas : public TGlow2D {
 public:
  explicit TGlowCanvas(TComponent* Owner) : TGlow2D(Owner) {}

  // Right and bottom edges are used as they are.
  void FillRect(const TRect& Rect, const TColor4& Colors, std::int32_t Effect) {
    FillQuad(Rect4(Rect), Colors, Effect);
  }
};

}  // namespace qel
