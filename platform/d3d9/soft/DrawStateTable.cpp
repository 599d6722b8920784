#include "platform/d3d9/soft/DrawStateTable.h"

#include <bit>

#include "platform/d3d9/soft/SoftResources.h"

namespace qel::soft {
namespace {

// FNV-1a over the values that tell states apart.
struct THasher {
  std::uint64_t Value = 14695981039346656037ull;
  template <class T>
  void Add(T V) {
    std::uint64_t Bits;
    if constexpr (std::is_pointer_v<T>)
      Bits = reinterpret_cast<std::uintptr_t>(V);
    else if constexpr (std::is_same_v<T, float>)
      Bits = std::bit_cast<std::uint32_t>(V);
    else
      Bits = static_cast<std::uint64_t>(V);
    Value = (Value ^ Bits) * 1099511628211ull;
  }
};

}  // namespace

std::size_t TDrawStateTable::THash::operator()(const TKey& Key) const {
  THasher H;
  const TPipeline& P = Key.Pipeline;
  H.Add(Key.Fast);
  H.Add(P.StageCount);
  for (int s = 0; s < P.StageCount && s < 8; ++s) {
    const TStage& S = P.Stages[s];
    for (DWORD V : {S.ColorOp, S.ColorArg1, S.ColorArg2, S.AlphaOp, S.AlphaArg1, S.AlphaArg2, S.MagFilter, S.MinFilter,
                    S.AddressU, S.AddressV})
      H.Add(V);
    H.Add(S.Constant);
    H.Add(S.BorderColor);
    H.Add(S.Texture);
    H.Add(Key.Versions[s]);
  }
  for (DWORD V : {P.Cull, P.AlphaFunc, P.SrcBlend, P.DestBlend, P.BlendOp, P.SrcBlendAlpha, P.DestBlendAlpha,
                  P.BlendOpAlpha, P.DepthFunc, P.ColorWriteMask})
    H.Add(V);
  for (bool V : {P.FlatShading, P.AlphaTest, P.Blend, P.SeparateAlpha, P.DepthTest, P.DepthWrite}) H.Add(V);
  H.Add(P.TextureFactor);
  H.Add(P.AlphaRef);
  H.Add(P.BlendFactor);
  H.Add(P.PointSize);
  return static_cast<std::size_t>(H.Value);
}

std::shared_ptr<const TDrawState> TDrawStateTable::Get(const TPipeline& Pipeline, bool FastPaths) {
  TKey Key{Pipeline, FastPaths, {}};
  // The textures MakeDrawState samples, with the contents they have now.
  for (int s = 0; s < Pipeline.StageCount; ++s) {
    const TStage& St = Pipeline.Stages[s];
    if (St.Texture && St.ColorOp != D3DTOP_DISABLE) Key.Versions[s] = St.Texture->Version();
  }
  std::weak_ptr<const TDrawState>& Slot = FStates[Key];
  if (std::shared_ptr<const TDrawState> Held = Slot.lock()) return Held;
  std::shared_ptr<const TDrawState> Made = MakeDrawState(Pipeline, FastPaths);
  Slot = Made;
  // States nobody holds any more (a texture whose contents change every frame leaves one a frame).
  if (FStates.size() >= FPruneAt) {
    std::erase_if(FStates, [](const auto& Entry) { return Entry.second.expired(); });
    FPruneAt = 2 * FStates.size() + 64;
  }
  return Made;
}

}  // namespace qel::soft
