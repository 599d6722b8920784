#pragma once
#include "tools/common/Png.h"

namespace qel {

// The 32 x 128 ribbon strip: white, alpha constant along each row, bright at the top edge
// and gone by row 74.
TArgbPicture MakeRibbonStrip();

}  // namespace qel
