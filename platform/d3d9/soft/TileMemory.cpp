// What tiles remember from one sync point to the next: which first commands repeat, the
// pixels they left (the tile cache), and what changed since a target was shown.
#include <algorithm>

#include "platform/d3d9/soft/ChangedRegion.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "platform/d3d9/soft/TileRenderer.h"

namespace qel::soft {

bool TTileRenderer::SameCommand(int Now, int Last) const {
  const TCommand& A = FNow.Commands[static_cast<std::size_t>(Now)];
  const TCommand& B = FLast.Commands[static_cast<std::size_t>(Last)];
  if (A.IsClear != B.IsClear || !(A.Bounds == B.Bounds)) return false;
  if (A.IsClear) return FNow.Clears[static_cast<std::size_t>(A.Index)] == FLast.Clears[static_cast<std::size_t>(B.Index)];
  const TTriangle& S = FNow.Triangles[static_cast<std::size_t>(A.Index)];
  const TTriangle& T = FLast.Triangles[static_cast<std::size_t>(B.Index)];
  return S.State == T.State && S.Setup == T.Setup;
}

std::size_t TTileRenderer::CommonStart(int Tile, const TClipRect& Clip) const {
  const std::vector<int>& Now = FNow.Bins[static_cast<std::size_t>(Tile)];
  const std::vector<int>& Last = FLast.Bins[static_cast<std::size_t>(Tile)];
  if (Now.empty()) return 0;
  const TCommand& First = FNow.Commands[static_cast<std::size_t>(Now[0])];
  if (!First.IsClear || !FNow.Clears[static_cast<std::size_t>(First.Index)].Target || First.Bounds.Left > Clip.Left ||
      First.Bounds.Top > Clip.Top || First.Bounds.Right < Clip.Right || First.Bounds.Bottom < Clip.Bottom)
    return 0;
  std::size_t i = 0;
  while (i < Now.size() && i < Last.size() && SameCommand(Now[i], Last[i])) ++i;
  return i;
}

std::size_t TTileRenderer::DrawCallEnd(const std::vector<int>& Bin, std::size_t Count) const {
  auto StateAt = [&](std::size_t k) {
    const TCommand& C = FNow.Commands[static_cast<std::size_t>(Bin[k])];
    return C.IsClear ? nullptr : FNow.Triangles[static_cast<std::size_t>(C.Index)].State;
  };
  while (Count > 0 && Count < Bin.size() && StateAt(Count) && StateAt(Count) == StateAt(Count - 1)) --Count;
  return Count;
}

bool TTileRenderer::AddsOnly(const std::vector<int>& Bin, std::size_t First) const {
  for (std::size_t k = First; k < Bin.size(); ++k) {
    const TCommand& C = FNow.Commands[static_cast<std::size_t>(Bin[k])];
    if (C.IsClear) return false;
    const TDrawState& S = *FNow.Triangles[static_cast<std::size_t>(C.Index)].State;
    if (S.Blend != TBlend::Add || S.Tests) return false;
  }
  return true;
}

bool TTileRenderer::Rememberable(const TTarget& Target, const TDrawSettings& Settings) const {
  return Settings.RememberTiles && !Target.Depth &&
         static_cast<std::size_t>(Target.Width) * static_cast<std::size_t>(Target.Height) <= MaxRememberedPixels &&
         FNow.Commands.size() <= MaxRememberedCommands;
}

TBufferNote TTileRenderer::NoteAfterKept(const TTileMemory& Memory, const std::vector<int>& Bin,
                                         const TClipRect& Clip) const {
  // The buffer holds the kept pixels but where the commands after them drew.
  int Top = Clip.Bottom, Bottom = Clip.Top;
  for (std::size_t k = Memory.Commands; k < Bin.size(); ++k) {
    const TClipRect& B = FNow.Commands[static_cast<std::size_t>(Bin[k])].Bounds;
    Top = std::min(Top, std::max(B.Top, Clip.Top));
    Bottom = std::max(Bottom, std::min(B.Bottom, Clip.Bottom));
  }
  return {Memory.Generation, Top - Clip.Top, std::max(Top, Bottom) - Clip.Top, FFlushes};
}

void TTileMemory::Restore(const TTarget& Target, const TClipRect& Clip, int Top, int Bottom) const {
  const int Width = Clip.Right - Clip.Left;
  for (int y = Top; y < Bottom; ++y)
    std::copy_n(Pixels.data() + static_cast<std::size_t>(y) * Width, Width,
                Target.Pixels + static_cast<std::size_t>(Clip.Top + y) * Target.Pitch + Clip.Left);
}

void TTileMemory::Keep(const TTarget& Target, const TClipRect& Clip, std::size_t KeptCommands, bool MakeOpaque,
                       std::uint64_t KeptAt) {
  const int Width = Clip.Right - Clip.Left;
  Pixels.resize(static_cast<std::size_t>(Width) * (Clip.Bottom - Clip.Top));
  for (int y = Clip.Top; y < Clip.Bottom; ++y)
    std::copy_n(Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Width,
                Pixels.data() + static_cast<std::size_t>(y - Clip.Top) * Width);
  // A frame shown opaque ends with alpha 255 everywhere, and its colours never read the
  // alpha under them (the target has none): kept opaque, it needs no pass when it comes back.
  if (MakeOpaque)
    for (std::size_t i = 0; i < Pixels.size(); i += static_cast<std::size_t>(Width)) OpaqueRow(Pixels.data() + i, Width);
  Commands = KeptCommands;
  Opaque = MakeOpaque;
  // Told apart from every copy this tile kept before, even after the memory was dropped.
  Generation = KeptAt;
}

std::vector<TPixelRect> TTileRenderer::ChangedSinceShown(const TTarget& Target) {
  const TLayout& L = FLastLayout;
  const bool Known = !FMemory.empty() && L == FShownLayout && L.Width == Target.Width && L.Height == Target.Height;
  const int Columns = L.TileW > 0 ? (L.Width + L.TileW - 1) / L.TileW : 0;
  const TTargetBuffer* Buffer = FBuffers.Find(Target.Pixels);
  std::vector<TShownTile> Now(FMemory.size());
  std::vector<TPixelRect> Changed;
  for (std::size_t t = 0; t < FMemory.size(); ++t) {
    if (Buffer && Buffer->Pitch() == Target.Pitch && t < Buffer->Tracked()) {
      const TBufferNote& N = Buffer->NoteOf(t);
      Now[t] = {N.Generation, N.Drawn, N.DirtyTop, N.DirtyBottom};
    }
    if (!Known) continue;
    // Both are the same kept pixels but where drawn over since (or the very same pixels).
    const TShownTile &A = FShown[t], &B = Now[t];
    int Top = 0, Bottom = std::min(L.TileH, L.Height - static_cast<int>(t) / Columns * L.TileH);
    if (A.Generation && A.Generation == B.Generation) {
      if (A.Drawn == B.Drawn) continue;
      Top = std::min(A.DirtyBottom > A.DirtyTop ? A.DirtyTop : Bottom, B.DirtyBottom > B.DirtyTop ? B.DirtyTop : Bottom);
      Bottom = std::max(A.DirtyBottom > A.DirtyTop ? A.DirtyBottom : 0, B.DirtyBottom > B.DirtyTop ? B.DirtyBottom : 0);
      if (Top >= Bottom) continue;
    }
    const int X = static_cast<int>(t) % Columns * L.TileW, Y = static_cast<int>(t) / Columns * L.TileH;
    Changed.push_back({X, Y + Top, std::min(X + L.TileW, L.Width), Y + Bottom});
  }
  FShown = std::move(Now);
  FShownLayout = L;
  if (!Known) return {{0, 0, Target.Width, Target.Height}};
  MergeChangedRects(Changed, MaxChangedRects);
  return Changed;
}

}  // namespace qel::soft
