#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "framework/Object.h"

namespace qel {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// A byte stream. Read and Write move at most Count bytes and return how many moved;
// nothing here throws. ReadBuffer/WriteBuffer answer whether all Count bytes moved.
class TStream : public TObject {
 public:
  virtual std::int64_t Read(void* Buffer, std::int64_t Count) = 0;
  virtual std::int64_t Write(const void* Buffer, std::int64_t Count) = 0;
  // Returns the new position, or -1 when the stream cannot seek there.
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;
  virtual std::int64_t Size();

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  bool SetPosition(std::int64_t Value) { return Seek(Value, TSeekOrigin::soBeginning) == Value; }

  bool ReadBuffer(void* Buffer, std::int64_t Count) { return Count >= 0 && Read(Buffer, Count) == Count; }
  bool WriteBuffer(const void* Buffer, std::int64_t Count) { return Count >= 0 && Write(Buffer, Count) == Count; }
  // Copies Count bytes (all that is left when Count is 0) from Source; returns the bytes copied.
  std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};

// A growable stream in memory.
class TMemoryStream : public TStream {
 public:
  std::int64_t Read(void* Buffer, std::int64_t Count) override;
  std::int64_t Write(const void* Buffer, std::int64_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }

  void SetSize(std::int64_t NewSize);
  void Clear();
  std::uint8_t* Memory() { return FData.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return FData; }
  bool LoadFromFile(const std::string& FileName);
  bool SaveToFile(const std::string& FileName) const;

 private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

// A read-only stream over bytes that live elsewhere for the stream's whole life: the data
// carried in the executable (see TPlatform::FindResource), or any fixed block of memory.
class TResourceStream : public TStream {
 public:
  TResourceStream(const void* Data, std::int64_t Size);
  std::int64_t Read(void* Buffer, std::int64_t Count) override;
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Size() override { return FSize; }
  const std::uint8_t* Memory() const { return FData; }

 private:
  const std::uint8_t* FData;
  std::int64_t FSize;
  std::int64_t FPosition = 0;
};

enum TFileMode : std::uint32_t {
  fmOpenRead = 0,
  fmOpenWrite = 1,
  fmOpenReadWrite = 2,
  fmCreate = 0xFF00,
};

// A stream over a file. Open answers nullptr and fills Error when the file cannot be opened.
class TFileStream : public TStream {
 public:
  static std::unique_ptr<TFileStream> Open(const std::string& FileName, std::uint32_t Mode,
                                           std::string* Error = nullptr);
  ~TFileStream() override;

  std::int64_t Read(void* Buffer, std::int64_t Count) override;
  std::int64_t Write(const void* Buffer, std::int64_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t Size() override;
  const std::string& FileName() const { return FFileName; }

 private:
  TFileStream(std::FILE* File, std::string FileName, bool CanWrite);
  std::FILE* FFile;
  std::string FFileName;
  bool FCanWrite;
};

}  // namespace qel
