#pragma once
// Row operations of the rasteriser's common cases, eight pixels at a time with vector
// arithmetic; each gives exactly what the per-pixel functions of PixelMath.h give.
#include <cstdint>
#include <string>
#include <vector>

namespace qel::soft {

// The builds of these kernels the processor runs, best first ("x86-64-v4", "x86-64-v3",
// "baseline"); the best is used unless another is chosen.
std::vector<std::string> RowKernelVariants();
// Every kernel runs in that build from now on; false (nothing changes) when the processor
// cannot run it.
bool UseRowKernelVariant(const std::string& Name);

// Dst = Color; Dst |= opaque alpha (a target without alpha shown).
void FillRow(std::uint32_t Color, std::uint32_t* Dst, int Count);
void OpaqueRow(std::uint32_t* Dst, int Count);

// Out = (Top * (256 - Fy) + Bottom * Fy + 128) / 256 per channel.
void LerpRows(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy, std::uint32_t* Out, int Count);
// Bilinear samples along a span of a texture whose sides are powers of two, wrapped:
// coordinates in 32.32 texel units, stepping by DU and DV a pixel.
struct TWrapTexture {
  const std::uint32_t* Texels;
  int WidthShift, WidthMask, HeightMask;
};
void BilinearWrapRow(const TWrapTexture& T, std::int64_t U, std::int64_t V, std::int64_t DU, std::int64_t DV,
                     std::uint32_t* Out, int Count);

// Linear samples of a wrapped power-of-two texture whose rows are each one colour: only the
// filtering down between rows remains (V in 32.32 texel units, stepping by DV a pixel).
void UniformRowsWrapRow(const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t* Out, int Count);
// The same samples modulated by Color and added into Dst by their alpha (the strip of light).
void UniformRowsModulateAddRow(const TWrapTexture& T, std::int64_t V, std::int64_t DV, std::uint32_t Color,
                               std::uint32_t* Dst, int Count);

// The same when every row is white and so is Color, for spans of one step DV: only alpha is
// filtered. Pairs[y] holds the alpha of row y and (above bit 8) of the row after it, wrapping;
// at least 128 entries are readable (those past the last row are never used).
struct TWhiteSpan {
  std::uint32_t* Dst;
  std::int64_t V;
  int Count;
};
void WhiteRowsAddSpans(const std::uint16_t* Pairs, int HeightMask, std::int64_t DV, std::uint32_t Alpha,
                       const TWhiteSpan* Spans, int Count);

// Out = round(A * B / 255) per channel.
void ModulateRow(const std::uint32_t* A, const std::uint32_t* B, std::uint32_t* Out, int Count);
void ModulateRowByColor(const std::uint32_t* A, std::uint32_t Color, std::uint32_t* Out, int Count);
// Dst = Src over Dst by the source alpha (SRCALPHA, INVSRCALPHA, ADD).
void AlphaBlendRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count);
// Dst = Dst + Src by the source alpha, saturating (SRCALPHA, ONE, ADD).
void AddBlendRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count);

// Dst = Src * Dst per channel, rounded (blend factors ZERO and SRCCOLOR).
void MultiplyRow(const std::uint32_t* Src, std::uint32_t* Dst, int Count);
// One colour over every pixel: alpha blended, or multiplied in.
void AlphaBlendColorRow(std::uint32_t Color, std::uint32_t* Dst, int Count);
void MultiplyColorRow(std::uint32_t Color, std::uint32_t* Dst, int Count);
// Texels modulated by Color, then blended into Dst.
void ModulateAlphaBlendRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count);
// The same for R5G6B5 texels, decoded as the texture decodes them.
void Rgb565ModulateAlphaBlendRow(const std::uint16_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count);
void ModulateAddBlendRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count);
void ModulateMultiplyRow(const std::uint32_t* Src, std::uint32_t Color, std::uint32_t* Dst, int Count);

// The stretched-picture case in one pass: rows filtered down by Fy, modulated by Color,
// blended into Dst (alpha or additive).
void LerpModulateAlphaBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                               std::uint32_t Color, std::uint32_t* Dst, int Count);
void LerpModulateAddBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                             std::uint32_t Color, std::uint32_t* Dst, int Count);
void LerpModulateMultiplyRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                             std::uint32_t Color, std::uint32_t* Dst, int Count);
// The same over a destination of one colour, Under, which is not read from Dst.
void LerpModulateMultiplyColorRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                  std::uint32_t Color, std::uint32_t Under, std::uint32_t* Dst, int Count);
// The same, then Src modulated by Over and blended over the result by its alpha (a picture at
// one texel a pixel over the stretched one), in one pass; the bits of Set are set in every
// pixel written (0xFF000000: made opaque at once).
void LerpModulateMultiplyColorAlphaBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                            std::uint32_t Color, std::uint32_t Under, const std::uint32_t* Src,
                                            std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst, int Count);
// The same for texels that are all opaque (alpha 255; with Set 0 their alpha is taken as 255
// whatever it holds).
void LerpModulateMultiplyColorOpaqueBlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                             std::uint32_t Color, std::uint32_t Under, const std::uint32_t* Src,
                                             std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst, int Count);
// The same for R5G6B5 texels, decoded as the texture decodes them; Set is 0 or 0xFF000000.
void LerpModulateMultiplyColorRgb565BlendRow(const std::uint32_t* Top, const std::uint32_t* Bottom, std::uint32_t Fy,
                                             std::uint32_t Color, std::uint32_t Under, const std::uint16_t* Src,
                                             std::uint32_t Over, std::uint32_t Set, std::uint32_t* Dst, int Count);

}  // namespace qel::soft
