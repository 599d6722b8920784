#include "platform/d3d9/soft/TileRenderer.h"

#include <algorithm>
#include <thread>

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
    for (int Index : FBins[static_cast<std::size_t>(Tile)])
      Draw(Target, FCommands[static_cast<std::size_t>(Index)], Clip, Scratch);
    if (Opaque)
      for (int y = Clip.Top; y < Clip.Bottom; ++y)
        OpaqueRow(Target.Pixels + static_cast<std::size_t>(y) * Target.Pitch + Clip.Left, Clip.Right - Clip.Left);
  });
  Discard();
}

}  // namespace qel::soft
