#include "platform/d3d9/soft/WorkerPool.h"

namespace qel::soft {

TWorkerPool::TWorkerPool(int Threads) {
  for (int i = 1; i < Threads; ++i) FHelpers.emplace_back([this, i] { Help(i); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard Guard(FLock);
    FStop = true;
  }
  FWake.notify_all();
  for (std::thread& T : FHelpers) T.join();
}

void TWorkerPool::TakeJobs(int Worker) {
  std::unique_lock Guard(FLock);
  while (FNext < FJobs) {
    const int Job = FNext++;
    const auto& Work = *FWork;
    Guard.unlock();
    Work(Job, Worker);
    Guard.lock();
    if (++FFinished == FJobs) FDone.notify_all();
  }
}

void TWorkerPool::Help(int Worker) {
  std::uint64_t Seen = 0;
  for (;;) {
    {
      std::unique_lock Guard(FLock);
      FWake.wait(Guard, [&] { return FStop || FRound != Seen; });
      if (FStop) return;
      Seen = FRound;
    }
    TakeJobs(Worker);
  }
}

void TWorkerPool::Run(int Jobs, const std::function<void(int Job, int Worker)>& Work, bool Alone) {
  if (Jobs <= 0) return;
  if (FHelpers.empty() || Alone) {
    for (int Job = 0; Job < Jobs; ++Job) Work(Job, 0);
    return;
  }
  {
    std::lock_guard Guard(FLock);
    FWork = &Work;
    FJobs = Jobs;
    FNext = FFinished = 0;
    ++FRound;
  }
  FWake.notify_all();
  TakeJobs(0);
  std::unique_lock Guard(FLock);
  FDone.wait(Guard, [&] { return FFinished == FJobs; });
  FWork = nullptr;
  FJobs = 0;
}

}  // namespace qel::soft
