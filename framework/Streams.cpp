#include "framework/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qel {

std::int64_t TStream::Size() {
  const std::int64_t Here = Position();
  const std::int64_t End = Seek(0, TSeekOrigin::soEnd);
  Seek(Here, TSeekOrigin::soBeginning);
  return End;
}

std::int64_t TStream::CopyFrom(TStream& Source, std::int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  std::uint8_t Chunk[65536];
  std::int64_t Done = 0;
  while (Done < Count) {
    const std::int64_t Want = std::min<std::int64_t>(Count - Done, sizeof(Chunk));
    const std::int64_t Got = Source.Read(Chunk, Want);
    if (Got <= 0) break;
    const std::int64_t Put = Write(Chunk, Got);
    Done += Put;
    if (Put != Got) break;
  }
  return Done;
}

static std::int64_t SeekIn(std::int64_t Position, std::int64_t Size, std::int64_t Offset, TSeekOrigin Origin) {
  std::int64_t Base = 0;
  if (Origin == TSeekOrigin::soCurrent) Base = Position;
  if (Origin == TSeekOrigin::soEnd) Base = Size;
  if ((Offset > 0 && Base > INT64_MAX - Offset) || Base + Offset < 0) return -1;
  return Base + Offset;
}

// --- TMemoryStream ---------------------------------------------------------------

std::int64_t TMemoryStream::Read(void* Buffer, std::int64_t Count) {
  const std::int64_t Left = Size() - FPosition;
  if (Count <= 0 || Left <= 0) return 0;
  const std::int64_t N = std::min(Count, Left);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<std::size_t>(N));
  FPosition += N;
  return N;
}

std::int64_t TMemoryStream::Write(const void* Buffer, std::int64_t Count) {
  if (Count <= 0) return 0;
  const std::int64_t End = FPosition + Count;
  if (End > Size()) FData.resize(static_cast<std::size_t>(End));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = End;
  return Count;
}

std::int64_t TMemoryStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const std::int64_t P = SeekIn(FPosition, Size(), Offset, Origin);
  if (P < 0) return -1;
  FPosition = P;
  return P;
}

void TMemoryStream::SetSize(std::int64_t NewSize) {
  FData.resize(static_cast<std::size_t>(std::max<std::int64_t>(NewSize, 0)));
  FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

bool TMemoryStream::LoadFromFile(const std::string& FileName) {
  auto F = TFileStream::Open(FileName, fmOpenRead);
  if (!F) return false;
  Clear();
  const std::int64_t N = F->Size();
  if (N < 0) return false;
  FData.resize(static_cast<std::size_t>(N));
  return F->ReadBuffer(FData.data(), N);
}

bool TMemoryStream::SaveToFile(const std::string& FileName) const {
  auto F = TFileStream::Open(FileName, fmCreate);
  return F && F->WriteBuffer(FData.data(), static_cast<std::int64_t>(FData.size()));
}

// --- TResourceStream -------------------------------------------------------

TResourceStream::TResourceStream(const void* Data, std::int64_t Size)
    : FData(static_cast<const std::uint8_t*>(Data)), FSize(Data ? std::max<std::int64_t>(Size, 0) : 0) {}

std::int64_t TResourceStream::Read(void* Buffer, std::int64_t Count) {
  const std::int64_t Left = FSize - FPosition;
  if (Count <= 0 || Left <= 0) return 0;
  const std::int64_t N = std::min(Count, Left);
  std::memcpy(Buffer, FData + FPosition, static_cast<std::size_t>(N));
  FPosition += N;
  return N;
}

std::int64_t TResourceStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const std::int64_t P = SeekIn(FPosition, FSize, Offset, Origin);
  if (P < 0) return -1;
  FPosition = P;
  return P;
}

// --- TFileStream -------------------------------------------------------------------

std::unique_ptr<TFileStream> TFileStream::Open(const std::string& FileName, std::uint32_t Mode,
                                               std::string* Error) {
  const char* How = "rb";
  bool CanWrite = false;
  if (Mode == fmCreate) {
    How = "w+b";
    CanWrite = true;
  } else if ((Mode & 3) == fmOpenWrite || (Mode & 3) == fmOpenReadWrite) {
    How = "r+b";
    CanWrite = true;
  }
  std::FILE* F = std::fopen(FileName.c_str(), How);
  if (!F) {
    if (Error) *Error = "cannot open " + FileName + ": " + std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<TFileStream>(new TFileStream(F, FileName, CanWrite));
}

TFileStream::TFileStream(std::FILE* File, std::string FileName, bool CanWrite)
    : FFile(File), FFileName(std::move(FileName)), FCanWrite(CanWrite) {}

TFileStream::~TFileStream() { std::fclose(FFile); }

std::int64_t TFileStream::Read(void* Buffer, std::int64_t Count) {
  if (Count <= 0) return 0;
  return static_cast<std::int64_t>(std::fread(Buffer, 1, static_cast<std::size_t>(Count), FFile));
}

std::int64_t TFileStream::Write(const void* Buffer, std::int64_t Count) {
  if (Count <= 0 || !FCanWrite) return 0;
  return static_cast<std::int64_t>(std::fwrite(Buffer, 1, static_cast<std::size_t>(Count), FFile));
}

std::int64_t TFileStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  const int Whence = Origin == TSeekOrigin::soBeginning ? SEEK_SET : Origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  if (std::fseek(FFile, static_cast<long>(Offset), Whence) != 0) return -1;
  return static_cast<std::int64_t>(std::ftell(FFile));
}

std::int64_t TFileStream::Size() {
  const long Here = std::ftell(FFile);
  if (std::fseek(FFile, 0, SEEK_END) != 0) return -1;
  const long End = std::ftell(FFile);
  std::fseek(FFile, Here, SEEK_SET);
  return End;
}

}  // namespace qel
