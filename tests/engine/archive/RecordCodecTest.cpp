#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/archive/RecordCodec.h"

namespace qel {
namespace {

std::vector<std::uint8_t> SamplePayload(std::size_t Size) {
  std::vector<std::uint8_t> P(Size);
  for (std::size_t i = 0; i < Size; ++i) P[i] = static_cast<std::uint8_t>((i * i) >> 3);
  return P;
}

const std::uint8_t Key[] = {'s', 'e', 'c', 'r', 'e', 't', '-', 'k', 'e', 'y'};
const std::array<std::uint8_t, 8> IV = {1, 2, 3, 4, 5, 6, 7, 8};

struct TEncoded {
  TRecordInfo Info;
  std::vector<std::uint8_t> Stored;
};

TEncoded Encode(const std::vector<std::uint8_t>& Payload, bool Enciphered = false) {
  TEncoded E;
  EXPECT_TRUE(EncodeRecord(Payload.data(), Payload.size(), 9, Enciphered ? Key : nullptr, Enciphered ? sizeof(Key) : 0,
                           IV, E.Info, E.Stored));
  return E;
}

bool Decode(TEncoded E, std::vector<std::uint8_t>& Out, bool WithKey = false, std::string* Why = nullptr) {
  return DecodeRecord(E.Stored, E.Info, WithKey ? Key : nullptr, WithKey ? sizeof(Key) : 0, Out, Why);
}

TEST(RecordCodec, PlainRecordsAreLevelNineZlibAndDecodeWhole) {
  const auto Payload = SamplePayload(5000);
  const TEncoded E = Encode(Payload);
  ASSERT_GE(E.Stored.size(), 2u);
  EXPECT_EQ(E.Stored[0], 0x78);
  EXPECT_EQ(E.Stored[1], 0xDA);
  EXPECT_EQ(E.Info.OrigSize, 5000u);
  EXPECT_EQ(E.Info.PhysSize, E.Stored.size());
  EXPECT_FALSE(E.Info.Encrypted);
  EXPECT_EQ(E.Info.CipherIV, (std::array<std::uint8_t, 8>{})) << "no IV on a plain record";
  std::vector<std::uint8_t> Out;
  ASSERT_TRUE(Decode(E, Out));
  EXPECT_EQ(Out, Payload);
}

TEST(RecordCodec, EncipheredRecordsNeedTheirKey) {
  const auto Payload = SamplePayload(3000);
  const TEncoded E = Encode(Payload, true);
  EXPECT_TRUE(E.Info.Encrypted);
  EXPECT_EQ(E.Info.CipherIV, IV);
  std::vector<std::uint8_t> Out;
  ASSERT_TRUE(Decode(E, Out, true));
  EXPECT_EQ(Out, Payload);
  // Without a key the bytes are inflated as stored, which fails.
  EXPECT_FALSE(Decode(E, Out, false));
  EXPECT_TRUE(Out.empty());
  // A wrong key shows up the same way.
  TEncoded Wrong = E;
  const std::uint8_t Other[] = {'o', 't', 'h', 'e', 'r'};
  EXPECT_FALSE(DecodeRecord(Wrong.Stored, Wrong.Info, Other, sizeof(Other), Out));
}

TEST(RecordCodec, SizeOrDigestMismatchesFail) {
  const auto Payload = SamplePayload(777);
  std::vector<std::uint8_t> Out;
  std::string Why;
  for (int Delta : {-1, +1}) {
    TEncoded E = Encode(Payload);
    E.Info.OrigSize += Delta;
    EXPECT_FALSE(Decode(E, Out, false, &Why)) << "OrigSize off by " << Delta;
    EXPECT_TRUE(Out.empty());
    EXPECT_NE(Why.find("OrigSize"), std::string::npos) << Why;
  }
  // Payload altered after the digest was taken: inflates fine, fails at the digest.
  TEncoded E = Encode(Payload);
  auto Altered = Payload;
  Altered[100] ^= 1;
  TEncoded A = Encode(Altered);
  A.Info.Checksum = E.Info.Checksum;
  EXPECT_FALSE(Decode(A, Out, false, &Why));
  EXPECT_NE(Why.find("MD5"), std::string::npos) << Why;
}

TEST(RecordCodec, DamagedStreamsFail) {
  const auto Payload = SamplePayload(4000);
  std::vector<std::uint8_t> Out;
  std::string Why;
  TEncoded Truncated = Encode(Payload);
  Truncated.Stored.resize(Truncated.Stored.size() / 2);
  Truncated.Info.PhysSize = static_cast<std::uint32_t>(Truncated.Stored.size());
  EXPECT_FALSE(Decode(Truncated, Out, false, &Why));
  EXPECT_NE(Why.find("truncated"), std::string::npos) << Why;

  TEncoded Garbage = Encode(Payload);
  for (std::size_t i = 0; i < Garbage.Stored.size(); i += 3) Garbage.Stored[i] ^= 0x5A;
  EXPECT_FALSE(Decode(Garbage, Out));

  TEncoded Empty = Encode(Payload);
  Empty.Stored.clear();
  Empty.Info.PhysSize = 0;
  EXPECT_FALSE(Decode(Empty, Out));

  TEncoded Mismatch = Encode(Payload);
  Mismatch.Info.PhysSize += 1;
  EXPECT_FALSE(Decode(Mismatch, Out)) << "stored bytes must match PhysSize";
}

TEST(RecordCodec, AnEmptyPayloadCannotBeRead) {
  const TEncoded E = Encode({});
  EXPECT_EQ(E.Info.OrigSize, 0u);
  std::vector<std::uint8_t> Out;
  EXPECT_FALSE(Decode(E, Out));
}

TEST(RecordCodec, ABombStopsAtOrigSize) {
  // 16 MB of zeros squeeze into about 16 KB; the header claims 1000 bytes.
  std::vector<std::uint8_t> Zeros(16u << 20, 0);
  TEncoded Bomb = Encode(Zeros);
  Zeros = {};
  Bomb.Info.OrigSize = 1000;
  std::vector<std::uint8_t> Out;
  std::string Why;
  EXPECT_FALSE(Decode(Bomb, Out, false, &Why));
  EXPECT_NE(Why.find("more than OrigSize"), std::string::npos) << Why;
  EXPECT_TRUE(Out.empty());
  EXPECT_LT(Out.capacity(), 1u << 20) << "the output must never have grown towards the bomb's size";
}

TEST(RecordCodec, AnImpossibleOrigSizeIsRefusedBeforeInflating) {
  TEncoded E = Encode(SamplePayload(100));
  E.Info.OrigSize = 0xFFFFFFFFu;
  std::vector<std::uint8_t> Out;
  std::string Why;
  EXPECT_FALSE(Decode(E, Out, false, &Why));
  EXPECT_NE(Why.find("OrigSize"), std::string::npos) << Why;
  EXPECT_EQ(Out.capacity(), 0u);
}

TEST(RecordCodec, TrailingBytesAfterTheStreamAreIgnored) {
  const auto Payload = SamplePayload(300);
  TEncoded E = Encode(Payload);
  E.Stored.push_back(0xEE);
  E.Info.PhysSize += 1;
  std::vector<std::uint8_t> Out;
  EXPECT_TRUE(Decode(E, Out));
  EXPECT_EQ(Out, Payload);
}

}  // namespace
}  // namespace qel
