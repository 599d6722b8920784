#pragma once
// One frame buffer the device draws into (its own memory, the frame a swap took out, memory a
// presenter lent) and what is known of its contents, so that a tile whose start repeats the
// last sync point's is mended there only where it was drawn over.
//
// What is kept: per tile, a copy of its pixels after the start its commands shared with the
// last sync point (TileMemory.h, one generation per copy). What a buffer holds: per tile, a
// note "the pixels of generation G, except in rows DirtyTop .. DirtyBottom-1"; for the whole
// buffer, the sync points drawn into other buffers since it was drawn last (the frames it
// missed, a compositor holding it meanwhile) and whether every pixel has alpha 255. The
// invariant: what a buffer's record says is true of its pixels. Drawing a tile makes its note
// true again (or clears it); every other write to the buffer (a lock of the back buffer, a copy
// into it, the opacity fix-up, points and lines drawn at once, memory lent anew) goes through
// Forget. A buffer that missed frames is brought whole by the next sync point that draws into
// it, before it is shown again: each tile is mended from its note (the rows drawn over since
// the kept copy) and drawn over, or drawn in full where the note is gone; only a buffer that
// missed nothing may keep a tile whose commands repeat the last sync point's as it is. (Mended
// from the kept copies rather than copied from the buffer shown last: that copy would cover
// the rows changed in every frame missed, and the rows changed in this one would still be
// restored and drawn.) A change of tiles or a reset forgets every buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel::soft {

struct TBufferNote {
  std::uint64_t Generation = 0;  // of the tile memory's copy; 0: nothing known
  int DirtyTop = 0, DirtyBottom = 0;
  std::uint64_t Drawn = 0;  // the sync point that last changed its pixels
};

class TTargetBuffer {
 public:
  TTargetBuffer(const std::uint32_t* Pixels, int Pitch) : FPixels(Pixels), FPitch(Pitch) {}

  const std::uint32_t* Pixels() const { return FPixels; }
  int Pitch() const { return FPitch; }
  // Something other than drawing wrote the buffer (or may have): nothing is known of it any
  // more, but that every pixel has alpha 255 when the write said so.
  void Forget(bool Opaque = false);
  // Drawn at sync point Use, with every pixel made opaque or not: it missed nothing since.
  void NoteDrawn(std::uint64_t Use, bool Opaque);
  // Another buffer was drawn into.
  void NoteMissed() { ++FMissed; }
  // The sync points drawn into other buffers since this one was drawn last.
  std::uint64_t Missed() const { return FMissed; }
  std::uint64_t LastUse() const { return FUsed; }
  bool Opaque() const { return FOpaque; }
  // Notes for Tiles tiles (none known when their number changes); Clear forgets the notes
  // alone, as when the kept copies they refer to are dropped.
  void Track(std::size_t Tiles);
  void ClearNotes() { FTiles.clear(); }
  std::size_t Tracked() const { return FTiles.size(); }
  // The note of a tile taken out while it is drawn (each tile by one worker), and put back.
  TBufferNote Take(std::size_t Tile);
  void Note(std::size_t Tile, const TBufferNote& Note) { FTiles[Tile] = Note; }
  const TBufferNote& NoteOf(std::size_t Tile) const { return FTiles[Tile]; }

 private:
  const std::uint32_t* FPixels;
  int FPitch;
  std::vector<TBufferNote> FTiles;
  bool FOpaque = false;
  std::uint64_t FUsed = 0;
  std::uint64_t FMissed = 0;
};

// The buffers drawn into lately, by their memory: as many as a presenter rotates (a swap
// chain's two, a compositor's three). One drawn into longest ago goes for a new one.
class TTargetBuffers {
 public:
  static constexpr std::size_t MaxBuffers = 3;

  TTargetBuffer* Find(const std::uint32_t* Pixels);
  const TTargetBuffer* Find(const std::uint32_t* Pixels) const;
  // The record of the memory at Pixels with rows Pitch apart (forgotten if its pitch changed).
  TTargetBuffer& Of(const std::uint32_t* Pixels, int Pitch);
  // A write other than drawing into the memory at Pixels (see TTargetBuffer::Forget).
  void Written(const std::uint32_t* Pixels, int Pitch, bool Opaque);
  bool Opaque(const std::uint32_t* Pixels) const;
  // Buffer was drawn at sync point Use: every other buffer missed it.
  void Drawn(TTargetBuffer& Buffer, std::uint64_t Use, bool Opaque);
  void ClearNotes();
  void Clear() { FBuffers.clear(); }

 private:
  std::vector<TTargetBuffer> FBuffers;
};

}  // namespace qel::soft
