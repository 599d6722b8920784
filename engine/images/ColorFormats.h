#pragma once
#include <cstdint>
#include <string_view>

namespace qel {

// The engine's pixel formats. The code is the first byte of every image payload, so it is a
// plain byte: values beyond cfUnknown can arrive from outside and count as unknown.
// Channels are listed from bit 0 upwards in the comments; multi-byte pixels are little-endian.
enum TColorFormat : std::uint8_t {
  cfR3G3B2 = 0,    // blue 2, green 3, red 3
  cfR5G6B5 = 1,    // blue 5, green 6, red 5
  cfX8R8G8B8 = 2,  // blue 8, green 8, red 8, unused 8
  cfX1R5G5B5 = 3,  // blue 5, green 5, red 5, unused 1
  cfX4R4G4B4 = 4,  // blue 4, green 4, red 4, unused 4
  cfA8R8G8B8 = 5,  // blue 8, green 8, red 8, alpha 8: the engine's 32-bit ARGB
  cfA1R5G5B5 = 6,  // blue 5, green 5, red 5, alpha 1
  cfA4R4G4B4 = 7,  // blue 4, green 4, red 4, alpha 4
  cfA8R3G3B2 = 8,  // blue 2, green 3, red 3, alpha 8
  cfA2R2G2B2 = 9,  // blue 2, green 2, red 2, alpha 2 (storage only: no texture has it)
  cfA8 = 10,       // alpha 8
  cfUnknown = 11,  // nothing
};

// Number of codes with a meaning, cfUnknown included.
inline constexpr int ColorFormatCount = 12;

// True for the codes that describe pixels (cfR3G3B2 … cfA8).
constexpr bool IsKnownFormat(TColorFormat Code) { return Code < cfUnknown; }

// Bytes per pixel; 0 for cfUnknown and every code beyond it.
int FormatBytes(TColorFormat Code);

// Lower-case name of a format ("a8r8g8b8", "r5g6b5", …, "a8"); "unknown" otherwise.
std::string_view FormatName(TColorFormat Code);

// The format with that name (ASCII case ignored); False for any other text, cfUnknown included.
bool FormatFromName(std::string_view Name, TColorFormat& Code);

// Exchanges bytes 0 and 2: framework colour 0x00BBGGRR <-> 0x00RRGGBB. Bytes 1 and 3 stay.
constexpr std::uint32_t SwapRedBlue(std::uint32_t Color) {
  return (Color & 0xFF00FF00u) | ((Color & 0xFFu) << 16) | ((Color >> 16) & 0xFFu);
}

}  // namespace qel
