#include "fuzz/common/FieldMutator.h"

#include <algorithm>
#include <random>

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize);

namespace qel::fuzz {

namespace {

// The edges of the signed and unsigned ranges of every width, their neighbours, and the sizes
// around which the engine's limits lie (largest texture 16384, bitmap limit 2^30).
const std::uint64_t Boundaries[] = {
    0,          1,          2,          3,          4,          7,          8,          0x0F,       0x10,
    0x7F,       0x80,       0xFF,       0x100,      0x3FFF,     0x4000,     0x4001,     0x7FFF,     0x8000,
    0xFFFF,     0x10000,    0x100000,   0x3FFFFFFF, 0x40000000, 0x7FFFFFFE, 0x7FFFFFFF, 0x80000000, 0x80000001,
    0xFFFFFFFE, 0xFFFFFFFF, 0x7FF0000000000000,  // +infinity as a double
    0xFFF8000000000000,                          // a NaN
    0x7FEFFFFFFFFFFFFF,                          // the largest double
    0x8000000000000000,   0xFFFFFFFFFFFFFFFF,
};

std::uint64_t Mask(int Bytes) { return Bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * Bytes)) - 1; }

void WriteField(std::uint8_t* Data, const TField& Field, std::uint64_t Value) {
  for (int I = 0; I < Field.Bytes; ++I) {
    const int Shift = 8 * (Field.BigEndian ? Field.Bytes - 1 - I : I);
    Data[Field.Offset + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(Value >> Shift);
  }
}

bool Inside(std::size_t Size, const TField& Field) {
  return Field.Bytes > 0 && Field.Bytes <= 8 && Field.Offset <= Size && Size - Field.Offset >= static_cast<std::size_t>(Field.Bytes);
}

}  // namespace

std::uint64_t ReadField(const std::uint8_t* Data, std::size_t Size, const TField& Field) {
  if (!Inside(Size, Field)) return 0;
  std::uint64_t Value = 0;
  for (int I = 0; I < Field.Bytes; ++I) {
    const int Shift = 8 * (Field.BigEndian ? Field.Bytes - 1 - I : I);
    Value |= std::uint64_t{Data[Field.Offset + static_cast<std::size_t>(I)]} << Shift;
  }
  return Value;
}

std::size_t MutateWithFields(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize, unsigned Seed,
                             const TFieldFinder& Fields) {
  std::minstd_rand Random(Seed);
  std::vector<TField> Found = Fields(Data, Size);
  std::erase_if(Found, [&](const TField& F) { return !Inside(Size, F); });
  // A quarter of the time libFuzzer's own mutation, so bytes between the fields change too.
  if (Found.empty() || Random() % 4 == 0) return LLVMFuzzerMutate(Data, Size, MaxSize);
  std::vector<int> Groups;
  for (const TField& F : Found)
    if (std::find(Groups.begin(), Groups.end(), F.Group) == Groups.end()) Groups.push_back(F.Group);
  const auto Pick = [&]() -> const TField& {
    const int Group = Groups[Random() % Groups.size()];
    std::vector<const TField*> Members;
    for (const TField& F : Found)
      if (F.Group == Group) Members.push_back(&F);
    return *Members[Random() % Members.size()];
  };
  const TField& Field = Pick();
  const std::uint64_t Old = ReadField(Data, Size, Field);
  std::uint64_t Value;
  switch (Random() % 4) {
    case 0:  // nudged up or down by a little
      Value = Old + (Random() % 2 ? 1 : -1) * static_cast<std::int64_t>(1 + Random() % 16);
      break;
    case 1:  // a boundary, negated (the same edges seen from the other sign)
      Value = ~Boundaries[Random() % std::size(Boundaries)] + 1;
      break;
    default:
      Value = Boundaries[Random() % std::size(Boundaries)];
      break;
  }
  WriteField(Data, Field, Value & Mask(Field.Bytes));
  // Now and then a second field too: overflows often need two large values at once.
  if (Random() % 3 == 0) {
    const TField& Other = Pick();
    WriteField(Data, Other, Boundaries[Random() % std::size(Boundaries)] & Mask(Other.Bytes));
  }
  return Size;
}

}  // namespace qel::fuzz
