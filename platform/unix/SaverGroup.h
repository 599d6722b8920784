#pragma once
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qel::posix {

// The exit status of a saver whose own monitor went away: its group lets the others run on.
inline constexpr int MonitorGoneStatus = 3;

// The savers one saver starts for the other monitors: a process each, ended together with
// the one that started them. Whichever way the starter ends, they end: when it ends them
// (EndAll, or its destruction) and when it dies without a word, through WatchSupervisor in
// each of them. When one of them ends by itself for any reason but its monitor going away,
// the group calls OnLost, which by default sends SIGTERM to this process, so that the
// starter ends as well and no monitor stays covered without a way out.
// Not copyable; Start and EndAll from one thread.
class TSaverGroup {
 public:
  using TLostEvent = std::function<void(const std::string& Name, int WaitStatus)>;

  TSaverGroup();
  ~TSaverGroup();
  TSaverGroup(const TSaverGroup&) = delete;
  TSaverGroup& operator=(const TSaverGroup&) = delete;

  // Called on a watching thread, never for a saver that EndAll ended. WaitStatus is
  // waitpid's status word.
  void SetOnLost(TLostEvent OnLost);

  // Starts the program Argv[0] (a path) with the arguments Argv[1...] as the saver Name (a
  // monitor's or an output's name). False with Error when it could not be run.
  bool Start(const std::string& Name, const std::vector<std::string>& Argv, std::string& Error);

  // The names of the savers whose end has not yet been dealt with, in the order they were
  // started.
  std::vector<std::string> Running() const;

  // Ends every saver and waits until each is gone: SIGTERM at once, SIGKILL to any still
  // there after GraceMs. A group that was ended starts no more.
  void EndAll();

  static constexpr int GraceMs = 80;

 private:
  struct TSaver;
  void Watch(TSaver& S);

  mutable std::mutex FLock;
  std::condition_variable FEnded;
  std::vector<std::unique_ptr<TSaver>> FSavers;
  TLostEvent FOnLost;
  bool FEnding = false;
  int FLifeline = -1;  // the write end of the pipe every saver watches; closed, they end
  int FLifelineRead = -1;
};

// In a saver started by a group: from now on this process gets SIGTERM when its starter
// is gone (ended, crashed or killed). False when this process was not started by a group.
bool WatchSupervisor();

// The path of the running program, to start it again; Argv0 where the system does not say.
std::string OwnExecutable(const char* Argv0);

}  // namespace qel::posix
