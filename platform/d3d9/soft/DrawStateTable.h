#pragma once
// Draw states interned by what they draw with: equal states are one object for as long as
// anything holds it, so that recorded commands of two frames compare their states by address.
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/d3d9/soft/SpanPipeline.h"

namespace qel::soft {

class TDrawStateTable {
 public:
  // The state for Pipeline with the textures' present contents (made when none is held).
  std::shared_ptr<const TDrawState> Get(const TPipeline& Pipeline, bool FastPaths);

 private:
  struct TKey {
    TPipeline Pipeline;
    bool Fast = true;
    std::uint64_t Versions[8] = {};  // of the sampled textures' contents
    bool operator==(const TKey&) const = default;
  };
  struct THash {
    std::size_t operator()(const TKey& Key) const;
  };
  std::unordered_map<TKey, std::weak_ptr<const TDrawState>, THash> FStates;
  std::size_t FPruneAt = 64;
};

}  // namespace qel::soft
