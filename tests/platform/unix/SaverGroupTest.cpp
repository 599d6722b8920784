#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/unix/SaverGroup.h"

namespace qel::posix {
namespace {

using Names = std::vector<std::string>;

// Polls for a state, for 10 seconds at most.
bool WaitFor(const std::function<bool()>& State) {
  const auto Limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!State()) {
    if (std::chrono::steady_clock::now() > Limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> Shell(const std::string& Script) { return {"/bin/sh", "-c", Script}; }

std::string TempFile(const std::string& Name) {
  return testing::TempDir() + "saver-group-" + std::to_string(getpid()) + "-" + Name;
}

// The PID a saver wrote into File, once it is there.
pid_t PidIn(const std::string& File) {
  pid_t Pid = 0;
  WaitFor([&] {
    std::ifstream In(File);
    return static_cast<bool>(In >> Pid);
  });
  std::remove(File.c_str());
  return Pid;
}

// Ended: no such process, or one that has ended and waits to be reaped by another.
bool Gone(pid_t Pid) {
  if (kill(Pid, 0) != 0) return true;
  std::ifstream Stat("/proc/" + std::to_string(Pid) + "/stat");
  std::string Id, Command, State;
  return Stat >> Id >> Command >> State && State == "Z";
}

// A saver that writes its PID into File, then runs the rest of Script as the same process.
std::vector<std::string> Saver(const std::string& File, const std::string& Script) {
  return Shell("echo $$ >" + File + ".part && mv " + File + ".part " + File + " && " + Script);
}

TEST(SaverGroup, EndAllEndsEverySaverAlsoOneThatIgnoresTheRequest) {
  TSaverGroup Group;
  std::atomic<int> Lost{0};
  Group.SetOnLost([&](const std::string&, int) { ++Lost; });
  std::string Error;
  const std::string A = TempFile("a"), B = TempFile("b");
  ASSERT_TRUE(Group.Start("left", Saver(A, "exec sleep 60"), Error)) << Error;
  ASSERT_TRUE(Group.Start("right", Saver(B, "trap '' TERM; exec sleep 60"), Error)) << Error;
  const pid_t PidA = PidIn(A), PidB = PidIn(B);
  ASSERT_GT(PidA, 0);
  ASSERT_GT(PidB, 0);
  EXPECT_EQ(Group.Running(), (Names{"left", "right"}));

  Group.EndAll();
  EXPECT_TRUE(Gone(PidA));
  EXPECT_TRUE(Gone(PidB));
  EXPECT_EQ(Group.Running(), Names{});
  EXPECT_EQ(Lost, 0) << "a saver the group ended is not lost";
  EXPECT_FALSE(Group.Start("late", Shell("exec sleep 60"), Error)) << "an ended group starts no more";
}

TEST(SaverGroup, ASaverThatEndsByItselfIsLostUnlessItsMonitorWentAway) {
  struct TCase {
    const char* Script;
    bool Lost;
  };
  const TCase Cases[] = {
      {"exit 0", true},
      {"exit 1", true},
      {"kill -TERM $$", true},
      {"kill -KILL $$", true},
      {"exit 3", false},  // MonitorGoneStatus
  };
  static_assert(MonitorGoneStatus == 3);
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Script);
    TSaverGroup Group;
    std::atomic<int> Lost{0};
    std::string LostName;
    Group.SetOnLost([&](const std::string& Name, int) {
      LostName = Name;
      ++Lost;
    });
    std::string Error;
    const std::string Go = TempFile("go");
    ASSERT_TRUE(Group.Start("steady", Shell("exec sleep 60"), Error)) << Error;
    ASSERT_TRUE(Group.Start("ending", Shell("while [ ! -e " + Go + " ]; do sleep 0.01; done; " + C.Script), Error));
    std::ofstream(Go.c_str()).put('\n');
    ASSERT_TRUE(WaitFor([&] { return Group.Running() == Names{"steady"}; }));
    if (C.Lost) {
      ASSERT_TRUE(WaitFor([&] { return Lost > 0; }));
      EXPECT_EQ(LostName, "ending");
    }
    Group.EndAll();  // every report has been made when it returns
    EXPECT_EQ(Lost, C.Lost ? 1 : 0);
    std::remove(Go.c_str());
  }
}

TEST(SaverGroup, AProgramThatCannotRunIsRefusedAtStart) {
  TSaverGroup Group;
  std::string Error;
  EXPECT_FALSE(Group.Start("left", {"/nonexistent/qelwave", "--monitor", "left"}, Error));
  EXPECT_NE(Error.find("/nonexistent/qelwave"), std::string::npos) << Error;
  EXPECT_FALSE(Group.Start("left", {}, Error));
  EXPECT_EQ(Group.Running(), Names{});
}

// Runs Starter in a process of its own, as the saver that starts the others, and waits for
// that process to end (10 seconds at most). Its wait status, or -1.
int RunAsStarter(const std::function<void()>& Starter) {
  const pid_t Pid = fork();
  if (Pid == 0) {
    Starter();
    _exit(0);
  }
  int Status = -1;
  const bool Ended = WaitFor([&] { return waitpid(Pid, &Status, WNOHANG) == Pid; });
  if (!Ended) {
    kill(Pid, SIGKILL);
    waitpid(Pid, &Status, 0);
    return -1;
  }
  return Status;
}

TEST(SaverGroup, SaversEndWhenTheirStarterDiesWithoutAWord) {
  const std::string A = TempFile("starter-a"), B = TempFile("starter-b");
  const int Status = RunAsStarter([&] {
    // Never ended: the starter leaves as a crash would, its savers still running.
    auto* Group = new TSaverGroup;
    std::string Error;
    if (!Group->Start("left", {SUPERVISED_SAVER, A}, Error) || !Group->Start("right", {SUPERVISED_SAVER, B}, Error))
      _exit(1);
    WaitFor([&] { return access(A.c_str(), F_OK) == 0 && access(B.c_str(), F_OK) == 0; });
    _exit(0);
  });
  ASSERT_EQ(Status, 0);
  const pid_t PidA = PidIn(A), PidB = PidIn(B);
  ASSERT_GT(PidA, 0);
  ASSERT_GT(PidB, 0);
  const bool Ended = WaitFor([&] { return Gone(PidA) && Gone(PidB); });
  EXPECT_TRUE(Ended);
  if (!Ended) {
    kill(PidA, SIGKILL);
    kill(PidB, SIGKILL);
  }
}

TEST(SaverGroup, ALostSaverEndsItsStarterByDefault) {
  const int Status = RunAsStarter([] {
    TSaverGroup Group;
    std::string Error;
    if (!Group.Start("right", Shell("exit 1"), Error)) _exit(1);
    for (;;) pause();
  });
  EXPECT_TRUE(WIFSIGNALED(Status) && WTERMSIG(Status) == SIGTERM) << "status " << Status;
}

TEST(SaverGroup, AProcessNotStartedByAGroupHasNoStarterToWatch) {
  for (const char* Value : {static_cast<const char*>(nullptr), "", "1", "x7", "99999", "7 "}) {
    SCOPED_TRACE(Value ? Value : "(unset)");
    if (Value)
      setenv("QEL_SUPERVISOR_FD", Value, 1);
    else
      unsetenv("QEL_SUPERVISOR_FD");
    EXPECT_FALSE(WatchSupervisor());
    EXPECT_EQ(std::getenv("QEL_SUPERVISOR_FD"), nullptr);
  }
}

}  // namespace
}  // namespace qel::posix
