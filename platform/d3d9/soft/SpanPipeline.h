#pragma once
// The pixel work of the rasteriser, one horizontal span at a time: texture fetch per stage,
// texture-stage combination, alpha and depth tests, blending and the colour write mask.
// Spans are processed in chunks through small row buffers, so each step is one tight loop.
#include <cstdint>
#include <vector>

#include "platform/d3d9/soft/Rasterizer.h"

namespace qel::soft {

// Stage 0's texture filtered across once per texture row and target column, for
// axis-aligned magnified quads (the picture stretched over the screen): each frame row
// then only filters down between two cached rows.
struct TRowCache {
  const TSoftTexture* Texture = nullptr;
  std::uint64_t Version = 0;
  std::int64_t URow = 0, DU = 0;
  int Left = 0, Right = 0;
  DWORD AddressU = 0;
  std::vector<std::uint32_t> Rows;  // texture rows x (Right - Left)
  std::vector<std::uint8_t> Done;   // per texture row
};

struct TRasterScratch {
  TRowCache RowCache;
};

struct TTexInfo {
  const std::uint32_t* Texels = nullptr;
  int Width = 0, Height = 0;
  bool Pow2Wrap = false;
  int WidthMask = 0, HeightMask = 0, WidthShift = 0;
  DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
  std::uint32_t Border = 0;
  bool Linear = false;
};

class TSpanPipeline {
 public:
  static constexpr int Chunk = 256;

  TSpanPipeline(const TTarget& Target, const TPipeline& Pipeline, TRasterScratch& Scratch, bool FastPaths);

  // Triangles: BeginTriangle once, then the spans of its rows (Left/Right bound them).
  void BeginTriangle(const TTriangleSetup& Setup, int Left, int Right);
  void TriangleSpan(int X, int Y, int Count);
  // Points and lines: every pixel of the span takes the vertex's attributes.
  void ConstantSpan(int X, int Y, int Count, const TVertex& Vertex);

 private:
  enum class TCombine { Diffuse, Texture, Modulate, General };
  enum class TBlend { Replace, Alpha, Add, General };

  struct TSpanInputs {
    int X = 0, Y = 0, Count = 0;
    bool FlatColor = true;
    std::uint32_t Flat = 0;
    std::int64_t C[4] = {}, DC[4] = {};  // 32.32 per channel
    std::int64_t U[8] = {}, DU[8] = {}, V[8] = {}, DV[8] = {};  // 32.32 texel units
    bool Perspective = false;
    const TTriangleSetup* Setup = nullptr;
    double Z = 0, DZ = 0;
    bool UseRowCache = false;
  };

  void Run(TSpanInputs& In);
  void FetchStage(int Stage, const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out);
  void FetchFromRowCache(const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out);
  // The two cached texture rows a span row filters between, and the weight of the second.
  void CachedRows(const TSpanInputs& In, int Offset, const std::uint32_t*& Top, const std::uint32_t*& Bottom,
                  std::uint32_t& Fy);
  // The whole span in one pass when it is the stretched-picture case; false otherwise.
  bool RunFused(const TSpanInputs& In);
  bool PrepareRowCache(const TTriangleSetup& Setup, int Left, int Right);
  void CombineGeneral(const std::uint32_t* Diffuse, std::uint32_t* Out, int Count);
  void Write(const TSpanInputs& In, int Offset, int Count, const std::uint32_t* Src);

  const TTarget& FTarget;
  const TPipeline& FPipeline;
  TRasterScratch& FScratch;
  bool FFast;
  TCombine FCombine = TCombine::General;
  TBlend FBlend = TBlend::General;
  int FTexturedStages = 0;  // stages 0 .. FTexturedStages-1 are fetched
  TTexInfo FTex[8];
  const TTriangleSetup* FSetup = nullptr;
  bool FRowCacheReady = false;
  std::uint32_t FTexRows[8][Chunk];
};

}  // namespace qel::soft
