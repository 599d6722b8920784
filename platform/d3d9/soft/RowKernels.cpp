#include "platform/d3d9/soft/RowKernels.h"

#include <algorithm>
#include <cstring>

#include "platform/d3d9/soft/PixelMath.h"

// On x86-64 Linux each kernel is built for AVX-512, AVX2 and the baseline, and the loader
// picks the best the processor has.
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define QEL_ROW_KERNEL __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define QEL_ROW_KERNEL
#endif
// The helpers are always inlined into each variant, so no wide vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"
#define QEL_INLINE inline __attribute__((always_inline))

namespace qel::soft {
namespace {

typedef std::uint8_t TBytes __attribute__((vector_size(32)));   // eight pixels
typedef std::uint16_t TWide __attribute__((vector_size(64)));   // eight pixels, 16 bits a channel
constexpr int Step = 8;

QEL_INLINE TWide Load(const std::uint32_t* P) {
  TBytes B;
  std::memcpy(&B, P, sizeof B);
  return __builtin_convertvector(B, TWide);
}
QEL_INLINE void Store(std::uint32_t* P, TWide W) {
  const TBytes B = __builtin_convertvector(W, TBytes);
  std::memcpy(P, &B, sizeof B);
}
QEL_INLINE TWide Splat(std::uint16_t V) { return TWide{} + V; }
// round(X / 255) per lane, X up to 255 * 255.
QEL_INLINE TWide Div255(TWide X) {
  X += 128;
  return (X + (X >> 8)) >> 8;
}
// Each pixel's alpha in all four of its lanes.
QEL_INLINE TWide Alphas(const std::uint32_t* P) {
  TBytes B;
  std::memcpy(&B, P, sizeof B);
  const TBytes A = __builtin_shufflevector(B, B, 3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 19, 19, 19,
                                           19, 23, 23, 23, 23, 27, 27, 27, 27, 31, 31, 31, 31);
  return __builtin_convertvector(A, TWide);
}

QEL_INLINE TWide AlphaLanes(TWide W) {
  return __builtin_shufflevector(W, W, 3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 19, 19, 19, 19, 23, 23,
                                 23, 23, 27, 27, 27, 27, 31, 31, 31, 31);
}

QEL_INLINE TWide Repeat(std::uint32_t Color) {
  std::uint32_t Colors[Step];
  for (auto& C : Colors) C = Color;
  return Load(Colors);
}

enum class TMode { Alpha, Add, Multiply };

// Blends eight source pixels into Dst; Scalar is the same for one pixel.
template <TMode Mode>
QEL_INLINE TWide BlendWide(TWide S, TWide D) {
  if constexpr (Mode == TMode::Alpha) {
    const TWide A = AlphaLanes(S);
    return Div255(S * A + D * (255 - A));
  } else if constexpr (Mode == TMode::Add) {
    const TWide Sum = Div255(S * AlphaLanes(S)) + D;
    return Sum > 255 ? Splat(255) : Sum;
  } else {
    return Div255(S * D);
  }
}
template <TMode Mode>
QEL_INLINE std::uint32_t BlendOne(std::uint32_t S, std::uint32_t D) {
  if constexpr (Mode == TMode::Alpha) return px::AlphaBlend(S, D);
  else if constexpr (Mode == TMode::Add) return px::AddBlend(S, D);
  else return px::Modulate(S, D);
}

template <TMode Mode>
QEL_INLINE void LerpModulateBlend(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                  std::uint32_t Color, std::uint32_t* Dst, int Count) {
  int i = 0;
  const TWide F = Splat(static_cast<std::uint16_t>(Fy)), G = Splat(static_cast<std::uint16_t>(256 - Fy));
  const TWide C = Repeat(Color);
  for (; i + Step <= Count; i += Step) {
    const TWide S = Div255(((Load(Top + i) * G + Load(Bottom + i) * F + 128) >> 8) * C);
    Store(Dst + i, BlendWide<Mode>(S, Load(Dst + i)));
  }
  for (; i < Count; ++i) {
    const std::uint32_t S = px::Modulate(px::Unspread(px::Lerp(px::Spread(Top[i]), px::Spread(Bottom[i]), Fy)), Color);
    Dst[i] = BlendOne<Mode>(S, Dst[i]);
  }
}

template <TMode Mode>
QEL_INLINE void ModulateBlend(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  int i = 0;
  const TWide C = Repeat(Color);
  for (; i + Step <= Count; i += Step) Store(Dst + i, BlendWide<Mode>(Div255(Load(Src + i) * C), Load(Dst + i)));
  for (; i < Count; ++i) Dst[i] = BlendOne<Mode>(px::Modulate(Src[i], Color), Dst[i]);
}

template <TMode Mode>
QEL_INLINE void ColorBlend(std::uint32_t Color, std::uint32_t* Dst, int Count) {
  int i = 0;
  const TWide C = Repeat(Color);
  for (; i + Step <= Count; i += Step) Store(Dst + i, BlendWide<Mode>(C, Load(Dst + i)));
  for (; i < Count; ++i) Dst[i] = BlendOne<Mode>(Color, Dst[i]);
}

}  // namespace

QEL_ROW_KERNEL
void LerpModulateAlphaBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                               std::uint32_t Color, std::uint32_t* Dst, int Count) {
  LerpModulateBlend<TMode::Alpha>(Top, Bottom, Fy, Color, Dst, Count);
}

QEL_ROW_KERNEL
void LerpModulateAddBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                             std::uint32_t Color, std::uint32_t* Dst, int Count) {
  LerpModulateBlend<TMode::Add>(Top, Bottom, Fy, Color, Dst, Count);
}

QEL_ROW_KERNEL
void LerpModulateMultiplyRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                             std::uint32_t Color, std::uint32_t* Dst, int Count) {
  LerpModulateBlend<TMode::Multiply>(Top, Bottom, Fy, Color, Dst, Count);
}

QEL_ROW_KERNEL
void LerpModulateMultiplyColorRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                  std::uint32_t Color, std::uint32_t Under, std::uint32_t* Dst, int Count) {
  int i = 0;
  const TWide F = Splat(static_cast<std::uint16_t>(Fy)), G = Splat(static_cast<std::uint16_t>(256 - Fy));
  const TWide C = Repeat(Color), U = Repeat(Under);
  for (; i + Step <= Count; i += Step)
    Store(Dst + i, Div255(Div255(((Load(Top + i) * G + Load(Bottom + i) * F + 128) >> 8) * C) * U));
  for (; i < Count; ++i) {
    const std::uint32_t S = px::Modulate(px::Unspread(px::Lerp(px::Spread(Top[i]), px::Spread(Bottom[i]), Fy)), Color);
    Dst[i] = px::Modulate(S, Under);
  }
}

QEL_ROW_KERNEL
void ModulateAlphaBlendRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  ModulateBlend<TMode::Alpha>(Src, Color, Dst, Count);
}

namespace {
// Eight R5G6B5 texels as 8-bit channels with the given alpha: round(V * 255 / 31) and
// round(V * 255 / 63) as a multiply, an add and a shift (exact for every V).
QEL_INLINE TWide Rgb565(const std::uint16_t* P, std::uint16_t Alpha) {
  typedef std::uint16_t TShorts __attribute__((vector_size(16)));
  typedef std::uint16_t THalf __attribute__((vector_size(32)));
  TShorts S;
  std::memcpy(&S, P, sizeof S);
  const TShorts B = ((S & 31) * 527 + 23) >> 6, G = (((S >> 5) & 63) * 259 + 33) >> 6;
  const TShorts R = ((S >> 11) * 527 + 23) >> 6, A = TShorts{} + Alpha;
  const THalf BG = __builtin_shufflevector(B, G, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const THalf RA = __builtin_shufflevector(R, A, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return __builtin_shufflevector(BG, RA, 0, 8, 16, 24, 1, 9, 17, 25, 2, 10, 18, 26, 3, 11, 19, 27, 4, 12, 20, 28, 5,
                                 13, 21, 29, 6, 14, 22, 30, 7, 15, 23, 31);
}

// Source alpha is the colour's alpha everywhere (the texels are opaque), and a white colour
// leaves the texels as they are.
template <bool White>
QEL_INLINE void Rgb565ModulateAlphaBlend(const std::uint16_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  const std::uint16_t Alpha = static_cast<std::uint16_t>(Color >> 24);
  const TWide C = Repeat(Color), A = Splat(Alpha), Rest = Splat(static_cast<std::uint16_t>(255 - Alpha));
  int i = 0;
  for (; i + Step <= Count; i += Step) {
    const TWide S = White ? Rgb565(Src + i, Alpha) : Div255(Rgb565(Src + i, 255) * C);
    Store(Dst + i, Div255(S * A + Load(Dst + i) * Rest));
  }
  for (; i < Count; ++i) {
    const std::uint32_t V = Src[i];
    const std::uint32_t T = px::Pack(((V & 31) * 527 + 23) >> 6, (((V >> 5) & 63) * 259 + 33) >> 6,
                                     ((V >> 11) * 527 + 23) >> 6, 255);
    Dst[i] = px::AlphaBlend(px::Modulate(T, Color), Dst[i]);
  }
}
}  // namespace

QEL_ROW_KERNEL
void Rgb565ModulateAlphaBlendRow(const std::uint16_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  if ((Color & 0x00FFFFFFu) == 0x00FFFFFFu)
    Rgb565ModulateAlphaBlend<true>(Src, Color, Dst, Count);
  else
    Rgb565ModulateAlphaBlend<false>(Src, Color, Dst, Count);
}

QEL_ROW_KERNEL
void ModulateAddBlendRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  ModulateBlend<TMode::Add>(Src, Color, Dst, Count);
}

QEL_ROW_KERNEL
void ModulateMultiplyRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count) {
  ModulateBlend<TMode::Multiply>(Src, Color, Dst, Count);
}

QEL_ROW_KERNEL
void AlphaBlendColorRow(std::uint32_t Color, std::uint32_t* Dst, int Count) { ColorBlend<TMode::Alpha>(Color, Dst, Count); }

QEL_ROW_KERNEL
void MultiplyColorRow(std::uint32_t Color, std::uint32_t* Dst, int Count) {
  ColorBlend<TMode::Multiply>(Color, Dst, Count);
}

QEL_ROW_KERNEL
void MultiplyRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count) {
  int i = 0;
  for (; i + Step <= Count; i += Step) Store(Dst + i, Div255(Load(Src + i) * Load(Dst + i)));
  for (; i < Count; ++i) Dst[i] = px::Modulate(Src[i], Dst[i]);
}

// Linear samples between uniform rows, eight at a time: Done(i, Samples, N) takes pixels
// i .. i+N-1 (N below eight only at the end; the lanes beyond are sampled past the span,
// inside the texture, and dropped). Short spans (the strips) stay in vector code.
template <class TDone>
QEL_INLINE void UniformRows(const TWrapTexture& T, std::int64_t V, std::int64_t DV, int Count, TDone&& Done) {
  typedef std::int64_t TLongs __attribute__((vector_size(64)));
  typedef std::int32_t TInts __attribute__((vector_size(32)));
  typedef std::uint32_t TWords __attribute__((vector_size(32)));
  const std::uint32_t* Texels = T.Texels;
  const int Shift = T.WidthShift, HMask = T.HeightMask;
  TLongs Vs = (V - (std::int64_t{1} << 31)) + DV * TLongs{0, 1, 2, 3, 4, 5, 6, 7};
  const TLongs Advance = TLongs{} + DV * Step;
  for (int i = 0; i < Count; i += Step, Vs += Advance) {
    const TInts Y0 = __builtin_convertvector(Vs >> 32, TInts) & HMask;
    const TInts Y1 = (Y0 + 1) & HMask;
    const TWords Weight = (__builtin_convertvector(Vs >> 24, TWords) & 255u) * 0x01010101u;
    std::uint32_t Above[Step], Below[Step], Fy[Step];
    for (int k = 0; k < Step; ++k) {
      Above[k] = Texels[Y0[k] << Shift];
      Below[k] = Texels[Y1[k] << Shift];
    }
    std::memcpy(Fy, &Weight, sizeof Fy);
    const TWide Y = Load(Fy);
    Done(i, (Load(Above) * (256 - Y) + Load(Below) * Y + 128) >> 8, std::min(Step, Count - i));
  }
}

QEL_ROW_KERNEL
void UniformRowsWrapRow(const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t* Out, int Count) {
  UniformRows(T, V, DV, Count, [&](int i, TWide S, int N) {
    if (N == Step) return Store(Out + i, S);
    std::uint32_t Part[Step];
    Store(Part, S);
    std::memcpy(Out + i, Part, static_cast<std::size_t>(N) * 4);
  });
}

QEL_ROW_KERNEL
void UniformRowsModulateAddRow(const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t Color,
                               std::uint32_t* Dst, int Count) {
  const TWide C = Repeat(Color);
  UniformRows(T, V, DV, Count, [&](int i, TWide S, int N) {
    if (N == Step) return Store(Dst + i, BlendWide<TMode::Add>(Div255(S * C), Load(Dst + i)));
    std::uint32_t Part[Step] = {};
    std::memcpy(Part, Dst + i, static_cast<std::size_t>(N) * 4);
    Store(Part, BlendWide<TMode::Add>(Div255(S * C), Load(Part)));
    std::memcpy(Dst + i, Part, static_cast<std::size_t>(N) * 4);
  });
}

namespace {
typedef std::int64_t TLongs __attribute__((vector_size(64)));  // eight 32.32 coordinates

// White texels of alpha L modulated by a white colour of alpha Alpha give a = round(L * Alpha
// / 255); added by their alpha they raise each colour channel by round(255 * a / 255) = a and
// alpha by round(a * a / 255). Every step fits 16 bits. Vs: the pixels' V less half a texel.
QEL_INLINE TBytes WhiteIncrements(const std::uint16_t* Pairs, int HeightMask, TLongs Vs, std::uint16_t Alpha) {
  typedef std::int32_t TInts __attribute__((vector_size(32)));
  typedef std::uint16_t TShorts __attribute__((vector_size(16)));
  typedef std::uint8_t TSixteen __attribute__((vector_size(16)));
  const TInts Y = __builtin_convertvector(Vs >> 32, TInts) & HeightMask;
  const TShorts F = __builtin_convertvector((Vs >> 24) & 255, TShorts);
  // Built from the loads directly: through memory the vector would wait for eight stores.
  const TShorts P = {Pairs[Y[0]], Pairs[Y[1]], Pairs[Y[2]], Pairs[Y[3]],
                     Pairs[Y[4]], Pairs[Y[5]], Pairs[Y[6]], Pairs[Y[7]]};
  const TShorts L = ((P & 255) * (256 - F) + (P >> 8) * F + 128) >> 8;
  TShorts A = L * Alpha + 128;
  A = (A + (A >> 8)) >> 8;
  TShorts Q = A * A + 128;
  Q = (Q + (Q >> 8)) >> 8;
  // Both as bytes in one register, then spread to the pixels' channels by one shuffle.
  const TSixteen AQ = __builtin_convertvector(
      __builtin_shufflevector(A, Q, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15), TSixteen);
  return __builtin_shufflevector(AQ, AQ, 0, 0, 0, 8, 1, 1, 1, 9, 2, 2, 2, 10, 3, 3, 3, 11, 4, 4, 4, 12, 5, 5, 5, 13, 6,
                                 6, 6, 14, 7, 7, 7, 15);
}
// D + Add per byte, saturating.
QEL_INLINE TBytes AddSaturating(TBytes D, TBytes Add) { return D + (Add < ~D ? Add : ~D); }
QEL_INLINE TBytes LoadBytes(const std::uint32_t* P) {
  TBytes B;
  std::memcpy(&B, P, sizeof B);
  return B;
}
QEL_INLINE void StoreBytes(std::uint32_t* P, TBytes B) { std::memcpy(P, &B, sizeof B); }
// Count (below eight) pixels between two places, in fixed-size steps.
QEL_INLINE void CopyFew(std::uint32_t* To, const std::uint32_t* From, int Count) {
  int k = 0;
  if (Count & 4) std::memcpy(To, From, 16), k = 4;
  if (Count & 2) std::memcpy(To + k, From + k, 8), k += 2;
  if (Count & 1) To[k] = From[k];
}
}  // namespace

// A pixel's result depends only on its own V and destination: a span of eight or more ends in
// the eight pixels up to its end, worked out from the destination as it was and stored last,
// so that the pixels it shares with the block before are written twice with one value.
QEL_ROW_KERNEL
void WhiteRowsAddRow(const std::uint16_t* Pairs, int HeightMask, std::int64_t V, std::int64_t DV, std::uint32_t Alpha,
                     std::uint32_t* Dst, int Count) {
  const auto A = static_cast<std::uint16_t>(Alpha);
  const TLongs First = (V - (std::int64_t{1} << 31)) + DV * TLongs{0, 1, 2, 3, 4, 5, 6, 7};
  if (Count < Step) {
    std::uint32_t Part[Step] = {};
    CopyFew(Part, Dst, Count);
    StoreBytes(Part, AddSaturating(LoadBytes(Part), WhiteIncrements(Pairs, HeightMask, First, A)));
    CopyFew(Dst, Part, Count);
    return;
  }
  const int Last = Count - Step;
  const TBytes LastOut =
      AddSaturating(LoadBytes(Dst + Last), WhiteIncrements(Pairs, HeightMask, First + DV * Last, A));
  TLongs Vs = First;
  const TLongs Advance = TLongs{} + DV * Step;
  for (int i = 0; i < Last; i += Step, Vs += Advance)
    StoreBytes(Dst + i, AddSaturating(LoadBytes(Dst + i), WhiteIncrements(Pairs, HeightMask, Vs, A)));
  StoreBytes(Dst + Last, LastOut);
}

QEL_ROW_KERNEL
void BilinearWrapRow(const TWrapTexture& T, std::int64_t U, std::int64_t V, std::int64_t DU, std::int64_t DV,
                     std::uint32_t* Out, int Count) {
  constexpr std::int64_t Half = std::int64_t{1} << 31;
  U -= Half;
  V -= Half;
  const std::uint32_t* Texels = T.Texels;
  const int Shift = T.WidthShift, WMask = T.WidthMask, HMask = T.HeightMask;
  int i = 0;
  for (; i + Step <= Count; i += Step) {
    // Gather the four texels and the weights of eight pixels, then filter them together.
    std::uint32_t T00[Step], T10[Step], T01[Step], T11[Step], Fx[Step], Fy[Step];
    for (int k = 0; k < Step; ++k, U += DU, V += DV) {
      const int X0 = static_cast<int>(U >> 32) & WMask, X1 = (X0 + 1) & WMask;
      const int Y0 = (static_cast<int>(V >> 32) & HMask) << Shift, Y1 = (((V >> 32) + 1) & HMask) << Shift;
      T00[k] = Texels[Y0 | X0];
      T10[k] = Texels[Y0 | X1];
      T01[k] = Texels[Y1 | X0];
      T11[k] = Texels[Y1 | X1];
      Fx[k] = (static_cast<std::uint32_t>(U >> 24) & 255) * 0x01010101u;
      Fy[k] = (static_cast<std::uint32_t>(V >> 24) & 255) * 0x01010101u;
    }
    const TWide X = Load(Fx), Y = Load(Fy);
    const TWide Top = (Load(T00) * (256 - X) + Load(T10) * X + 128) >> 8;
    const TWide Bottom = (Load(T01) * (256 - X) + Load(T11) * X + 128) >> 8;
    Store(Out + i, (Top * (256 - Y) + Bottom * Y + 128) >> 8);
  }
  for (; i < Count; ++i, U += DU, V += DV) {
    const int X0 = static_cast<int>(U >> 32) & WMask, X1 = (X0 + 1) & WMask;
    const int Y0 = (static_cast<int>(V >> 32) & HMask) << Shift, Y1 = (((V >> 32) + 1) & HMask) << Shift;
    Out[i] = px::Bilinear(Texels[Y0 | X0], Texels[Y0 | X1], Texels[Y1 | X0], Texels[Y1 | X1],
                          static_cast<std::uint32_t>(U >> 24) & 255, static_cast<std::uint32_t>(V >> 24) & 255);
  }
}

QEL_ROW_KERNEL
void FillRow(std::uint32_t Color, std::uint32_t* Dst, int Count) {
  typedef std::uint32_t TWords __attribute__((vector_size(32)));
  const TWords C = TWords{} + Color;
  int i = 0;
  for (; i + Step <= Count; i += Step) std::memcpy(Dst + i, &C, sizeof C);
  for (; i < Count; ++i) Dst[i] = Color;
}

QEL_ROW_KERNEL
void OpaqueRow(std::uint32_t* Dst, int Count) {
  typedef std::uint32_t TWords __attribute__((vector_size(32)));
  int i = 0;
  for (; i + Step <= Count; i += Step) {
    TWords W;
    std::memcpy(&W, Dst + i, sizeof W);
    W |= 0xFF000000u;
    std::memcpy(Dst + i, &W, sizeof W);
  }
  for (; i < Count; ++i) Dst[i] |= 0xFF000000u;
}

QEL_ROW_KERNEL
void LerpRows(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t* Out, int Count) {
  int i = 0;
  const TWide F = Splat(static_cast<std::uint16_t>(Fy)), G = Splat(static_cast<std::uint16_t>(256 - Fy));
  for (; i + Step <= Count; i += Step) Store(Out + i, (Load(Top + i) * G + Load(Bottom + i) * F + 128) >> 8);
  for (; i < Count; ++i) Out[i] = px::Unspread(px::Lerp(px::Spread(Top[i]), px::Spread(Bottom[i]), Fy));
}

QEL_ROW_KERNEL
void ModulateRow(const std::uint32_t* A, const std::uint32_t* B, std::uint32_t* Out, int Count) {
  int i = 0;
  for (; i + Step <= Count; i += Step) Store(Out + i, Div255(Load(A + i) * Load(B + i)));
  for (; i < Count; ++i) Out[i] = px::Modulate(A[i], B[i]);
}

QEL_ROW_KERNEL
void ModulateRowByColor(const std::uint32_t* A, std::uint32_t Color, std::uint32_t* Out, int Count) {
  int i = 0;
  const TWide C = Repeat(Color);
  for (; i + Step <= Count; i += Step) Store(Out + i, Div255(Load(A + i) * C));
  for (; i < Count; ++i) Out[i] = px::Modulate(A[i], Color);
}

QEL_ROW_KERNEL
void AlphaBlendRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count) {
  int i = 0;
  for (; i + Step <= Count; i += Step) {
    const TWide A = Alphas(Src + i);
    Store(Dst + i, Div255(Load(Src + i) * A + Load(Dst + i) * (255 - A)));
  }
  for (; i < Count; ++i) Dst[i] = px::AlphaBlend(Src[i], Dst[i]);
}

QEL_ROW_KERNEL
void AddBlendRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count) {
  int i = 0;
  for (; i + Step <= Count; i += Step) {
    const TWide Sum = Div255(Load(Src + i) * Alphas(Src + i)) + Load(Dst + i);
    Store(Dst + i, Sum > 255 ? Splat(255) : Sum);
  }
  for (; i < Count; ++i) Dst[i] = px::AddBlend(Src[i], Dst[i]);
}

}  // namespace qel::soft
