#pragma once
#include <cstdint>

#include "engine/images/ColorFormats.h"

namespace qel {

// Row converters between the engine's pixel formats and 32-bit ARGB (0xAARRGGBB stored
// little-endian, the layout of cfA8R8G8B8). They work on one row at a time, allocate nothing,
// and accept rows at any byte alignment. Source and Dest must not overlap.

// Decodes Count pixels of format Code into ARGB. A channel of n bits with value v becomes
// round(v * 255 / (2^n - 1)); an absent channel becomes 255, so formats without alpha decode
// opaque and cfA8 decodes white.
void LineToARGB(const void* Source, void* Dest, int Count, TColorFormat Code);

// Encodes Count ARGB pixels into one format, keeping the high bits of each channel.
using TARGBLineConverter = void (*)(const void* Source, void* Dest, int Count);

// The encoder for Code; nullptr for cfUnknown and any code beyond it. Look it up once per
// image, then call it per row.
TARGBLineConverter ARGBLineConverter(TColorFormat Code);

// True when rows of A may be copied into B unchanged: equal codes, and the X/A twins of the
// 4-4-4 and 8-8-8 layouts (the unused bits then travel as alpha). X1R5G5B5 and A1R5G5B5 are
// not such twins: their rows are converted.
bool SameLayout(TColorFormat A, TColorFormat B);

}  // namespace qel
