#include "engine/archive/GlowDb.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/archive/Blowfish.h"
#include "framework/LittleEndian.h"
#include "framework/AsciiText.h"

namespace qel {
namespace {

std::string Quoted(const std::string& Key) { return "\"" + Key + "\""; }

bool ReadU32(TStream& S, std::uint32_t& Value) {
  std::uint8_t B[4];
  if (!S.ReadBuffer(B, 4)) return false;
  Value = le::Load32(B);
  return true;
}

// The source a read works on: the given or attached stream, or the archive file opened
// for this one operation and closed when the operation ends.
class TSource {
 public:
  TSource(TStream* Given, const std::string& FileName, std::string& Error) : FStream(Given) {
    if (!FStream) {
      FFile = TFileStream::Open(FileName, fmOpenRead, &Error);
      FStream = FFile.get();
    }
  }
  TStream* operator->() const { return FStream; }
  TStream* get() const { return FStream; }

 private:
  std::unique_ptr<TFileStream> FFile;
  TStream* FStream;
};

}  // namespace

TGlowDb::TGlowDb(TComponent* Owner) : TComponent(Owner) {}

TGlowDb::~TGlowDb() {
  if (FOwnsBuffer) delete FStream;
  FCipherKey.fill(0);
}

bool TGlowDb::Fail(std::string Why) {
  FLastError = std::move(Why);
  return false;
}

void TGlowDb::SetFileName(const std::string& Value) {
  std::size_t First = 0, Last = Value.size();
  while (First < Last && static_cast<unsigned char>(Value[First]) <= 32) ++First;
  while (Last > First && static_cast<unsigned char>(Value[Last - 1]) <= 32) --Last;
  FFileName = Value.substr(First, Last - First);
  FOpened = false;
}

void TGlowDb::OpenStream(TStream* Stream) {
  // Replacing an owned stream must not leak it.
  if (FStream && FStream != Stream && FOwnsBuffer) delete FStream;
  FStream = Stream;
  FOpened = false;
}

bool TGlowDb::EnsureOpen() { return FOpened || Open(); }

bool TGlowDb::Open() {
  bool Result;
  switch (FOpenMode) {
    case opUpdate: {
      std::error_code Error;
      Result = FStream || std::filesystem::exists(FFileName, Error) ? Refresh() : CreateEmpty();
      break;
    }
    case opOverwrite:
      Result = CreateEmpty();
      break;
    default:
      Result = Refresh();
      break;
  }
  FOpened = Result;
  return Result;
}

bool TGlowDb::Refresh(TStream* Stream) {
  FRecords.clear();
  std::string Error;
  TSource Source(Stream ? Stream : FStream, FFileName, Error);
  if (!Source.get()) return Fail(Error);

  std::uint8_t Bytes[GlowDbHeaderSize];
  if (!Source->SetPosition(0) || !Source->ReadBuffer(Bytes, GlowDbHeaderSize))
    return Fail("shorter than the 12-byte archive header");
  std::memcpy(FHeader.Signature.data(), Bytes, 4);
  FHeader.RecordCount = le::Load32(Bytes + 4);
  FHeader.TableOffset = le::Load32(Bytes + 8);

  const std::int64_t Size = Source->Size();
  if (Size < 0) return Fail("cannot tell the archive's size");
  FArchiveSize = Size;

  if (!ReadTable(*Source.get())) {
    FRecords.clear();
    return false;
  }
  return ReadRecordHeaders(*Source.get());
}

bool TGlowDb::ReadTable(TStream& Source) {
  const std::int64_t TableOffset = FHeader.TableOffset;
  if (TableOffset > FArchiveSize)
    return Fail("record table offset " + std::to_string(TableOffset) + " lies past the end of the archive (" +
                std::to_string(FArchiveSize) + " bytes)");
  // Every entry takes at least 8 bytes (key length and offset); a count that cannot fit is
  // refused before anything is read or allocated.
  const std::int64_t Room = FArchiveSize - TableOffset;
  if (FHeader.RecordCount > Room / 8)
    return Fail("record count " + std::to_string(FHeader.RecordCount) + " does not fit in the " +
                std::to_string(Room) + " bytes of the record table");
  if (!Source.SetPosition(TableOffset)) return Fail("cannot seek to the record table");

  std::int64_t Position = TableOffset;
  for (std::uint32_t i = 0; i < FHeader.RecordCount; ++i) {
    std::uint32_t KeyLength;
    if (!ReadU32(Source, KeyLength)) return Fail("record table ends inside entry " + std::to_string(i));
    Position += 4;
    if (KeyLength > FArchiveSize - Position - 4)
      return Fail("key length " + std::to_string(KeyLength) + " of entry " + std::to_string(i) +
                  " runs past the end of the archive");
    TRecordInfo Info;
    Info.Key.resize(KeyLength);
    if (!Source.ReadBuffer(Info.Key.data(), KeyLength) || !ReadU32(Source, Info.Offset))
      return Fail("record table ends inside entry " + std::to_string(i));
    Position += KeyLength + 4;
    FRecords.push_back(std::move(Info));
  }
  return true;
}

bool TGlowDb::ReadRecordHeaders(TStream& Source) {
  for (TRecordInfo& Info : FRecords) {
    if (std::int64_t(Info.Offset) + RecordHeaderSize > FArchiveSize)
      return Fail("header of record " + Quoted(Info.Key) + " at offset " + std::to_string(Info.Offset) +
                  " lies past the end of the archive");
    std::uint8_t B[RecordHeaderSize];
    if (!Source.SetPosition(Info.Offset) || !Source.ReadBuffer(B, RecordHeaderSize))
      return Fail("cannot read the header of record " + Quoted(Info.Key));
    Info.RecordType = le::Load16(B);
    Info.OrigSize = le::Load32(B + 2);
    Info.PhysSize = le::Load32(B + 6);
    Info.Stamp = le::LoadDouble(B + 10);
    std::memcpy(Info.Checksum.data(), B + 18, 16);
    Info.Encrypted = B[34] != 0;
    std::memcpy(Info.CipherIV.data(), B + 36, 8);
  }
  return true;
}

bool TGlowDb::CreateEmpty() {
  FHeader = TGlowDbHeader{{'G', 'L', 'D', 'b'}, 0, GlowDbHeaderSize};
  std::unique_ptr<TFileStream> File;
  TStream* Target = FStream;
  if (!Target) {
    std::string Error;
    File = TFileStream::Open(FFileName, fmCreate, &Error);
    if (!File) return Fail(Error);
    Target = File.get();
  }
  std::uint8_t Bytes[GlowDbHeaderSize];
  std::memcpy(Bytes, FHeader.Signature.data(), 4);
  le::Store32(Bytes + 4, FHeader.RecordCount);
  le::Store32(Bytes + 8, FHeader.TableOffset);
  const bool Written = Target->WriteBuffer(Bytes, GlowDbHeaderSize);
  File.reset();
  FArchiveSize = GlowDbHeaderSize;
  FRecords.clear();
  return Written || Fail("cannot write the archive header");
}

std::string TGlowDb::RecordKey(int Index) const {
  const TRecordInfo* Info = RecordInfo(Index);
  return Info ? Info->Key : "[invalid-record-#]";
}

std::int32_t TGlowDb::RecordType(int Index) const {
  const TRecordInfo* Info = RecordInfo(Index);
  return Info ? Info->RecordType : 0;
}

const TRecordInfo* TGlowDb::RecordInfo(int Index) const {
  if (Index < 0 || Index >= RecordCount()) return nullptr;
  return &FRecords[static_cast<std::size_t>(Index)];
}

int TGlowDb::RecordIndex(const std::string& Key) const {
  for (std::size_t i = 0; i < FRecords.size(); ++i)
    if (SameTextAscii(FRecords[i].Key, Key)) return static_cast<int>(i);
  return -1;
}

bool TGlowDb::ReadStored(TStream& Source, const TRecordInfo& Info, std::vector<std::uint8_t>& Stored) {
  const std::int64_t Start = std::int64_t(Info.Offset) + RecordHeaderSize;
  if (Start + Info.PhysSize > FArchiveSize)
    return Fail("stored size " + std::to_string(Info.PhysSize) + " runs past the end of the archive");
  Stored.resize(Info.PhysSize);
  if (!Source.SetPosition(Start) || !Source.ReadBuffer(Stored.data(), Info.PhysSize))
    return Fail("cannot read the stored bytes");
  return true;
}

template <class TFind>
bool TGlowDb::ReadFound(TFind Find, std::vector<std::uint8_t>& Data) {
  Data.clear();
  std::vector<std::uint8_t> Stored;
  TRecordInfo Info;
  {
    std::string Error;
    TSource Source(FStream, FFileName, Error);
    if (!Source.get()) return Fail(Error);
    if (!Refresh(Source.get())) return false;
    const int Index = Find();
    if (Index < 0) return false;
    Info = FRecords[static_cast<std::size_t>(Index)];
    if (!ReadStored(*Source.get(), Info, Stored)) return false;
  }
  std::string Why;
  if (!DecodeRecord(Stored, Info, FCipherKey.data(), FCipherKeyLength, Data, &Why)) return Fail(Why);
  return true;
}

bool TGlowDb::ReadRecord(const std::string& Key, std::vector<std::uint8_t>& Data) {
  return ReadFound(
      [&] {
        const int Index = RecordIndex(Key);
        if (Index < 0) Fail("no record " + Quoted(Key));
        return Index;
      },
      Data);
}

bool TGlowDb::ReadRecordAt(int Index, std::vector<std::uint8_t>& Data) {
  return ReadFound(
      [&] {
        if (Index >= 0 && Index < RecordCount()) return Index;
        Fail("no record number " + std::to_string(Index));
        return -1;
      },
      Data);
}

bool TGlowDb::ReadStream(const std::string& Key, TStream& Stream) {
  std::vector<std::uint8_t> Data;
  if (!ReadRecord(Key, Data)) return false;
  return Stream.WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size())) ||
         Fail("cannot write the payload of record " + Quoted(Key));
}

bool TGlowDb::SetCipherKey(const std::uint8_t* Key, std::size_t Length) {
  if (Length > TBlowfish::MaxKeyLength || (Length && !Key)) return false;
  FCipherKey.fill(0);
  if (Length) std::memcpy(FCipherKey.data(), Key, Length);
  FCipherKeyLength = Length;
  return true;
}

}  // namespace qel
