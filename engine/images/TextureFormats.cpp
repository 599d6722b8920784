#include "engine/images/TextureFormats.h"

#include <span>

#include "engine/device/GlowDevices.h"

namespace qel {

TColorFormat FormatFromD3D(D3DFORMAT Format) {
  switch (Format) {
    case D3DFMT_R3G3B2: return cfR3G3B2;
    case D3DFMT_R5G6B5: return cfR5G6B5;
    case D3DFMT_X8R8G8B8: return cfX8R8G8B8;
    case D3DFMT_X1R5G5B5: return cfX1R5G5B5;
    case D3DFMT_X4R4G4B4: return cfX4R4G4B4;
    case D3DFMT_A8R8G8B8: return cfA8R8G8B8;
    case D3DFMT_A1R5G5B5: return cfA1R5G5B5;
    case D3DFMT_A4R4G4B4: return cfA4R4G4B4;
    case D3DFMT_A8R3G3B2: return cfA8R3G3B2;
    case D3DFMT_A8: return cfA8;
    default: return cfUnknown;
  }
}

namespace {

using TCandidates = std::span<const D3DFORMAT>;

constexpr D3DFORMAT OpaqueLow[] = {D3DFMT_R3G3B2, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X4R4G4B4, D3DFMT_X8R8G8B8};
constexpr D3DFORMAT OpaqueMedium[] = {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_X4R4G4B4,
                                      D3DFMT_R3G3B2};
constexpr D3DFORMAT OpaqueHigh[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_X4R4G4B4, D3DFMT_R3G3B2};
constexpr D3DFORMAT Mask[] = {D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A8R3G3B2};
constexpr D3DFORMAT FullLow[] = {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A8R3G3B2};
constexpr D3DFORMAT FullMedium[] = {D3DFMT_A4R4G4B4, D3DFMT_A8R8G8B8, D3DFMT_A8R3G3B2, D3DFMT_A1R5G5B5};
constexpr D3DFORMAT FullHigh[] = {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2, D3DFMT_A1R5G5B5};
constexpr D3DFORMAT AlphaOnly[] = {D3DFMT_A8, D3DFMT_A8R3G3B2, D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5};

// The formats to try, best first, for an image's wishes; empty for values out of range.
TCandidates Candidates(TGlowQuality Quality, TAlphaLevel AlphaLevel) {
  if (Quality > qlHigh) return {};
  switch (AlphaLevel) {
    case avNone: return Quality == qlLow ? TCandidates(OpaqueLow) : Quality == qlMedium ? TCandidates(OpaqueMedium) : TCandidates(OpaqueHigh);
    case avMask: return Mask;
    case avFull: return Quality == qlLow ? TCandidates(FullLow) : Quality == qlMedium ? TCandidates(FullMedium) : TCandidates(FullHigh);
    case avOnly: return AlphaOnly;
    default: return {};
  }
}

}  // namespace

D3DFORMAT ChooseTextureFormat(IDirect3D9& Direct3D, D3DFORMAT AdapterFormat, TGlowQuality Quality,
                              TAlphaLevel AlphaLevel, DWORD Usage) {
  for (D3DFORMAT Format : Candidates(Quality, AlphaLevel))
    if (SUCCEEDED(Direct3D.CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, AdapterFormat, Usage, D3DRTYPE_TEXTURE,
                                             Format)))
      return Format;
  return D3DFMT_UNKNOWN;
}

D3DFORMAT ChooseTextureFormat(TGlowQuality Quality, TAlphaLevel AlphaLevel, DWORD Usage) {
  if (!Direct3D) return D3DFMT_UNKNOWN;
  return ChooseTextureFormat(*Direct3D.Get(), PresentParams.BackBufferFormat, Quality, AlphaLevel, Usage);
}

}  // namespace qel
