#pragma once
// One frame buffer the device draws into (its own memory, the frame a swap took out, memory a
// presenter lent) and what is known of its contents, so that a tile whose start repeats the
// last sync point's is mended there only where it was drawn over.
//
// What is kept: per tile, a copy of its pixels after the start its commands shared with the
// last sync point (the tile memory, one generation per copy); a start that differs from the
// last sync point's (a fade) is not copied, as the next will most likely differ again. What a
// buffer holds: per tile, a
// note "the pixels of generation G, except in rows DirtyTop .. DirtyBottom-1". The invariant:
// a note with a generation is true of the buffer's pixels. Drawing a tile makes its note true
// again (or clears it); every other write to the buffer (a lock of the back buffer, a copy into
// it, the opaque fix-up, points and lines drawn at once, memory lent anew) goes through Written,
// which forgets every note. A change of tiles or a reset forgets every buffer.
#include <cstdint>
#include <vector>

namespace qel::soft {

struct TBufferNote {
  std::uint64_t Generation = 0;  // of the tile memory's copy; 0: nothing known
  int DirtyTop = 0, DirtyBottom = 0;
  std::uint64_t Flush = 0;  // the sync point that drew the tile here
  std::uint64_t Drawn = 0;  // the sync point that last changed its pixels
};

struct TTargetBuffer {
  const std::uint32_t* Pixels = nullptr;
  int Pitch = 0;
  std::vector<TBufferNote> Tiles;
  // Every pixel has alpha 255 (drawn so for a target shown opaque, or made so).
  bool Opaque = false;
  std::uint64_t Used = 0;  // the sync point that last drew here

  void Written() {
    Tiles.assign(Tiles.size(), {});
    Opaque = false;
  }
};

}  // namespace qel::soft
