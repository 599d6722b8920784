// Feeds arbitrary bytes to the PNG reader wave-render takes its desktop picture from (the
// file reader hands the file's bytes to the same decoder). A picture may be refused, never
// crash, hang or allocate without bound.
#include <cstddef>
#include <cstdint>
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
  qel::TArgbPicture Picture;
  std::string Error;
  qel::DecodePng(Data, Size, Picture, Error);
  return 0;
}
