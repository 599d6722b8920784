// A saver as the supervision tests need one: it watches its starter, writes its PID into the
// file named on its command line, then waits for its end (SIGTERM's default action).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/unix/SaverGroup.h"

int main(int argc, char** argv) {
  if (argc != 2 || !qel::posix::WatchSupervisor()) return 2;
  // Written whole before the test may read it.
  const std::string Part = std::string(argv[1]) + ".part";
  std::FILE* F = std::fopen(Part.c_str(), "w");
  if (!F) return 2;
  std::fprintf(F, "%d\n", static_cast<int>(getpid()));
  std::fclose(F);
  if (std::rename(Part.c_str(), argv[1]) != 0) return 2;
  for (;;) pause();
}
