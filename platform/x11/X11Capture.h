#pragma once
#include <X11/Xlib.h>

#include "framework/Bitmap.h"

namespace qel::x11 {

// Copies the W x H rectangle at (X, Y) of a drawable of the given visual into the top-left
// corner of a 32-bit bitmap. Only TrueColor visuals of depth 15, 16, 24 or 32 are read; anything
// else, or a drawable that cannot be read (unmapped, gone), leaves the bitmap as it is and
// answers false.
bool ReadDrawable(Display* D, Drawable Source, const Visual* SourceVisual, int Depth, int X, int Y, int W, int H,
                  TBitmap& Bitmap);

}  // namespace qel::x11
