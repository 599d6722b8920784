#pragma once
// Texel layouts of the texture formats the software device stores, and their decoding to
// 32-bit ARGB (the form the rasteriser samples).
#include <cstdint>

#include "platform/d3d9/d3d9api.h"

namespace qel::soft {

// Bytes per texel; 0 for a format the device cannot store as a texture.
int TexelBytes(D3DFORMAT Format);
// Decodes Count texels of Format into 0xAARRGGBB. A channel of n bits with value v becomes
// round(v * 255 / (2^n - 1)); an absent alpha becomes 255, absent colour channels 255 (A8).
void DecodeTexels(D3DFORMAT Format, const std::uint8_t* Source, std::uint32_t* Dest, int Count);

}  // namespace qel::soft
