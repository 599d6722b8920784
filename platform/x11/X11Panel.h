#pragma once
#include <cstdint>

#include "framework/Platform.h"
#include "platform/x11/X11Painter.h"

namespace qel::x11 {

// The button that has the keyboard focus: the visible button of the lowest tab order.
const TControlParams* FocusedButton(const TWindowParams& Window);
// The button under a point of the client area, or nullptr.
const TControlParams* ButtonAt(const TWindowParams& Window, int X, int Y);
// Draws a form's controls; Pressed is the Id of a button held down (0: none).
void PaintControls(TPainter& Painter, const TWindowParams& Window, std::uintptr_t Pressed);

}  // namespace qel::x11
