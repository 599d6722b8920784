#pragma once
// Rasterisation of pre-transformed primitives into a 32-bit target with Direct3D 9's rules:
// pixel centres on integer coordinates, the top-left fill rule, Gouraud colours, point and
// bilinear texture sampling, texture stages, alpha test, depth test and blending.
//
// Work is split so that it can later be spread over tiles and threads without changing the
// interface: a primitive is first set up (edges and attribute planes), then drawn into a
// clip rectangle; drawing one set-up primitive into disjoint rectangles gives the same
// pixels as drawing it once.
#include <cstdint>
#include <memory>

#include "platform/d3d9/d3d9api.h"

namespace qel::soft {

class TSoftTexture;

struct TTarget {
  std::uint32_t* Pixels = nullptr;  // 0xAARRGGBB
  int Width = 0;
  int Height = 0;
  int Pitch = 0;          // in pixels
  bool HasAlpha = true;   // false: destination alpha reads as 255
  float* Depth = nullptr;  // Width * Height, or none
};

// One vertex as the rasteriser sees it.
struct TVertex {
  float X = 0, Y = 0, Z = 0, Rhw = 1;
  std::uint32_t Diffuse = 0xFFFFFFFF;  // 0xAARRGGBB
  float U = 0, V = 0;
};

struct TStage {
  DWORD ColorOp = D3DTOP_DISABLE, ColorArg1 = D3DTA_TEXTURE, ColorArg2 = D3DTA_CURRENT;
  DWORD AlphaOp = D3DTOP_DISABLE, AlphaArg1 = D3DTA_TEXTURE, AlphaArg2 = D3DTA_CURRENT;
  std::uint32_t Constant = 0;
  const TSoftTexture* Texture = nullptr;
  DWORD MagFilter = D3DTEXF_POINT, MinFilter = D3DTEXF_POINT;
  DWORD AddressU = D3DTADDRESS_WRAP, AddressV = D3DTADDRESS_WRAP;
  std::uint32_t BorderColor = 0;
  bool operator==(const TStage&) const = default;
};

// The states that decide pixels, taken from the device once per draw call.
struct TPipeline {
  int StageCount = 1;  // stages up to the first disabled one (at least stage 0)
  TStage Stages[8];
  std::uint32_t TextureFactor = 0xFFFFFFFF;
  bool FlatShading = false;
  DWORD Cull = D3DCULL_CCW;
  bool AlphaTest = false;
  DWORD AlphaFunc = D3DCMP_ALWAYS;
  std::uint32_t AlphaRef = 0;
  bool Blend = false;
  DWORD SrcBlend = D3DBLEND_ONE, DestBlend = D3DBLEND_ZERO, BlendOp = D3DBLENDOP_ADD;
  bool SeparateAlpha = false;
  DWORD SrcBlendAlpha = D3DBLEND_ONE, DestBlendAlpha = D3DBLEND_ZERO, BlendOpAlpha = D3DBLENDOP_ADD;
  std::uint32_t BlendFactor = 0xFFFFFFFF;
  bool DepthTest = false;  // only with a depth buffer
  DWORD DepthFunc = D3DCMP_LESSEQUAL;
  bool DepthWrite = false;
  DWORD ColorWriteMask = 0xF;
  float PointSize = 1.0f;
  bool operator==(const TPipeline&) const = default;
};

struct TClipRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;  // right and bottom exclusive
  bool operator==(const TClipRect&) const = default;
};

// Everything about a triangle that does not depend on where it is drawn.
struct TTriangleSetup {
  struct TEdge {
    std::int64_t A, B, C;  // inside where A * x + B * y + C >= Bias, at pixel centre (x, y)
    std::int64_t Bias;     // 0 on top and left edges, 1 on the others
    bool operator==(const TEdge&) const = default;
  };
  TEdge Edges[3];  // edge i runs from corner i to corner i + 1 (clockwise on the screen)
  std::int64_t X[3] = {}, Y[3] = {};  // the corners, in sub-pixels
  int MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;  // pixel bounds, inclusive
  // Attribute planes: value = Base + DX * x + DY * y at pixel centre (x, y).
  struct TPlane {
    double Base = 0, DX = 0, DY = 0;
    double At(double X, double Y) const { return Base + DX * X + DY * Y; }
    bool operator==(const TPlane&) const = default;
  };
  TPlane Color[4];  // blue, green, red, alpha in 0..255
  TPlane U, V;      // texture coordinates (times 1/w when Perspective)
  TPlane W;         // 1/w, used when Perspective
  TPlane Z;
  bool Perspective = false;
  bool FlatColor = false;
  std::uint32_t Flat = 0;
  // Equal set-ups draw equal pixels under equal states.
  bool operator==(const TTriangleSetup&) const = default;
};

// Scratch memory of one drawing thread.
struct TRasterScratch;
// How a tile's triangles are drawn, passed with them: over a target that reads as one colour
// Under but is not filled yet (triangles that cover each pixel once; each span takes the
// colour as its destination), and with alpha 255 at once (the layers under a tile's adds in a
// target shown opaque, as the tile's last pass would give them).
struct TTileMode {
  bool UnderUniform = false;
  std::uint32_t Under = 0;
  bool MakeOpaque = false;
};
// A pipeline with what follows from it for the pixel work (SpanPipeline.h).
struct TDrawState;

// Edges and attribute planes of a triangle; false when nothing of it can be drawn (culled,
// degenerate, not finite).
bool SetupTriangle(const TPipeline& Pipeline, const TVertex& A, const TVertex& B, const TVertex& C,
                   TTriangleSetup& Setup);
// Draws the part of a set-up triangle inside Clip. Pixels do not depend on the clip: drawing
// into disjoint rectangles gives the same pixels as drawing at once.
void DrawTriangle(const TTarget& Target, const TDrawState& State, const TTriangleSetup& Setup, const TClipRect& Clip,
                  TRasterScratch& Scratch, const TTileMode& Mode = {});
// Draws two triangles of one state inside Clip as DrawTriangle would, one after the other,
// when they are strips of light whose pixels follow from V alone: where their spans of a row
// meet with the same V, as one span. False, with nothing drawn, when they are not such strips.
bool DrawTrianglePair(const TTarget& Target, const TDrawState& State, const TTriangleSetup& First,
                      const TTriangleSetup& Second, const TClipRect& Clip, TRasterScratch& Scratch);
// Over a tile that reads as one colour (Mode says which): Below, then Over, as
// DrawTriangle would draw them one after the other, when both cover the same pixels of Clip;
// row by row, each span in one pass where a kernel draws both layers. False, with nothing
// drawn, when they cover different pixels or a fast path is off.
bool DrawLayered(const TTarget& Target, const TDrawState& BelowState, const TTriangleSetup& Below,
                 const TDrawState& OverState, const TTriangleSetup& Over, const TClipRect& Clip,
                 TRasterScratch& Scratch, const TTileMode& Mode);
// The span of each row of Clip that the triangle covers: row Clip.Top + i from First[i],
// Count[i] pixels (0 where it covers none).
void TriangleRows(const TTriangleSetup& Setup, const TClipRect& Clip, int* First, int* Count);
// The test switch of UseFastPaths.
bool FastPathsEnabled();

class TRasterizer {
 public:
  TRasterizer();
  ~TRasterizer();

  // Takes the target and states for the following primitives.
  void Begin(const TTarget& Target, const TPipeline& Pipeline);
  void Begin(const TTarget& Target, std::shared_ptr<const TDrawState> State);

  void Triangle(const TVertex& A, const TVertex& B, const TVertex& C);
  void Line(const TVertex& A, const TVertex& B);
  void Point(const TVertex& A);

  bool SetupTriangle(const TVertex& A, const TVertex& B, const TVertex& C, TTriangleSetup& Setup) const;
  void DrawTriangle(const TTriangleSetup& Setup, const TClipRect& Clip) const;

  // Test hook: false makes every pixel take the general path (results must not change).
  static void SetFastPaths(bool Enabled);

 private:
  TTarget FTarget;
  std::shared_ptr<const TDrawState> FState;
  TClipRect FFull;
  std::shared_ptr<TRasterScratch> FScratch;
};

}  // namespace qel::soft
