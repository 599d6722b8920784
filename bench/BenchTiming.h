#pragma once
// Timing for the benchmarks: the best of several runs counts, since a busy machine only
// ever makes a run slower.
#include <algorithm>
#include <chrono>

namespace qel::bench {

// Milliseconds of the fastest of Runs calls of Work.
template <class TWork>
double BestMs(int Runs, TWork&& Work) {
  double Best = 1e300;
  for (int I = 0; I < Runs; ++I) {
    const auto Start = std::chrono::steady_clock::now();
    Work();
    const auto End = std::chrono::steady_clock::now();
    Best = std::min(Best, std::chrono::duration<double, std::milli>(End - Start).count());
  }
  return Best;
}

}  // namespace qel::bench
