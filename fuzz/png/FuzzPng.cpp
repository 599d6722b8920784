// Feeds arbitrary bytes to the PNG reader wave-render takes its desktop picture from. The
// reader works on files, as wave-render does: each input is written to a file of this
// process's own first. A picture may be refused, never crash, hang or allocate without bound.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/common/FieldMutator.h"
#include "tools/common/Png.h"

namespace {

using qel::fuzz::ReadField;
using qel::fuzz::TField;

// Every chunk's length, and the header's width, height, bit depth, colour type and interlace
// method (big-endian, as PNG stores them).
std::vector<TField> PngFields(const std::uint8_t* Data, std::size_t Size) {
  std::vector<TField> Fields{{.Offset = 16, .BigEndian = true},
                             {.Offset = 20, .BigEndian = true},
                             {.Offset = 24, .Bytes = 1},
                             {.Offset = 25, .Bytes = 1},
                             {.Offset = 28, .Bytes = 1}};
  std::size_t At = 8;
  for (int Chunk = 0; Chunk < 64 && At + 8 <= Size; ++Chunk) {
    const TField Length{.Offset = At, .BigEndian = true, .Group = 1};
    Fields.push_back(Length);
    const std::uint64_t Bytes = ReadField(Data, Size, Length);
    if (Bytes > Size) break;
    At += 12 + Bytes;
  }
  return Fields;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize,
                                               unsigned Seed) {
  return qel::fuzz::MutateWithFields(Data, Size, MaxSize, Seed, PngFields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static const std::string Path = "/tmp/fuzz_png." + std::to_string(getpid()) + ".png";
  std::FILE* F = std::fopen(Path.c_str(), "wb");
  if (!F) return 0;
  std::fwrite(Data, 1, Size, F);
  std::fclose(F);
  qel::TArgbPicture Picture;
  std::string Error;
  qel::LoadPng(Path, Picture, Error);
  std::remove(Path.c_str());
  return 0;
}
