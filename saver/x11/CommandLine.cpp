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
    } else if (A == "--wayland" || A == "--x11") {
      const auto Asked = A == "--wayland" ? TSaverCommand::TDisplay::Wayland : TSaverCommand::TDisplay::X11;
      if (C.Display != TSaverCommand::TDisplay::Automatic && C.Display != Asked)
        return Failed("--wayland and --x11 exclude each other");
      C.Display = Asked;
    } else if (A == "--background") {
      C.Background = true;
    } else if (A == "--no-desktop") {
      C.NoDesktop = true;
    } else if (A == "--fps" || A == "-fps") {
      C.ShowFPS = true;
    } else if (A == "--renderer") {
      if (i + 1 >= Args.size() || (Args[i + 1] != "auto" && Args[i + 1] != "gl" && Args[i + 1] != "soft"))
        return Failed("--renderer needs auto, gl or soft");
      C.Renderer = Args[++i];
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
  if (C.Background && (Config || Root || WindowGiven))
    return Failed("--background cannot be combined with --config, --root or --window-id");
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

TDisplayChoice ChooseDisplay(TSaverCommand& Command, const char* WaylandDisplay,
                             const std::function<bool()>& CompositorAnswers) {
  using TDisplay = TSaverCommand::TDisplay;
  auto Fail = [&](const char* Why) {
    Command.Action = TSaverCommand::TAction::Fail;
    Command.Error = Why;
    return TDisplayChoice::Fail;
  };
  TDisplay Display = Command.Display;
  if (Display == TDisplay::Automatic && WaylandDisplay && *WaylandDisplay) {
    // A Wayland session whose compositor cannot show the saver: X11 only when asked for (a
    // hack's host is X11's), as an X server there may show nothing the user sees.
    const bool Answers = CompositorAnswers();
    if (!Answers && !Command.Hack)
      return Fail("$WAYLAND_DISPLAY names a Wayland compositor that cannot show the saver: add --x11 to run it on X11");
    Display = Answers ? TDisplay::Wayland : TDisplay::X11;
  }
  if (Display == TDisplay::Automatic) Display = TDisplay::X11;
  if (Display == TDisplay::Wayland && Command.Hack)
    return Fail("--root and --window-id are for X11 hosts (xscreensaver, xsecurelock): add --x11 under Wayland");
  if (Display == TDisplay::X11 && Command.Background)
    return Fail("--background needs a Wayland compositor with the layer shell ($WAYLAND_DISPLAY)");
  return Display == TDisplay::Wayland ? TDisplayChoice::Wayland : TDisplayChoice::X11;
}

const char* SaverUsage() {
  return "usage: qelwave [--wayland | --x11] [--primary-only | --config | --root | --window-id ID |\n"
         "               --background] [--no-desktop] [--fps] [--renderer auto|gl|soft] | [/s | /c | /p ...]\n"
         "QEL Wave: six glowing ribbons of light over a tinted cloud picture.\n"
         "\n"
         "  (no argument)     run full screen on every monitor; Escape ends it. Under Wayland\n"
         "                    ($WAYLAND_DISPLAY names a compositor that answers) on the layer\n"
         "                    shell's overlay (swayidle -w timeout 300 qelwave), else on X11\n"
         "  --wayland, --x11  use this display system instead of choosing\n"
         "  --primary-only    run full screen on the primary monitor only\n"
         "  --background      Wayland: the wave as the background behind the windows (an animated\n"
         "                    wallpaper, swaylock-plugin's background); input is ignored and\n"
         "                    SIGTERM or SIGINT ends it\n"
         "  --no-desktop      start from black instead of the desktop (for a lock screen)\n"
         "  --config          show the configuration panel\n"
         "  --root, -root     X11: draw into the window named by $XSCREENSAVER_WINDOW, or the root\n"
         "                    window (xscreensaver, xsecurelock)\n"
         "  --window-id ID    draw into the window ID (0x... or decimal); wins over --root\n"
         "  --monitor NAME    a saver for the monitor NAME that takes no input: how the saver\n"
         "                    on the primary monitor covers the others\n"
         "  --fps, -fps       show the frame rate (full screen, only Escape ends the saver then), and\n"
         "                    say on standard error which device draws and why\n"
         "  --renderer NAME   the device that draws: gl (OpenGL ES through EGL), soft (the software\n"
         "                    device) or auto (default: gl on a hardware GL driver, else soft);\n"
         "                    $QEL_RENDERER gives it where the command line cannot\n"
         "  --help, --version this text, the version\n"
         "  /s, /c, /p ...    the Windows screensaver host's switches, with their meanings there\n";
}

}  // namespace qel
