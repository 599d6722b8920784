#include "platform/d3d9/soft/TileRenderer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernels.h"

namespace qel::soft {

TTileRenderer::TTileRenderer() = default;
TTileRenderer::~TTileRenderer() = default;

void TTileRenderer::Clear(const TClipRect& Rect, bool Target, std::uint32_t Color, bool Depth, float Z) {
  if (Rect.Left >= Rect.Right || Rect.Top >= Rect.Bottom) return;
  FNow.Commands.push_back({Rect, true, static_cast<int>(FNow.Clears.size())});
  FNow.Clears.push_back({Target, Depth, Color, Z});
}

void TTileRenderer::Triangle(const std::shared_ptr<const TDrawState>& State, const TTriangleSetup& Setup) {
  if (Setup.MinX > Setup.MaxX || Setup.MinY > Setup.MaxY) return;
  if (FNow.States.empty() || FNow.States.back() != State) FNow.States.push_back(State);
  FNow.Commands.push_back({{Setup.MinX, Setup.MinY, Setup.MaxX + 1, Setup.MaxY + 1}, false,
                           static_cast<int>(FNow.Triangles.size())});
  FNow.Triangles.push_back({Setup, State.get()});
}


void TTileRenderer::TRecording::Clear() {
  Commands.clear();
  Clears.clear();
  Triangles.clear();
  States.clear();
  for (std::vector<int>& Bin : Bins) Bin.clear();
}

void TTileRenderer::Discard() {
  FNow.Clear();
  FLast.Clear();
  FLastLayout = {};
  FMemory.clear();
  FBuffers.Clear();
}

void TTileRenderer::Draw(const TTarget& Target, const TCommand& Command, const TClipRect& Tile,
                         TRasterScratch& Scratch, const TTileMode& Mode) const {
  if (!Command.IsClear) {
    const TTriangle& T = FNow.Triangles[static_cast<std::size_t>(Command.Index)];
    DrawTriangle(Target, *T.State, T.Setup, Tile, Scratch, Mode);
    return;
  }
  const TClear& C = FNow.Clears[static_cast<std::size_t>(Command.Index)];
  const int L = std::max(Command.Bounds.Left, Tile.Left), R = std::min(Command.Bounds.Right, Tile.Right);
  const int T = std::max(Command.Bounds.Top, Tile.Top), B = std::min(Command.Bounds.Bottom, Tile.Bottom);
  for (int y = T; y < B; ++y) {
    if (C.Target) FillRow(C.Color, Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + L, R - L);
    if (C.Depth && Target.Depth) {
      float* Row = Target.Depth + static_cast<std::size_t>(y) * Target.Width;
      std::fill(Row + L, Row + R, C.Z);
    }
  }
}

bool TTileRenderer::DrawPair(const TTarget& Target, int First, int Second, const TClipRect& Tile,
                             TRasterScratch& Scratch) const {
  const TCommand& A = FNow.Commands[static_cast<std::size_t>(First)];
  const TCommand& B = FNow.Commands[static_cast<std::size_t>(Second)];
  if (A.IsClear || B.IsClear) return false;
  const TTriangle& T = FNow.Triangles[static_cast<std::size_t>(A.Index)];
  const TTriangle& U = FNow.Triangles[static_cast<std::size_t>(B.Index)];
  return T.State == U.State && DrawTrianglePair(Target, *T.State, T.Setup, U.Setup, Tile, Scratch);
}

bool TTileRenderer::CoverOnce(const TTriangleSetup* const* Setups, int Count, const TClipRect& Tile,
                              TRasterScratch& Scratch) {
  const int Rows = Tile.Bottom - Tile.Top, Width = Tile.Right - Tile.Left;
  for (int t = 0; t < Count; ++t) {
    const TTriangleSetup& S = *Setups[t];
    if (S.MinX > Tile.Left || S.MaxX < Tile.Right - 1 || S.MinY > Tile.Top || S.MaxY < Tile.Bottom - 1) {
      if (Count == 1) return false;  // one triangle must reach every side
    }
    Scratch.RowFirst[t].resize(static_cast<std::size_t>(Rows));
    Scratch.RowCount[t].resize(static_cast<std::size_t>(Rows));
    TriangleRows(S, Tile, Scratch.RowFirst[t].data(), Scratch.RowCount[t].data());
  }
  for (int r = 0; r < Rows; ++r) {
    const int F0 = Scratch.RowFirst[0][static_cast<std::size_t>(r)], N0 = Scratch.RowCount[0][static_cast<std::size_t>(r)];
    if (Count == 1) {
      if (N0 != Width) return false;
      continue;
    }
    const int F1 = Scratch.RowFirst[1][static_cast<std::size_t>(r)], N1 = Scratch.RowCount[1][static_cast<std::size_t>(r)];
    if (N0 + N1 != Width) return false;
    // Spans inside the tile whose lengths add up to its width cover it once when they meet.
    if (N0 && N1 && !(F0 + N0 == F1 || F1 + N1 == F0)) return false;
  }
  return true;
}

std::size_t TTileRenderer::UniformStart(const TTarget& Target, const std::vector<int>& Bin, const TClipRect& Tile,
                                        TRasterScratch& Scratch, std::uint32_t& Color) const {
  std::size_t i = 0;
  bool Known = false;
  while (i < Bin.size()) {
    const TCommand& C = FNow.Commands[static_cast<std::size_t>(Bin[i])];
    if (C.IsClear) {
      const TClear& Cl = FNow.Clears[static_cast<std::size_t>(C.Index)];
      if (!Cl.Target || C.Bounds.Left > Tile.Left || C.Bounds.Top > Tile.Top || C.Bounds.Right < Tile.Right ||
          C.Bounds.Bottom < Tile.Bottom)
        break;
      if (Cl.Depth && Target.Depth)
        for (int y = Tile.Top; y < Tile.Bottom; ++y) {
          float* Row = Target.Depth + static_cast<std::size_t>(y) * Target.Width;
          std::fill(Row + Tile.Left, Row + Tile.Right, Cl.Z);
        }
      Known = true;
      Color = Cl.Color;
      ++i;
      continue;
    }
    if (!Known) break;
    // Untextured shapes of one flat colour without tests: every pixel they cover becomes the
    // same function of the colour before.
    const TTriangle& T = FNow.Triangles[static_cast<std::size_t>(C.Index)];
    const TDrawState& St = *T.State;
    if (!St.Paths.UniformFold || !T.Setup.FlatColor) break;
    // Covering the tile once, in one triangle or two of one colour.
    const int Group = CoveringGroup(Bin, i, Tile, Scratch);
    if (!Group) break;
    if (Group == 2) {
      const TTriangle& U = FNow.Triangles[static_cast<std::size_t>(FNow.Commands[static_cast<std::size_t>(Bin[i + 1])].Index)];
      if (!U.Setup.FlatColor || U.Setup.Flat != T.Setup.Flat) break;
    }
    const std::uint32_t S = T.Setup.Flat;
    switch (St.Blend) {
      case TBlend::Replace: Color = S; break;
      case TBlend::Alpha: Color = px::AlphaBlend(S, Color); break;
      case TBlend::Add: Color = px::AddBlend(S, Color); break;
      case TBlend::Multiply: Color = px::Modulate(S, Color); break;
      case TBlend::General: break;
    }
    i += static_cast<std::size_t>(Group);
  }
  return Known ? i : 0;
}

int TTileRenderer::CoveringGroup(const std::vector<int>& Bin, std::size_t First, const TClipRect& Tile,
                                 TRasterScratch& Scratch) const {
  if (First >= Bin.size()) return 0;
  const TCommand& C = FNow.Commands[static_cast<std::size_t>(Bin[First])];
  if (C.IsClear) return 0;
  const TTriangle& T = FNow.Triangles[static_cast<std::size_t>(C.Index)];
  const TTriangleSetup* Setups[2] = {&T.Setup, nullptr};
  if (CoverOnce(Setups, 1, Tile, Scratch)) return 1;
  if (First + 1 >= Bin.size()) return 0;
  const TCommand& Next = FNow.Commands[static_cast<std::size_t>(Bin[First + 1])];
  if (Next.IsClear) return 0;
  const TTriangle& U = FNow.Triangles[static_cast<std::size_t>(Next.Index)];
  Setups[1] = &U.Setup;
  return U.State == T.State && CoverOnce(Setups, 2, Tile, Scratch) ? 2 : 0;
}

std::size_t TTileRenderer::DrawLayeredGroups(const TTarget& Target, const std::vector<int>& Bin, std::size_t First,
                                             int Group, const TClipRect& Tile, TRasterScratch& Scratch,
                                             const TTileMode& Mode, bool& Opaqued) const {
  const std::size_t Next = First + static_cast<std::size_t>(Group);
  if (CoveringGroup(Bin, Next, Tile, Scratch) != Group) return 0;
  for (std::size_t k = 0; k < static_cast<std::size_t>(Group); ++k) {
    const TCommand& Below = FNow.Commands[static_cast<std::size_t>(Bin[First + k])];
    const TCommand& Over = FNow.Commands[static_cast<std::size_t>(Bin[Next + k])];
    const TTriangle& B = FNow.Triangles[static_cast<std::size_t>(Below.Index)];
    const TTriangle& O = FNow.Triangles[static_cast<std::size_t>(Over.Index)];
    if (DrawLayered(Target, *B.State, B.Setup, *O.State, O.Setup, Tile, Scratch, Mode)) continue;
    if (k == 0) return 0;
    // The first pair covered the same pixels, so this one does too: one, then the other.
    Draw(Target, Below, Tile, Scratch, Mode);
    Draw(Target, Over, Tile, Scratch);
    Opaqued = false;
  }
  return static_cast<std::size_t>(Group);
}

int AutoThreads(int Threads, double DrawMs, int Cores) {
  if (Threads <= 1) return DrawMs > 4.0 ? Cores : 1;
  return DrawMs * Threads < 2.0 ? 1 : Threads;
}

void TTileRenderer::Flush(const TTarget& Target, const TDrawSettings& Settings, bool Opaque, const TTarget* Whole) {
  if (FNow.Commands.empty() && !Opaque) return;
  const int TileW = Settings.TileWidth > 0 ? std::min(Settings.TileWidth, Target.Width) : Target.Width;
  const int TileH = Settings.TileHeight > 0 ? std::min(Settings.TileHeight, Target.Height) : Target.Height;
  const int Columns = (Target.Width + TileW - 1) / TileW, Rows = (Target.Height + TileH - 1) / TileH;
  const int Tiles = Columns * Rows;
  FNow.Bins.resize(static_cast<std::size_t>(Tiles));
  for (std::vector<int>& Bin : FNow.Bins) Bin.clear();
  for (int i = 0; i < static_cast<int>(FNow.Commands.size()); ++i) {
    const TClipRect& B = FNow.Commands[static_cast<std::size_t>(i)].Bounds;
    const int L = std::max(B.Left, 0), R = std::min(B.Right, Target.Width);
    const int T = std::max(B.Top, 0), Bo = std::min(B.Bottom, Target.Height);
    if (L >= R || T >= Bo) continue;
    for (int Row = T / TileH; Row <= (Bo - 1) / TileH; ++Row)
      for (int Column = L / TileW; Column <= (R - 1) / TileW; ++Column)
        FNow.Bins[static_cast<std::size_t>(Row * Columns + Column)].push_back(i);
  }

  const TLayout Layout{Target.Width, Target.Height, TileW, TileH, Target.HasAlpha};
  const bool Remember = Rememberable(Target, Settings);
  TTargetBuffer& Buffer = FBuffers.Of(Target.Pixels, Target.Pitch);
  if (!Remember || !(Layout == FLastLayout)) {
    FMemory.clear();
    FLast = {};
    // What buffers hold refers to tiles (and copies) no longer kept.
    FBuffers.ClearNotes();
  }
  if (Remember) {
    ++FFlushes;
    FMemory.resize(static_cast<std::size_t>(Tiles));
    FLast.Bins.resize(static_cast<std::size_t>(Tiles));
    Buffer.Track(static_cast<std::size_t>(Tiles));
  }
  const std::uint64_t Use = ++FBufferUses;

  const int Cores = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 64);
  // Left to the device: one thread or all, from a pool of all kept while the count changes.
  const int Threads = Settings.Threads < 0 ? std::min(FAutoThreads, Cores) : std::clamp(Settings.Threads, 1, 64);
  const int PoolThreads = Settings.Threads < 0 ? Cores : Threads;
  if (!FPool || FPool->Threads() != PoolThreads) FPool = std::make_unique<TWorkerPool>(PoolThreads);
  while (FScratch.size() < static_cast<std::size_t>(PoolThreads)) FScratch.push_back(std::make_unique<TRasterScratch>());

  const auto Started = std::chrono::steady_clock::now();
  const auto ClipOf = [&](int Tile) {
    const int Column = Tile % Columns, Row = Tile / Columns;
    return TClipRect{Column * TileW, Row * TileH, std::min(Target.Width, (Column + 1) * TileW),
                     std::min(Target.Height, (Row + 1) * TileH)};
  };
  FPool->Run(Tiles, [&](int Tile, int Worker) {
    DrawTile(Target, Remember ? &Buffer : nullptr, Tile, ClipOf(Tile), *FScratch[static_cast<std::size_t>(Worker)],
             Opaque);
  }, Threads == 1);
  if (Settings.Threads < 0) {
    const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Started;
    FAutoThreads = AutoThreads(Threads, Took.count(), Cores);
  }
  if (Whole)
    FPool->Run(Tiles, [&](int Tile, int Worker) {
      DrawTile(*Whole, nullptr, Tile, ClipOf(Tile), *FScratch[static_cast<std::size_t>(Worker)], Opaque);
    }, Threads == 1);
  FBuffers.Drawn(Buffer, Use, Opaque);
  // This sync point's commands are compared with the next one's, and its states kept till then.
  if (Remember) {
    std::swap(FLast, FNow);
    FLastLayout = Layout;
  } else {
    FLastLayout = {};
  }
  FNow.Clear();
}

void TTileRenderer::DrawTile(const TTarget& Target, TTargetBuffer* Buffer, int Tile, const TClipRect& Clip,
                             TRasterScratch& Scratch, bool Opaque) {
  const std::vector<int>& Bin = FNow.Bins[static_cast<std::size_t>(Tile)];
  TTileMemory* Memory = Buffer ? &FMemory[static_cast<std::size_t>(Tile)] : nullptr;
  // What this frame buffer holds here, taken out: noted anew once the tile is drawn.
  const TBufferNote Note = Buffer ? Buffer->Take(static_cast<std::size_t>(Tile)) : TBufferNote{};
  const std::size_t Common = Memory ? CommonStart(Tile, Clip) : 0;
  // Where the common start ends, at the end of a draw call (its triangles tend to move together).
  const std::size_t End = DrawCallEnd(Bin, Common);
  std::size_t First = 0, KeepAt = 0;  // KeepAt: the pixels after that many commands are kept
  bool Restored = false, MadeOpaque = false;  // the tile's pixels up to First have alpha 255
  if (Memory && Memory->Commands > 0 && Memory->Commands <= Common && Memory->Opaque == Opaque) {
    Restored = true;
    // A buffer that still holds the kept pixels needs only the rows drawn over since.
    const bool Holds = Note.Generation && Note.Generation == Memory->Generation;
    if (Holds && Common == Bin.size() && Common == FLast.Bins[static_cast<std::size_t>(Tile)].size() &&
        Buffer->Missed() == 0) {
      // It holds this very tile, drawn at the last sync point (a frame that repeats the last).
      Memory->LastEnd = End;
      Buffer->Note(static_cast<std::size_t>(Tile), Note);
      return;
    }
    Memory->Restore(Target, Clip, Holds ? Note.DirtyTop : 0, Holds ? Note.DirtyBottom : Clip.Bottom - Clip.Top);
    First = Memory->Commands;
    // Kept further on only when the common start reached there in the last frame too: shapes
    // that stayed put for one frame (without a step of their animation) seldom do for the
    // next, which would then start from scratch.
    const std::size_t Stable = std::min(End, Memory->LastEnd);
    if (Stable > First) KeepAt = Stable;
  } else {
    if (Memory) Memory->Commands = 0;
    std::uint32_t Color = 0;
    First = UniformStart(Target, Bin, Clip, Scratch, Color);
    const std::size_t Folded = First;
    if (First > 0) {
      // The next shape, in one or two triangles of one state, draws over the colour without
      // filling it first when it covers every pixel once.
      const int Group = CoveringGroup(Bin, First, Clip, Scratch);
      if (Group > 0) {
        // The shape after it goes with it, unless its pixels are to be kept in between; made
        // opaque at once: later colours never read the alpha of a target shown opaque.
        const TTileMode Under{true, Color, Opaque};
        const std::size_t Over = First + static_cast<std::size_t>(Group);
        const bool KeptBetween = End >= Over && End < Over + static_cast<std::size_t>(Group);
        bool Opaqued = Opaque;
        const std::size_t Layered =
            KeptBetween ? 0 : DrawLayeredGroups(Target, Bin, First, Group, Clip, Scratch, Under, Opaqued);
        MadeOpaque = Layered > 0 && Opaqued;
        if (!Layered)
          for (int k = 0; k < Group; ++k)
            Draw(Target, FNow.Commands[static_cast<std::size_t>(Bin[First + static_cast<std::size_t>(k)])], Clip, Scratch,
                 {true, Color, false});
        First = Over + Layered;
      } else {
        // A tile left all one colour (a frame only cleared) is made opaque as it is filled.
        const bool Last = First == Bin.size() && Opaque;
        for (int y = Clip.Top; y < Clip.Bottom; ++y)
          FillRow(Last ? Color | 0xFF000000u : Color,
                  Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Clip.Right - Clip.Left);
        if (Last) return;
      }
    }
    // Kept only where something was drawn, not just filled, and where the start repeats the
    // last sync point's: one that changes with every frame (a fade) would be copied for nothing.
    if (End >= First && End > Folded && Common >= End) KeepAt = End;
  }
  for (std::size_t k = First; k < Bin.size(); ++k) {
    if (KeepAt > 0 && k == KeepAt) Memory->Keep(Target, Clip, KeepAt, Opaque, FFlushes);
    // The two halves of a strip's quad go together, unless the pixels are kept between them.
    if (k + 1 < Bin.size() && k + 1 != KeepAt && DrawPair(Target, Bin[k], Bin[k + 1], Clip, Scratch))
      ++k;
    else
      Draw(Target, FNow.Commands[static_cast<std::size_t>(Bin[k])], Clip, Scratch);
  }
  if (KeepAt > 0 && KeepAt == Bin.size()) Memory->Keep(Target, Clip, KeepAt, Opaque, FFlushes);
  if (Memory) {
    Memory->LastEnd = End;
    if (Memory->Commands > 0 && (Restored || KeepAt > 0))
      Buffer->Note(static_cast<std::size_t>(Tile), NoteAfterKept(*Memory, Bin, Clip));
  }
  if (Opaque && !((Restored || MadeOpaque) && AddsOnly(Bin, First)))
    for (int y = Clip.Top; y < Clip.Bottom; ++y)
      OpaqueRow(Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Clip.Right - Clip.Left);
}

}  // namespace qel::soft
