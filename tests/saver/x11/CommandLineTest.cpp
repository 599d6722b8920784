#include <gtest/gtest.h>

#include "saver/x11/CommandLine.h"

namespace qel {
namespace {

using TAction = TSaverCommand::TAction;

TEST(SaverCommand, NoArgumentRunsAndHostSwitchesPassThroughWithTheRestOfTheLine) {
  EXPECT_EQ(ParseSaverCommand({}, nullptr).FirstArgument, "/s");
  for (const char* Switch : {"/s", "/S", "/p", "/s:1", "/c:1234", "xc"}) {
    const TSaverCommand C = ParseSaverCommand({Switch, "--bogus", "1234"}, nullptr);
    EXPECT_EQ(C.Action, TAction::Run) << Switch;
    EXPECT_EQ(C.FirstArgument, Switch);
    EXPECT_FALSE(C.Hack);
  }
  EXPECT_EQ(ParseSaverCommand({"--config"}, nullptr).FirstArgument, "/c");
}

TEST(SaverCommand, WindowIdBeatsRootAndRootReadsTheHostsVariable) {
  TSaverCommand C = ParseSaverCommand({"--root"}, nullptr);
  EXPECT_TRUE(C.Hack);
  EXPECT_EQ(C.WindowId, 0u);  // the root window
  EXPECT_EQ(C.FirstArgument, "/s");
  EXPECT_EQ(ParseSaverCommand({"-root"}, "0x1e00007").WindowId, 0x1e00007u);
  EXPECT_EQ(ParseSaverCommand({"--root"}, "31457287").WindowId, 31457287u);
  C = ParseSaverCommand({"--root", "-window-id", "0X2A"}, "0x1e00007");
  EXPECT_EQ(C.WindowId, 42u);
  EXPECT_TRUE(C.Hack);
  EXPECT_EQ(ParseSaverCommand({"--window-id", "77", "--root"}, "5").WindowId, 77u);
  // X resource ids have 29 bits: the largest is a window id as good as any.
  EXPECT_EQ(ParseSaverCommand({"--window-id", "0x1fffffff"}, nullptr).WindowId, 0x1FFFFFFFu);
  EXPECT_EQ(ParseSaverCommand({"--root"}, "536870911").WindowId, 0x1FFFFFFFu);
}

TEST(SaverCommand, FpsShowsTheReadoutInEveryMode) {
  EXPECT_FALSE(ParseSaverCommand({"--root"}, nullptr).ShowFPS);
  const std::vector<std::vector<std::string>> WithFps = {{"--fps"}, {"--root", "-fps"}, {"-fps", "--config"}};
  for (const auto& Args : WithFps) {
    const TSaverCommand C = ParseSaverCommand(Args, nullptr);
    EXPECT_EQ(C.Action, TAction::Run);
    EXPECT_TRUE(C.ShowFPS);
  }
}

TEST(SaverCommand, RendererIsKeptAsGivenInEveryMode) {
  EXPECT_EQ(ParseSaverCommand({"--fps"}, nullptr).Renderer, "");
  for (const char* Name : {"auto", "gl", "soft"})
    for (const auto& Args : std::vector<std::vector<std::string>>{{"--renderer", Name}, {"--root", "--renderer", Name}}) {
      const TSaverCommand C = ParseSaverCommand(Args, nullptr);
      EXPECT_EQ(C.Action, TAction::Run);
      EXPECT_EQ(C.Renderer, Name);
    }
}

TEST(SaverCommand, BadInputFailsWithAReason) {
  const std::vector<std::vector<std::string>> Bad = {
      {"--bogus"},          {"--window-id"},         {"--window-id", "0"},   {"--window-id", "0x"},
      {"--window-id", "12abc"}, {"--window-id", "-5"}, {"--window-id", "0x20000000"},
      {"--window-id", "99999999999999999999"}, {"--config", "--root"}, {"--root", "/s"},
      {"--renderer"},       {"--renderer", "GL"},    {"--renderer", ""},
  };
  for (const auto& Args : Bad) {
    const TSaverCommand C = ParseSaverCommand(Args, nullptr);
    EXPECT_EQ(C.Action, TAction::Fail) << Args[0] << " " << (Args.size() > 1 ? Args[1] : "");
    EXPECT_FALSE(C.Error.empty());
  }
  EXPECT_EQ(ParseSaverCommand({"--root"}, "window").Action, TAction::Fail);
  EXPECT_EQ(ParseSaverCommand({"--root"}, "").Action, TAction::Run);  // empty: the root window
  EXPECT_EQ(ParseSaverCommand({"--help", "--bogus"}, nullptr).Action, TAction::Help);
  EXPECT_EQ(ParseSaverCommand({"--version"}, nullptr).Action, TAction::Version);
}

TEST(SaverCommand, RunModeCoversEveryMonitorUnlessToldOtherwise) {
  const std::vector<std::pair<std::vector<std::string>, bool>> Cases = {
      {{}, true},           {{"/s"}, true},           {{"/S"}, true},
      {{"/s:1"}, false},    {{"/p"}, false},          {{"/c"}, false},
      {{"--config"}, false}, {{"--root"}, false},     {{"--window-id", "5"}, false},
      {{"--primary-only"}, false}, {{"--monitor", "right"}, false},
  };
  for (const auto& [Args, Every] : Cases) {
    const TSaverCommand C = ParseSaverCommand(Args, nullptr);
    EXPECT_EQ(C.Action, TAction::Run) << (Args.empty() ? "" : Args[0]);
    EXPECT_EQ(C.StartsOtherMonitors(), Every) << (Args.empty() ? "" : Args[0]);
  }
  const TSaverCommand Other = ParseSaverCommand({"--monitor", "HDMI-1"}, nullptr);
  EXPECT_EQ(Other.Monitor, "HDMI-1");
  EXPECT_EQ(Other.FirstArgument, "/s");
  EXPECT_FALSE(Other.Hack);

  const std::vector<std::vector<std::string>> Bad = {
      {"--monitor"},          {"--monitor", ""},      {"--monitor", "x", "--root"}, {"--window-id", "5", "--monitor", "x"},
      {"--primary-only", "--config"}, {"--primary-only", "--monitor", "x"},
  };
  for (const auto& Args : Bad) EXPECT_EQ(ParseSaverCommand(Args, nullptr).Action, TAction::Fail) << Args.back();
}

TEST(SaverCommand, WaylandSwitchesAndTheirConflicts) {
  const TSaverCommand C = ParseSaverCommand({"--wayland", "--background", "--no-desktop"}, nullptr);
  EXPECT_EQ(C.Action, TAction::Run);
  EXPECT_EQ(C.Display, TSaverCommand::TDisplay::Wayland);
  EXPECT_TRUE(C.Background);
  EXPECT_TRUE(C.NoDesktop);
  EXPECT_EQ(C.FirstArgument, "/s");
  EXPECT_EQ(ParseSaverCommand({"--x11", "--x11"}, nullptr).Display, TSaverCommand::TDisplay::X11);
  for (const std::vector<std::string>& Args : std::vector<std::vector<std::string>>{
           {"--wayland", "--x11"}, {"--background", "--config"}, {"--background", "--root"},
           {"--window-id", "5", "--background"}})
    EXPECT_EQ(ParseSaverCommand(Args, nullptr).Action, TAction::Fail) << Args[0] << " " << Args[1];
}

// Which display system a command runs on, and what it refuses.
TEST(SaverCommand, DisplayChoiceFollowsTheSwitchesThenTheCompositor) {
  using TDisplayArgs = std::vector<std::string>;
  struct TCase {
    TDisplayArgs Args;
    const char* WaylandDisplay;
    bool Answers;
    TDisplayChoice Expected;
    bool Asked;  // whether the compositor had to be asked
  };
  const TCase Cases[] = {
      {{}, "wayland-1", true, TDisplayChoice::Wayland, true},
      {{}, "wayland-1", false, TDisplayChoice::Fail, true},
      {{"/s"}, "wayland-1", false, TDisplayChoice::Fail, true},
      {{}, "", true, TDisplayChoice::X11, false},
      {{}, nullptr, true, TDisplayChoice::X11, false},
      {{"--x11"}, "wayland-1", true, TDisplayChoice::X11, false},
      {{"--wayland"}, nullptr, false, TDisplayChoice::Wayland, false},
      {{"/s"}, "wayland-1", true, TDisplayChoice::Wayland, true},
      {{"--background"}, "wayland-1", true, TDisplayChoice::Wayland, true},
      {{"--background"}, nullptr, false, TDisplayChoice::Fail, false},
      {{"--background", "--x11"}, "wayland-1", true, TDisplayChoice::Fail, false},
      {{"--root"}, "wayland-1", true, TDisplayChoice::Fail, true},
      {{"--root"}, "wayland-1", false, TDisplayChoice::X11, true},
      {{"--root", "--x11"}, "wayland-1", true, TDisplayChoice::X11, false},
      {{"--root", "--wayland"}, nullptr, false, TDisplayChoice::Fail, false},
      {{"--config"}, "wayland-1", true, TDisplayChoice::Wayland, true},
      {{"/c:123"}, nullptr, true, TDisplayChoice::X11, false},
  };
  for (const TCase& Case : Cases) {
    TSaverCommand C = ParseSaverCommand(Case.Args, nullptr);
    ASSERT_EQ(C.Action, TAction::Run);
    bool Asked = false;
    const TDisplayChoice Choice = ChooseDisplay(C, Case.WaylandDisplay, [&] {
      Asked = true;
      return Case.Answers;
    });
    const std::string Name = (Case.Args.empty() ? "" : Case.Args[0]) + " " + (Case.WaylandDisplay ? "set" : "unset");
    EXPECT_EQ(Choice, Case.Expected) << Name;
    EXPECT_EQ(Asked, Case.Asked) << Name;
    EXPECT_EQ(C.Action == TAction::Fail, Choice == TDisplayChoice::Fail) << Name;
    EXPECT_EQ(C.Error.empty(), Choice != TDisplayChoice::Fail) << Name;
  }
}

}  // namespace
}  // namespace qel
