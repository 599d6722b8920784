#pragma once
#include <X11/Xlib.h>

#include <functional>

namespace qel::x11 {

// Xlib's default handlers end the process on any protocol error. These never do: protocol
// errors are printed (errors naming a window that does not exist tell Gone about it, so the
// platform can end cleanly when its window is destroyed under it; Gone answers true when it
// was one of the platform's windows, which is then expected and not printed), and a lost
// connection ends the process at once with a message and status 1, instead of leaving it on
// a dead display.
void InstallErrorHandlers(const char* Program, std::function<bool(XID)> Gone);

// Counts the errors of the requests made while it lives instead of reporting them.
class TErrorTrap {
 public:
  explicit TErrorTrap(Display* D);
  ~TErrorTrap();
  TErrorTrap(const TErrorTrap&) = delete;
  TErrorTrap& operator=(const TErrorTrap&) = delete;

  // Waits for the server to answer every request so far; true when one of them failed.
  bool Failed();

 private:
  Display* FDisplay;
  int FSaved;
};

}  // namespace qel::x11
