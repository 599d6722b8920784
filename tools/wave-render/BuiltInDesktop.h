#pragma once
#include "framework/Bitmap.h"

namespace qel::waverender {

// A desktop made in code, always the same for a size: a wallpaper gradient with a few icons,
// a task bar, and three windows with title bars, buttons and lines of text-like marks. It
// gives the dissolve at start-up something a person recognises.
void PaintBuiltInDesktop(TBitmap& Bitmap, int Width, int Height);

}  // namespace qel::waverender
