#pragma once
#include <cstdint>

#include "tools/common/Png.h"

namespace qel {

// A soft grey cloud picture, opaque, red = green = blue, grey values spanning Low ... High
// with the given mean, blotches a few dozen pixels across. The same seed gives the same picture.
TArgbPicture MakeClouds(int Width, int Height, std::uint64_t Seed, int Low, int High, double Mean);

}  // namespace qel
