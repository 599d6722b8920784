#include "engine/archive/Md5.h"

#include <cstring>

#include "framework/LittleEndian.h"

namespace qel {
namespace {

// floor(|sin(i + 1)| * 2^32) for i = 0 ... 63.
constexpr std::uint32_t T[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE,
    0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE,
    0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA,
    0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED,
    0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C,
    0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05,
    0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039,
    0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1,
    0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,};

constexpr int Shift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline std::uint32_t Rotl(std::uint32_t X, int N) { return (X << N) | (X >> (32 - N)); }

}  // namespace

TMd5::TMd5() : FState{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476}, FBuffer{} {}

void TMd5::Block(const std::uint8_t* Data) {
  std::uint32_t X[16];
  for (int i = 0; i < 16; ++i) X[i] = le::Load32(Data + 4 * i);
  std::uint32_t A = FState[0], B = FState[1], C = FState[2], D = FState[3];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t F;
    int K;
    switch (i / 16) {
      case 0: F = (B & C) | (~B & D); K = i; break;
      case 1: F = (D & B) | (~D & C); K = (5 * i + 1) % 16; break;
      case 2: F = B ^ C ^ D; K = (3 * i + 5) % 16; break;
      default: F = C ^ (B | ~D); K = (7 * i) % 16; break;
    }
    const std::uint32_t Next = B + Rotl(A + F + X[K] + T[i], Shift[i / 16][i % 4]);
    A = D;
    D = C;
    C = B;
    B = Next;
  }
  FState[0] += A;
  FState[1] += B;
  FState[2] += C;
  FState[3] += D;
}

void TMd5::Update(const void* Data, std::size_t Size) {
  const auto* P = static_cast<const std::uint8_t*>(Data);
  std::size_t Used = static_cast<std::size_t>(FLength % 64);
  FLength += Size;
  if (Used) {
    const std::size_t Take = Size < 64 - Used ? Size : 64 - Used;
    std::memcpy(FBuffer + Used, P, Take);
    P += Take;
    Size -= Take;
    if (Used + Take < 64) return;
    Block(FBuffer);
  }
  for (; Size >= 64; P += 64, Size -= 64) Block(P);
  if (Size) std::memcpy(FBuffer, P, Size);
}

TMd5Digest TMd5::Final() {
  const std::uint64_t Bits = FLength * 8;
  const std::uint8_t Pad = 0x80;
  Update(&Pad, 1);
  const std::uint8_t Zero[64] = {};
  const std::size_t Used = static_cast<std::size_t>(FLength % 64);
  Update(Zero, Used <= 56 ? 56 - Used : 120 - Used);
  std::uint8_t Length[8];
  for (int i = 0; i < 8; ++i) Length[i] = static_cast<std::uint8_t>(Bits >> (8 * i));
  Update(Length, 8);
  TMd5Digest Digest;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) Digest[4 * i + j] = static_cast<std::uint8_t>(FState[i] >> (8 * j));
  return Digest;
}

TMd5Digest Md5(const void* Data, std::size_t Size) {
  TMd5 M;
  M.Update(Data, Size);
  return M.Final();
}

}  // namespace qel
