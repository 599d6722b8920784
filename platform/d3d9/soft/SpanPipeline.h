#pragma once
// The pixel work of the rasteriser, one horizontal span at a time: texture fetch per stage,
// texture-stage combination, alpha and depth tests, blending and the colour write mask.
// Spans are processed in chunks through small row buffers, so each step is one tight loop.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/d3d9/ComPtr.h"
#include "platform/d3d9/soft/FastPaths.h"
#include "platform/d3d9/soft/Rasterizer.h"
#include "platform/d3d9/soft/RowKernels.h"

namespace qel::soft {

// Stage 0's texture filtered across once per texture row and target column, for
// axis-aligned magnified quads (the picture stretched over the screen): each frame row
// then only filters down between two cached rows.
struct TRowCache {
  static constexpr std::int64_t MaxTexels = 8 << 20;  // rows x columns cached, at most
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
  std::vector<int> RowFirst[2], RowCount[2];  // spans of two triangles over a tile's rows
};

class TRowWalker;

struct TTexInfo {
  const std::uint32_t* Texels = nullptr;
  int Width = 0, Height = 0;
  bool Pow2Wrap = false;
  int WidthMask = 0, HeightMask = 0, WidthShift = 0;
  DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
  std::uint32_t Border = 0;
  bool Linear = false;     // magnification filter
  bool MinLinear = false;  // minification filter
  bool RowsUniform = false;  // every row one colour: filtering across changes nothing
  bool Opaque = false;       // every texel has alpha 255
  // The texels as stored when the format is R5G6B5 (Rgb565Pitch texels a row), else null.
  const std::uint16_t* Rgb565 = nullptr;
  int Rgb565Pitch = 0;
  // With uniform rows: a sample adds nothing to any blend by its alpha unless the row above it
  // lies in the LitRows rows from LitFrom on (wrapping); the rows outside are the longest run
  // of rows that are clear together with the row below them.
  int LitFrom = 0, LitRows = 0;
  // With uniform rows all white: each row's alpha and (above bit 8) the next row's.
  const std::uint16_t* WhitePairs = nullptr;
};

enum class TCombine { Diffuse, Texture, Modulate, General };
enum class TBlend { Replace, Alpha, Add, Multiply, General };

// The states of a draw call and what follows from them for the pixel work, derived once
// when a state changes and shared, read-only, by every triangle drawn with them on every
// drawing thread. Holds the textures it samples, so they outlive deferred drawing.
struct TDrawState {
  TPipeline Pipeline;
  TTexInfo Tex[8];
  int TexturedStages = 0;  // stages 0 .. TexturedStages-1 are fetched
  TCombine Combine = TCombine::General;
  TBlend Blend = TBlend::General;
  bool Fast = true;  // made with the fast paths on (Paths answers which)
  TFastPaths Paths;
  bool Tests = false;  // alpha test, depth test or a colour write mask
  // Stage 0's texture of uniform rows filtered linearly and added: strips of light, whose
  // pixels depend only on V (and the colour).
  bool Strips = false;
  std::uint64_t Versions[8] = {};
  ComPtr<IDirect3DTexture9> Held[8];
  std::vector<std::uint16_t> WhitePairs;  // of stage 0, when its rows are uniform and white
};
// Decodes the textures it samples (on the calling thread: decoding is not thread-safe).
std::shared_ptr<const TDrawState> MakeDrawState(const TPipeline& Pipeline, bool FastPaths);
// False when a sampled texture changed since the state was made.
bool TexturesCurrent(const TDrawState& State);

class TSpanPipeline {
 public:
  static constexpr int Chunk = 256;

  TSpanPipeline(const TTarget& Target, const TDrawState& State, TRasterScratch& Scratch, const TTileMode& Mode = {});

  // Triangles: BeginTriangle once, then the spans of its rows (Left/Right bound them).
  void BeginTriangle(const TTriangleSetup& Setup, int Left, int Right);
  void TriangleSpan(int X, int Y, int Count);
  // After BeginTriangle: its spans are strips modulated by its flat colour, whose pixels
  // follow only from the row's V, the step of V a pixel and that colour.
  bool StripSpans() const { return FStrip && FCombine == TCombine::Modulate && FSetup->FlatColor; }
  std::int64_t StripStep() const { return FDV[0]; }
  // The rows of two such triangles of one colour and step, B begun last: what TriangleSpan
  // draws for A, then for B, row by row and as one span where their spans meet with one V.
  void StripPair(const TTriangleSetup& A, TRowWalker& RowsA, const TTriangleSetup& B, TRowWalker& RowsB);
  // The same for two whose V is one plane, A's, and whose spans of a row make one span of Rows.
  void StripQuad(const TTriangleSetup& A, TRowWalker& Rows);
  // Over a tile of one colour: what TriangleSpan draws for Below (made with the tile's mode
  // UnderUniform), then for Over over the same span, in one pass where a kernel does both (the
  // stretched picture multiplied in, then a picture at one texel a pixel blended over it).
  // False, with nothing drawn, otherwise.
  // After BeginTriangle: its texture rows are filtered across once, in the scratch's cache.
  bool RowCached() const { return FRowCacheReady; }
  static bool LayeredSpan(TSpanPipeline& Below, TSpanPipeline& Over, int X, int Y, int Count);
  // Points and lines: every pixel of the span takes the vertex's attributes.
  void ConstantSpan(int X, int Y, int Count, const TVertex& Vertex);

 private:
  struct TSpanInputs {
    int X = 0, Y = 0, Count = 0;
    bool FlatColor = true;
    std::uint32_t Flat = 0;
    // Set only where used: colours when not flat, coordinates of the fetched stages.
    std::int64_t C[4], DC[4];                  // 32.32 per channel
    std::int64_t U[8], DU[8], V[8], DV[8];     // 32.32 texel units
    bool Perspective = false;
    const TTriangleSetup* Setup = nullptr;
    bool UseRowCache = false;
    bool TexelExact = false;  // stage 0 at texel centres, one texel a pixel, inside the texture
  };

  void SpanInputs(int X, int Y, int Count, TSpanInputs& In) const;
  void Run(TSpanInputs& In);
  void FetchStage(int Stage, const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out);
  const std::uint32_t* ExactTexels(const TSpanInputs& In, int Offset) const;
  void FetchFromRowCache(const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out);
  // The two cached texture rows a span row filters between, and the weight of the second.
  void CachedRows(const TSpanInputs& In, int Offset, const std::uint32_t*& Top, const std::uint32_t*& Bottom,
                  std::uint32_t& Fy);
  // The whole span in one pass when it is the stretched-picture case; false otherwise.
  bool RunFused(const TSpanInputs& In);
  // What TriangleSpan draws when FStrip (StripRows.cpp); false where the general path is to
  // draw the span (a colour not flat, or not modulated).
  bool StripTriangleSpan(int X, int Y, int Count);
  // Texels of uniform rows at V stepping by DV, modulated by Color and added into Dst.
  void StripRow(std::int64_t V, std::int64_t DV, std::uint32_t Color, std::uint32_t* Dst, int Count);
  std::int64_t StripRowV(const TTriangleSetup& Setup, int Y) const;  // at x = 0
  // Spans of white light waiting to be added.
  struct TWhiteBatch {
    static constexpr int Size = 64;
    TWhiteSpan Spans[Size];
    int Count = 0;
  };
  // What TriangleSpan draws when StripSpans(), from the row's V (into Batch where given);
  // Lit: every sample of the span is known to lie in the lit rows.
  void StripSpan(int X, int Y, int Count, std::int64_t RowV, TWhiteBatch* Batch, bool Lit = false);
  void AddWhite(TWhiteBatch& Batch);
  // Spans, when the light is white and the texture has its row pairs; else null.
  TWhiteBatch* WhiteBatch(TWhiteBatch& Spans) const;
  // The pixels First .. Last of the span whose samples may have alpha above 0 (a texture of
  // uniform rows, filtered linearly): the span less the ends that add nothing. False when
  // nothing is left.
  inline bool LitPart(std::int64_t V, std::int64_t DV, int Count, int& First, int& Last) const;
  // Row Y of the strip of S, over columns whose V lies Lo .. Hi from the row's V at x = 0 (less
  // where the lit rows begin): the round of rows whose clear rows (Clear) or lit rows hold all
  // those samples, or NoRound. The same round over a run of rows holds every row between too.
  static constexpr std::int64_t NoRound = 1;  // never a round's start (a multiple of 2^32)
  std::int64_t RoundOf(const TTriangleSetup& S, int Y, std::int64_t Lo, std::int64_t Hi, bool Clear) const;
  // Top and Bottom (rows of A, and of B when given) less the rows at either end whose samples
  // between columns Left and Right all lie in the clear rows; false when no row is left.
  // AllLit, when given, is set when every sample of A's rows Top .. Bottom (as they are left)
  // lies in the lit rows.
  bool LitRows(const TTriangleSetup& A, const TTriangleSetup* B, int Left, int Right, int& Top, int& Bottom,
               bool* AllLit = nullptr) const;
  // Of the rows from From towards End (either way, End not included): the last up to which
  // every row is clear as From is; From less one step when From is not clear.
  int ClearRun(const TTriangleSetup& S, int From, int End, std::int64_t Lo, std::int64_t Hi) const;
  bool PrepareRowCache(const TTriangleSetup& Setup, int Left, int Right);
  void CombineGeneral(const std::uint32_t* Diffuse, std::uint32_t* Out, int Count);
  void Write(const TSpanInputs& In, int Offset, int Count, const std::uint32_t* Src);

  const TTarget& FTarget;
  const TDrawState& FState;
  const TPipeline& FPipeline;
  TRasterScratch& FScratch;
  const TTileMode FMode;
  const TCombine FCombine;
  const TBlend FBlend;
  const int FTexturedStages;
  const TTexInfo* const FTex;
  const TTriangleSetup* FSetup = nullptr;
  bool FLinear[8] = {};  // per stage, for affine triangles: magnified or minified
  std::int64_t FDU[8] = {}, FDV[8] = {};  // per stage, for affine triangles: steps a pixel
  bool FStrip = false;  // an additive strip of a texture of uniform rows
  bool FFillUnder = false;  // each span fills the uniform colour under it first
  bool FLayerBelow = false, FLayerOver = false;  // the layers of LayeredSpan, but for the span's texels
  bool FRowCacheReady = false;
  bool FTexelExact = false;  // stage 0 one texel a pixel (spans at texel centres take the texels as they are)
  bool FWhite = false;       // strips of white light
  double FConstantZ = 0;  // depth of points and lines
  std::uint32_t FTexRows[8][Chunk];
};

}  // namespace qel::soft
