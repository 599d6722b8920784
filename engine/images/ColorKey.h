#pragma once
#include <cstdint>

namespace qel {

// Copies Count ARGB pixels (0xAARRGGBB) from Source to Dest (the same row is allowed),
// replacing each alpha by one computed from the pixel's colour distance to KeyColor, a
// framework colour 0x00BBGGRR. Tolerance is a percentage of the largest colour distance
// (sqrt 3): pixels farther than it stay opaque, nearer ones fade smoothly to transparent at
// the key itself. The colour bytes are kept.
void ColorKeyLine(const void* Source, void* Dest, int Count, std::uint32_t KeyColor, int Tolerance);

}  // namespace qel
