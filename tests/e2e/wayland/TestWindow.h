#pragma once
#include <csignal>
#include <string>

#include "tests/e2e/wayland/TestClient.h"

namespace qel::e2e {

// A window of the test's own: an xdg toplevel of the given app id that shows the desktop
// picture (ScreenChecks.h) in its own coordinates at whatever size the compositor gives it.
// Prints "shown W H" once the compositor has shown it, then lives until Stop is set or the
// connection ends. Returns the exit status.
int RunTestWindow(TTestClient& Client, const std::string& AppId, const volatile std::sig_atomic_t& Stop);

}  // namespace qel::e2e
