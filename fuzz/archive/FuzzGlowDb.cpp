// Opens an archive made of the input bytes and reads every record, by index and by key.
// Inputs of odd length are read with a cipher key set, so enciphered records are deciphered.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "framework/Streams.h"
#include "fuzz/common/FieldMutator.h"

namespace {

using qel::fuzz::ReadField;
using qel::fuzz::TField;

// The header's count and table offset, every table entry's key length and record offset, and
// the fields of the record headers they point at (type, sizes, stamp, cipher flag).
std::vector<TField> ArchiveFields(const std::uint8_t* Data, std::size_t Size) {
  std::vector<TField> Fields{{4}, {8}};
  const std::uint64_t Count = ReadField(Data, Size, {4});
  std::uint64_t At = ReadField(Data, Size, {8});
  for (std::uint64_t I = 0; I < Count && I < 64 && At + 4 <= Size; ++I) {
    Fields.push_back({.Offset = At, .Group = 1});  // key length
    At += 4 + ReadField(Data, Size, {At});
    if (At + 4 > Size) break;
    Fields.push_back({.Offset = At, .Group = 2});  // record offset
    const std::uint64_t Record = ReadField(Data, Size, {At});
    At += 4;
    if (Record >= Size) continue;
    for (const TField& F : {TField{.Offset = Record, .Bytes = 2, .Group = 3}, TField{.Offset = Record + 2, .Group = 4},
                            TField{.Offset = Record + 6, .Group = 4}, TField{.Offset = Record + 10, .Bytes = 8, .Group = 5},
                            TField{.Offset = Record + 34, .Bytes = 2, .Group = 3}})
      Fields.push_back(F);
  }
  return Fields;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize,
                                               unsigned Seed) {
  return qel::fuzz::MutateWithFields(Data, Size, MaxSize, Seed, ArchiveFields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  using namespace qel;
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetOpenMode(opReadOnly);
  Db->OpenStream(new TResourceStream(Data, static_cast<std::int64_t>(Size)));
  if (Size % 2) {
    static const std::uint8_t Key[] = {'f', 'u', 'z', 'z', '-', 'k', 'e', 'y'};
    Db->SetCipherKey(Key, sizeof(Key));
  }
  if (!Db->EnsureOpen()) return 0;
  std::vector<std::uint8_t> Payload;
  const int Count = Db->RecordCount();
  for (int i = 0; i < Count; ++i) {
    const std::string Key = Db->RecordKey(i);
    Db->ReadRecordAt(i, Payload);
    Db->ReadRecord(Key, Payload);
    Db->RecordType(i);
    Db->RecordIndex(Key);
  }
  TMemoryStream Out;
  if (Count > 0) Db->ReadStream(Db->RecordKey(0), Out);
  return 0;
}
