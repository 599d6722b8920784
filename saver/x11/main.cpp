// qelwave: the screensaver on Linux, on Wayland or X11: full screen on every monitor, as an
// xscreensaver / xsecurelock hack, or as an animated background under Wayland.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Program.h"
#include "platform/d3d9/gl/RendererChoice.h"
#include "platform/unix/SaverGroup.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"
#include "saver/x11/CommandLine.h"
#include "saver/x11/XScreensaverSettings.h"

namespace {

// A saver of its own for every monitor but the first of Names, one process each, as
// xscreensaver runs one hack per screen, on the same display system and with the same
// picture choices. One that cannot start leaves its monitor uncovered.
void StartOtherMonitors(const std::vector<std::string>& Names, const char* System, const qel::TSaverCommand& Command,
                        const char* Argv0, qel::posix::TSaverGroup& Others) {
  const std::string Program = qel::posix::OwnExecutable(Argv0);
  for (std::size_t i = 1; i < Names.size(); ++i) {
    std::vector<std::string> Argv = {Program, System, "--monitor", Names[i]};
    if (Command.Background) Argv.push_back("--background");
    if (Command.NoDesktop) Argv.push_back("--no-desktop");
    if (!Command.Renderer.empty()) Argv.insert(Argv.end(), {"--renderer", Command.Renderer});
    std::string Error = "it has no name to be found by";
    if (Names[i].empty() || !Others.Start(Names[i], Argv, Error))
      std::fprintf(stderr, "qelwave: no saver on the monitor %s: %s\n", Names[i].c_str(), Error.c_str());
  }
}

// Runs the program on an opened platform, with the savers of the other monitors while it
// runs; the exit status.
int Run(qel::TPlatform& Platform, const qel::TSaverCommand& Command,
        const std::function<void(qel::posix::TSaverGroup&)>& StartOthers, const std::function<bool()>& MonitorGone) {
  qel::TApplication App(Platform);
  // Ended, and waited for, when the program ends, before its own window goes.
  qel::posix::TSaverGroup Others;
  if (Command.StartsOtherMonitors()) StartOthers(Others);
  qel::TMainForm* Form = nullptr;
  qel::RunProgram(App, Command.FirstArgument, [&](qel::TMainForm& F) {
    Form = &F;
    F.ShowFPS = Command.ShowFPS;
  });
  if (MonitorGone()) return qel::posix::MonitorGoneStatus;
  // Run mode whose device never started: the set-up reported it and ended the program.
  const bool StartFailed = Form && Form->RunMode && !Form->Panel1->Visible() && !Form->D->Initialized();
  return StartFailed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> Args(argv + 1, argv + argc);
  qel::TSaverCommand Command = qel::ParseSaverCommand(Args, std::getenv("XSCREENSAVER_WINDOW"));
  // A hack shows the desktop only where the user lets xscreensaver's hacks show it.
  if (Command.Action == qel::TSaverCommand::TAction::Run && Command.Hack) {
    const char* AppDefaults = std::getenv("QEL_XSCREENSAVER_APP_DEFAULTS");
    if (!qel::XScreensaverGrabsDesktop(std::getenv("HOME"), AppDefaults ? AppDefaults : qel::XScreensaverAppDefaults))
      Command.NoDesktop = true;
  }
  // A saver for another monitor ends with the one that started it, however that one ends.
  if (Command.Action == qel::TSaverCommand::TAction::Run && !Command.Monitor.empty())
    qel::posix::WatchSupervisor();
  std::string Error;
  std::unique_ptr<qel::TWaylandPlatform> Wayland;
  qel::TWaylandOptions WaylandOptions;
  WaylandOptions.Background = Command.Background;
  WaylandOptions.NoDesktop = Command.NoDesktop;
  WaylandOptions.Output = Command.Monitor;
  WaylandOptions.Keyboard = Command.Monitor.empty();  // the first output's saver takes the keys
  // The compositor answers when the platform opens on it; the opened one is then used.
  const auto Answers = [&] {
    Wayland = std::make_unique<qel::TWaylandPlatform>();
    return Wayland->Open(WaylandOptions, Error);
  };
  qel::TDisplayChoice Display = qel::TDisplayChoice::X11;
  if (Command.Action == qel::TSaverCommand::TAction::Run)
    Display = qel::ChooseDisplay(Command, std::getenv("WAYLAND_DISPLAY"), Answers);
  switch (Command.Action) {
    case qel::TSaverCommand::TAction::Help:
      std::fputs(qel::SaverUsage(), stdout);
      return 0;
    case qel::TSaverCommand::TAction::Version:
      std::printf("qelwave %s\n", QEL_VERSION);
      return 0;
    case qel::TSaverCommand::TAction::Fail:
      // Why the compositor could not serve, first: not a fault of the command line.
      if (!Error.empty()) std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
      std::fprintf(stderr, "qelwave: %s (see qelwave --help)\n", Command.Error.c_str());
      return Error.empty() ? 2 : 1;
    case qel::TSaverCommand::TAction::Run:
      break;
  }
  // The device: as asked for, else as the host's environment says, else the automatic choice.
  if (Command.Renderer.empty()) {
    const char* FromEnvironment = std::getenv("QEL_RENDERER");
    Command.Renderer = FromEnvironment && *FromEnvironment ? FromEnvironment : "auto";
  }
  qel::gl::TRenderer Renderer = qel::gl::TRenderer::Auto;
  std::string Chosen;
  if (!qel::gl::ParseRenderer(Command.Renderer, Renderer)) {
    std::fprintf(stderr, "qelwave: the renderer '%s' is none of auto, gl and soft\n", Command.Renderer.c_str());
    return 2;
  }
  if (!qel::gl::ChooseRenderer(Renderer, Chosen, Error)) {
    std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
    return 1;
  }
  if (Command.ShowFPS) std::fprintf(stderr, "qelwave: drawing with %s\n", Chosen.c_str());
  if (Display == qel::TDisplayChoice::Wayland) {
    if (!Wayland) Answers();  // chosen on the command line: not asked yet
    if (!Wayland->Opened()) {
      // Its output went between the start of the saver that started this one and now.
      if (Wayland->OutputGone()) return qel::posix::MonitorGoneStatus;
      std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
      return 1;
    }
    const int Result = Run(
        *Wayland, Command,
        [&](qel::posix::TSaverGroup& Others) {
          StartOtherMonitors(Wayland->OutputNames(), "--wayland", Command, argv[0], Others);
        },
        [&] { return Wayland->OutputGone(); });
    return Wayland->Lost() ? 1 : Result;
  }
  Wayland.reset();
  qel::TX11Platform Platform;
  qel::TX11Options Options;
  Options.Hack = Command.Hack;
  Options.HostWindow = Command.WindowId;
  Options.Monitor = Command.Monitor;
  Options.NoDesktop = Command.NoDesktop;
  if (!Platform.Open(Options, Error)) {
    // Its monitor went between the start of the saver that started this one and now.
    if (Platform.MonitorGone()) return qel::posix::MonitorGoneStatus;
    std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
    return 1;
  }
  return Run(
      Platform, Command,
      [&](qel::posix::TSaverGroup& Others) {
        std::vector<std::string> Names;
        for (const qel::x11::TMonitor& M : Platform.Monitors()) Names.push_back(M.Name);
        StartOtherMonitors(Names, "--x11", Command, argv[0], Others);
      },
      [&] { return Platform.MonitorGone(); });
}
