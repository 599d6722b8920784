// The whole screensaver against every Direct3D failure the software device can inject: each
// distinct call of the set-up and of the first two seconds fails in turn, and so do a device
// loss with still-lost polls, a loss whose resets fail a few times and a driver's internal
// error. Each faulted run lives in a child process, so a crash or a sanitizer report is
// counted instead of ending the sweep. After every fault the program must keep running and
// answer input, leave no Direct3D object behind, draw again within a second of virtual time
// and, for a fault after the set-up, present the frames of a run without faults from then on.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/MainForm.h"
#include "platform/d3d9/DeviceChoice.h"
#include "platform/d3d9/gl/GlDevice.h"
#include "tests/app/SaverOnSoftDevice.h"

namespace qel {
namespace {

constexpr int kWidth = 96;
constexpr int kHeight = 64;
constexpr double kSweptMs = 2000;   // calls made up to here are failed one by one
constexpr double kRecoveryMs = 1000;  // frames must be drawn again within this after a fault
constexpr double kEndMs = kSweptMs + 2 * kRecoveryMs;

// Child exit codes; anything else (a signal, a sanitizer's exit) is a crash.
constexpr int kRecovered = 40;    // frames again in time, identical to the clean run's
constexpr int kDrawing = 41;      // frames again in time, not all identical (set-up faults may)
constexpr int kNotDrawing = 42;   // no frame within the recovery time
constexpr int kNoAnswer = 43;     // the program did not end on Escape
constexpr int kLeftObjects = 44;  // Direct3D objects alive after the program ended

struct TLoggedCall {
  std::string Name;
  int Occurrence = 0;  // calls of the same name before this one
  double AtMs = 0;     // -1 during the set-up
  int IndexInFrame = 0;
};

struct TRunRecord {
  std::map<double, std::uint64_t> Presents;  // virtual time of each presented frame, its hash
  std::vector<TLoggedCall> Calls;
  bool AnsweredInput = false;
  int LiveObjectsAfter = 0;
};

std::uint64_t Hash(const soft::TFrame& Frame) {
  std::uint64_t H = 1469598103934665603ull;
  for (std::uint32_t P : Frame.Pixels) H = (H ^ P) * 1099511628211ull;
  return H;
}

// One run of the saver: Arm is called before the set-up, EachFrame before every frame with
// the virtual time. Escape is pressed at kEndMs.
TRunRecord RunSaver(const std::function<void()>& Arm, const std::function<void(double)>& EachFrame = {}) {
  TRunRecord Record;
  {
    TSaverRun Run(kWidth, kHeight);
    FixRandomizeSeed(13);
    if (Arm) Arm();
    Run.Platform.KeyDownAt(kEndMs, vkEscape);
    std::vector<std::size_t> FrameStarts;
    std::vector<double> FrameTimes;
    Run.Run("/s", kEndMs + 500, [&](TMainForm& F) {
      const HWND Window = reinterpret_cast<HWND>(F.Handle());
      const TNotifyEvent Frame = F.Timer->OnTimer();
      F.Timer->SetOnTimer([&, Frame, Window](TObject* Sender) {
        const double Now = Run.Platform.ManualClock().NowMs();
        if (EachFrame) EachFrame(Now);
        FrameStarts.push_back(soft::CallLog().Calls().size());
        FrameTimes.push_back(Now);
        const int Before = soft::PresentCount(Window);
        Frame(Sender);
        if (soft::PresentCount(Window) != Before) Record.Presents[Now] = Hash(*soft::PresentedFrame(Window));
      });
    });
    Record.AnsweredInput = Run.EndedBefore(kEndMs + 500);
    std::map<std::string, int> Seen;
    std::size_t Frame = 0;
    const auto& Calls = soft::CallLog().Calls();
    for (std::size_t I = 0; I < Calls.size(); ++I) {
      while (Frame < FrameStarts.size() && FrameStarts[Frame] <= I) ++Frame;
      TLoggedCall C;
      C.Name = Calls[I].Name;
      C.Occurrence = Seen[C.Name]++;
      C.AtMs = Frame == 0 ? -1 : FrameTimes[Frame - 1];
      C.IndexInFrame = Frame == 0 ? static_cast<int>(I) : static_cast<int>(I - FrameStarts[Frame - 1]);
      Record.Calls.push_back(C);
    }
  }
  Record.LiveObjectsAfter = soft::LiveObjects();
  return Record;
}

struct TFault {
  std::string Label;
  double AtMs;  // -1: during the set-up
  std::function<void()> Arm;
  std::function<void(double)> EachFrame;
};

// The child's verdict on one faulted run, against the clean run.
int Judge(const TFault& Fault, const TRunRecord& Clean) {
  const TRunRecord Run = RunSaver(Fault.Arm, Fault.EachFrame);
  if (!Run.AnsweredInput) return kNoAnswer;
  if (Run.LiveObjectsAfter != 0) return kLeftObjects;
  const double From = Fault.AtMs < 0 ? 0 : Fault.AtMs;
  // Frames again within the recovery time (the faults stop at once or within a few frames).
  if (Run.Presents.upper_bound(From + 1e-9) == Run.Presents.end() ||
      Run.Presents.upper_bound(From + 1e-9)->first > From + kRecoveryMs)
    return kNotDrawing;
  for (auto It = Run.Presents.lower_bound(From + kRecoveryMs); It != Run.Presents.end(); ++It) {
    const auto Want = Clean.Presents.find(It->first);
    if (Want == Clean.Presents.end() || Want->second != It->second) return kDrawing;
  }
  return kRecovered;
}

int RunInChild(const TFault& Fault, const TRunRecord& Clean) {
  std::fflush(nullptr);
  const pid_t Child = fork();
  if (Child == 0) std::exit(Judge(Fault, Clean));  // exit, not _exit: the leak checker runs
  int Status = 0;
  if (Child < 0 || waitpid(Child, &Status, 0) != Child) return -1;
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : -WTERMSIG(Status);
}

// On the software device every call site; on the GL device the call sites that reach its
// own code: creations and locks (the other calls answer through the same checks).
class FaultSweep : public ::testing::TestWithParam<bool> {
 protected:
  bool OnGl() const { return GetParam(); }
  void SetUp() override {
    // The faulted runs are children forked from a process whose EGL display (llvmpipe here)
    // stays initialised, and threads do not survive a fork: llvmpipe then draws on the
    // thread that calls it, and keeps no shader cache of its own.
    if (OnGl()) {
      setenv("LP_NUM_THREADS", "0", 1);
      setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    }
    d3d9::UseDirect3D(OnGl() ? &gl::MakeDirect3D : nullptr);
  }
  void TearDown() override { d3d9::UseDirect3D(nullptr); }
  bool Swept(const std::string& Name) const {
    return !OnGl() || Name.find("Create") != std::string::npos || Name.find("Lock") != std::string::npos;
  }
};
INSTANTIATE_TEST_SUITE_P(, FaultSweep, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& Info) { return Info.param ? "Gl" : "Soft"; });

TEST_P(FaultSweep, EveryDirect3DFailureIsSurvivedAndRecoveredFrom) {
  const TRunRecord Clean = RunSaver({});
  ASSERT_TRUE(Clean.AnsweredInput);
  ASSERT_GT(Clean.Presents.size(), 100u);

  // A call site is a call of the set-up, or a place in a frame (its index there and its
  // name) seen in the first two seconds; each fails once, where it is first made.
  std::vector<TFault> Faults;
  std::set<std::pair<int, std::string>> FrameSites;
  for (const TLoggedCall& C : Clean.Calls) {
    if (C.AtMs > kSweptMs) break;
    if (C.AtMs >= 0 && !FrameSites.insert({C.IndexInFrame, C.Name}).second) continue;
    if (!Swept(C.Name)) continue;
    const std::string Name = C.Name;
    const int After = C.Occurrence;
    Faults.push_back({Name + " #" + std::to_string(After), C.AtMs,
                      [Name, After] { soft::FailNext(Name, 1, D3DERR_INVALIDCALL, After); }, {}});
  }
  const int CallSites = static_cast<int>(Faults.size());

  // Whole outages, at a frame of the steady animation and at the very first frame.
  const auto At = [](double Ms, std::function<void()> Act) {
    return [Ms, Act, Done = false](double Now) mutable {
      if (!Done && Now >= Ms) {
        Done = true;
        Act();
      }
    };
  };
  for (double Ms : {0.0, 1234.0}) {
    const std::string When = " at " + std::to_string(static_cast<int>(Ms)) + " ms";
    Faults.push_back({"loss, 4 still-lost polls" + When, Ms, {}, At(Ms, [] { soft::LoseDevices(4); })});
    Faults.push_back({"loss, 3 failed resets" + When, Ms, {}, At(Ms, [] {
                        soft::LoseDevices(0);
                        soft::FailNext("Reset", 3);
                      })});
    Faults.push_back({"driver internal error" + When, Ms, {},
                      At(Ms, [] { soft::FailNext("Present", 1, D3DERR_DRIVERINTERNALERROR); })});
    Faults.push_back({"out of memory, 2 presents" + When, Ms, {},
                      At(Ms, [] { soft::FailNext("Present", 2, E_OUTOFMEMORY); })});
  }

  int Crashes = 0, AfterSetUp = 0, Recovered = 0;
  for (const TFault& F : Faults) {
    const int Verdict = RunInChild(F, Clean);
    const bool SetUp = F.AtMs < 0;
    if (!SetUp) ++AfterSetUp;
    if (Verdict == kRecovered) {
      if (!SetUp) ++Recovered;
      continue;
    }
    if (Verdict == kDrawing && SetUp) continue;  // an image may be missing for the whole run
    if (Verdict < kRecovered || Verdict > kLeftObjects) ++Crashes;
    ADD_FAILURE() << F.Label << (SetUp ? " (set-up)" : " at " + std::to_string(F.AtMs) + " ms") << ": verdict "
                  << Verdict;
  }
  std::printf("fault sweep (%s device): %d call sites, %d faults, %d crashes, %d/%d recovered\n", OnGl() ? "GL" : "software", CallSites,
              static_cast<int>(Faults.size()), Crashes, Recovered, AfterSetUp);
  EXPECT_EQ(Crashes, 0);
  EXPECT_EQ(Recovered, AfterSetUp);
}

}  // namespace
}  // namespace qel
