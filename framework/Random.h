#pragma once
#include <cstdint>

namespace qel {

// The process-wide random generator: a PCG32 generator (permuted congruential, 64-bit state),
// integer arithmetic only, so every platform and compiler draws the same numbers from the
// same seed.
void RandSeed(std::uint64_t Seed);
// Seeds the generator from the clock (the performance counter of the active clock), or
// with the seed fixed by FixRandomizeSeed.
void Randomize();
// Makes every later Randomize use Seed instead of the clock, so a whole program run can be
// repeated (tests, wave-render --seed). UnfixRandomizeSeed goes back to the clock.
void FixRandomizeSeed(std::uint64_t Seed);
void UnfixRandomizeSeed();
// A uniform integer 0 ... Range - 1; 0 when Range is 0 or less.
std::int32_t Random(std::int32_t Range);
// The next raw 32-bit value.
std::uint32_t RandomU32();

}  // namespace qel
