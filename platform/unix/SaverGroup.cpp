#include "platform/unix/SaverGroup.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace qel::posix {
namespace {

// How a saver learns which of its descriptors is its starter's lifeline.
constexpr char LifelineVariable[] = "QEL_SUPERVISOR_FD";

std::string SystemError(int Errno) { return std::strerror(Errno); }

void CloseQuietly(int& Fd) {
  if (Fd >= 0) close(Fd);
  Fd = -1;
}

}  // namespace

struct TSaverGroup::TSaver {
  std::string Name;
  pid_t Pid = 0;
  bool Exited = false;  // its PID may no longer be signalled
  bool Reaped = false;  // and whether its end ends the group is decided
  std::thread Watcher;
};

TSaverGroup::TSaverGroup() : FOnLost([](const std::string&, int) { kill(getpid(), SIGTERM); }) {}

TSaverGroup::~TSaverGroup() {
  EndAll();
  CloseQuietly(FLifelineRead);
}

void TSaverGroup::SetOnLost(TLostEvent OnLost) {
  std::lock_guard<std::mutex> Guard(FLock);
  FOnLost = std::move(OnLost);
}

bool TSaverGroup::Start(const std::string& Name, const std::vector<std::string>& Argv, std::string& Error) {
  if (Argv.empty() || Argv[0].empty()) {
    Error = "no program to start";
    return false;
  }
  {
    std::lock_guard<std::mutex> Guard(FLock);
    if (FEnding) {
      Error = "the savers have been ended";
      return false;
    }
  }
  if (FLifeline < 0) {
    int Ends[2];
    if (pipe2(Ends, O_CLOEXEC) != 0) {
      Error = "no pipe: " + SystemError(errno);
      return false;
    }
    FLifelineRead = Ends[0];
    FLifeline = Ends[1];
  }
  // Where exec failed, the child says why through this pipe; exec closes it otherwise.
  int Report[2];
  if (pipe2(Report, O_CLOEXEC) != 0) {
    Error = "no pipe: " + SystemError(errno);
    return false;
  }
  // Everything the child uses is made before fork: between fork and exec only
  // async-signal-safe calls are allowed.
  std::vector<std::string> Environment;
  const std::size_t NameLength = std::strlen(LifelineVariable);
  for (char** E = environ; E && *E; ++E)
    if (std::strncmp(*E, LifelineVariable, NameLength) != 0 || (*E)[NameLength] != '=')
      Environment.emplace_back(*E);
  Environment.push_back(std::string(LifelineVariable) + "=" + std::to_string(FLifelineRead));
  std::vector<char*> Args, Env;
  for (const std::string& A : Argv) Args.push_back(const_cast<char*>(A.c_str()));
  Args.push_back(nullptr);
  for (const std::string& E : Environment) Env.push_back(const_cast<char*>(E.c_str()));
  Env.push_back(nullptr);
  const int Lifeline = FLifelineRead;

  // Signals wait until the child has put back the default handlers: ours must not run in it.
  sigset_t All, Old;
  sigfillset(&All);
  pthread_sigmask(SIG_SETMASK, &All, &Old);
  const pid_t Pid = fork();
  if (Pid == 0) {
    struct sigaction Default {};
    Default.sa_handler = SIG_DFL;
    for (int Signal = 1; Signal < NSIG; ++Signal) sigaction(Signal, &Default, nullptr);
    sigprocmask(SIG_SETMASK, &Old, nullptr);
    fcntl(Lifeline, F_SETFD, 0);  // the one descriptor the saver keeps
    execve(Args[0], Args.data(), Env.data());
    const int Errno = errno;
    const ssize_t Written = write(Report[1], &Errno, sizeof Errno);
    (void)Written;
    _exit(127);
  }
  const int ForkErrno = errno;
  pthread_sigmask(SIG_SETMASK, &Old, nullptr);
  close(Report[1]);
  if (Pid < 0) {
    close(Report[0]);
    Error = "cannot start " + Argv[0] + ": " + SystemError(ForkErrno);
    return false;
  }
  int ExecErrno = 0;
  ssize_t Got;
  do {
    Got = read(Report[0], &ExecErrno, sizeof ExecErrno);
  } while (Got < 0 && errno == EINTR);
  close(Report[0]);
  if (Got == sizeof ExecErrno) {
    while (waitpid(Pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    Error = "cannot run " + Argv[0] + ": " + SystemError(ExecErrno);
    return false;
  }

  auto Saver = std::make_unique<TSaver>();
  Saver->Name = Name;
  Saver->Pid = Pid;
  TSaver& S = *Saver;
  std::lock_guard<std::mutex> Guard(FLock);
  FSavers.push_back(std::move(Saver));
  S.Watcher = std::thread([this, &S] { Watch(S); });
  return true;
}

void TSaverGroup::Watch(TSaver& S) {
  // Waits without reaping, so that the PID stays this saver's until it is marked as gone:
  // EndAll never signals a process that merely got the same number.
  siginfo_t Info{};
  while (waitid(P_PID, static_cast<id_t>(S.Pid), &Info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
  }
  {
    std::lock_guard<std::mutex> Guard(FLock);
    S.Exited = true;
  }
  int Status = 0;
  while (waitpid(S.Pid, &Status, 0) < 0 && errno == EINTR) {
  }
  TLostEvent OnLost;
  {
    std::lock_guard<std::mutex> Guard(FLock);
    S.Reaped = true;
    const bool MonitorGone = WIFEXITED(Status) && WEXITSTATUS(Status) == MonitorGoneStatus;
    if (!FEnding && !MonitorGone) OnLost = FOnLost;
  }
  FEnded.notify_all();
  if (OnLost) OnLost(S.Name, Status);
}

std::vector<std::string> TSaverGroup::Running() const {
  std::lock_guard<std::mutex> Guard(FLock);
  std::vector<std::string> Names;
  for (const auto& S : FSavers)
    if (!S->Reaped) Names.push_back(S->Name);
  return Names;
}

void TSaverGroup::EndAll() {
  {
    std::unique_lock<std::mutex> Guard(FLock);
    FEnding = true;
    for (const auto& S : FSavers)
      if (!S->Exited) kill(S->Pid, SIGTERM);
    // A saver that has not yet set up its signal handling still sees its lifeline go.
    CloseQuietly(FLifeline);
    const auto AllReaped = [this] {
      for (const auto& S : FSavers)
        if (!S->Reaped) return false;
      return true;
    };
    if (!FEnded.wait_for(Guard, std::chrono::milliseconds(GraceMs), AllReaped)) {
      for (const auto& S : FSavers)
        if (!S->Exited) kill(S->Pid, SIGKILL);
      FEnded.wait(Guard, AllReaped);
    }
  }
  for (const auto& S : FSavers)
    if (S->Watcher.joinable()) S->Watcher.join();
}

bool WatchSupervisor() {
  const char* Value = std::getenv(LifelineVariable);
  if (!Value) return false;
  int Fd = -1;
  const char* End = Value + std::strlen(Value);
  const auto [Ptr, Err] = std::from_chars(Value, End, Fd);
  const bool Valid = Err == std::errc() && Ptr == End && Fd > 2 && fcntl(Fd, F_GETFD) >= 0;
  unsetenv(LifelineVariable);
  if (!Valid) return false;
  fcntl(Fd, F_SETFD, FD_CLOEXEC);
  // Nothing is ever written into the lifeline: the read returns when the last writer, the
  // starter, is gone.
  std::thread([Fd] {
    char Byte;
    ssize_t Got;
    do {
      Got = read(Fd, &Byte, 1);
    } while (Got > 0 || (Got < 0 && errno == EINTR));
    kill(getpid(), SIGTERM);
  }).detach();
  return true;
}

std::string OwnExecutable(const char* Argv0) {
  char Path[4096];
  const ssize_t Length = readlink("/proc/self/exe", Path, sizeof Path - 1);
  if (Length > 0) return std::string(Path, static_cast<std::size_t>(Length));
  return Argv0 ? Argv0 : "";
}

}  // namespace qel::posix
