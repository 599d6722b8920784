#pragma once
#include <cstdint>
#include <cstring>

// Fixed-size little-endian fields of the binary formats (archive, record headers, payloads).
namespace qel::le {

inline std::uint16_t Load16(const std::uint8_t* P) { return static_cast<std::uint16_t>(P[0] | P[1] << 8); }

inline std::uint32_t Load32(const std::uint8_t* P) {
  return std::uint32_t(P[0]) | std::uint32_t(P[1]) << 8 | std::uint32_t(P[2]) << 16 | std::uint32_t(P[3]) << 24;
}

inline std::uint64_t Load64(const std::uint8_t* P) { return Load32(P) | std::uint64_t(Load32(P + 4)) << 32; }

inline double LoadDouble(const std::uint8_t* P) {
  const std::uint64_t Bits = Load64(P);
  double Value;
  std::memcpy(&Value, &Bits, sizeof(Value));
  return Value;
}

inline void Store16(std::uint8_t* P, std::uint16_t V) {
  P[0] = static_cast<std::uint8_t>(V);
  P[1] = static_cast<std::uint8_t>(V >> 8);
}

inline void Store32(std::uint8_t* P, std::uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = static_cast<std::uint8_t>(V >> (8 * i));
}

inline void Store64(std::uint8_t* P, std::uint64_t V) {
  Store32(P, static_cast<std::uint32_t>(V));
  Store32(P + 4, static_cast<std::uint32_t>(V >> 32));
}

inline void StoreDouble(std::uint8_t* P, double Value) {
  std::uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof(Bits));
  Store64(P, Bits);
}

}  // namespace qel::le
