#pragma once
// The tile cache: per tile, a copy of its pixels after the first commands of a sync point
// that began by clearing it (the start that repeats while a frame's lower layers stay put).
// TargetBuffer.h says what each frame buffer still holds of these copies.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d9/soft/Rasterizer.h"

namespace qel::soft {

struct TTileMemory {
  std::vector<std::uint32_t> Pixels;
  std::size_t Commands = 0;      // the copy is of the pixels after so many commands; 0: none kept
  bool Opaque = false;           // kept with alpha 255 (for a frame shown opaque)
  std::size_t LastEnd = 0;       // where the last sync point's common start ended
  std::uint64_t Generation = 0;  // the sync point that kept the copy (0: none yet)

  // Copies rows Top .. Bottom-1 of the tile (counted from its top) back into Target.
  void Restore(const TTarget& Target, const TClipRect& Clip, int Top, int Bottom) const;
  // Keeps the tile's pixels as they are after Commands commands, at sync point Generation.
  void Keep(const TTarget& Target, const TClipRect& Clip, std::size_t Commands, bool MakeOpaque,
            std::uint64_t Generation);
};

}  // namespace qel::soft
