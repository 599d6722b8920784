#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/app/SaverOnSoftDevice.h"

namespace qel {
namespace {

constexpr double kLimit = 8000;

// Runs the saver with the scripted input and answers when it ended (kLimit: it did not).
double RunSaver(TSaverRun& R) {
  R.Run("/s", kLimit);
  return R.EndMs;
}

TEST(ExitRules, OtherKeysEndTheSaverOnlyAfterTheFirstSecond) {
  for (std::uint16_t Key : {std::uint16_t{'A'}, std::uint16_t{13}, std::uint16_t{16}, std::uint16_t{0x70}}) {
    TSaverRun R;
    R.Platform.KeyDownAt(10, Key);
    R.Platform.KeyDownAt(999, Key);
    R.Platform.KeyDownAt(1500, Key);
    EXPECT_EQ(RunSaver(R), 1500) << Key;
    EXPECT_TRUE(R.Form->ExitArmed);
  }
}

TEST(ExitRules, TheExitTimerArmsOnceAndStops) {
  {
    TSaverRun R;
    R.Run("/s", 999);
    EXPECT_FALSE(R.Form->ExitArmed);
    EXPECT_TRUE(R.Form->ExitTimer->Enabled());
  }
  TSaverRun Later;
  Later.Run("/s", 1100);
  EXPECT_TRUE(Later.Form->ExitArmed);
  EXPECT_FALSE(Later.Form->ExitTimer->Enabled());
}

TEST(ExitRules, EscapeEndsTheSaverAtAnyTime) {
  for (double At : {0.0, 5.0, 500.0, 2500.0}) {
    TSaverRun R;
    R.Platform.KeyDownAt(At, vkEscape);
    const double End = RunSaver(R);
    EXPECT_GE(End, At);
    EXPECT_LE(End, At + 10);  // the key is read at the next frame
  }
}

TEST(ExitRules, SpaceNeverEndsTheSaverButEndsTheWave) {
  TSaverRun R;
  R.Platform.KeyDownAt(200, vkSpace);
  R.Platform.KeyDownAt(1500, vkSpace);
  R.Platform.KeyDownAt(6000, vkSpace);
  EXPECT_EQ(RunSaver(R), kLimit);
  // The last Space came 2 s before the end: the wave it ended is fading out.
  EXPECT_EQ(R.Form->Wave.FadeState, fsFadingOut);
  EXPECT_FALSE(R.Form->ChangeTimer->Enabled());
}

struct TMoves {
  std::vector<std::pair<int, int>> Before;  // at 100, 200, ... ms: unarmed
  std::vector<std::pair<int, int>> After;   // at 1100, 1200, ... ms: armed
};

double RunMoves(const TMoves& M) {
  TSaverRun R;
  double T = 100;
  for (auto [X, Y] : M.Before) R.Platform.MouseMoveAt(T += 100, X, Y);
  T = 1100;
  for (auto [X, Y] : M.After) R.Platform.MouseMoveAt(T += 100, X, Y);
  return RunSaver(R);
}

TEST(ExitRules, MouseMovesOfTenPixelsKeepTheSaverRunning) {
  EXPECT_EQ(RunMoves({{{300, 300}}, {{310, 310}, {300, 300}, {290, 310}, {300, 300}}}), kLimit);
  EXPECT_EQ(RunMoves({{{5, 5}}, {{15, 15}, {25, 25}, {35, 35}, {45, 45}}}), kLimit);  // slow drift
}

TEST(ExitRules, ElevenPixelsOnEitherAxisEndTheSaverOnceArmed) {
  // Events at 1200, 1300, ...: the first over the threshold ends it.
  EXPECT_EQ(RunMoves({{{300, 300}}, {{310, 310}, {321, 310}}}), 1300);
  EXPECT_EQ(RunMoves({{{300, 300}}, {{300, 311}}}), 1200);
  EXPECT_EQ(RunMoves({{{300, 300}}, {{289, 300}}}), 1200);
  EXPECT_EQ(RunMoves({{{300, 300}}, {{300, 289}}}), 1200);
}

TEST(ExitRules, LargeMovesBeforeArmingAreOnlyRecorded) {
  EXPECT_EQ(RunMoves({{{0, 0}, {700, 500}, {10, 10}, {790, 590}}, {}}), kLimit);
}

TEST(ExitRules, TheFirstMoveAfterArmingComparesWithTheLastRecordedPosition) {
  // A pointer that rested far from the corner and reports only now is compared with (0, 0).
  EXPECT_EQ(RunMoves({{}, {{500, 400}}}), 1200);
  EXPECT_EQ(RunMoves({{}, {{10, 10}}}), kLimit);
  // Recorded before arming, the resting position counts.
  EXPECT_EQ(RunMoves({{{500, 400}}, {{505, 395}}}), kLimit);
  EXPECT_EQ(RunMoves({{{500, 400}}, {{512, 400}}}), 1200);
}

TEST(ExitRules, WhereThePointerRestsIsRecordedAndNeverEndsTheSaver) {
  // A window that learns the position only after the first second (an enter that comes late):
  // only the moves after it are compared.
  struct TCase {
    double EnterAt;
    int MoveX;
    double End;
  };
  for (const TCase& C : {TCase{500, 610, kLimit}, TCase{1500, 610, kLimit}, TCase{1500, 611, 1600},
                         TCase{3000, 589, 3100}}) {
    TSaverRun R;
    R.Platform.MouseEnterAt(C.EnterAt, 600, 400);
    R.Platform.MouseMoveAt(C.EnterAt + 100, C.MoveX, 400);
    EXPECT_EQ(RunSaver(R), C.End) << C.EnterAt << " " << C.MoveX;
  }
}

TEST(ExitRules, MousePositionsAreRecordedEveryTime) {
  TSaverRun R;
  R.Platform.MouseMoveAt(100, 40, 50);
  R.Platform.MouseMoveAt(200, 41, 52);
  R.Run("/s", 500);
  EXPECT_EQ(R.Form->MouseX, 41);
  EXPECT_EQ(R.Form->MouseY, 52);
  EXPECT_EQ(R.Form->PrevMouseX, 40);
  EXPECT_EQ(R.Form->PrevMouseY, 50);
}

TEST(ExitRules, ExtremeCoordinatesDoNotOverflowTheComparison) {
  EXPECT_EQ(RunMoves({{{INT32_MIN, INT32_MAX}}, {{INT32_MAX, INT32_MIN}}}), 1200);
}

}  // namespace
}  // namespace qel
