#pragma once
#include <cstdint>

#include "platform/d3d9/d3d9api.h"

namespace qel {

// A draw effect key: byte 0 picks the source blend factor, byte 1 the destination factor,
// byte 2 the blend operation; bit 28 asks stage 0 to multiply the texture by the vertex
// colour. Quad writers add the flag themselves; callers pass only the three low bytes.
constexpr std::int32_t ModulateFlag = 1 << 28;

constexpr int EffectSourceIndex(std::int32_t Key) { return Key & 0xFF; }
constexpr int EffectDestIndex(std::int32_t Key) { return (Key >> 8) & 0xFF; }
constexpr int EffectOpIndex(std::int32_t Key) { return (Key >> 16) & 0xFF; }
constexpr bool EffectModulates(std::int32_t Key) { return (Key & ModulateFlag) != 0; }
// One, zero, add: the quad replaces the frame, so blending is switched off.
constexpr bool EffectReplaces(std::int32_t Key) {
  return EffectSourceIndex(Key) == 1 && EffectDestIndex(Key) == 0 && EffectOpIndex(Key) == 0;
}

// Table look-ups; false for an index beyond the table, leaving Factor/Op untouched.
bool BlendFactorAt(int Index, D3DBLEND& Factor);
bool BlendOpAt(int Index, D3DBLENDOP& Op);

}  // namespace qel
