#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/RecordCodec.h"
#include "framework/Component.h"
#include "framework/Streams.h"

namespace qel {

enum TOpenModes { opUpdate = 0, opOverwrite = 1, opReadOnly = 2 };

// The 12 bytes at the start of an archive.
struct TGlowDbHeader {
  std::array<char, 4> Signature{};
  std::uint32_t RecordCount = 0;
  std::uint32_t TableOffset = 0;
};

constexpr std::uint32_t GlowDbHeaderSize = 12;

// The artwork archive: named records, each a compressed, checksummed payload, read from a
// file or from a stream attached to the component. The table and every record header are
// read again on each record read; nothing is cached between reads but the table as last read.
//
// Everything read from the source is checked against the source's size before the reader
// allocates or seeks, so a truncated or hostile archive gives false, never a crash or a huge
// allocation.
class TGlowDb : public TComponent {
 public:
  static constexpr std::size_t CipherKeySize = 57;

  explicit TGlowDb(TComponent* Owner);
  ~TGlowDb() override;

  const std::string& FileName() const { return FFileName; }
  // Stored without leading and trailing characters of code 32 and below; closes the archive.
  void SetFileName(const std::string& Value);
  bool OwnsBuffer() const { return FOwnsBuffer; }
  void SetOwnsBuffer(bool Value) { FOwnsBuffer = Value; }
  TOpenModes OpenMode() const { return FOpenMode; }
  void SetOpenMode(TOpenModes Value) { FOpenMode = Value; }

  bool Opened() const { return FOpened; }
  std::int64_t ArchiveSize() const { return FArchiveSize; }
  const TGlowDbHeader& Header() const { return FHeader; }
  TStream* Stream() const { return FStream; }

  // Attaches Stream as the archive (FileName is then ignored) and closes the archive; nothing
  // is read until the next EnsureOpen. A stream attached before is freed when the archive owns it.
  void OpenStream(TStream* Stream);
  bool EnsureOpen();
  bool Open();
  // Reads header, record table and every record header from Stream, or from the attached
  // stream, or from the file.
  bool Refresh(TStream* Stream = nullptr);
  // Writes an empty archive to the attached stream (at its position) or to a new file.
  bool CreateEmpty();

  int RecordCount() const { return static_cast<int>(FRecords.size()); }
  std::string RecordKey(int Index) const;
  std::int32_t RecordType(int Index) const;
  // The record's table entry and header as last read; nullptr when Index is out of range.
  const TRecordInfo* RecordInfo(int Index) const;
  // The first record whose key equals Key with the ASCII letters A-Z folded; -1 when none.
  int RecordIndex(const std::string& Key) const;

  // The decoded payload of the record Key (Data.size() is its OrigSize); Data is empty on failure.
  bool ReadRecord(const std::string& Key, std::vector<std::uint8_t>& Data);
  // The same for the record at Index of the table as it is re-read now (so records with the
  // same key can each be read).
  bool ReadRecordAt(int Index, std::vector<std::uint8_t>& Data);
  // ReadRecord, then writes the payload at Stream's position; nothing is written on failure.
  bool ReadStream(const std::string& Key, TStream& Stream);

  // The cipher key for enciphered records: up to TBlowfish::MaxKeyLength bytes; an empty key
  // means none. Answers false and keeps the old key when Length is too long.
  bool SetCipherKey(const std::uint8_t* Key, std::size_t Length);
  const std::array<std::uint8_t, CipherKeySize>& CipherKey() const { return FCipherKey; }
  std::size_t CipherKeyLength() const { return FCipherKeyLength; }

  // Why the last Refresh, CreateEmpty or ReadRecord failed (for tools; the engine shows nothing).
  const std::string& LastError() const { return FLastError; }

 private:
  bool Fail(std::string Why);
  bool ReadTable(TStream& Source);
  bool ReadRecordHeaders(TStream& Source);
  bool ReadStored(TStream& Source, const TRecordInfo& Info, std::vector<std::uint8_t>& Stored);
  template <class TFind>
  bool ReadFound(TFind Find, std::vector<std::uint8_t>& Data);

  std::string FFileName;
  bool FOwnsBuffer = true;
  TOpenModes FOpenMode = opUpdate;
  TStream* FStream = nullptr;
  bool FOpened = false;
  std::int64_t FArchiveSize = 0;
  TGlowDbHeader FHeader;
  std::vector<TRecordInfo> FRecords;
  std::array<std::uint8_t, CipherKeySize> FCipherKey{};
  std::size_t FCipherKeyLength = 0;
  std::string FLastError;
};

}  // namespace qel
