#pragma once
// Deferred drawing of a frame in tiles. Clears and triangles are recorded as they come (set
// up, with their derived states); at a sync point every tile is drawn by one worker with all
// the commands that touch it, in submission order, while it stays in the core's cache.
// Pixels depend neither on the tile size nor on the number of threads.
//
// A tile remembers what it held after the first commands of the last sync point when they
// began by clearing it: when the next sync point starts the tile with the same commands (a
// frame whose lower layers did not change), it starts from that copy instead of drawing
// them again; a frame buffer that still holds the copy is mended only where drawn over
// (TargetBuffer.h says what is known of each buffer, and what makes it forgotten).
#include <memory>
#include <vector>

#include "platform/d3d9/soft/Rasterizer.h"
#include "platform/d3d9/soft/Presentation.h"
#include "platform/d3d9/soft/SpanPipeline.h"
#include "platform/d3d9/soft/TargetBuffer.h"
#include "platform/d3d9/soft/TileMemory.h"
#include "platform/d3d9/soft/WorkerPool.h"

namespace qel::soft {

// How many threads draw the next sync point when the settings leave it to the device, after
// one drawn by Threads threads in DrawMs: one while that takes under 4 ms, every core from one
// that took longer until drawing takes under 2 ms on all of them together. One thread costs
// the least processor time; more only where frames would otherwise come late.
int AutoThreads(int Threads, double DrawMs, int Cores);

class TTileRenderer {
 public:
  TTileRenderer();
  ~TTileRenderer();

  // Fills Rect (already inside the target) of the colour and/or depth buffer.
  void Clear(const TClipRect& Rect, bool Target, std::uint32_t Color, bool Depth, float Z);
  void Triangle(const std::shared_ptr<const TDrawState>& State, const TTriangleSetup& Setup);
  bool Empty() const { return FNow.Commands.empty(); }
  // Enough is recorded that drawing it now keeps the memory bounded.
  bool Full() const { return FNow.Commands.size() >= MaxRecorded; }
  // Commands recorded before a sync point is made: what they hold stays in a few megabytes.
  static constexpr std::size_t MaxRecorded = 32768;
  // Draws everything recorded into Target and forgets it. Opaque: then sets the alpha of
  // every pixel of the target to 255 while its tile is still in the cache (a target without
  // alpha, whose frames are shown opaque). Whole (a check): the same commands are drawn there
  // too, in full, without what tiles remember.
  void Flush(const TTarget& Target, const TDrawSettings& Settings, bool Opaque = false,
             const TTarget* Whole = nullptr);
  // The one call for every write into a frame buffer other than drawing (or that may have
  // written it): what it held of the kept tiles is forgotten. Opaque: the write left every
  // pixel with alpha 255.
  void Written(const std::uint32_t* Pixels, int Pitch, bool Opaque = false) { FBuffers.Written(Pixels, Pitch, Opaque); }
  // Every pixel of this frame buffer has alpha 255, as far as known.
  bool Opaque(const std::uint32_t* Pixels) const { return FBuffers.Opaque(Pixels); }
  // Forgets everything recorded and remembered (the target is going).
  void Discard();
  // Where Target, about to be shown, may differ from what was shown at the last call (the whole
  // target where that is not known), at most MaxChangedRects rectangles.
  std::vector<TPixelRect> ChangedSinceShown(const TTarget& Target);

 private:
  struct TClear {
    bool Target, Depth;
    std::uint32_t Color;
    float Z;
    bool operator==(const TClear&) const = default;
  };
  struct TTriangle {
    TTriangleSetup Setup;
    const TDrawState* State;  // interned: equal states of two sync points are one object
  };
  struct TCommand {
    TClipRect Bounds;
    bool IsClear;
    int Index;
  };
  // The commands of one sync point.
  struct TRecording {
    std::vector<TCommand> Commands;
    std::vector<TClear> Clears;
    std::vector<TTriangle> Triangles;
    std::vector<std::shared_ptr<const TDrawState>> States;  // held until drawn (and compared)
    std::vector<std::vector<int>> Bins;                     // commands per tile
    void Clear();
  };
  struct TLayout {
    int Width = 0, Height = 0, TileW = 0, TileH = 0;
    bool HasAlpha = false;
    bool operator==(const TLayout&) const = default;
  };
  void Draw(const TTarget& Target, const TCommand& Command, const TClipRect& Tile, TRasterScratch& Scratch,
            const TTileMode& Mode = {}) const;
  // Draws commands First and Second together when they are triangles that can share spans
  // (DrawTrianglePair); false, with nothing drawn, otherwise.
  bool DrawPair(const TTarget& Target, int First, int Second, const TClipRect& Tile, TRasterScratch& Scratch) const;
  // How many of the tile's first commands leave it all one colour (a clear, then shapes of
  // one colour covering the tile); Color is that colour when the answer is not 0.
  std::size_t UniformStart(const TTarget& Target, const std::vector<int>& Bin, const TClipRect& Tile,
                           TRasterScratch& Scratch, std::uint32_t& Color) const;
  // 1 or 2 when the triangle at Bin[First], or it and the next of the same state, cover
  // every pixel of the tile once; else 0.
  int CoveringGroup(const std::vector<int>& Bin, std::size_t First, const TClipRect& Tile, TRasterScratch& Scratch) const;
  // Over a tile of one colour (Mode), after the covering group of Group triangles at Bin[First]:
  // when the shape after it covers the tile in as many triangles, draws both (DrawLayered) and
  // answers how many commands of the second it took; 0, with nothing drawn, otherwise.
  // Opaqued: every pixel drawn was given alpha 255 as Mode asked.
  std::size_t DrawLayeredGroups(const TTarget& Target, const std::vector<int>& Bin, std::size_t First, int Group,
                                const TClipRect& Tile, TRasterScratch& Scratch, const TTileMode& Mode,
                                bool& Opaqued) const;
  // The triangles cover every pixel of the tile exactly once.
  static bool CoverOnce(const TTriangleSetup* const* Setups, int Count, const TClipRect& Tile, TRasterScratch& Scratch);
  // How many first commands of the tile's bin equal those of the last sync point, when the
  // first clears the whole tile (so that they draw the same pixels whatever was there).
  std::size_t CommonStart(int Tile, const TClipRect& Clip) const;
  bool SameCommand(int Now, int Last) const;
  // The commands from First on only add to the colour under them: alpha 255 stays so.
  bool AddsOnly(const std::vector<int>& Bin, std::size_t First) const;
  // Draws one tile with every command that touches it, from what it remembers where it can.
  // Buffer: what Target holds, when tiles are remembered.
  void DrawTile(const TTarget& Target, TTargetBuffer* Buffer, int Tile, const TClipRect& Clip, TRasterScratch& Scratch,
                bool Opaque);
  bool Rememberable(const TTarget& Target, const TDrawSettings& Settings) const;
  // What the buffer holds once the commands after the kept ones are drawn.
  TBufferNote NoteAfterKept(const TTileMemory& Memory, const std::vector<int>& Bin, const TClipRect& Clip) const;
  // Count, or less so that the first Count commands of the bin end where a state does.
  std::size_t DrawCallEnd(const std::vector<int>& Bin, std::size_t Count) const;

  TRecording FNow, FLast;
  TLayout FLastLayout;
  std::vector<TTileMemory> FMemory;
  TTargetBuffers FBuffers;
  std::uint64_t FBufferUses = 0;
  std::uint64_t FFlushes = 0;  // sync points that remembered tiles
  // What each tile held when the target was last shown, as far as known (Generation 0: not).
  struct TShownTile {
    std::uint64_t Generation = 0, Drawn = 0;
    int DirtyTop = 0, DirtyBottom = 0;
  };
  std::vector<TShownTile> FShown;
  TLayout FShownLayout;
  std::unique_ptr<TWorkerPool> FPool;
  int FAutoThreads = 1;
  std::vector<std::unique_ptr<TRasterScratch>> FScratch;  // one per worker
};

}  // namespace qel::soft
