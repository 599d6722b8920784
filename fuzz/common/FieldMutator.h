#pragma once
// A libFuzzer mutator that knows where a format's fields lie, so that counts, sizes and offsets
// reach the edges of their ranges (0, -1, 2^31 - 1, 2^31, just beyond the largest texture...)
// far more often than byte-wise mutation of a large input ever makes them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qel::fuzz {

struct TField {
  std::size_t Offset = 0;
  int Bytes = 4;  // 1, 2, 4 or 8
  bool BigEndian = false;
  // Fields of one kind (a header, a table's entries) share a group: each group is picked as
  // often as any other, so a header's four fields are not drowned by a table of thousands.
  int Group = 0;
};

// The fields of the input as it stands; only those wholly inside it are used.
using TFieldFinder = std::function<std::vector<TField>(const std::uint8_t* Data, std::size_t Size)>;

// The custom mutator of a target: most of the time one field (a group picked at random, then
// one of its fields) is set to a boundary value or nudged by a little, and now and then a
// second one as well; otherwise libFuzzer's own mutation runs.
std::size_t MutateWithFields(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize, unsigned Seed,
                             const TFieldFinder& Fields);

// Reading a field where a finder needs one (a count, an offset); 0 when out of range.
std::uint64_t ReadField(const std::uint8_t* Data, std::size_t Size, const TField& Field);

}  // namespace qel::fuzz
