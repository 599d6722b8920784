#include "platform/d3d9/soft/FastPaths.h"

#include "platform/d3d9/soft/SpanPipeline.h"

namespace qel::soft {

void DecideFastPaths(TDrawState& D, bool Enabled) {
  D.Fast = Enabled;
  TFastPaths& F = D.Paths;
  F = {};
  D.Strips = false;
  if (!Enabled) {
    if (D.Combine != TCombine::Diffuse || D.Pipeline.StageCount > 1) D.Combine = TCombine::General;
    D.Blend = TBlend::General;
    return;
  }
  const TTexInfo& T0 = D.Tex[0];
  const bool Modulate = D.Combine == TCombine::Modulate;
  F.UniformFold = !D.Tests && D.TexturedStages == 0 && D.Combine == TCombine::Diffuse && D.Blend != TBlend::General;
  F.RowCache = D.TexturedStages >= 1 && T0.Texels && T0.AddressV != D3DTADDRESS_BORDER;
  F.MultiplyCached = F.RowCache && !D.Tests && Modulate && D.Blend == TBlend::Multiply;
  F.TexelExact = D.TexturedStages == 1;
  F.Exact565 = F.TexelExact && T0.Rgb565 && Modulate && D.Blend == TBlend::Alpha;
  F.Fused = !D.Tests;
  for (int s = 0; s < D.TexturedStages; ++s)
    if (D.Tex[s].Pow2Wrap) (D.Tex[s].RowsUniform ? F.RowsFetch : F.WrapFetch) |= 1u << s;
  F.LayerBelow = F.MultiplyCached;
  F.LayerOver = !D.Tests && Modulate && D.TexturedStages == 1 && D.Blend == TBlend::Alpha;
  F.OverOpaque = F.LayerOver && T0.Opaque;
  // Additive strips of a texture of uniform rows: pixels that follow from V alone.
  D.Strips = D.TexturedStages == 1 && !D.Tests && T0.RowsUniform && T0.Pow2Wrap && D.Blend == TBlend::Add &&
             (Modulate || D.Combine == TCombine::Texture);
  F.WhiteStrips = D.Strips && T0.WhitePairs;
}

}  // namespace qel::soft
