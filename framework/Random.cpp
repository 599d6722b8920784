#include "framework/Random.h"

#include "framework/Clock.h"

namespace qel {
namespace {

constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
constexpr std::uint64_t kIncrement = 1442695040888963407ULL;
std::uint64_t State = 0x853C49E6748FEA9BULL;
bool SeedFixed = false;
std::uint64_t FixedSeed = 0;

}  // namespace

void RandSeed(std::uint64_t Seed) {
  State = 0;
  RandomU32();
  State += Seed;
  RandomU32();
}

void FixRandomizeSeed(std::uint64_t Seed) {
  SeedFixed = true;
  FixedSeed = Seed;
}

void UnfixRandomizeSeed() { SeedFixed = false; }

void Randomize() {
  if (SeedFixed) {
    RandSeed(FixedSeed);
    return;
  }
  std::int64_t Counter = 0;
  if (!Clock().QueryPerformanceCounter(Counter)) Counter = Clock().GetTickCount();
  RandSeed(static_cast<std::uint64_t>(Counter));
}

std::uint32_t RandomU32() {
  const std::uint64_t Old = State;
  State = Old * kMultiplier + kIncrement;
  const auto XorShifted = static_cast<std::uint32_t>(((Old >> 18u) ^ Old) >> 27u);
  const auto Rot = static_cast<std::uint32_t>(Old >> 59u);
  return (XorShifted >> Rot) | (XorShifted << ((32u - Rot) & 31u));
}

std::int32_t Random(std::int32_t Range) {
  if (Range <= 0) return 0;
  // Multiply-shift maps 32 random bits onto 0 ... Range - 1 without a division.
  return static_cast<std::int32_t>((static_cast<std::uint64_t>(RandomU32()) * static_cast<std::uint32_t>(Range)) >> 32);
}

}  // namespace qel
