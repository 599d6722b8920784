#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qel {

// A picture in 32-bit ARGB (0xAARRGGBB), rows top to bottom without padding.
struct TArgbPicture {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;

  std::uint32_t& At(int X, int Y) { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
  std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
};

// Reads a PNG of any colour type held in memory (other formats are refused); pictures
// without alpha come out opaque. The chunks are checked before decoding: each must lie
// within the bytes, sides beyond 16384 are refused, and so is a picture larger than its
// compressed data could ever unpack to, so nothing is allocated beyond what the bytes justify.
bool DecodePng(const std::uint8_t* Data, std::size_t Size, TArgbPicture& Picture, std::string& Error);
// The same, read from a file.
bool LoadPng(const std::string& FileName, TArgbPicture& Picture, std::string& Error);
// Writes an 8-bit RGBA PNG.
bool SavePng(const std::string& FileName, const TArgbPicture& Picture, std::string& Error);

}  // namespace qel
