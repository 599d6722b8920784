#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/Md5.h"

namespace qel {

// Record type codes of the archive.
enum : std::int32_t { recImage = 1, recFont = 3 };

// One record of the archive: its table entry and its 44-byte header.
struct TRecordInfo {
  std::string Key;
  std::uint32_t Offset = 0;
  std::int32_t RecordType = 0;
  std::uint32_t OrigSize = 0;
  std::uint32_t PhysSize = 0;
  double Stamp = 0.0;
  TMd5Digest Checksum{};
  bool Encrypted = false;
  std::array<std::uint8_t, 8> CipherIV{};
};

constexpr std::uint32_t RecordHeaderSize = 44;

// Turns a record's stored bytes into its payload: deciphered in place when the record is
// enciphered and a key is given, inflated, and checked against OrigSize and Checksum.
// Inflation never produces more than OrigSize + 1 bytes and stops with a failure as soon
// as the stream holds more than OrigSize, so a small hostile record cannot make us allocate
// or inflate gigabytes. On failure Payload is empty and Reason (when given) says why.
bool DecodeRecord(std::vector<std::uint8_t>& Stored, const TRecordInfo& Info, const std::uint8_t* Key,
                  std::size_t KeyLength, std::vector<std::uint8_t>& Payload, std::string* Reason = nullptr);

// The inverse: fills Info's OrigSize, PhysSize, Checksum, Encrypted and CipherIV and makes
// the stored bytes (one zlib stream at Level, enciphered with Key and IV when KeyLength > 0).
bool EncodeRecord(const std::uint8_t* Payload, std::size_t Size, int Level, const std::uint8_t* Key,
                  std::size_t KeyLength, const std::array<std::uint8_t, 8>& IV, TRecordInfo& Info,
                  std::vector<std::uint8_t>& Stored);

}  // namespace qel
