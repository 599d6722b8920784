#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel::kwin {

// A screenshot's pixels as KWin hands them over, and the wl_shm format of the same memory
// layout, by which the Wayland platform's capture conversion reads them.
struct TScreenImage {
  std::uint32_t ShmFormat = 0;
  int Width = 0, Height = 0, Stride = 0;
  std::vector<std::uint8_t> Pixels;  // Stride * Height bytes once read

  std::size_t Bytes() const { return static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height); }
};

// What a screenshot's reply says about the pixels that follow it through the pipe.
struct TShotFields {
  std::string Type;
  std::optional<std::uint32_t> Width, Height, Stride, Format;  // Format: a QImage format number
};

// The largest side a reply is believed for.
constexpr int LargestSide = 16384;

// Whether the reply describes raw pixels in a layout this program reads, of sane sizes and, where
// WantWidth and WantHeight are not 0, of exactly that size. Fills Image's format and sizes; Error
// says what is wrong otherwise.
bool ReadShotFields(const TShotFields& Fields, int WantWidth, int WantHeight, TScreenImage& Image, std::string& Error);

}  // namespace qel::kwin
