#include "engine/archive/Blowfish.h"

#include <cstring>

#include "engine/archive/BlowfishTables.h"

namespace qel {
namespace {

inline std::uint32_t LoadBE32(const std::uint8_t* P) {
  return std::uint32_t(P[0]) << 24 | std::uint32_t(P[1]) << 16 | std::uint32_t(P[2]) << 8 | std::uint32_t(P[3]);
}

inline void StoreBE32(std::uint8_t* P, std::uint32_t V) {
  P[0] = static_cast<std::uint8_t>(V >> 24);
  P[1] = static_cast<std::uint8_t>(V >> 16);
  P[2] = static_cast<std::uint8_t>(V >> 8);
  P[3] = static_cast<std::uint8_t>(V);
}

// Overwrites memory in a way the optimiser may not drop as a dead store.
void Wipe(void* Data, std::size_t Size) {
  volatile std::uint8_t* P = static_cast<volatile std::uint8_t*>(Data);
  while (Size--) *P++ = 0;
}

}  // namespace

TBlowfish::TBlowfish(const std::uint8_t* Key, std::size_t Length) {
  if (Length > MaxKeyLength) Length = MaxKeyLength;
  if (Length == 0) Length = 1;
  std::memcpy(FP, BlowfishInitP, sizeof(FP));
  std::memcpy(FS, BlowfishInitS, sizeof(FS));
  std::size_t j = 0;
  for (std::uint32_t& P : FP) {
    std::uint32_t Word = 0;
    for (int k = 0; k < 4; ++k) {
      Word = (Word << 8) | (Key ? Key[j] : 0);
      j = (j + 1) % Length;
    }
    P ^= Word;
  }
  std::uint32_t L = 0, R = 0;
  for (int i = 0; i < 18; i += 2) {
    Encrypt(L, R);
    FP[i] = L;
    FP[i + 1] = R;
  }
  for (auto& Box : FS)
    for (int i = 0; i < 256; i += 2) {
      Encrypt(L, R);
      Box[i] = L;
      Box[i + 1] = R;
    }
}

TBlowfish::~TBlowfish() {
  Wipe(FP, sizeof(FP));
  Wipe(FS, sizeof(FS));
}

std::uint32_t TBlowfish::F(std::uint32_t X) const {
  return ((FS[0][X >> 24] + FS[1][(X >> 16) & 0xFF]) ^ FS[2][(X >> 8) & 0xFF]) + FS[3][X & 0xFF];
}

void TBlowfish::Encrypt(std::uint32_t& Left, std::uint32_t& Right) const {
  std::uint32_t L = Left, R = Right;
  for (int i = 0; i < 16; i += 2) {
    L ^= FP[i];
    R ^= F(L);
    R ^= FP[i + 1];
    L ^= F(R);
  }
  Left = R ^ FP[17];
  Right = L ^ FP[16];
}

void TBlowfish::Decrypt(std::uint32_t& Left, std::uint32_t& Right) const {
  std::uint32_t L = Left, R = Right;
  for (int i = 17; i > 1; i -= 2) {
    L ^= FP[i];
    R ^= F(L);
    R ^= FP[i - 1];
    L ^= F(R);
  }
  Left = R ^ FP[0];
  Right = L ^ FP[1];
}

void TBlowfish::EncryptCbc(std::uint8_t* Data, std::size_t Size, const std::uint8_t IV[8]) const {
  std::uint32_t ChainL = LoadBE32(IV), ChainR = LoadBE32(IV + 4);
  for (std::size_t i = 0; i + 8 <= Size; i += 8) {
    std::uint32_t L = LoadBE32(Data + i) ^ ChainL, R = LoadBE32(Data + i + 4) ^ ChainR;
    Encrypt(L, R);
    StoreBE32(Data + i, L);
    StoreBE32(Data + i + 4, R);
    ChainL = L;
    ChainR = R;
  }
}

void TBlowfish::DecryptCbc(std::uint8_t* Data, std::size_t Size, const std::uint8_t IV[8]) const {
  std::uint32_t ChainL = LoadBE32(IV), ChainR = LoadBE32(IV + 4);
  for (std::size_t i = 0; i + 8 <= Size; i += 8) {
    const std::uint32_t KeptL = LoadBE32(Data + i), KeptR = LoadBE32(Data + i + 4);
    std::uint32_t L = KeptL, R = KeptR;
    Decrypt(L, R);
    StoreBE32(Data + i, L ^ ChainL);
    StoreBE32(Data + i + 4, R ^ ChainR);
    ChainL = KeptL;
    ChainR = KeptR;
  }
}

}  // namespace qel
