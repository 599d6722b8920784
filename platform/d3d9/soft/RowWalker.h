#pragma once
// The rows of a set-up triangle inside a clip rectangle, one span a row.
#include <algorithm>
#include <cstdint>

#include "platform/d3d9/soft/Rasterizer.h"

namespace qel::soft {

inline std::int64_t FloorDiv(std::int64_t A, std::int64_t B) {  // B > 0
  std::int64_t Q = A / B;
  if ((A % B) != 0 && A < 0) --Q;
  return Q;
}
inline std::int64_t CeilDiv(std::int64_t A, std::int64_t B) { return -FloorDiv(-A, B); }

// The rows of a triangle inside a clip rectangle, from the top down. Each sloped edge bounds
// a row's span by floor(M / D) with M stepping by a constant each row: walked as quotient and
// remainder, without a division or a branch per row (the carries are unpredictable).
// Horizontal edges bound the rows instead.
class TRowWalker {
 public:
  int Top = 0, Bottom = -1;  // the rows to walk, none when Top > Bottom

  TRowWalker(const TTriangleSetup& S, const TClipRect& Clip) : TRowWalker(S.Edges, 3, S, Clip) {}
  // The rows inside Count edges (a convex shape) and the pixel bounds of Bounds; none when
  // more than two sloped edges bound one side (Fits() then says false).
  TRowWalker(const TTriangleSetup::TEdge* Edges, int Count, const TTriangleSetup& Bounds, const TClipRect& Clip) {
    std::int64_t First = std::max(Bounds.MinY, Clip.Top), Last = std::min(Bounds.MaxY, Clip.Bottom - 1);
    FLeft = std::max(Bounds.MinX, Clip.Left), FRight = std::min(Bounds.MaxX, Clip.Right - 1);
    int Lows = 0, Highs = 0;
    for (int e = 0; e < Count; ++e) (Edges[e].A > 0 ? Lows : Highs) += Edges[e].A != 0;
    FFits = Lows <= 2 && Highs <= 2;
    if (!FFits || First > Last || FLeft > FRight) return;
    for (int e = 0; e < Count; ++e) {
      const TTriangleSetup::TEdge& E = Edges[e];
      if (E.A != 0) continue;
      // Inside where B * y + C - Bias >= 0.
      if (E.B > 0)
        First = std::max(First, CeilDiv(E.Bias - E.C, E.B));
      else if (E.B < 0)
        Last = std::min(Last, FloorDiv(E.C - E.Bias, -E.B));
      else if (E.C - E.Bias < 0)
        return;
    }
    if (First > Last) return;
    Top = static_cast<int>(First), Bottom = static_cast<int>(Last);
    Lows = 0, Highs = 0;
    for (int e = 0; e < Count; ++e) {
      const TTriangleSetup::TEdge& E = Edges[e];
      const std::int64_t Row = E.B * Top + E.C - E.Bias;  // inside: A * x + Row >= 0
      if (E.A > 0)
        FLow[Lows++].Start(-Row + E.A - 1, -E.B, E.A);  // x >= ceil(-Row / A)
      else if (E.A < 0)
        FHigh[Highs++].Start(Row, E.B, -E.A);  // x <= floor(Row / -A)
    }
  }
  bool Fits() const { return FFits; }

  // The span of the next row, X0 .. X1 inclusive (empty when X0 > X1).
  void Next(std::int64_t& X0, std::int64_t& X1) {
    X0 = std::max<std::int64_t>(FLeft, std::max(FLow[0].Q, FLow[1].Q));
    X1 = std::min<std::int64_t>(FRight, std::min(FHigh[0].Q, FHigh[1].Q));
    FLow[0].Next(), FLow[1].Next(), FHigh[0].Next(), FHigh[1].Next();
  }
  // Goes on to row Row (below Top) without walking the rows before it.
  void SkipTo(int Row) {
    if (Row <= Top) return;
    for (TWalk* W : {&FLow[0], &FLow[1], &FHigh[0], &FHigh[1]}) W->Skip(Row - Top);
    Top = Row;
  }
  // The columns of the clip the rows may reach.
  int Left() const { return FLeft; }
  int Right() const { return FRight; }

 private:
  // A triangle has at most two edges on each side; a missing one never bounds.
  static constexpr std::int64_t Far = std::int64_t{1} << 60;
  struct TWalk {
    std::int64_t Q, R = 0, DQ = 0, DR = 0, D = 1;
    void Start(std::int64_t M, std::int64_t Step, std::int64_t Divisor) {
      D = Divisor;
      Q = FloorDiv(M, D), R = M - Q * D;
      if (Step != 0) DQ = FloorDiv(Step, D), DR = Step - DQ * D;  // a vertical edge stays put
    }
    void Next() {
      Q += DQ, R += DR;
      const std::int64_t Carry = R >= D;
      Q += Carry, R -= D & -Carry;
    }
    void Skip(std::int64_t Rows) {
      Q += DQ * Rows, R += DR * Rows;
      const std::int64_t Carries = R / D;  // R and DR lie in 0 .. D-1
      Q += Carries, R -= Carries * D;
    }
  };
  TWalk FLow[2] = {{-Far}, {-Far}}, FHigh[2] = {{Far}, {Far}};
  int FLeft = 0, FRight = -1;
  bool FFits = true;
};

}  // namespace qel::soft
