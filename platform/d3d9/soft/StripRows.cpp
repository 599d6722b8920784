// The strips of light: additive strips of a texture whose rows are each one colour, whose
// pixels follow from a row's V alone. Their rows are walked here, whole quads and pairs of
// triangles at a time, less the rows and columns that add nothing.
#include <algorithm>
#include <cmath>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "platform/d3d9/soft/RowWalker.h"
#include "platform/d3d9/soft/SpanPipeline.h"

namespace qel::soft {

using px::FixedCoord;
using px::Half32;

inline std::int64_t TSpanPipeline::StripRowV(const TTriangleSetup& S, int Y) const {
  return FixedCoord((S.V.Base + S.V.DY * Y) * FTex[0].Height);
}

// Inlined into the row loop of the strips, where it runs for every row. White light is added
// by Batch, many rows at a time (a fill under the strips covers each pixel once, so no fill
// lands on light added before it).
inline __attribute__((always_inline)) void TSpanPipeline::StripSpan(int X, int Y, int Count, std::int64_t RowV,
                                                                   TWhiteBatch* Batch, bool Lit) {
  std::uint32_t* Dst = FTarget.Pixels + static_cast<std::size_t>(Y) * FTarget.Pitch + X;
  if (FFillUnder) FillRow(FMode.Under, Dst, Count);
  const std::int64_t DV = FDV[0], V = RowV + DV * X;
  int First = 0, Last = Count - 1;
  if (!Lit && !LitPart(V, DV, Count, First, Last)) return;
  if (!Batch) return StripRow(V + DV * First, DV, FSetup->Flat, Dst + First, Last - First + 1);
  Batch->Spans[Batch->Count++] = {Dst + First, V + DV * First, Last - First + 1};
  if (Batch->Count == TWhiteBatch::Size) AddWhite(*Batch);
}

TSpanPipeline::TWhiteBatch* TSpanPipeline::WhiteBatch(TWhiteBatch& Spans) const {
  return FWhite ? &Spans : nullptr;
}

void TSpanPipeline::AddWhite(TWhiteBatch& Batch) {
  const TTexInfo& T = FTex[0];
  WhiteRowsAddSpans(T.WhitePairs, T.HeightMask, FDV[0], FSetup->Flat >> 24, Batch.Spans, Batch.Count);
  Batch.Count = 0;
}

void TSpanPipeline::StripPair(const TTriangleSetup& A, TRowWalker& RowsA, const TTriangleSetup& B,
                              TRowWalker& RowsB) {
  const bool SameV = A.V.Base == B.V.Base && A.V.DY == B.V.DY;
  TWhiteBatch WhiteSpans;
  TWhiteBatch* Batch = WhiteBatch(WhiteSpans);
  int Top = std::min(RowsA.Top, RowsB.Top), Bottom = std::max(RowsA.Bottom, RowsB.Bottom);
  if (!LitRows(A, SameV ? nullptr : &B, std::min(RowsA.Left(), RowsB.Left()), std::max(RowsA.Right(), RowsB.Right()),
               Top, Bottom))
    return;
  RowsA.SkipTo(Top), RowsB.SkipTo(Top);
  for (int y = Top; y <= Bottom; ++y) {
    std::int64_t A0 = 0, A1 = -1, B0 = 0, B1 = -1;
    if (y >= RowsA.Top && y <= RowsA.Bottom) RowsA.Next(A0, A1);
    if (y >= RowsB.Top && y <= RowsB.Bottom) RowsB.Next(B0, B1);
    const bool HasA = A0 <= A1, HasB = B0 <= B1;
    // Rows are independent, so drawing row by row keeps the pixels of drawing A, then B.
    if (HasA && HasB && (A1 + 1 == B0 || B1 + 1 == A0)) {
      const std::int64_t V = StripRowV(A, y);
      if (SameV || V == StripRowV(B, y)) {
        const std::int64_t X0 = std::min(A0, B0);
        StripSpan(static_cast<int>(X0), y, static_cast<int>(std::max(A1, B1) - X0 + 1), V, Batch);
        continue;
      }
    }
    if (HasA) StripSpan(static_cast<int>(A0), y, static_cast<int>(A1 - A0 + 1), StripRowV(A, y), Batch);
    if (HasB) StripSpan(static_cast<int>(B0), y, static_cast<int>(B1 - B0 + 1), StripRowV(B, y), Batch);
  }
  if (Batch && Batch->Count) AddWhite(*Batch);
}

void TSpanPipeline::StripQuad(const TTriangleSetup& A, TRowWalker& Rows) {
  TWhiteBatch WhiteSpans;
  TWhiteBatch* Batch = WhiteBatch(WhiteSpans);
  int Top = Rows.Top, Bottom = Rows.Bottom;
  bool Lit = false;
  if (!LitRows(A, nullptr, Rows.Left(), Rows.Right(), Top, Bottom, &Lit)) return;
  Rows.SkipTo(Top);
  for (int y = Top; y <= Bottom; ++y) {
    std::int64_t X0, X1;
    Rows.Next(X0, X1);
    if (X0 <= X1) StripSpan(static_cast<int>(X0), y, static_cast<int>(X1 - X0 + 1), StripRowV(A, y), Batch, Lit);
  }
  if (Batch && Batch->Count) AddWhite(*Batch);
}

bool TSpanPipeline::LitRows(const TTriangleSetup& A, const TTriangleSetup* B, int Left, int Right, int& Top,
                            int& Bottom, bool* AllLit) const {
  const TTexInfo& T = FTex[0];
  if (Top > Bottom) return false;
  if (FFillUnder || T.LitRows == T.Height) return true;  // a fill goes under every row
  // Found from V's plane (a row's V only grows, or only falls, down the strip) instead of walked.
  const std::int64_t DV = FDV[0], Lit = (std::int64_t{T.LitFrom} << 32) + Half32;
  const std::int64_t AtLeft = DV * Left, AtRight = DV * Right;
  const std::int64_t Lo = std::min(AtLeft, AtRight) - Lit, Hi = std::max(AtLeft, AtRight) - Lit;
  const int TopRun = ClearRun(A, Top, Bottom + 1, Lo, Hi);
  Top = 1 + (B ? std::min(TopRun, ClearRun(*B, Top, Bottom + 1, Lo, Hi)) : TopRun);
  if (Top > Bottom) return false;
  const int BottomRun = ClearRun(A, Bottom, Top - 1, Lo, Hi);
  Bottom = (B ? std::max(BottomRun, ClearRun(*B, Bottom, Top - 1, Lo, Hi)) : BottomRun) - 1;
  if (AllLit) {
    // Lit at both ends within one round: lit in every row between (V moves one way).
    const std::int64_t K = RoundOf(A, Top, Lo, Hi, false);
    *AllLit = K != NoRound && K == RoundOf(A, Bottom, Lo, Hi, false);
  }
  return true;
}

std::int64_t TSpanPipeline::RoundOf(const TTriangleSetup& S, int Y, std::int64_t Lo, std::int64_t Hi,
                                    bool Clear) const {
  const TTexInfo& T = FTex[0];
  const std::int64_t Period = std::int64_t{T.Height} << 32, Lit = std::int64_t{T.LitRows} << 32;
  const std::int64_t V = StripRowV(S, Y), Low = V + Lo, High = V + Hi, K = Low & ~(Period - 1);
  return (Clear ? Low >= K + Lit && High < K + Period : High < K + Lit) ? K : NoRound;
}

int TSpanPipeline::ClearRun(const TTriangleSetup& S, int From, int End, std::int64_t Lo, std::int64_t Hi) const {
  const int Dir = End > From ? 1 : -1, Last = End - Dir;
  const std::int64_t K = RoundOf(S, From, Lo, Hi, true);
  if (K == NoRound) return From - Dir;
  // Where V's plane leaves the round's clear rows, as a first guess (a row's V moves one way
  // only, so the clear rows of the round are one run), then made exact by the rows' own V.
  const TTexInfo& T = FTex[0];
  const double Step = S.V.DY * Dir;
  const std::int64_t Bound =
      Step > 0 ? K + (std::int64_t{T.Height} << 32) - 1 - Hi : K + (std::int64_t{T.LitRows} << 32) - Lo;
  const double Row = (static_cast<double>(Bound) / (4294967296.0 * T.Height) - S.V.Base) / S.V.DY;
  const double Near = std::min(From, Last), Far = std::max(From, Last);
  int Guess = Last;
  if (Step != 0 && std::isfinite(Row))
    Guess = static_cast<int>(std::clamp(Dir > 0 ? std::floor(Row) : std::ceil(Row), Near, Far));
  while (Guess != From && RoundOf(S, Guess, Lo, Hi, true) != K) Guess -= Dir;
  while (Guess != Last && RoundOf(S, Guess + Dir, Lo, Hi, true) == K) Guess += Dir;
  return Guess;
}

inline void TSpanPipeline::StripRow(std::int64_t V, std::int64_t DV, std::uint32_t Color, std::uint32_t* Dst,
                                    int Count) {
  const TTexInfo& T = FTex[0];
  if (FWhite) {
    const TWhiteSpan Span{Dst, V, Count};
    WhiteRowsAddSpans(T.WhitePairs, T.HeightMask, DV, Color >> 24, &Span, 1);
  } else
    UniformRowsModulateAddRow({T.Texels, T.WidthShift, T.WidthMask, T.HeightMask}, V, DV, Color, Dst, Count);
}

inline bool TSpanPipeline::LitPart(std::int64_t V, std::int64_t DV, int Count, int& First, int& Last) const {
  const TTexInfo& T = FTex[0];
  First = 0, Last = Count - 1;
  if (T.LitRows == T.Height) return true;
  if (T.LitRows == 0) return false;
  // W: a sample's position from the start of the lit rows; lit when W mod Period < Lit.
  const std::int64_t Period = std::int64_t{T.Height} << 32, Lit = std::int64_t{T.LitRows} << 32;
  const std::int64_t Steps = Count - 1, Magnitude = DV < 0 ? -DV : DV;
  if (Magnitude > Period || Magnitude * Steps >= Period) return true;  // more than a round of rows
  const std::int64_t W0 = V - Half32 - (std::int64_t{T.LitFrom} << 32), WEnd = W0 + DV * Steps;
  const std::int64_t Low = std::min(W0, WEnd), High = std::max(W0, WEnd);
  // Low's round of rows starts at K (the height is a power of two); the lit W in Low .. High
  // lie in A .. B.
  const std::int64_t K = Low & ~(Period - 1);
  const std::int64_t A = Low < K + Lit ? Low : K + Period;
  const std::int64_t B = High >= K + Period ? std::min(High, K + Period + Lit - 1) : std::min(High, K + Lit - 1);
  if (A > B) return false;
  if (A == Low && B == High) return true;
  if (DV > 0)
    First = static_cast<int>(CeilDiv(A - W0, DV)), Last = static_cast<int>(FloorDiv(B - W0, DV));
  else if (DV < 0)
    First = static_cast<int>(CeilDiv(W0 - B, -DV)), Last = static_cast<int>(FloorDiv(W0 - A, -DV));
  return true;
}

bool TSpanPipeline::StripTriangleSpan(int X, int Y, int Count) {
  const TTriangleSetup& S = *FSetup;
  const std::int64_t DV = FDV[0];
  const std::int64_t V = StripRowV(S, Y) + DV * X;
  int First, Last;
  if (!LitPart(V, DV, Count, First, Last)) return true;  // adds nothing
  if (FCombine != TCombine::Modulate || !S.FlatColor) return false;
  StripRow(V + DV * First, DV, S.Flat, FTarget.Pixels + static_cast<std::size_t>(Y) * FTarget.Pitch + X + First,
           Last - First + 1);
  return true;
}

}  // namespace qel::soft
