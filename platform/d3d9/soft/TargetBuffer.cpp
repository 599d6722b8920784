#include "platform/d3d9/soft/TargetBuffer.h"

#include <algorithm>

namespace qel::soft {

void TTargetBuffer::Forget(bool Opaque) {
  FTiles.assign(FTiles.size(), {});
  FOpaque = Opaque;
}

void TTargetBuffer::NoteDrawn(std::uint64_t Use, bool Opaque) {
  FUsed = Use;
  FOpaque = Opaque;
  FMissed = 0;
}

void TTargetBuffer::Track(std::size_t Tiles) {
  if (FTiles.size() != Tiles) FTiles.assign(Tiles, {});
}

TBufferNote TTargetBuffer::Take(std::size_t Tile) {
  TBufferNote Taken;
  std::swap(Taken, FTiles[Tile]);
  return Taken;
}

TTargetBuffer* TTargetBuffers::Find(const std::uint32_t* Pixels) {
  for (TTargetBuffer& B : FBuffers)
    if (B.Pixels() == Pixels) return &B;
  return nullptr;
}

const TTargetBuffer* TTargetBuffers::Find(const std::uint32_t* Pixels) const {
  for (const TTargetBuffer& B : FBuffers)
    if (B.Pixels() == Pixels) return &B;
  return nullptr;
}

TTargetBuffer& TTargetBuffers::Of(const std::uint32_t* Pixels, int Pitch) {
  if (TTargetBuffer* B = Find(Pixels)) {
    if (B->Pitch() == Pitch) return *B;
    *B = TTargetBuffer(Pixels, Pitch);
    return *B;
  }
  if (FBuffers.size() >= MaxBuffers)
    FBuffers.erase(std::min_element(FBuffers.begin(), FBuffers.end(), [](const TTargetBuffer& X, const TTargetBuffer& Y) {
      return X.LastUse() < Y.LastUse();
    }));
  return FBuffers.emplace_back(Pixels, Pitch);
}

void TTargetBuffers::Written(const std::uint32_t* Pixels, int Pitch, bool Opaque) {
  TTargetBuffer* B = Find(Pixels);
  if (!B && Opaque) B = &Of(Pixels, Pitch);
  if (B) B->Forget(Opaque);
}

bool TTargetBuffers::Opaque(const std::uint32_t* Pixels) const {
  const TTargetBuffer* B = Find(Pixels);
  return B && B->Opaque();
}

void TTargetBuffers::Drawn(TTargetBuffer& Buffer, std::uint64_t Use, bool Opaque) {
  for (TTargetBuffer& B : FBuffers)
    if (&B != &Buffer) B.NoteMissed();
  Buffer.NoteDrawn(Use, Opaque);
}

void TTargetBuffers::ClearNotes() {
  for (TTargetBuffer& B : FBuffers) B.ClearNotes();
}

}  // namespace qel::soft
