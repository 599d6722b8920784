#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qel {

// What the command line of the Linux screensaver asks for.
struct TSaverCommand {
  enum class TAction { Run, Help, Version, Fail };
  TAction Action = TAction::Run;
  // The screensaver host's switch the main form decides its mode from: "/s" (run) when
  // there is none, "/c" for --config, or a host's own switch as it was given.
  std::string FirstArgument = "/s";
  // Hack mode: draw into the host's window (WindowId; 0 for the root window).
  bool Hack = false;
  std::uint32_t WindowId = 0;
  // Run mode covers the primary monitor only (--primary-only), or draws on this other
  // monitor for the saver that started it (--monitor).
  bool PrimaryOnly = false;
  std::string Monitor;
  // Which display system: the automatic choice, or one the command line names.
  enum class TDisplay { Automatic, Wayland, X11 };
  TDisplay Display = TDisplay::Automatic;
  bool Background = false;  // Wayland: the wave as the outputs' background, input ignored
  bool NoDesktop = false;   // start from black instead of the desktop
  bool ShowFPS = false;     // --fps: the frame-rate readout
  std::string Renderer;     // --renderer auto|gl|soft as given; empty: $QEL_RENDERER, else auto
  std::string Error;        // Fail: what was wrong

  // Run mode on the primary monitor, which starts a saver for each other monitor.
  bool StartsOtherMonitors() const;
};

// Reads the arguments after the program name. XScreensaverWindow is the value of
// $XSCREENSAVER_WINDOW (nullptr when unset), used by --root.
TSaverCommand ParseSaverCommand(const std::vector<std::string>& Args, const char* XScreensaverWindow);

// The display system a command runs on: X11 or Wayland as asked for; otherwise Wayland where
// $WAYLAND_DISPLAY is set (WaylandDisplay; nullptr when unset) and CompositorAnswers says the
// compositor answers, X11 elsewhere. Fail, with Command.Error saying why, where the command
// needs what the chosen system lacks (the X11 hosts' --root under Wayland, --background on X11).
enum class TDisplayChoice { Wayland, X11, Fail };
TDisplayChoice ChooseDisplay(TSaverCommand& Command, const char* WaylandDisplay,
                             const std::function<bool()>& CompositorAnswers);

// The usage text of --help.
const char* SaverUsage();

}  // namespace qel
