#include "platform/x11/X11Errors.h"

#include <unistd.h>

#include <cstdio>

namespace qel::x11 {
namespace {

const char* ProgramName = "qelwave";
std::function<bool(XID)> OnGone;
int TrapDepth = 0;
int TrappedErrors = 0;
int Reported = 0;

int OnProtocolError(Display* D, XErrorEvent* E) {
  if (TrapDepth > 0) {
    ++TrappedErrors;
    return 0;
  }
  // A window destroyed by another hand (the host ending its hack) while frames were still on
  // their way: the platform ends on it, nothing went wrong.
  if ((E->error_code == BadWindow || E->error_code == BadDrawable) && OnGone && OnGone(E->resourceid)) return 0;
  // A few lines say what went wrong; a flood of them would say nothing more.
  if (Reported < 5) {
    ++Reported;
    char Text[128] = "";
    XGetErrorText(D, E->error_code, Text, sizeof Text);
    std::fprintf(stderr, "%s: X error ignored: %s (request %d.%d, resource 0x%lx)\n", ProgramName, Text,
                 E->request_code, E->minor_code, E->resourceid);
  }
  return 0;
}

int OnConnectionLost(Display*) {
  // Nothing of the display may be touched any more, destructors included: leave at once.
  static const char Tail[] = ": lost the connection to the X display\n";
  ssize_t R = write(2, ProgramName, __builtin_strlen(ProgramName));
  R = write(2, Tail, sizeof Tail - 1);
  (void)R;
  _exit(1);
}

}  // namespace

void InstallErrorHandlers(const char* Program, std::function<bool(XID)> Gone) {
  ProgramName = Program;
  OnGone = std::move(Gone);
  XSetErrorHandler(OnProtocolError);
  XSetIOErrorHandler(OnConnectionLost);
}

TErrorTrap::TErrorTrap(Display* D) : FDisplay(D), FSaved(TrappedErrors) {
  // Errors of earlier requests belong to nobody's trap.
  XSync(FDisplay, False);
  ++TrapDepth;
  FSaved = TrappedErrors;
}

TErrorTrap::~TErrorTrap() {
  XSync(FDisplay, False);
  --TrapDepth;
}

bool TErrorTrap::Failed() {
  XSync(FDisplay, False);
  return TrappedErrors != FSaved;
}

}  // namespace qel::x11
