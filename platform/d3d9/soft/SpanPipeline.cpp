#include "platform/d3d9/soft/SpanPipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "platform/d3d9/soft/SoftResources.h"

namespace qel::soft {
namespace {

using px::Fixed;
using px::FixedCoord;
using px::FixedStep;
using px::Half32;

int Address(std::int64_t I, int N, DWORD Mode) {
  switch (Mode) {
    case D3DTADDRESS_CLAMP: return static_cast<int>(std::clamp<std::int64_t>(I, 0, N - 1));
    case D3DTADDRESS_BORDER: return I < 0 || I >= N ? -1 : static_cast<int>(I);
    case D3DTADDRESS_MIRROR: {
      std::int64_t M = I % (2 * std::int64_t{N});
      if (M < 0) M += 2 * std::int64_t{N};
      return static_cast<int>(M < N ? M : 2 * std::int64_t{N} - 1 - M);
    }
    case D3DTADDRESS_MIRRORONCE: {
      const std::int64_t M = I < 0 ? -I - 1 : I;
      return static_cast<int>(std::min<std::int64_t>(M, N - 1));
    }
    default: {  // wrap
      std::int64_t M = I % N;
      return static_cast<int>(M < 0 ? M + N : M);
    }
  }
}

std::uint32_t Texel(const TTexInfo& T, int X, int Y) {
  if (X < 0 || Y < 0) return T.Border;
  return T.Texels[static_cast<std::size_t>(Y) * T.Width + X];
}

std::uint32_t SamplePoint(const TTexInfo& T, std::int64_t U, std::int64_t V) {
  if (T.Pow2Wrap)
    return T.Texels[((static_cast<int>(V >> 32) & T.HeightMask) << T.WidthShift) | (static_cast<int>(U >> 32) & T.WidthMask)];
  return Texel(T, Address(U >> 32, T.Width, T.AddressU), Address(V >> 32, T.Height, T.AddressV));
}

std::uint32_t SampleLinear(const TTexInfo& T, std::int64_t U, std::int64_t V) {
  U -= Half32;
  V -= Half32;
  const std::uint32_t Fx = static_cast<std::uint32_t>(U >> 24) & 255, Fy = static_cast<std::uint32_t>(V >> 24) & 255;
  const std::int64_t X0 = U >> 32, Y0 = V >> 32;
  int Xa, Xb, Ya, Yb;
  if (T.Pow2Wrap) {
    Xa = static_cast<int>(X0) & T.WidthMask, Xb = (Xa + 1) & T.WidthMask;
    Ya = static_cast<int>(Y0) & T.HeightMask, Yb = (Ya + 1) & T.HeightMask;
  } else {
    Xa = Address(X0, T.Width, T.AddressU), Xb = Address(X0 + 1, T.Width, T.AddressU);
    Ya = Address(Y0, T.Height, T.AddressV), Yb = Address(Y0 + 1, T.Height, T.AddressV);
  }
  return px::Bilinear(Texel(T, Xa, Ya), Texel(T, Xb, Ya), Texel(T, Xa, Yb), Texel(T, Xb, Yb), Fx, Fy);
}

bool Compare(DWORD Func, double A, double B) {
  switch (Func) {
    case D3DCMP_NEVER: return false;
    case D3DCMP_LESS: return A < B;
    case D3DCMP_EQUAL: return A == B;
    case D3DCMP_LESSEQUAL: return A <= B;
    case D3DCMP_GREATER: return A > B;
    case D3DCMP_NOTEQUAL: return A != B;
    case D3DCMP_GREATEREQUAL: return A >= B;
    default: return true;
  }
}

// ---- texture-stage arithmetic, one 8-bit channel at a time ----

std::uint32_t Clamp255(int V) { return static_cast<std::uint32_t>(std::clamp(V, 0, 255)); }

std::uint32_t StageOp(DWORD Op, std::uint32_t A1, std::uint32_t A2, std::uint32_t Alpha) {
  const int a = static_cast<int>(A1), b = static_cast<int>(A2);
  switch (Op) {
    case D3DTOP_SELECTARG2: return A2;
    case D3DTOP_MODULATE: return px::Div255(A1 * A2);
    case D3DTOP_MODULATE2X: return std::min(255u, px::Div255(2 * A1 * A2));
    case D3DTOP_MODULATE4X: return std::min(255u, px::Div255(4 * A1 * A2));
    case D3DTOP_ADD: return std::min(255u, A1 + A2);
    case D3DTOP_ADDSIGNED: return Clamp255(a + b - 128);
    case D3DTOP_ADDSIGNED2X: return Clamp255(2 * (a + b - 128));
    case D3DTOP_SUBTRACT: return Clamp255(a - b);
    case D3DTOP_ADDSMOOTH: return Clamp255(a + b - static_cast<int>(px::Div255(A1 * A2)));
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA: return px::Div255(A1 * Alpha + A2 * (255 - Alpha));
    default: return A1;  // SELECTARG1 and operations this device does not offer
  }
}

std::uint32_t BlendFactor(DWORD Factor, int Channel, std::uint32_t Src, std::uint32_t Dst, std::uint32_t Constant) {
  const std::uint32_t As = Src >> 24, Ad = Dst >> 24;
  switch (Factor) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return px::Channel(Src, Channel);
    case D3DBLEND_INVSRCCOLOR: return 255 - px::Channel(Src, Channel);
    case D3DBLEND_SRCALPHA: return As;
    case D3DBLEND_INVSRCALPHA: return 255 - As;
    case D3DBLEND_DESTALPHA: return Ad;
    case D3DBLEND_INVDESTALPHA: return 255 - Ad;
    case D3DBLEND_DESTCOLOR: return px::Channel(Dst, Channel);
    case D3DBLEND_INVDESTCOLOR: return 255 - px::Channel(Dst, Channel);
    case D3DBLEND_SRCALPHASAT: return Channel == 3 ? 255 : std::min(As, 255 - Ad);
    case D3DBLEND_BLENDFACTOR: return px::Channel(Constant, Channel);
    case D3DBLEND_INVBLENDFACTOR: return 255 - px::Channel(Constant, Channel);
    default: return 0;
  }
}

std::uint32_t BlendChannel(DWORD Op, std::uint32_t S, std::uint32_t D, std::uint32_t Fs, std::uint32_t Fd) {
  const int Sw = static_cast<int>(S * Fs), Dw = static_cast<int>(D * Fd);
  switch (Op) {
    case D3DBLENDOP_SUBTRACT: return px::Div255(static_cast<std::uint32_t>(std::max(0, Sw - Dw)));
    case D3DBLENDOP_REVSUBTRACT: return px::Div255(static_cast<std::uint32_t>(std::max(0, Dw - Sw)));
    case D3DBLENDOP_MIN: return std::min(S, D);
    case D3DBLENDOP_MAX: return std::max(S, D);
    default: return std::min(255u, px::Div255(static_cast<std::uint32_t>(Sw + Dw)));
  }
}

std::uint32_t BlendGeneral(const TPipeline& P, std::uint32_t Src, std::uint32_t Dst, bool DstHasAlpha) {
  const std::uint32_t DstForFactors = DstHasAlpha ? Dst : (Dst | 0xFF000000u);
  DWORD SrcF = P.SrcBlend, DstF = P.DestBlend;
  if (SrcF == D3DBLEND_BOTHSRCALPHA) SrcF = D3DBLEND_SRCALPHA, DstF = D3DBLEND_INVSRCALPHA;
  if (SrcF == D3DBLEND_BOTHINVSRCALPHA) SrcF = D3DBLEND_INVSRCALPHA, DstF = D3DBLEND_SRCALPHA;
  DWORD SrcA = SrcF, DstA = DstF, OpA = P.BlendOp;
  if (P.SeparateAlpha) SrcA = P.SrcBlendAlpha, DstA = P.DestBlendAlpha, OpA = P.BlendOpAlpha;
  std::uint32_t Result = 0;
  for (int c = 0; c < 4; ++c) {
    const bool IsAlpha = c == 3;
    const DWORD Fs = IsAlpha ? SrcA : SrcF, Fd = IsAlpha ? DstA : DstF, Op = IsAlpha ? OpA : P.BlendOp;
    const std::uint32_t V = BlendChannel(Op, px::Channel(Src, c), px::Channel(Dst, c),
                                         BlendFactor(Fs, c, Src, DstForFactors, P.BlendFactor),
                                         BlendFactor(Fd, c, Src, DstForFactors, P.BlendFactor));
    Result |= V << (8 * c);
  }
  return Result;
}

bool IsTextureArg(DWORD Arg) { return Arg == D3DTA_TEXTURE; }
bool IsDiffuseArg(DWORD Arg) { return Arg == D3DTA_DIFFUSE || Arg == D3DTA_CURRENT; }

}  // namespace

std::shared_ptr<const TDrawState> MakeDrawState(const TPipeline& Pipeline, bool FastPaths) {
  auto Made = std::make_shared<TDrawState>();
  TDrawState& D = *Made;
  D.Pipeline = Pipeline;
  const TPipeline& P = D.Pipeline;
  // Stages that sample: every stage up to the last one with a texture.
  for (int s = 0; s < P.StageCount; ++s) {
    const TStage& St = P.Stages[s];
    if (!St.Texture || St.ColorOp == D3DTOP_DISABLE) continue;
    D.Held[s] = ComPtr<IDirect3DTexture9>::Share(const_cast<TSoftTexture*>(St.Texture));
    D.Versions[s] = St.Texture->Version();
    TTexInfo& T = D.Tex[s];
    T.Texels = St.Texture->Texels();
    T.RowsUniform = St.Texture->RowsUniform();
    T.Opaque = St.Texture->Opaque();
    if (St.Texture->Format() == D3DFMT_R5G6B5 && St.Texture->Level0Pitch() % 2 == 0) {
      T.Rgb565 = reinterpret_cast<const std::uint16_t*>(St.Texture->Level0Bits());
      T.Rgb565Pitch = St.Texture->Level0Pitch() / 2;
    }
    T.Width = St.Texture->Width();
    T.Height = St.Texture->Height();
    T.AddressU = St.AddressU;
    T.AddressV = St.AddressV;
    T.Border = St.BorderColor;
    T.Pow2Wrap = std::has_single_bit(static_cast<unsigned>(T.Width)) &&
                 std::has_single_bit(static_cast<unsigned>(T.Height)) && T.AddressU == D3DTADDRESS_WRAP &&
                 T.AddressV == D3DTADDRESS_WRAP;
    T.WidthMask = T.Width - 1;
    T.HeightMask = T.Height - 1;
    T.WidthShift = std::countr_zero(static_cast<unsigned>(T.Width));
    T.Linear = St.MagFilter == D3DTEXF_LINEAR || St.MagFilter == D3DTEXF_ANISOTROPIC;
    T.MinLinear = St.MinFilter == D3DTEXF_LINEAR || St.MinFilter == D3DTEXF_ANISOTROPIC;
    D.TexturedStages = s + 1;
  }
  if (D.Tex[0].RowsUniform) {
    // Clear[y] counts the rows from y on (wrapping, at most Height) whose alpha is 0: counted
    // backwards over two rounds. A sample between rows y and y + 1 adds nothing when both are
    // clear; the longest such run of y is left out of the lit rows.
    const TTexInfo& T = D.Tex[0];
    std::vector<int> Clear(static_cast<std::size_t>(T.Height));
    int Run = 0, Longest = 0, LongestFrom = 0;
    for (int y = 2 * T.Height - 1; y >= 0; --y) {
      Run = (T.Texels[static_cast<std::size_t>(y % T.Height) * T.Width] >> 24) == 0 ? std::min(Run + 1, T.Height) : 0;
      if (y < T.Height) Clear[static_cast<std::size_t>(y)] = Run;
    }
    for (int y = 0; y < T.Height; ++y)
      if (Clear[static_cast<std::size_t>(y)] - 1 > Longest) Longest = Clear[static_cast<std::size_t>(y)] - 1, LongestFrom = y;
    if (Clear[0] == T.Height) Longest = T.Height;  // every row clear
    D.Tex[0].LitFrom = (LongestFrom + Longest) & T.HeightMask;
    D.Tex[0].LitRows = T.Height - Longest;
    bool White = true;
    for (int y = 0; y < T.Height && White; ++y) White = (T.Texels[static_cast<std::size_t>(y) * T.Width] & 0xFFFFFF) == 0xFFFFFF;
    if (White) {
      D.WhitePairs.assign(static_cast<std::size_t>(std::max(T.Height, 128)), 0);
      for (int y = 0; y < T.Height; ++y)
        D.WhitePairs[static_cast<std::size_t>(y)] = static_cast<std::uint16_t>(
            (T.Texels[static_cast<std::size_t>(y) * T.Width] >> 24) |
            (T.Texels[static_cast<std::size_t>((y + 1) % T.Height) * T.Width] >> 24 << 8));
      D.Tex[0].WhitePairs = D.WhitePairs.data();
    }
  }

  const TStage& S0 = P.Stages[0];
  const bool Single = P.StageCount == 1;
  if (!S0.Texture || S0.ColorOp == D3DTOP_DISABLE) {
    // A stage without a texture passes the diffuse colour on, whatever its operation.
    D.Combine = Single ? TCombine::Diffuse : TCombine::General;
  } else if (Single && S0.ColorOp == D3DTOP_SELECTARG1 && S0.AlphaOp == D3DTOP_SELECTARG1 &&
             IsTextureArg(S0.ColorArg1) && IsTextureArg(S0.AlphaArg1)) {
    D.Combine = TCombine::Texture;
  } else if (Single && S0.ColorOp == D3DTOP_MODULATE && S0.AlphaOp == D3DTOP_MODULATE &&
             ((IsTextureArg(S0.ColorArg1) && IsDiffuseArg(S0.ColorArg2)) ||
              (IsDiffuseArg(S0.ColorArg1) && IsTextureArg(S0.ColorArg2))) &&
             ((IsTextureArg(S0.AlphaArg1) && IsDiffuseArg(S0.AlphaArg2)) ||
              (IsDiffuseArg(S0.AlphaArg1) && IsTextureArg(S0.AlphaArg2)))) {
    D.Combine = TCombine::Modulate;
  }

  if (!P.Blend) {
    D.Blend = TBlend::Replace;
  } else if (!P.SeparateAlpha && P.BlendOp == D3DBLENDOP_ADD) {
    if ((P.SrcBlend == D3DBLEND_SRCALPHA && P.DestBlend == D3DBLEND_INVSRCALPHA) || P.SrcBlend == D3DBLEND_BOTHSRCALPHA)
      D.Blend = TBlend::Alpha;
    else if (P.SrcBlend == D3DBLEND_SRCALPHA && P.DestBlend == D3DBLEND_ONE)
      D.Blend = TBlend::Add;
    else if (P.SrcBlend == D3DBLEND_ONE && P.DestBlend == D3DBLEND_ZERO)
      D.Blend = TBlend::Replace;
    else if ((P.SrcBlend == D3DBLEND_ZERO && P.DestBlend == D3DBLEND_SRCCOLOR) ||
             (P.SrcBlend == D3DBLEND_DESTCOLOR && P.DestBlend == D3DBLEND_ZERO))
      D.Blend = TBlend::Multiply;
  }
  D.Tests = P.AlphaTest || P.DepthTest || P.ColorWriteMask != 0xF;
  DecideFastPaths(D, FastPaths);
  return Made;
}

bool TexturesCurrent(const TDrawState& State) {
  for (int s = 0; s < State.TexturedStages; ++s)
    if (State.Held[s] && static_cast<const TSoftTexture*>(State.Held[s].Get())->Version() != State.Versions[s])
      return false;
  return true;
}

TSpanPipeline::TSpanPipeline(const TTarget& Target, const TDrawState& State, TRasterScratch& Scratch,
                             const TTileMode& Mode)
    : FTarget(Target),
      FState(State),
      FPipeline(State.Pipeline),
      FScratch(Scratch),
      FMode(Mode),
      FCombine(State.Combine),
      FBlend(State.Blend),
      FTexturedStages(State.TexturedStages),
      FTex(State.Tex) {}

bool TSpanPipeline::PrepareRowCache(const TTriangleSetup& S, int Left, int Right) {
  const TTexInfo& T = FTex[0];
  const TStage& St = FPipeline.Stages[0];
  if (!FState.Paths.RowCache || S.Perspective) return false;
  // Rows must map to constant texture rows, and columns to the same texture columns.
  if (S.V.DX != 0 || S.U.DY != 0) return false;
  const double RowsPerPixel = std::fabs(S.V.DY * T.Height);
  const double ColumnsPerPixel = std::fabs(S.U.DX * T.Width);
  const bool Magnified = std::max(RowsPerPixel, ColumnsPerPixel) <= 1.0;
  const bool Linear = Magnified ? T.Linear : (St.MinFilter == D3DTEXF_LINEAR || St.MinFilter == D3DTEXF_ANISOTROPIC);
  // Worth it only when several frame rows share a texture row pair.
  if (!Linear || RowsPerPixel > 0.5 || Right - Left < 32) return false;
  if (std::int64_t{T.Height} * (Right - Left) > TRowCache::MaxTexels) return false;
  TRowCache& C = FScratch.RowCache;
  const std::int64_t URow = FixedCoord(S.U.Base * T.Width), DU = FixedStep(S.U.DX * T.Width);
  const TSoftTexture* Texture = FPipeline.Stages[0].Texture;
  if (C.Texture != Texture || C.Version != Texture->Version() || C.URow != URow || C.DU != DU || C.Left != Left ||
      C.Right != Right || C.AddressU != T.AddressU || C.Done.size() != static_cast<std::size_t>(T.Height)) {
    C.Texture = Texture;
    C.Version = Texture->Version();
    C.URow = URow, C.DU = DU, C.Left = Left, C.Right = Right, C.AddressU = T.AddressU;
    C.Rows.resize(static_cast<std::size_t>(T.Height) * (Right - Left));
    C.Done.assign(static_cast<std::size_t>(T.Height), 0);
  }
  return true;
}

void TSpanPipeline::BeginTriangle(const TTriangleSetup& Setup, int Left, int Right) {
  FSetup = &Setup;
  FRowCacheReady = PrepareRowCache(Setup, Left, Right);
  // Magnification or minification decides the filter, once per affine triangle.
  if (!Setup.Perspective)
    for (int s = 0; s < FTexturedStages; ++s) {
      const TTexInfo& T = FTex[s];
      if (T.MinLinear == T.Linear) {
        FLinear[s] = T.Linear;  // the same filter either way
      } else {
        const double Du = std::hypot(Setup.U.DX * T.Width, Setup.V.DX * T.Height);
        const double Dv = std::hypot(Setup.U.DY * T.Width, Setup.V.DY * T.Height);
        FLinear[s] = std::max(Du, Dv) > 1.0 ? T.MinLinear : T.Linear;
      }
      FDU[s] = FixedStep(Setup.U.DX * T.Width);
      FDV[s] = FixedStep(Setup.V.DX * T.Height);
    }
  // Over a colour not yet filled in: the stretched picture multiplied in reads it as it is,
  // every other path finds it filled.
  FFillUnder = FMode.UnderUniform && !(FRowCacheReady && FState.Paths.MultiplyCached && Setup.FlatColor);
  // Additive strips of a texture of uniform rows (the pixels are those of every other path).
  FStrip = FState.Strips && !Setup.Perspective && !FRowCacheReady && FLinear[0];
  // The two layers LayeredSpan draws in one pass.
  FLayerBelow = FState.Paths.LayerBelow && Setup.FlatColor && FMode.UnderUniform && FRowCacheReady && !FFillUnder;
  FLayerOver = FState.Paths.LayerOver && Setup.FlatColor && !FMode.UnderUniform && !Setup.Perspective && !FRowCacheReady;
  // One texel a pixel, across and not down: spans then only ask whether they fall on texel centres.
  FTexelExact = FState.Paths.TexelExact && !Setup.Perspective && !FRowCacheReady && FDU[0] == (std::int64_t{1} << 32) &&
                FDV[0] == 0;
  FWhite = FState.Paths.WhiteStrips && Setup.FlatColor && (Setup.Flat & 0xFFFFFF) == 0xFFFFFF;
}

void TSpanPipeline::TriangleSpan(int X, int Y, int Count) {
  if (FFillUnder) FillRow(FMode.Under, FTarget.Pixels + static_cast<std::size_t>(Y) * FTarget.Pitch + X, Count);
  if (FStrip && StripTriangleSpan(X, Y, Count)) return;
  TSpanInputs In;
  SpanInputs(X, Y, Count, In);
  Run(In);
}

void TSpanPipeline::SpanInputs(int X, int Y, int Count, TSpanInputs& In) const {
  const TTriangleSetup& S = *FSetup;
  In.X = X, In.Y = Y, In.Count = Count;
  In.Setup = &S;
  In.FlatColor = S.FlatColor;
  In.Flat = S.Flat;
  // Every value steps from the row's value at x = 0, so a pixel's value does not depend on
  // where its span starts (tiles cut spans anywhere).
  if (!S.FlatColor)
    for (int c = 0; c < 4; ++c) {
      In.DC[c] = Fixed(S.Color[c].DX, 1e6);
      In.C[c] = Fixed(S.Color[c].Base + S.Color[c].DY * Y, 1e6) + In.DC[c] * X;
    }
  In.Perspective = S.Perspective;
  if (!S.Perspective)
    for (int s = 0; s < FTexturedStages; ++s) {
      if (!FTex[s].Texels) continue;
      const double W = FTex[s].Width, H = FTex[s].Height;
      In.DU[s] = FDU[s];
      In.DV[s] = FDV[s];
      In.U[s] = FixedCoord((S.U.Base + S.U.DY * Y) * W) + In.DU[s] * X;
      In.V[s] = FixedCoord((S.V.Base + S.V.DY * Y) * H) + In.DV[s] * X;
    }
  In.UseRowCache = FRowCacheReady;
  if (FTexelExact) {
    // At texel centres inside the texture: every filter gives the texel itself.
    const TTexInfo& T = FTex[0];
    const std::int64_t U0 = In.U[0] - Half32, V0 = In.V[0] - Half32;
    const std::int64_t Column = U0 >> 32, Row = V0 >> 32;
    In.TexelExact = (U0 & 0xFFFFFFFF) == 0 && (V0 & 0xFFFFFFFF) == 0 && Column >= 0 && Column + Count <= T.Width &&
                    Row >= 0 && Row < T.Height;
  }
}

bool TSpanPipeline::LayeredSpan(TSpanPipeline& Below, TSpanPipeline& Over, int X, int Y, int Count) {
  // Below: a stretched picture modulated by a flat colour and multiplied over the uniform
  // colour; Over: a picture at one texel a pixel modulated by a flat colour, blended by alpha.
  if (!Below.FLayerBelow || !Over.FLayerOver) return false;
  TSpanInputs Top, Up;
  Over.SpanInputs(X, Y, Count, Up);
  if (!Up.TexelExact) return false;
  Below.SpanInputs(X, Y, Count, Top);
  const std::uint32_t *Above, *Beneath;
  std::uint32_t Fy;
  Below.CachedRows(Top, 0, Above, Beneath, Fy);
  std::uint32_t* Dst = Below.FTarget.Pixels + static_cast<std::size_t>(Y) * Below.FTarget.Pitch + X;
  const std::uint32_t Set = Below.FMode.MakeOpaque ? 0xFF000000u : 0u;
  const TTexInfo& T = Over.FTex[0];
  if (Over.FState.Paths.Exact565) {
    // Half the bytes to read (the picture over the whole screen comes from memory).
    const std::int64_t Column = (Up.U[0] - Half32) >> 32, Row = (Up.V[0] - Half32) >> 32;
    LerpModulateMultiplyColorRgb565BlendRow(Above, Beneath, Fy, Top.Flat, Below.FMode.Under,
                                            T.Rgb565 + static_cast<std::size_t>(Row) * T.Rgb565Pitch + Column, Up.Flat,
                                            Set, Dst, Count);
    return true;
  }
  (Over.FState.Paths.OverOpaque ? LerpModulateMultiplyColorOpaqueBlendRow : LerpModulateMultiplyColorAlphaBlendRow)(
      Above, Beneath, Fy, Top.Flat, Below.FMode.Under, Over.ExactTexels(Up, 0), Up.Flat, Set, Dst, Count);
  return true;
}

void TSpanPipeline::ConstantSpan(int X, int Y, int Count, const TVertex& Vertex) {
  TSpanInputs In;
  In.X = X, In.Y = Y, In.Count = Count;
  In.FlatColor = true;
  In.Flat = Vertex.Diffuse;
  for (int s = 0; s < FTexturedStages; ++s) {
    if (!FTex[s].Texels) continue;
    In.U[s] = FixedCoord(static_cast<double>(Vertex.U) * FTex[s].Width);
    In.V[s] = FixedCoord(static_cast<double>(Vertex.V) * FTex[s].Height);
    In.DU[s] = In.DV[s] = 0;
    FLinear[s] = FTex[s].Linear;
  }
  FConstantZ = Vertex.Z;
  Run(In);
}

const std::uint32_t* TSpanPipeline::ExactTexels(const TSpanInputs& In, int Offset) const {
  const TTexInfo& T = FTex[0];
  const std::int64_t Column = (In.U[0] - Half32) >> 32, Row = (In.V[0] - Half32) >> 32;
  return T.Texels + static_cast<std::size_t>(Row) * T.Width + Column + Offset;
}

void TSpanPipeline::FetchStage(int Stage, const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out) {
  const TTexInfo& T = FTex[Stage];
  if (In.Perspective) {
    // The filter follows magnification pixel by pixel, so no pixel depends on its neighbours.
    const TTriangleSetup& S = *In.Setup;
    for (int i = 0; i < Count; ++i) {
      const double X = In.X + Offset + i, W = S.W.At(X, In.Y);
      const double Du = std::hypot(S.U.DX * T.Width, S.V.DX * T.Height) / std::fabs(W);
      const double Dv = std::hypot(S.U.DY * T.Width, S.V.DY * T.Height) / std::fabs(W);
      const bool Linear = std::max(Du, Dv) > 1.0 ? T.MinLinear : T.Linear;
      const double U = W != 0 ? S.U.At(X, In.Y) / W : 0, V = W != 0 ? S.V.At(X, In.Y) / W : 0;
      const std::int64_t Uf = FixedCoord(U * T.Width), Vf = FixedCoord(V * T.Height);
      Out[i] = Linear ? SampleLinear(T, Uf, Vf) : SamplePoint(T, Uf, Vf);
    }
    return;
  }
  const bool Linear = FLinear[Stage];
  std::int64_t U = In.U[Stage] + In.DU[Stage] * Offset, V = In.V[Stage] + In.DV[Stage] * Offset;
  const std::int64_t DU = In.DU[Stage], DV = In.DV[Stage];
  if (Linear && (FState.Paths.RowsFetch >> Stage & 1)) {
    UniformRowsWrapRow({T.Texels, T.WidthShift, T.WidthMask, T.HeightMask}, V, DV, Out, Count);
  } else if (Linear && (FState.Paths.WrapFetch >> Stage & 1)) {
    BilinearWrapRow({T.Texels, T.WidthShift, T.WidthMask, T.HeightMask}, U, V, DU, DV, Out, Count);
  } else if (Linear) {
    for (int i = 0; i < Count; ++i, U += DU, V += DV) Out[i] = SampleLinear(T, U, V);
  } else {
    for (int i = 0; i < Count; ++i, U += DU, V += DV) Out[i] = SamplePoint(T, U, V);
  }
}

void TSpanPipeline::CachedRows(const TSpanInputs& In, int Offset, const std::uint32_t*& Top,
                               const std::uint32_t*& Bottom, std::uint32_t& Fy) {
  const TTexInfo& T = FTex[0];
  TRowCache& C = FScratch.RowCache;
  const int Width = C.Right - C.Left;
  auto Row = [&](std::int64_t Index) -> const std::uint32_t* {
    const int Y = T.Pow2Wrap ? static_cast<int>(Index) & T.HeightMask : Address(Index, T.Height, T.AddressV);
    std::uint32_t* R = C.Rows.data() + static_cast<std::size_t>(Y) * Width;
    if (!C.Done[Y]) {
      std::int64_t U = C.URow + C.DU * C.Left - Half32;
      for (int x = 0; x < Width; ++x, U += C.DU) {
        const std::int64_t X0 = U >> 32;
        const std::uint32_t Fx = static_cast<std::uint32_t>(U >> 24) & 255;
        const int Xa = T.Pow2Wrap ? static_cast<int>(X0) & T.WidthMask : Address(X0, T.Width, T.AddressU);
        const int Xb = T.Pow2Wrap ? (Xa + 1) & T.WidthMask : Address(X0 + 1, T.Width, T.AddressU);
        R[x] = px::Unspread(px::Lerp(px::Spread(Texel(T, Xa, Y)), px::Spread(Texel(T, Xb, Y)), Fx));
      }
      C.Done[Y] = 1;
    }
    return R;
  };
  const std::int64_t V = In.V[0] - Half32;
  Fy = static_cast<std::uint32_t>(V >> 24) & 255;
  const int Column = In.X + Offset - C.Left;
  Top = Row(V >> 32) + Column;
  Bottom = Fy == 0 ? Top : Row((V >> 32) + 1) + Column;
}

void TSpanPipeline::FetchFromRowCache(const TSpanInputs& In, int Offset, int Count, std::uint32_t* Out) {
  const std::uint32_t *Top, *Bottom;
  std::uint32_t Fy;
  CachedRows(In, Offset, Top, Bottom, Fy);
  if (Fy == 0)
    std::memcpy(Out, Top, static_cast<std::size_t>(Count) * 4);
  else
    LerpRows(Top, Bottom, Fy, Out, Count);
}

bool TSpanPipeline::RunFused(const TSpanInputs& In) {
  if (!FState.Paths.Fused) return false;
  std::uint32_t* Dst = FTarget.Pixels + static_cast<std::size_t>(In.Y) * FTarget.Pitch + In.X;
  if (FCombine == TCombine::Diffuse && In.FlatColor && FTexturedStages == 0) {
    switch (FBlend) {
      case TBlend::Alpha: AlphaBlendColorRow(In.Flat, Dst, In.Count); return true;
      case TBlend::Multiply: MultiplyColorRow(In.Flat, Dst, In.Count); return true;
      case TBlend::Replace: std::fill(Dst, Dst + In.Count, In.Flat); return true;
      default: return false;
    }
  }
  if (FTexturedStages != 1) return false;
  if (In.TexelExact && FCombine == TCombine::Modulate && In.FlatColor) {
    const TTexInfo& T = FTex[0];
    if (FState.Paths.Exact565) {
      // Half the bytes of the decoded texels to read: the picture over the whole screen.
      const std::int64_t Column = (In.U[0] - Half32) >> 32, Row = (In.V[0] - Half32) >> 32;
      Rgb565ModulateAlphaBlendRow(T.Rgb565 + static_cast<std::size_t>(Row) * T.Rgb565Pitch + Column, In.Flat, Dst,
                                  In.Count);
      return true;
    }
    const std::uint32_t* Src = ExactTexels(In, 0);
    switch (FBlend) {
      case TBlend::Alpha: ModulateAlphaBlendRow(Src, In.Flat, Dst, In.Count); return true;
      case TBlend::Add: ModulateAddBlendRow(Src, In.Flat, Dst, In.Count); return true;
      case TBlend::Multiply: ModulateMultiplyRow(Src, In.Flat, Dst, In.Count); return true;
      default: return false;
    }
  }
  if (!In.UseRowCache) return false;
  const std::uint32_t *Top, *Bottom;
  std::uint32_t Fy;
  if (FCombine == TCombine::Texture && FBlend == TBlend::Replace) {
    CachedRows(In, 0, Top, Bottom, Fy);
    LerpRows(Top, Bottom, Fy, Dst, In.Count);
    return true;
  }
  if (FCombine != TCombine::Modulate || !In.FlatColor) return false;
  switch (FBlend) {
    case TBlend::Alpha:
      CachedRows(In, 0, Top, Bottom, Fy);
      LerpModulateAlphaBlendRow(Top, Bottom, Fy, In.Flat, Dst, In.Count);
      return true;
    case TBlend::Add:
      CachedRows(In, 0, Top, Bottom, Fy);
      LerpModulateAddBlendRow(Top, Bottom, Fy, In.Flat, Dst, In.Count);
      return true;
    case TBlend::Multiply:
      CachedRows(In, 0, Top, Bottom, Fy);
      if (FMode.UnderUniform)
        LerpModulateMultiplyColorRow(Top, Bottom, Fy, In.Flat, FMode.Under, Dst, In.Count);
      else
        LerpModulateMultiplyRow(Top, Bottom, Fy, In.Flat, Dst, In.Count);
      return true;
    default: return false;
  }
}

void TSpanPipeline::CombineGeneral(const std::uint32_t* Diffuse, std::uint32_t* Out, int Count) {
  const TPipeline& P = FPipeline;
  for (int i = 0; i < Count; ++i) {
    std::uint32_t Current = Diffuse[i];
    for (int s = 0; s < P.StageCount; ++s) {
      const TStage& St = P.Stages[s];
      if (St.ColorOp == D3DTOP_DISABLE) break;
      if (!St.Texture) continue;  // passes the colour on, as Direct3D 9 under Wine shows
      const std::uint32_t Tex = FTexRows[s][i];
      auto Arg = [&](DWORD A) {
        std::uint32_t V;
        switch (A & D3DTA_SELECTMASK) {
          case D3DTA_DIFFUSE: V = Diffuse[i]; break;
          case D3DTA_CURRENT: V = Current; break;
          case D3DTA_TEXTURE: V = Tex; break;
          case D3DTA_TFACTOR: V = P.TextureFactor; break;
          case D3DTA_CONSTANT: V = St.Constant; break;
          default: V = 0; break;  // specular and temporary registers hold nothing here
        }
        if (A & D3DTA_ALPHAREPLICATE) V = (V >> 24) * 0x01010101u;
        if (A & D3DTA_COMPLEMENT) V = ~V;
        return V;
      };
      auto BlendAlpha = [&](DWORD Op) -> std::uint32_t {
        switch (Op) {
          case D3DTOP_BLENDDIFFUSEALPHA: return Diffuse[i] >> 24;
          case D3DTOP_BLENDTEXTUREALPHA: return Tex >> 24;
          case D3DTOP_BLENDFACTORALPHA: return P.TextureFactor >> 24;
          default: return Current >> 24;
        }
      };
      const std::uint32_t C1 = Arg(St.ColorArg1), C2 = Arg(St.ColorArg2);
      std::uint32_t Result = 0;
      for (int c = 0; c < 3; ++c)
        Result |= StageOp(St.ColorOp, px::Channel(C1, c), px::Channel(C2, c), BlendAlpha(St.ColorOp)) << (8 * c);
      if (St.AlphaOp == D3DTOP_DISABLE) {
        Result |= Current & 0xFF000000u;
      } else {
        const std::uint32_t A1 = Arg(St.AlphaArg1) >> 24, A2 = Arg(St.AlphaArg2) >> 24;
        Result |= StageOp(St.AlphaOp, A1, A2, BlendAlpha(St.AlphaOp)) << 24;
      }
      Current = Result;
    }
    Out[i] = Current;
  }
}

void TSpanPipeline::Write(const TSpanInputs& In, int Offset, int Count, const std::uint32_t* Src) {
  const TPipeline& P = FPipeline;
  const int X = In.X + Offset;
  std::uint32_t* Dst = FTarget.Pixels + static_cast<std::size_t>(In.Y) * FTarget.Pitch + X;
  if (!FState.Tests) {
    switch (FBlend) {
      case TBlend::Replace: std::memcpy(Dst, Src, static_cast<std::size_t>(Count) * 4); return;
      case TBlend::Alpha: AlphaBlendRow(Src, Dst, Count); return;
      case TBlend::Add: AddBlendRow(Src, Dst, Count); return;
      case TBlend::Multiply: MultiplyRow(Src, Dst, Count); return;
      case TBlend::General: break;
    }
  }
  float* Depth = FTarget.Depth ? FTarget.Depth + static_cast<std::size_t>(In.Y) * FTarget.Width + X : nullptr;
  std::uint32_t Keep = 0;
  if (!(P.ColorWriteMask & D3DCOLORWRITEENABLE_BLUE)) Keep |= 0x000000FFu;
  if (!(P.ColorWriteMask & D3DCOLORWRITEENABLE_GREEN)) Keep |= 0x0000FF00u;
  if (!(P.ColorWriteMask & D3DCOLORWRITEENABLE_RED)) Keep |= 0x00FF0000u;
  if (!(P.ColorWriteMask & D3DCOLORWRITEENABLE_ALPHA)) Keep |= 0xFF000000u;
  for (int i = 0; i < Count; ++i) {
    const std::uint32_t S = Src[i];
    if (P.AlphaTest && !Compare(P.AlphaFunc, S >> 24, P.AlphaRef)) continue;
    if (P.DepthTest && Depth) {
      const float Z = static_cast<float>(In.Setup ? In.Setup->Z.At(X + i, In.Y) : FConstantZ);
      if (!Compare(P.DepthFunc, Z, Depth[i])) continue;
      if (P.DepthWrite) Depth[i] = Z;
    }
    std::uint32_t Out;
    switch (FBlend) {
      case TBlend::Replace: Out = S; break;
      case TBlend::Alpha: Out = px::AlphaBlend(S, Dst[i]); break;
      case TBlend::Add: Out = px::AddBlend(S, Dst[i]); break;
      case TBlend::Multiply: Out = px::Modulate(S, Dst[i]); break;
      default: Out = P.Blend ? BlendGeneral(P, S, Dst[i], FTarget.HasAlpha) : S; break;
    }
    Dst[i] = (Out & ~Keep) | (Dst[i] & Keep);
  }
}

void TSpanPipeline::Run(TSpanInputs& In) {
  if (RunFused(In)) return;
  std::uint32_t Diffuse[Chunk];
  std::uint32_t Src[Chunk];
  for (int Offset = 0; Offset < In.Count; Offset += Chunk) {
    const int N = std::min(Chunk, In.Count - Offset);
    const std::uint32_t* Tex0 = FTexRows[0];
    for (int s = 0; s < FTexturedStages; ++s) {
      if (!FTex[s].Texels) continue;
      if (s == 0 && In.TexelExact)
        Tex0 = ExactTexels(In, Offset);
      else if (s == 0 && In.UseRowCache)
        FetchFromRowCache(In, Offset, N, FTexRows[0]);
      else
        FetchStage(s, In, Offset, N, FTexRows[s]);
    }
    const bool NeedDiffuse = FCombine != TCombine::Texture && !(FCombine == TCombine::Modulate && In.FlatColor);
    if (NeedDiffuse) {
      if (In.FlatColor) {
        std::fill(Diffuse, Diffuse + N, In.Flat);
      } else {
        std::int64_t C[4];
        for (int c = 0; c < 4; ++c) C[c] = In.C[c] + In.DC[c] * Offset + Half32;
        for (int i = 0; i < N; ++i) {
          std::uint32_t V = 0;
          for (int c = 0; c < 4; ++c) {
            V |= static_cast<std::uint32_t>(std::clamp<std::int64_t>(C[c] >> 32, 0, 255)) << (8 * c);
            C[c] += In.DC[c];
          }
          Diffuse[i] = V;
        }
      }
    }
    const std::uint32_t* Result = Src;
    switch (FCombine) {
      case TCombine::Diffuse: Result = Diffuse; break;
      case TCombine::Texture: Result = Tex0; break;
      case TCombine::Modulate:
        if (In.FlatColor)
          ModulateRowByColor(Tex0, In.Flat, Src, N);
        else
          ModulateRow(Tex0, Diffuse, Src, N);
        break;
      case TCombine::General:
        if (Tex0 != FTexRows[0]) std::memcpy(FTexRows[0], Tex0, static_cast<std::size_t>(N) * 4);
        CombineGeneral(Diffuse, Src, N);
        break;
    }
    Write(In, Offset, N, Result);
  }
}

}  // namespace qel::soft
