#pragma once
// Which kernels serve a draw state: decided once, when the interned state is made
// (DecideFastPaths), and refined once per triangle where its shape matters
// (TSpanPipeline::BeginTriangle: the triangle's shape, steps and colour). The span pipeline and
// the tile renderer only dispatch on these answers (a span checks no more than where its
// samples fall); with the fast paths off every answer is the general path.
namespace qel::soft {

struct TFastPaths {
  bool UniformFold = false;  // an untextured flat shape over a tile of one colour folds into the colour
  bool RowCache = false;     // stage 0's rows filtered across once (axis-aligned stretched pictures)
  bool MultiplyCached = false;  // a multiply of those cached rows reads a uniform colour under it as it is
  bool TexelExact = false;   // stage 0 read as stored where a span takes it one texel a pixel
  bool Exact565 = false;     // those texels read as R5G6B5, as stored (an alpha blend of them)
  bool Fused = false;        // a span drawn by one kernel from its inputs to the target
  unsigned WrapFetch = 0;    // per stage (bit s): fetched by the kernels of power-of-two wrapping textures
  unsigned RowsFetch = 0;    // per stage: those of textures whose rows are each one colour
  bool LayerBelow = false, LayerOver = false;  // the two layers drawn in one pass over a tile of one colour
  bool OverOpaque = false;   // the layer over them of opaque texels
  bool WhiteStrips = false;  // strips of white light added from the row pairs of a texture of white rows
};

struct TDrawState;
// Sets State.Paths and State.Strips and, with the fast paths off, the general combination
// and blend.
void DecideFastPaths(TDrawState& State, bool Enabled);

}  // namespace qel::soft
