#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/GlowDb.h"
#include "engine/archive/GlowDbWriter.h"
#include "framework/LittleEndian.h"
#include "framework/Streams.h"

namespace qel {
namespace {

// Where the fields of a one-record archive lie (key "key", record at offset 12).
constexpr std::size_t RecordCountAt = 4, TableOffsetAt = 8;
constexpr std::size_t OrigSizeAt = 12 + 2, PhysSizeAt = 12 + 6, ChecksumAt = 12 + 18, StoredAt = 12 + 44;

std::vector<std::uint8_t> OneRecord(const std::vector<std::uint8_t>& Payload) {
  TGlowDbWriter W;
  EXPECT_TRUE(W.Add("key", recImage, Payload, 0));
  return W.Bytes();
}

std::vector<std::uint8_t> Sample() { return OneRecord(std::vector<std::uint8_t>(300, 'p')); }

std::uint32_t TableOffset(const std::vector<std::uint8_t>& A) { return le::Load32(A.data() + TableOffsetAt); }

// Opens Data and reads "key"; answers whether both worked, with the failure in Why.
bool OpenAndRead(const std::vector<std::uint8_t>& Data, std::string* Why = nullptr) {
  TComponent Owner(nullptr);
  TGlowDb* Db = Create<TGlowDb>(&Owner);
  Db->SetOpenMode(opReadOnly);
  auto* S = new TMemoryStream;
  S->WriteBuffer(Data.data(), static_cast<std::int64_t>(Data.size()));
  Db->OpenStream(S);
  std::vector<std::uint8_t> Payload;
  const bool Ok = Db->EnsureOpen() && Db->ReadRecord("key", Payload);
  if (Why) *Why = Db->LastError();
  EXPECT_TRUE(Ok || Payload.empty());
  return Ok;
}

void ExpectFailure(const std::vector<std::uint8_t>& Data, const std::string& Mentioned) {
  std::string Why;
  EXPECT_FALSE(OpenAndRead(Data, &Why));
  EXPECT_NE(Why.find(Mentioned), std::string::npos) << "reason: " << Why;
}

TEST(HostileArchive, TheSampleItselfReads) { EXPECT_TRUE(OpenAndRead(Sample())); }

TEST(HostileArchive, ShortAndTruncatedArchivesFail) {
  ExpectFailure({}, "12-byte");
  ExpectFailure(std::vector<std::uint8_t>(11, 0), "12-byte");
  const auto Full = Sample();
  for (std::size_t Length = 12; Length < Full.size(); ++Length)
    EXPECT_FALSE(OpenAndRead({Full.begin(), Full.begin() + static_cast<std::ptrdiff_t>(Length)}))
        << "cut to " << Length << " bytes";
}

TEST(HostileArchive, TableAndKeyFieldsBeyondTheArchiveFail) {
  auto A = Sample();
  le::Store32(A.data() + TableOffsetAt, static_cast<std::uint32_t>(A.size() + 1));
  ExpectFailure(A, "table offset");
  le::Store32(A.data() + TableOffsetAt, 0xFFFFFFFFu);
  ExpectFailure(A, "table offset");

  A = Sample();
  le::Store32(A.data() + RecordCountAt, 0xFFFFFFFFu);
  ExpectFailure(A, "record count");
  A = Sample();
  le::Store32(A.data() + RecordCountAt, 2);
  EXPECT_FALSE(OpenAndRead(A)) << "one entry more than the table holds";

  for (std::uint32_t KeyLength : {0xFFFFFFFFu, 0x80000000u, 4u}) {
    A = Sample();
    le::Store32(A.data() + TableOffset(A), KeyLength);
    ExpectFailure(A, "key length");
  }

  A = Sample();
  le::Store32(A.data() + TableOffset(A) + 4 + 3, static_cast<std::uint32_t>(A.size() - 43));
  ExpectFailure(A, "lies past the end");
  le::Store32(A.data() + TableOffset(A) + 4 + 3, 0xFFFFFFFFu);
  ExpectFailure(A, "lies past the end");
}

TEST(HostileArchive, SizeFieldsThatLieFail) {
  auto A = Sample();
  le::Store32(A.data() + PhysSizeAt, 0xFFFFFFFFu);
  ExpectFailure(A, "runs past the end");
  A = Sample();
  le::Store32(A.data() + PhysSizeAt, TableOffset(A) - StoredAt + 100);
  ExpectFailure(A, "runs past the end");

  A = Sample();
  le::Store32(A.data() + OrigSizeAt, 0xFFFFFFFFu);
  ExpectFailure(A, "OrigSize");
  A = Sample();
  le::Store32(A.data() + OrigSizeAt, 301);
  ExpectFailure(A, "OrigSize");
  le::Store32(A.data() + OrigSizeAt, 299);
  ExpectFailure(A, "OrigSize");

  A = Sample();
  A[ChecksumAt + 15] ^= 0x80;
  ExpectFailure(A, "MD5");
}

TEST(HostileArchive, AZlibBombFailsAtItsClaimedSize) {
  auto A = OneRecord(std::vector<std::uint8_t>(8u << 20, 0));
  le::Store32(A.data() + OrigSizeAt, 4096);
  ExpectFailure(A, "more than OrigSize");
}

TEST(HostileArchive, EverySingleDamagedByteIsHandled) {
  const auto Original = Sample();
  for (std::size_t i = 0; i < Original.size(); ++i)
    for (std::uint8_t Value : {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(Original[i] ^ 0x01)}) {
      auto A = Original;
      if (A[i] == Value) continue;
      A[i] = Value;
      std::string Why;
      const bool Ok = OpenAndRead(A, &Why);
      // The signature, the record type, the stamp, the flag (no key is set) and the IV play
      // no part in reading a plain record; every other byte matters.
      const bool Inert = i < 4 || i == 12 || i == 13 || (i >= 22 && i < 30) || (i >= 46 && i < 56);
      EXPECT_EQ(Ok, Inert) << "byte " << i << " set to " << int(Value) << ": " << Why;
    }
}

}  // namespace
}  // namespace qel
