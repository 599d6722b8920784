#pragma once
#include <cstdint>

#include "engine/images/ColorFormats.h"
#include "platform/d3d9/d3d9api.h"

namespace qel {

// An image's wishes for its texture format.
enum TGlowQuality : std::uint8_t { qlLow = 0, qlMedium = 1, qlHigh = 2 };
enum TAlphaLevel : std::uint8_t { avNone = 0, avMask = 1, avFull = 2, avOnly = 3 };

// The engine code of a Direct3D format; cfUnknown for every format the engine has no code for.
TColorFormat FormatFromD3D(D3DFORMAT Format);

// The first format of the (AlphaLevel, Quality) preference list that Direct3D accepts as a
// texture with Usage on the default adapter, tested against AdapterFormat; D3DFMT_UNKNOWN when
// none is accepted or the wishes are out of range.
D3DFORMAT ChooseTextureFormat(IDirect3D9& Direct3D, D3DFORMAT AdapterFormat, TGlowQuality Quality,
                              TAlphaLevel AlphaLevel, DWORD Usage);

// The same through the rendering device's shared state, tested against its back-buffer
// format; D3DFMT_UNKNOWN while no Direct3D object exists.
D3DFORMAT ChooseTextureFormat(TGlowQuality Quality, TAlphaLevel AlphaLevel, DWORD Usage);

}  // namespace qel
