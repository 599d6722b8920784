#pragma once
// Threads that share out numbered jobs: the calling thread works too, so a pool of one
// thread is the calling thread alone.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qel::soft {

class TWorkerPool {
 public:
  explicit TWorkerPool(int Threads);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int Threads() const { return static_cast<int>(FHelpers.size()) + 1; }
  // Runs Work(Job, Worker) for Job 0 .. Jobs-1 and returns when all are done (Alone: on the
  // calling thread alone); Worker is 0 .. Threads()-1 and no two jobs run on one worker at once.
  void Run(int Jobs, const std::function<void(int Job, int Worker)>& Work, bool Alone = false);

 private:
  void Help(int Worker);
  void TakeJobs(int Worker);

  std::vector<std::thread> FHelpers;
  std::mutex FLock;
  std::condition_variable FWake, FDone;
  const std::function<void(int, int)>* FWork = nullptr;
  int FJobs = 0, FNext = 0, FFinished = 0;
  std::uint64_t FRound = 0;
  bool FStop = false;
};

}  // namespace qel::soft
