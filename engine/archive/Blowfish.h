#pragma once
#include <cstddef>
#include <cstdint>

namespace qel {

// The Blowfish block cipher as published: 64-bit blocks, keys of 1 to 56 bytes used as they
// are. The key schedule is wiped when the object goes.
class TBlowfish {
 public:
  static constexpr std::size_t MaxKeyLength = 56;

  // Length is clamped to 1 ... MaxKeyLength; a null or empty key is not a valid key and the
  // caller must not pass one.
  TBlowfish(const std::uint8_t* Key, std::size_t Length);
  ~TBlowfish();
  TBlowfish(const TBlowfish&) = delete;
  TBlowfish& operator=(const TBlowfish&) = delete;

  void Encrypt(std::uint32_t& Left, std::uint32_t& Right) const;
  void Decrypt(std::uint32_t& Left, std::uint32_t& Right) const;

  // CBC over the whole 8-byte blocks of Data, in place, halves in big-endian byte order;
  // the Size mod 8 trailing bytes are left as they are (no padding).
  void EncryptCbc(std::uint8_t* Data, std::size_t Size, const std::uint8_t IV[8]) const;
  void DecryptCbc(std::uint8_t* Data, std::size_t Size, const std::uint8_t IV[8]) const;

 private:
  std::uint32_t F(std::uint32_t X) const;

  std::uint32_t FP[18];
  std::uint32_t FS[4][256];
};

}  // namespace qel
