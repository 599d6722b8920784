#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace qel {

using TMd5Digest = std::array<std::uint8_t, 16>;

// MD5 message digest (RFC 1321), fed in pieces of any size.
class TMd5 {
 public:
  TMd5();
  void Update(const void* Data, std::size_t Size);
  // The digest of everything fed so far; the object is spent afterwards.
  TMd5Digest Final();

 private:
  void Block(const std::uint8_t* Data);

  std::uint32_t FState[4];
  std::uint64_t FLength = 0;  // bytes fed
  std::uint8_t FBuffer[64];
};

TMd5Digest Md5(const void* Data, std::size_t Size);

}  // namespace qel
