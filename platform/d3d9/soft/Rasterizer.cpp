#include "platform/d3d9/soft/Rasterizer.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RequestRules.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "platform/d3d9/soft/RowWalker.h"
#include "platform/d3d9/soft/SoftResources.h"
#include "platform/d3d9/soft/SpanPipeline.h"

namespace qel::soft {
namespace {

constexpr int SubPixelBits = 8;
constexpr double SubPixel = 1 << SubPixelBits;
constexpr double PositionLimit = MaxPosition;

std::atomic<bool> FastPaths = true;

std::int64_t ToSubPixel(float V) {
  const double C = std::clamp(static_cast<double>(V), -PositionLimit, PositionLimit);
  return px::RoundHalfAway(C * SubPixel);
}

bool Finite(const TVertex& V) {
  return std::isfinite(V.X) && std::isfinite(V.Y) && std::isfinite(V.Z) && std::isfinite(V.Rhw) &&
         std::isfinite(V.U) && std::isfinite(V.V);
}

// Plane through three values at three points.
TTriangleSetup::TPlane PlaneOf(const double X[3], const double Y[3], const double A[3], double Area) {
  TTriangleSetup::TPlane P;
  const double A1 = A[1] - A[0], A2 = A[2] - A[0];
  P.DX = (A1 * (Y[2] - Y[0]) - A2 * (Y[1] - Y[0])) / Area;
  P.DY = (A2 * (X[1] - X[0]) - A1 * (X[2] - X[0])) / Area;
  P.Base = A[0] - P.DX * X[0] - P.DY * Y[0];
  return P;
}

}  // namespace

void TRasterizer::SetFastPaths(bool Enabled) { FastPaths = Enabled; }
bool FastPathsEnabled() { return FastPaths; }

TRasterizer::TRasterizer() : FScratch(std::make_shared<TRasterScratch>()) {}
TRasterizer::~TRasterizer() = default;

void TRasterizer::Begin(const TTarget& Target, const TPipeline& Pipeline) {
  Begin(Target, MakeDrawState(Pipeline, FastPaths));
}

void TRasterizer::Begin(const TTarget& Target, std::shared_ptr<const TDrawState> State) {
  FTarget = Target;
  FState = std::move(State);
  FFull = {0, 0, Target.Width, Target.Height};
}

bool TRasterizer::SetupTriangle(const TVertex& A, const TVertex& B, const TVertex& C, TTriangleSetup& S) const {
  return soft::SetupTriangle(FState->Pipeline, A, B, C, S);
}

void TRasterizer::DrawTriangle(const TTriangleSetup& S, const TClipRect& Clip) const {
  soft::DrawTriangle(FTarget, *FState, S, Clip, *FScratch);
}

bool SetupTriangle(const TPipeline& Pipeline, const TVertex& A, const TVertex& B, const TVertex& C,
                   TTriangleSetup& S) {
  if (!Finite(A) || !Finite(B) || !Finite(C)) return false;
  const TVertex* V[3] = {&A, &B, &C};
  std::int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) X[i] = ToSubPixel(V[i]->X), Y[i] = ToSubPixel(V[i]->Y);
  std::int64_t Area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  if (Area == 0) return false;
  // Positive area is clockwise on the screen (y grows downwards).
  if ((Pipeline.Cull == D3DCULL_CCW && Area < 0) || (Pipeline.Cull == D3DCULL_CW && Area > 0)) return false;
  if (Area < 0) {
    std::swap(V[1], V[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
    Area = -Area;
  }
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    const std::int64_t Dx = X[j] - X[i], Dy = Y[j] - Y[i];
    TTriangleSetup::TEdge& E = S.Edges[i];
    // E(P) = Dx * (Py - Yi) - Dy * (Px - Xi) with P at (x, y) pixel centres in sub-pixels.
    E.A = -Dy * static_cast<std::int64_t>(SubPixel);
    E.B = Dx * static_cast<std::int64_t>(SubPixel);
    E.C = Dy * X[i] - Dx * Y[i];
    const bool TopLeft = (Dy == 0 && Dx > 0) || Dy < 0;
    E.Bias = TopLeft ? 0 : 1;
  }
  std::copy(X, X + 3, S.X), std::copy(Y, Y + 3, S.Y);
  const std::int64_t MinX = std::min({X[0], X[1], X[2]}), MaxX = std::max({X[0], X[1], X[2]});
  const std::int64_t MinY = std::min({Y[0], Y[1], Y[2]}), MaxY = std::max({Y[0], Y[1], Y[2]});
  const std::int64_t One = static_cast<std::int64_t>(SubPixel);
  S.MinX = static_cast<int>(CeilDiv(MinX, One));
  S.MaxX = static_cast<int>(FloorDiv(MaxX, One));
  S.MinY = static_cast<int>(CeilDiv(MinY, One));
  S.MaxY = static_cast<int>(FloorDiv(MaxY, One));

  double Xd[3], Yd[3];
  for (int i = 0; i < 3; ++i) Xd[i] = X[i] / SubPixel, Yd[i] = Y[i] / SubPixel;
  const double AreaD = static_cast<double>(Area) / (SubPixel * SubPixel);
  const std::uint32_t First = A.Diffuse;  // flat shading takes the first vertex's colour
  S.FlatColor = Pipeline.FlatShading || (A.Diffuse == B.Diffuse && B.Diffuse == C.Diffuse);
  S.Flat = First;
  for (int c = 0; c < 4; ++c) S.Color[c] = {};  // unused when flat, and then equal for every set-up
  if (!S.FlatColor)
    for (int c = 0; c < 4; ++c) {
      double Values[3];
      for (int i = 0; i < 3; ++i) Values[i] = static_cast<double>(px::Channel(V[i]->Diffuse, c));
      S.Color[c] = PlaneOf(Xd, Yd, Values, AreaD);
    }
  S.Perspective = !(V[0]->Rhw == V[1]->Rhw && V[1]->Rhw == V[2]->Rhw);
  double U[3], Vv[3], W[3], Z[3];
  for (int i = 0; i < 3; ++i) {
    const double Rhw = S.Perspective ? V[i]->Rhw : 1.0;
    U[i] = V[i]->U * Rhw;
    Vv[i] = V[i]->V * Rhw;
    W[i] = Rhw;
    Z[i] = V[i]->Z;
  }
  S.U = PlaneOf(Xd, Yd, U, AreaD);
  S.V = PlaneOf(Xd, Yd, Vv, AreaD);
  S.W = PlaneOf(Xd, Yd, W, AreaD);
  S.Z = PlaneOf(Xd, Yd, Z, AreaD);
  return true;
}

namespace {

// Calls Span(y, X, Count) for every row of the triangle inside Clip that it covers.
template <class TSpan>
inline __attribute__((always_inline)) void WalkSpans(const TTriangleSetup& S, const TClipRect& Clip, TSpan&& Span) {
  TRowWalker Rows(S, Clip);
  for (int y = Rows.Top; y <= Rows.Bottom; ++y) {
    std::int64_t X0, X1;
    Rows.Next(X0, X1);
    if (X0 <= X1) Span(y, static_cast<int>(X0), static_cast<int>(X1 - X0 + 1));
  }
}

}  // namespace

void DrawTriangle(const TTarget& Target, const TDrawState& State, const TTriangleSetup& S, const TClipRect& Clip,
                  TRasterScratch& Scratch, const TTileMode& Mode) {
  const int Top = std::max(S.MinY, Clip.Top), Bottom = std::min(S.MaxY, Clip.Bottom - 1);
  const int Left = std::max(S.MinX, Clip.Left), Right = std::min(S.MaxX, Clip.Right - 1);
  if (Top > Bottom || Left > Right) return;
  TSpanPipeline Pipe(Target, State, Scratch, Mode);
  Pipe.BeginTriangle(S, Left, Right + 1);
  WalkSpans(S, Clip, [&](int y, int X, int Count) { Pipe.TriangleSpan(X, y, Count); });
}

namespace {

// When A and B share an edge (one corner to another in A, back in B) and together make a
// quadrilateral convex at both ends of that edge: its four outer edges and bounds. A pixel is
// then inside those edges exactly when it is a pixel of A or of B, on a shared corner too
// (going round a convex outline, y falls once and rises once, so the outer edges at a shared
// corner are ruled top or left as the triangle that owns the corner rules its own).
bool Outline(const TTriangleSetup& A, const TTriangleSetup& B, TTriangleSetup::TEdge Edges[4], TTriangleSetup& Bounds) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int Qa = (i + 1) % 3, Ra = (i + 2) % 3, Pb = (j + 1) % 3, Rb = (j + 2) % 3;
      if (A.X[i] != B.X[Pb] || A.Y[i] != B.Y[Pb] || A.X[Qa] != B.X[j] || A.Y[Qa] != B.Y[j]) continue;
      const std::int64_t Px = A.X[i], Py = A.Y[i], Qx = A.X[Qa], Qy = A.Y[Qa];
      // Turns at P (from A's far corner to B's) and at Q (back), clockwise as the triangles.
      const std::int64_t AtP = (Px - A.X[Ra]) * (B.Y[Rb] - Py) - (Py - A.Y[Ra]) * (B.X[Rb] - Px);
      const std::int64_t AtQ = (Qx - B.X[Rb]) * (A.Y[Ra] - Qy) - (Qy - B.Y[Rb]) * (A.X[Ra] - Qx);
      if (AtP <= 0 || AtQ <= 0) return false;
      Edges[0] = A.Edges[Qa], Edges[1] = A.Edges[Ra], Edges[2] = B.Edges[Pb], Edges[3] = B.Edges[Rb];
      Bounds.MinX = std::min(A.MinX, B.MinX), Bounds.MaxX = std::max(A.MaxX, B.MaxX);
      Bounds.MinY = std::min(A.MinY, B.MinY), Bounds.MaxY = std::max(A.MaxY, B.MaxY);
      return true;
    }
  return false;
}

}  // namespace

bool DrawTrianglePair(const TTarget& Target, const TDrawState& State, const TTriangleSetup& A,
                      const TTriangleSetup& B, const TClipRect& Clip, TRasterScratch& Scratch) {
  if (!State.Strips || !A.FlatColor || !B.FlatColor || A.Flat != B.Flat) return false;
  TSpanPipeline Pipe(Target, State, Scratch);
  Pipe.BeginTriangle(A, std::max(A.MinX, Clip.Left), std::min(A.MaxX, Clip.Right - 1) + 1);
  if (!Pipe.StripSpans()) return false;
  const std::int64_t Step = Pipe.StripStep();
  // Both are strips of one colour and V step: the set-up of the second serves the first too.
  Pipe.BeginTriangle(B, std::max(B.MinX, Clip.Left), std::min(B.MaxX, Clip.Right - 1) + 1);
  if (!Pipe.StripSpans() || Pipe.StripStep() != Step) return false;
  TTriangleSetup::TEdge Edges[4];
  TTriangleSetup Bounds;
  if (A.V.Base == B.V.Base && A.V.DY == B.V.DY && Outline(A, B, Edges, Bounds)) {
    // One V: each row of both is one span of the quadrilateral they make.
    TRowWalker Rows(Edges, 4, Bounds, Clip);
    if (Rows.Fits()) {
      Pipe.StripQuad(A, Rows);
      return true;
    }
  }
  TRowWalker RowsA(A, Clip), RowsB(B, Clip);
  if (RowsA.Top > RowsA.Bottom || RowsB.Top > RowsB.Bottom) return false;
  Pipe.StripPair(A, RowsA, B, RowsB);
  return true;
}

bool DrawLayered(const TTarget& Target, const TDrawState& BelowState, const TTriangleSetup& Below,
                 const TDrawState& OverState, const TTriangleSetup& Over, const TClipRect& Clip,
                 TRasterScratch& Scratch, const TTileMode& Mode) {
  if (!BelowState.Paths.LayerBelow || !OverState.Paths.LayerOver) return false;
  const int Rows = Clip.Bottom - Clip.Top;
  for (std::vector<int>* V : {Scratch.RowFirst, Scratch.RowCount})
    for (int t = 0; t < 2; ++t) V[t].resize(static_cast<std::size_t>(Rows));
  TriangleRows(Below, Clip, Scratch.RowFirst[0].data(), Scratch.RowCount[0].data());
  TriangleRows(Over, Clip, Scratch.RowFirst[1].data(), Scratch.RowCount[1].data());
  for (int r = 0; r < Rows; ++r) {
    const std::size_t R = static_cast<std::size_t>(r);
    if (Scratch.RowCount[0][R] != Scratch.RowCount[1][R] ||
        (Scratch.RowCount[0][R] > 0 && Scratch.RowFirst[0][R] != Scratch.RowFirst[1][R]))
      return false;
  }
  // Over is drawn over what Below leaves, not over the uniform colour.
  TSpanPipeline Lower(Target, BelowState, Scratch, Mode), Upper(Target, OverState, Scratch);
  Upper.BeginTriangle(Over, std::max(Over.MinX, Clip.Left), std::min(Over.MaxX, Clip.Right - 1) + 1);
  // The stretched picture's rows are cached in the scratch: Over must not use that cache.
  if (Upper.RowCached()) return false;
  Lower.BeginTriangle(Below, std::max(Below.MinX, Clip.Left), std::min(Below.MaxX, Clip.Right - 1) + 1);
  for (int r = 0; r < Rows; ++r) {
    const int X = Scratch.RowFirst[0][static_cast<std::size_t>(r)], N = Scratch.RowCount[0][static_cast<std::size_t>(r)];
    if (N == 0 || TSpanPipeline::LayeredSpan(Lower, Upper, X, Clip.Top + r, N)) continue;
    // Pixels depend on nothing but their own destination: one span, then the other.
    Lower.TriangleSpan(X, Clip.Top + r, N);
    Upper.TriangleSpan(X, Clip.Top + r, N);
    if (Mode.MakeOpaque) OpaqueRow(Target.Pixels + static_cast<std::size_t>(Clip.Top + r) * Target.Pitch + X, N);
  }
  return true;
}

void TriangleRows(const TTriangleSetup& S, const TClipRect& Clip, int* First, int* Count) {
  std::fill(Count, Count + (Clip.Bottom - Clip.Top), 0);
  WalkSpans(S, Clip, [&](int y, int X, int N) {
    First[y - Clip.Top] = X;
    Count[y - Clip.Top] = N;
  });
}

void TRasterizer::Triangle(const TVertex& A, const TVertex& B, const TVertex& C) {
  TTriangleSetup S;
  if (SetupTriangle(A, B, C, S)) DrawTriangle(S, FFull);
}

void TRasterizer::Point(const TVertex& A) {
  if (!Finite(A)) return;
  const double Size = std::clamp(static_cast<double>(FState->Pipeline.PointSize), 1.0, double{MaxPointSize});
  // Covered: centre - size/2 <= pixel < centre + size/2, in both directions.
  const double X = std::clamp(static_cast<double>(A.X), -PositionLimit, PositionLimit);
  const double Y = std::clamp(static_cast<double>(A.Y), -PositionLimit, PositionLimit);
  const int X0 = std::max(FFull.Left, static_cast<int>(std::ceil(X - Size / 2)));
  const int X1 = std::min(FFull.Right, static_cast<int>(std::ceil(X + Size / 2)));
  const int Y0 = std::max(FFull.Top, static_cast<int>(std::ceil(Y - Size / 2)));
  const int Y1 = std::min(FFull.Bottom, static_cast<int>(std::ceil(Y + Size / 2)));
  if (X0 >= X1 || Y0 >= Y1) return;
  TSpanPipeline Pipe(FTarget, *FState, *FScratch);
  for (int y = Y0; y < Y1; ++y) Pipe.ConstantSpan(X0, y, X1 - X0, A);
}

void TRasterizer::Line(const TVertex& A, const TVertex& B) {
  if (!Finite(A) || !Finite(B)) return;
  const double Ax = std::clamp(static_cast<double>(A.X), -PositionLimit, PositionLimit);
  const double Ay = std::clamp(static_cast<double>(A.Y), -PositionLimit, PositionLimit);
  const double Bx = std::clamp(static_cast<double>(B.X), -PositionLimit, PositionLimit);
  const double By = std::clamp(static_cast<double>(B.Y), -PositionLimit, PositionLimit);
  const double Dx = Bx - Ax, Dy = By - Ay;
  if (Dx == 0 && Dy == 0) return;
  const bool XMajor = std::fabs(Dx) >= std::fabs(Dy);
  // Diamond exit: a pixel is drawn when the line leaves it; the last pixel is not drawn.
  const double Start = XMajor ? Ax : Ay, End = XMajor ? Bx : By, Delta = XMajor ? Dx : Dy;
  std::int64_t First, Last;
  if (Delta > 0) {
    First = static_cast<std::int64_t>(std::floor(Start - 0.5)) + 1;
    Last = static_cast<std::int64_t>(std::floor(End - 0.5));
  } else {
    First = static_cast<std::int64_t>(std::ceil(End + 0.5));
    Last = static_cast<std::int64_t>(std::ceil(Start + 0.5)) - 1;
  }
  const int Limit = XMajor ? FFull.Right : FFull.Bottom;
  First = std::max<std::int64_t>(First, 0);
  Last = std::min<std::int64_t>(Last, Limit - 1);
  TSpanPipeline Pipe(FTarget, *FState, *FScratch);
  for (std::int64_t M = First; M <= Last; ++M) {
    const double T = (static_cast<double>(M) - Start) / Delta;
    const double Minor = XMajor ? Ay + T * Dy : Ax + T * Dx;
    const std::int64_t N = static_cast<std::int64_t>(std::floor(Minor + 0.5));
    const int Px = static_cast<int>(XMajor ? M : N), Py = static_cast<int>(XMajor ? N : M);
    if (Px < FFull.Left || Px >= FFull.Right || Py < FFull.Top || Py >= FFull.Bottom) continue;
    TVertex P;
    P.X = static_cast<float>(Px);
    P.Y = static_cast<float>(Py);
    P.Z = static_cast<float>(A.Z + T * (B.Z - A.Z));
    P.Rhw = 1;
    std::uint32_t Color = 0;
    for (int c = 0; c < 4; ++c) {
      const double V = px::Channel(A.Diffuse, c) + T * (double(px::Channel(B.Diffuse, c)) - px::Channel(A.Diffuse, c));
      Color |= static_cast<std::uint32_t>(std::clamp(std::lround(V), 0l, 255l)) << (8 * c);
    }
    P.Diffuse = FState->Pipeline.FlatShading ? A.Diffuse : Color;
    // Texture coordinates follow the line in screen space, corrected for 1/w.
    const double Wa = A.Rhw, Wb = B.Rhw;
    const double W = Wa + T * (Wb - Wa);
    const double Uw = A.U * Wa + T * (B.U * Wb - A.U * Wa), Vw = A.V * Wa + T * (B.V * Wb - A.V * Wa);
    P.U = static_cast<float>(W != 0 ? Uw / W : A.U);
    P.V = static_cast<float>(W != 0 ? Vw / W : A.V);
    Pipe.ConstantSpan(Px, Py, 1, P);
  }
}

}  // namespace qel::soft
