#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/device/FrameReadBack.h"

namespace qel::waverender {

// 8-bit RGB PNG pictures and animated PNGs (acTL / fcTL / fdAT over zlib), byte for byte the
// same for the same frames. The alpha of the frames is dropped: what is on screen is opaque.

// A whole PNG file in memory.
bool EncodePng(const TFramePixels& Frame, std::vector<std::uint8_t>& Png);

// An animated PNG written frame by frame to a file; every frame has the size of the first and
// is shown for 1/Fps second, and the animation loops.
class TApngWriter {
 public:
  TApngWriter() = default;
  TApngWriter(const TApngWriter&) = delete;
  TApngWriter& operator=(const TApngWriter&) = delete;
  ~TApngWriter();

  bool Open(const std::string& FileName, int Width, int Height, int FrameCount, int Fps, std::string& Error);
  bool AddFrame(const TFramePixels& Frame, std::string& Error);
  // False unless exactly FrameCount frames were added and everything reached the file.
  bool Close(std::string& Error);

 private:
  bool Put(const std::vector<std::uint8_t>& Bytes, std::string& Error);

  std::FILE* FFile = nullptr;
  std::string FFileName;
  int FWidth = 0, FHeight = 0, FFrameCount = 0, FFps = 1, FFramesAdded = 0;
  std::uint32_t FSequence = 0;
};

}  // namespace qel::waverender
