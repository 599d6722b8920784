#pragma once
// Where the fields of an image payload's 33-byte header lie, for the field-aware mutator of
// the targets that read one (alone, or embedded in a font record).
#include <cstddef>
#include <vector>

#include "fuzz/common/FieldMutator.h"

namespace qel::fuzz {

inline void AddImagePayloadFields(std::size_t Start, int Group, std::vector<TField>& Fields) {
  Fields.push_back({.Offset = Start, .Bytes = 1, .Group = Group});  // the pixel format code
  for (std::size_t Offset = 1; Offset < 33; Offset += 4) Fields.push_back({.Offset = Start + Offset, .Group = Group});
}

}  // namespace qel::fuzz
