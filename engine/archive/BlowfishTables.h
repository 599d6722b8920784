#pragma once
#include <cstdint>

namespace qel {

extern const std::uint32_t BlowfishInitP[18];
extern const std::uint32_t BlowfishInitS[4][256];

}  // namespace qel
