#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/archive/Blowfish.h"
#include "engine/archive/Md5.h"

namespace qel {
namespace {

std::vector<std::uint8_t> Hex(const std::string& Text) {
  std::vector<std::uint8_t> Out;
  for (std::size_t i = 0; i + 1 < Text.size(); i += 2) Out.push_back(static_cast<std::uint8_t>(std::stoul(Text.substr(i, 2), nullptr, 16)));
  return Out;
}

std::string ToHex(const std::uint8_t* P, std::size_t N) {
  static const char* Digits = "0123456789abcdef";
  std::string S;
  for (std::size_t i = 0; i < N; ++i) {
    S += Digits[P[i] >> 4];
    S += Digits[P[i] & 15];
  }
  return S;
}

std::string Md5Hex(const std::string& Text) {
  const TMd5Digest D = Md5(Text.data(), Text.size());
  return ToHex(D.data(), D.size());
}

TEST(Md5, MatchesThePublishedTestSuite) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
  // Lengths around the 56- and 64-byte padding boundaries are where padding goes wrong.
  for (std::size_t Length : {55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    std::string Text(Length, '\0');
    for (std::size_t i = 0; i < Length; ++i) Text[i] = static_cast<char>(i * 7 + 3);
    const TMd5Digest Whole = Md5(Text.data(), Text.size());
    for (std::size_t Piece : {1u, 3u, 63u, 64u, 65u}) {
      TMd5 M;
      for (std::size_t At = 0; At < Length; At += Piece) M.Update(Text.data() + At, std::min(Piece, Length - At));
      EXPECT_EQ(M.Final(), Whole) << "length " << Length << " in pieces of " << Piece;
    }
  }
}

struct TEcbVector {
  const char* Key;
  const char* Clear;
  const char* Cipher;
};

TEST(Blowfish, MatchesThePublishedBlockVectors) {
  const TEcbVector Vectors[] = {
      {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
      {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
      {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
      {"1111111111111111", "1111111111111111", "2466dd878b963c9d"},
      {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
      {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
      {"7ca110454a1a6e57", "01a1d6d039776742", "59c68245eb05282b"},
  };
  for (const TEcbVector& V : Vectors) {
    const auto Key = Hex(V.Key);
    const TBlowfish Cipher(Key.data(), Key.size());
    const auto Clear = Hex(V.Clear);
    std::uint32_t L = std::uint32_t(Clear[0]) << 24 | Clear[1] << 16 | Clear[2] << 8 | Clear[3];
    std::uint32_t R = std::uint32_t(Clear[4]) << 24 | Clear[5] << 16 | Clear[6] << 8 | Clear[7];
    const std::uint32_t L0 = L, R0 = R;
    Cipher.Encrypt(L, R);
    char Got[17];
    std::snprintf(Got, sizeof(Got), "%08x%08x", L, R);
    EXPECT_EQ(std::string(Got), V.Cipher) << "key " << V.Key;
    Cipher.Decrypt(L, R);
    EXPECT_EQ(L, L0);
    EXPECT_EQ(R, R0);
  }
}

TEST(Blowfish, CbcMatchesThePublishedVectorAndLeavesTheTailAlone) {
  const auto Key = Hex("0123456789abcdeff0e1d2c3b4a59687");
  const auto IV = Hex("fedcba9876543210");
  const TBlowfish Cipher(Key.data(), Key.size());
  std::vector<std::uint8_t> Data(32, 0);
  std::memcpy(Data.data(), "7654321 Now is the time for ", 28);
  Cipher.EncryptCbc(Data.data(), Data.size(), IV.data());
  EXPECT_EQ(ToHex(Data.data(), Data.size()), "6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");
  Cipher.DecryptCbc(Data.data(), Data.size(), IV.data());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(Data.data())), "7654321 Now is the time for ");

  // 20 bytes: two whole blocks are enciphered, the last four bytes stay as they are.
  std::vector<std::uint8_t> Short(Data.begin(), Data.begin() + 20);
  const std::vector<std::uint8_t> Original = Short;
  Cipher.EncryptCbc(Short.data(), Short.size(), IV.data());
  EXPECT_EQ(ToHex(Short.data(), 16), "6b77b4d63006dee605b156e274039793");
  EXPECT_TRUE(std::equal(Short.begin() + 16, Short.end(), Original.begin() + 16));
  Cipher.DecryptCbc(Short.data(), Short.size(), IV.data());
  EXPECT_EQ(Short, Original);
}

TEST(Blowfish, KeysOfEveryLengthRoundTripAndDiffer) {
  std::vector<std::uint8_t> Key(56);
  for (std::size_t i = 0; i < Key.size(); ++i) Key[i] = static_cast<std::uint8_t>(0xA5 ^ i * 11);
  std::uint32_t Previous = 0;
  for (std::size_t Length = 1; Length <= Key.size(); ++Length) {
    const TBlowfish Cipher(Key.data(), Length);
    std::uint32_t L = 0x01234567, R = 0x89ABCDEF;
    Cipher.Encrypt(L, R);
    EXPECT_NE(L, Previous) << "key length " << Length << " must change the cipher";
    Previous = L;
    Cipher.Decrypt(L, R);
    EXPECT_EQ(L, 0x01234567u);
    EXPECT_EQ(R, 0x89ABCDEFu);
  }
}

}  // namespace
}  // namespace qel
