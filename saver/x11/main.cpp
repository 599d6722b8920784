// qelwave: the screensaver on Linux/X11, full screen or as an xscreensaver / xsecurelock hack.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/Program.h"
#include "platform/x11/X11Platform.h"
#include "saver/x11/CommandLine.h"

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
  qel::TX11Platform Platform;
  qel::TX11Options Options;
  Options.Hack = Command.Hack;
  Options.HostWindow = Command.WindowId;
  std::string Error;
  if (!Platform.Open(Options, Error)) {
    std::fprintf(stderr, "qelwave: %s\n", Error.c_str());
    return 1;
  }
  qel::TApplication App(Platform);
  qel::TMainForm* Form = nullptr;
  qel::RunProgram(App, Command.FirstArgument, [&](qel::TMainForm& F) { Form = &F; });
  // Run mode whose device never started: the set-up reported it and ended the program.
  const bool StartFailed = Form && Form->RunMode && !Form->Panel1->Visible() && !Form->D->Initialized();
  return StartFailed ? 1 : 0;
}
