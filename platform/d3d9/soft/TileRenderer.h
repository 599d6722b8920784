#pragma once
// Deferred drawing of a frame in tiles. Clears and triangles are recorded as they come (set
// up, with their derived states); at a sync point every tile is drawn by one worker with all
// the commands that touch it, in submission order, while it stays in the core's cache.
// Pixels depend neither on the tile size nor on the number of threads.
#include <memory>
#include <vector>

#include "platform/d3d9/soft/Rasterizer.h"
#include "platform/d3d9/soft/SoftControls.h"
#include "platform/d3d9/soft/SpanPipeline.h"
#include "platform/d3d9/soft/WorkerPool.h"

namespace qel::soft {

class TTileRenderer {
 public:
  TTileRenderer();
  ~TTileRenderer();

  // Fills Rect (already inside the target) of the colour and/or depth buffer.
  void Clear(const TClipRect& Rect, bool Target, std::uint32_t Color, bool Depth, float Z);
  void Triangle(const std::shared_ptr<const TDrawState>& State, const TTriangleSetup& Setup);
  bool Empty() const { return FCommands.empty(); }
  // Enough is recorded that drawing it now keeps the memory bounded.
  bool Full() const;
  // Draws everything recorded into Target and forgets it. Opaque: then sets the alpha of
  // every pixel of the target to 255 while its tile is still in the cache (a target without
  // alpha, whose frames are shown opaque).
  void Flush(const TTarget& Target, const TDrawSettings& Settings, bool Opaque = false);
  // Forgets everything recorded (the target is going).
  void Discard();

 private:
  struct TClear {
    bool Target, Depth;
    std::uint32_t Color;
    float Z;
  };
  struct TTriangle {
    TTriangleSetup Setup;
    const TDrawState* State;
  };
  struct TCommand {
    TClipRect Bounds;
    bool IsClear;
    int Index;
  };
  void Draw(const TTarget& Target, const TCommand& Command, const TClipRect& Tile, TRasterScratch& Scratch) const;
  // How many of the tile's first commands leave it all one colour (a clear, then shapes of
  // one colour covering the tile); Color is that colour when the answer is not 0.
  std::size_t UniformStart(const TTarget& Target, const std::vector<int>& Bin, const TClipRect& Tile,
                           TRasterScratch& Scratch, std::uint32_t& Color) const;
  // 1 or 2 when the triangle at Bin[First], or it and the next of the same state, cover
  // every pixel of the tile once; else 0.
  int CoveringGroup(const std::vector<int>& Bin, std::size_t First, const TClipRect& Tile, TRasterScratch& Scratch) const;
  // The triangles cover every pixel of the tile exactly once.
  static bool CoverOnce(const TTriangleSetup* const* Setups, int Count, const TClipRect& Tile, TRasterScratch& Scratch);

  std::vector<TCommand> FCommands;
  std::vector<TClear> FClears;
  std::vector<TTriangle> FTriangles;
  std::vector<std::shared_ptr<const TDrawState>> FStates;  // held until drawn
  std::vector<std::vector<int>> FBins;                     // commands per tile
  std::unique_ptr<TWorkerPool> FPool;
  std::vector<std::unique_ptr<TRasterScratch>> FScratch;  // one per worker
};

}  // namespace qel::soft
