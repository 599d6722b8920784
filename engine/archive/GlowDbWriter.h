#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/RecordCodec.h"

namespace qel {

// Lays an archive out as the reader expects it: the 12-byte header, the records one after
// another from offset 12 in the order they were added, and the record table as the last bytes.
class TGlowDbWriter {
 public:
  // Encodes Payload (zlib at Level, enciphered when a key is set) as record Key.
  bool Add(const std::string& Key, std::int32_t Type, const std::vector<std::uint8_t>& Payload, double Stamp,
           const std::array<std::uint8_t, 8>& IV = {}, int Level = 9);
  // Adds a record whose header fields and stored bytes are taken as they are; only the
  // Offset is worked out. PhysSize is written as given, so it may disagree with Stored.
  void AddStored(const TRecordInfo& Info, std::vector<std::uint8_t> Stored);

  // Key used by Add; an empty key stores records unenciphered. False when it is too long.
  bool SetCipherKey(const std::vector<std::uint8_t>& Key);

  std::size_t Count() const { return FRecords.size(); }
  std::vector<std::uint8_t> Bytes() const;

 private:
  struct TEntry {
    TRecordInfo Info;
    std::vector<std::uint8_t> Stored;
  };
  std::vector<TEntry> FRecords;
  std::vector<std::uint8_t> FKey;
};

}  // namespace qel
