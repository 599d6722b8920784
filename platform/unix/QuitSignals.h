#pragma once

namespace qel::posix {

// SIGTERM, SIGINT and SIGHUP end the program's message loop instead of the process: the
// handler only notes the signal and wakes a poll() through a pipe. Catching is process-wide;
// the first platform to open catches, and its close restores the defaults.
void CatchQuitSignals();
void ReleaseQuitSignals();
bool QuitSignalled();
// Readable once a quit signal came (-1 before CatchQuitSignals or when the pipe failed).
int QuitSignalFd();

}  // namespace qel::posix
