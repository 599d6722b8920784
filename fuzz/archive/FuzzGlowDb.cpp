// Opens an archive made of the input bytes and reads every record, by index and by key.
// Inputs of odd length are read with a cipher key set, so enciphered records are deciphered.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "framework/Streams.h"

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
