// qelwave: the screensaver on Linux/X11, full screen or as an xscreensaver / xsecurelock hack.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Program.h"
#include "platform/unix/SaverGroup.h"
#include "platform/x11/X11Platform.h"
#include "saver/x11/CommandLine.h"

namespace {

// A saver of its own for every monitor but the primary, one process each, as xscreensaver
// runs one hack per screen. One that cannot start leaves its monitor uncovered.
void StartOtherMonitors(qel::TX11Platform& Platform, const char* Argv0, qel::posix::TSaverGroup& Others) {
  const std::vector<qel::x11::TMonitor> Monitors = Platform.Monitors();
  const std::string Program = qel::posix::OwnExecutable(Argv0);
  for (std::size_t i = 1; i < Monitors.size(); ++i) {
    std::string Error = "it has no name to be found by";
    if (Monitors[i].Name.empty() || !Others.Start(Monitors[i].Name, {Program, "--monitor", Monitors[i].Name}, Error))
      std::fprintf(stderr, "qelwave: no saver on the monitor %s: %s\n", Monitors[i].Name.c_str(), Error.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> Args(argv + 1, argv + argc);
  const qel::TSaverCommand Command = qel::ParseSaverCommand(Args, std::getenv("XSCREENSAVER_WINDOW"));
  switch (Command.Action) {
    case qel::TSaverCommand::TAction::Help:
      std::fputs(qel::SaverUsage(), stdout);
      return 0;
    case qel::TSaverCommand::TAction::Version:
      std::printf("qelwave %s\n", QEL_VERSION);
      return 0;
    case qel::TSaverCommand::TAction::Fail:
      std::fprintf(stderr, "qelwave: %s (see qelwave --help)\n", Command.Error.c_str());
      return 2;
    case qel::TSaverCommand::TAction::Run:
      break;
  }
  // A saver for another monitor ends with the one that started it, however that one ends.
  if (!Command.Monitor.empty()) qel::posix::WatchSupervisor();
  qel::TX11Platform Platform;
  qel::TX11Options Options;
  Options.Hack = Command.Hack;
  Options.HostWindow = Command.WindowId;
  Options.Monitor = Command.Monitor;
  std::string Error;
  if (!Platform.Open(Options, Error)) {
    // Its monitor went between the start of the saver that started this one and now.
    if (Platform.MonitorGone()) return qel::posix::MonitorGoneStatus;
    std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
    return 1;
  }
  qel::TApplication App(Platform);
  // Ended, and waited for, when the program ends, before its own window goes.
  qel::posix::TSaverGroup Others;
  if (Command.StartsOtherMonitors()) StartOtherMonitors(Platform, argv[0], Others);
  qel::TMainForm* Form = nullptr;
  qel::RunProgram(App, Command.FirstArgument, [&](qel::TMainForm& F) { Form = &F; });
  if (Platform.MonitorGone()) return qel::posix::MonitorGoneStatus;
  // Run mode whose device never started: the set-up reported it and ended the program.
  const bool StartFailed = Form && Form->RunMode && !Form->Panel1->Visible() && !Form->D->Initialized();
  return StartFailed ? 1 : 0;
}
