#include "platform/unix/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace qel::posix {
namespace {

volatile std::sig_atomic_t QuitSignal = 0;
int SignalPipe[2] = {-1, -1};

void OnQuitSignal(int) {
  QuitSignal = 1;
  // Wakes a wait in poll(); the pipe never blocks, a full pipe is as good as a byte.
  const char Byte = 1;
  const ssize_t R = write(SignalPipe[1], &Byte, 1);
  (void)R;
}

constexpr int QuitSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

void CatchQuitSignals() {
  if (SignalPipe[0] >= 0 || pipe2(SignalPipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
  struct sigaction Action {};
  Action.sa_handler = OnQuitSignal;
  sigemptyset(&Action.sa_mask);
  for (int S : QuitSignals) sigaction(S, &Action, nullptr);
}

void ReleaseQuitSignals() {
  if (SignalPipe[0] < 0) return;
  for (int S : QuitSignals) std::signal(S, SIG_DFL);
  close(SignalPipe[0]);
  close(SignalPipe[1]);
  SignalPipe[0] = SignalPipe[1] = -1;
}

bool QuitSignalled() { return QuitSignal != 0; }

int QuitSignalFd() { return SignalPipe[0]; }

}  // namespace qel::posix
