#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/headless/HeadlessPlatform.h"

namespace qel {
namespace {

TEST(HeadlessPlatform, ScriptedEventsComeInTimeOrderAndEqualTimesKeepTheirOrder) {
  THeadlessPlatform P;
  P.KeyDownAt(20, 2);
  P.KeyDownAt(10, 1);
  P.KeyDownAt(20, 3);
  P.MouseMoveAt(20, 7, 8);
  TPlatformEvent E;
  EXPECT_FALSE(P.PollEvent(E));  // nothing is due at 0
  std::vector<int> Seen;
  while (P.PendingEvents() > 0) {
    P.WaitEvent(-1);
    while (P.PollEvent(E)) Seen.push_back(E.Kind == TPlatformEvent::TKind::KeyDown ? E.Key : E.X * 10 + E.Y);
  }
  EXPECT_EQ(Seen, (std::vector<int>{1, 2, 3, 78}));
  EXPECT_DOUBLE_EQ(P.ManualClock().NowMs(), 20.0);
}

TEST(HeadlessPlatform, WaitingStopsAtTheTimeout) {
  THeadlessPlatform P;
  P.KeyDownAt(100, 1);
  P.WaitEvent(30);
  EXPECT_DOUBLE_EQ(P.ManualClock().NowMs(), 30.0);
  TPlatformEvent E;
  EXPECT_FALSE(P.PollEvent(E));
  P.WaitEvent(500);
  EXPECT_DOUBLE_EQ(P.ManualClock().NowMs(), 100.0);
  EXPECT_TRUE(P.PollEvent(E));
}

TEST(HeadlessPlatform, WaitingForeverOnNothingEndsTheRun) {
  THeadlessPlatform P;
  P.WaitEvent(-1);
  TPlatformEvent E;
  ASSERT_TRUE(P.PollEvent(E));
  EXPECT_EQ(E.Kind, TPlatformEvent::TKind::Quit);
}

TEST(HeadlessPlatform, DesktopCaptureHasTheScreensSizeAndPicture) {
  THeadlessPlatform P(4, 3);
  TBitmap B;
  ASSERT_TRUE(P.CaptureDesktop(B));
  EXPECT_EQ(B.Width(), 4);
  EXPECT_EQ(B.Height(), 3);
  EXPECT_EQ(B.ScanLine(2)[15], 0);  // black by default
  P.Desktop().SetSize(2, 5, TPixelFormat::pf32bit);  // smaller than the screen one way
  std::memset(P.Desktop().ScanLine(1), 0xAB, 8);
  ASSERT_TRUE(P.CaptureDesktop(B));
  EXPECT_EQ(B.ScanLine(1)[7], 0xAB);
  EXPECT_EQ(B.ScanLine(1)[8], 0);
  EXPECT_EQ(B.ScanLine(0)[0], 0);
}

TEST(HeadlessPlatform, ResourcesAndMessagesAreKept) {
  THeadlessPlatform P;
  P.AddResource("glowdb", {1, 2, 3});
  const void* Data = nullptr;
  std::int64_t Size = 0;
  ASSERT_TRUE(P.FindResource("glowdb", Data, Size));
  EXPECT_EQ(Size, 3);
  EXPECT_EQ(static_cast<const std::uint8_t*>(Data)[2], 3);
  EXPECT_FALSE(P.FindResource("other", Data, Size));
  P.MessageBox("Failed", "Error");
  EXPECT_EQ(P.Messages(), (std::vector<std::string>{"Error: Failed"}));
}

}  // namespace
}  // namespace qel
