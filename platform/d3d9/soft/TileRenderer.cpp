#include "platform/d3d9/soft/TileRenderer.h"

#include <algorithm>
#include <thread>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernels.h"

namespace qel::soft {

TTileRenderer::TTileRenderer() = default;
TTileRenderer::~TTileRenderer() = default;

void TTileRenderer::Clear(const TClipRect& Rect, bool Target, std::uint32_t Color, bool Depth, float Z) {
  if (Rect.Left >= Rect.Right || Rect.Top >= Rect.Bottom) return;
  FCommands.push_back({Rect, true, static_cast<int>(FClears.size())});
  FClears.push_back({Target, Depth, Color, Z});
}

void TTileRenderer::Triangle(const std::shared_ptr<const TDrawState>& State, const TTriangleSetup& Setup) {
  if (Setup.MinX > Setup.MaxX || Setup.MinY > Setup.MaxY) return;
  if (FStates.empty() || FStates.back() != State) FStates.push_back(State);
  FCommands.push_back({{Setup.MinX, Setup.MinY, Setup.MaxX + 1, Setup.MaxY + 1}, false,
                       static_cast<int>(FTriangles.size())});
  FTriangles.push_back({Setup, State.get()});
}

bool TTileRenderer::Full() const { return FCommands.size() >= 32768; }

void TTileRenderer::Discard() {
  FCommands.clear();
  FClears.clear();
  FTriangles.clear();
  FStates.clear();
}

void TTileRenderer::Draw(const TTarget& Target, const TCommand& Command, const TClipRect& Tile,
                         TRasterScratch& Scratch) const {
  if (!Command.IsClear) {
    const TTriangle& T = FTriangles[static_cast<std::size_t>(Command.Index)];
    DrawTriangle(Target, *T.State, T.Setup, Tile, Scratch);
    return;
  }
  const TClear& C = FClears[static_cast<std::size_t>(Command.Index)];
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
    const TCommand& C = FCommands[static_cast<std::size_t>(Bin[i])];
    if (C.IsClear) {
      const TClear& Cl = FClears[static_cast<std::size_t>(C.Index)];
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
    const TTriangle& T = FTriangles[static_cast<std::size_t>(C.Index)];
    const TDrawState& St = *T.State;
    if (!St.Fast || St.Tests || St.TexturedStages != 0 || St.Combine != TCombine::Diffuse ||
        St.Blend == TBlend::General || !T.Setup.FlatColor)
      break;
    const TTriangleSetup* Setups[2] = {&T.Setup, nullptr};
    int Group = 0;
    if (CoverOnce(Setups, 1, Tile, Scratch)) {
      Group = 1;
    } else if (i + 1 < Bin.size()) {
      const TCommand& Next = FCommands[static_cast<std::size_t>(Bin[i + 1])];
      if (!Next.IsClear) {
        const TTriangle& U = FTriangles[static_cast<std::size_t>(Next.Index)];
        Setups[1] = &U.Setup;
        if (U.State == T.State && U.Setup.FlatColor && U.Setup.Flat == T.Setup.Flat && CoverOnce(Setups, 2, Tile, Scratch))
          Group = 2;
      }
    }
    if (!Group) break;
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
  const TCommand& C = FCommands[static_cast<std::size_t>(Bin[First])];
  if (C.IsClear) return 0;
  const TTriangle& T = FTriangles[static_cast<std::size_t>(C.Index)];
  const TTriangleSetup* Setups[2] = {&T.Setup, nullptr};
  if (CoverOnce(Setups, 1, Tile, Scratch)) return 1;
  if (First + 1 >= Bin.size()) return 0;
  const TCommand& Next = FCommands[static_cast<std::size_t>(Bin[First + 1])];
  if (Next.IsClear) return 0;
  const TTriangle& U = FTriangles[static_cast<std::size_t>(Next.Index)];
  Setups[1] = &U.Setup;
  return U.State == T.State && CoverOnce(Setups, 2, Tile, Scratch) ? 2 : 0;
}

void TTileRenderer::Flush(const TTarget& Target, const TDrawSettings& Settings, bool Opaque) {
  if (FCommands.empty() && !Opaque) return;
  const int TileW = Settings.TileWidth > 0 ? std::min(Settings.TileWidth, Target.Width) : Target.Width;
  const int TileH = Settings.TileHeight > 0 ? std::min(Settings.TileHeight, Target.Height) : Target.Height;
  const int Columns = (Target.Width + TileW - 1) / TileW, Rows = (Target.Height + TileH - 1) / TileH;
  const int Tiles = Columns * Rows;
  if (FBins.size() < static_cast<std::size_t>(Tiles)) FBins.resize(static_cast<std::size_t>(Tiles));
  for (int t = 0; t < Tiles; ++t) FBins[static_cast<std::size_t>(t)].clear();
  for (int i = 0; i < static_cast<int>(FCommands.size()); ++i) {
    const TClipRect& B = FCommands[static_cast<std::size_t>(i)].Bounds;
    const int L = std::max(B.Left, 0), R = std::min(B.Right, Target.Width);
    const int T = std::max(B.Top, 0), Bo = std::min(B.Bottom, Target.Height);
    if (L >= R || T >= Bo) continue;
    for (int Row = T / TileH; Row <= (Bo - 1) / TileH; ++Row)
      for (int Column = L / TileW; Column <= (R - 1) / TileW; ++Column)
        FBins[static_cast<std::size_t>(Row * Columns + Column)].push_back(i);
  }

  int Threads = Settings.Threads < 0 ? static_cast<int>(std::thread::hardware_concurrency()) : Settings.Threads;
  Threads = std::clamp(Threads, 1, 64);
  if (!FPool || FPool->Threads() != Threads) FPool = std::make_unique<TWorkerPool>(Threads);
  while (FScratch.size() < static_cast<std::size_t>(Threads)) FScratch.push_back(std::make_unique<TRasterScratch>());

  FPool->Run(Tiles, [&](int Tile, int Worker) {
    const int Column = Tile % Columns, Row = Tile / Columns;
    const TClipRect Clip{Column * TileW, Row * TileH, std::min(Target.Width, (Column + 1) * TileW),
                         std::min(Target.Height, (Row + 1) * TileH)};
    TRasterScratch& Scratch = *FScratch[static_cast<std::size_t>(Worker)];
    const std::vector<int>& Bin = FBins[static_cast<std::size_t>(Tile)];
    std::uint32_t Color = 0;
    std::size_t First = UniformStart(Target, Bin, Clip, Scratch, Color);
    if (First > 0) {
      // The next shape, in one or two triangles of one state, draws over the colour without
      // filling it first when it covers every pixel once.
      const int Group = CoveringGroup(Bin, First, Clip, Scratch);
      if (Group > 0) {
        Scratch.UnderUniform = true;
        Scratch.Under = Color;
        for (int k = 0; k < Group; ++k)
          Draw(Target, FCommands[static_cast<std::size_t>(Bin[First + static_cast<std::size_t>(k)])], Clip, Scratch);
        Scratch.UnderUniform = false;
        First += static_cast<std::size_t>(Group);
      } else {
        // A tile left all one colour (a frame only cleared) is made opaque as it is filled.
        const bool Last = First == Bin.size() && Opaque;
        for (int y = Clip.Top; y < Clip.Bottom; ++y)
          FillRow(Last ? Color | 0xFF000000u : Color,
                  Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Clip.Right - Clip.Left);
        if (Last) return;
      }
    }
    for (std::size_t k = First; k < Bin.size(); ++k)
      Draw(Target, FCommands[static_cast<std::size_t>(Bin[k])], Clip, Scratch);
    if (Opaque)
      for (int y = Clip.Top; y < Clip.Bottom; ++y)
        OpaqueRow(Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Clip.Right - Clip.Left);
  });
  Discard();
}

}  // namespace qel::soft
