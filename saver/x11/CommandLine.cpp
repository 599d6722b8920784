#include "saver/x11/CommandLine.h"

#include <charconv>

namespace qel {
namespace {

// X resource ids are 29-bit numbers, written in hexadecimal ("0x1e00007") or decimal.
bool ParseWindowId(const std::string& Text, std::uint32_t& Id) {
  const bool Hex = Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
  const char* Begin = Text.data() + (Hex ? 2 : 0);
  const char* End = Text.data() + Text.size();
  std::uint64_t Value = 0;
  const auto [Ptr, Err] = std::from_chars(Begin, End, Value, Hex ? 16 : 10);
  if (Begin == End || Err != std::errc() || Ptr != End || Value == 0 || Value > 0x1FFFFFFF) return false;
  Id = static_cast<std::uint32_t>(Value);
  return true;
}

TSaverCommand Failed(std::string Why) {
  TSaverCommand C;
  C.Action = TSaverCommand::TAction::Fail;
  C.Error = std::move(Why);
  return C;
}

}  // namespace

TSaverCommand ParseSaverCommand(const std::vector<std::string>& Args, const char* XScreensaverWindow) {
  TSaverCommand C;
  // A host's switch ("/s", "/p 1234", "/c:5678") gets the Windows behaviour: the rest of the
  // line belongs to the host.
  if (!Args.empty() && !Args[0].empty() && Args[0][0] != '-') {
    C.FirstArgument = Args[0];
    return C;
  }
  bool Root = false, WindowGiven = false, Config = false;
  for (std::size_t i = 0; i < Args.size(); ++i) {
    const std::string& A = Args[i];
    if (A == "--help" || A == "-h") {
      C.Action = TSaverCommand::TAction::Help;
      return C;
    }
    if (A == "--version") {
      C.Action = TSaverCommand::TAction::Version;
      return C;
    }
    if (A == "--config") {
      Config = true;
    } else if (A == "--root" || A == "-root") {
      Root = true;
    } else if (A == "--primary-only") {
      C.PrimaryOnly = true;
    } else if (A == "--monitor") {
      if (i + 1 >= Args.size() || Args[i + 1].empty()) return Failed("--monitor needs a monitor's name");
      C.Monitor = Args[++i];
    } else if (A == "--window-id" || A == "-window-id") {
      if (i + 1 >= Args.size()) return Failed(A + " needs a window id");
      if (!ParseWindowId(Args[++i], C.WindowId)) return Failed("bad window id '" + Args[i] + "'");
      WindowGiven = true;
    } else {
      return Failed("unknown option '" + A + "'");
    }
  }
  if (Config && (Root || WindowGiven)) return Failed("--config cannot be combined with --root or --window-id");
  const bool Monitors = C.PrimaryOnly || !C.Monitor.empty();
  if (Monitors && (Config || Root || WindowGiven))
    return Failed("--primary-only and --monitor cannot be combined with --config, --root or --window-id");
  if (C.PrimaryOnly && !C.Monitor.empty()) return Failed("--primary-only cannot be combined with --monitor");
  if (Config) C.FirstArgument = "/c";
  if (Root && !WindowGiven && XScreensaverWindow && *XScreensaverWindow) {
    if (!ParseWindowId(XScreensaverWindow, C.WindowId))
      return Failed(std::string("bad window id in XSCREENSAVER_WINDOW: '") + XScreensaverWindow + "'");
  }
  C.Hack = Root || WindowGiven;
  return C;
}

bool TSaverCommand::StartsOtherMonitors() const {
  return Action == TAction::Run && !Hack && !PrimaryOnly && Monitor.empty() &&
         (FirstArgument == "/s" || FirstArgument == "/S");
}

const char* SaverUsage() {
  return "usage: qelwave [--primary-only | --config | --root | --window-id ID] | [/s | /c | /p ...]\n"
         "QEL Wave: six glowing ribbons of light over a tinted cloud picture.\n"
         "\n"
         "  (no argument)     run full screen on every monitor; Escape ends it\n"
         "  --primary-only    run full screen on the primary monitor only\n"
         "  --config          show the configuration panel\n"
         "  --root, -root     draw into the window named by $XSCREENSAVER_WINDOW, or the root\n"
         "                    window (xscreensaver, xsecurelock)\n"
         "  --window-id ID    draw into the window ID (0x... or decimal); wins over --root\n"
         "  --monitor NAME    a saver for the monitor NAME that takes no input: how the saver\n"
         "                    on the primary monitor covers the others\n"
         "  --help, --version this text, the version\n"
         "  /s, /c, /p ...    the Windows screensaver host's switches, with their meanings there\n";
}

}  // namespace qel
