#include "platform/wayland/BufferCanvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace qel::wl {
namespace {

// The panel's controls drawn into memory of a window 120 x 60, rows padded to 128 pixels.
struct TPicture {
  static constexpr int Width = 120, Height = 60, Pitch = 128;
  std::vector<std::uint32_t> Pixels = std::vector<std::uint32_t>(Pitch * (Height + 1), 0xDEADBEEF);
  int Shown = 0;
  TBufferCanvas Canvas{[this](int W, int H, int& P) {
                         EXPECT_EQ(W, Width);
                         EXPECT_EQ(H, Height);
                         P = Pitch;
                         return Pixels.data();
                       },
                       [this] { ++Shown; }};
  std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Pitch + X]; }
};

TWindowParams PanelWithButtons() {
  TWindowParams W;
  W.ClientWidth = TPicture::Width;
  W.ClientHeight = TPicture::Height;
  TControlParams Close;
  Close.Kind = TControlKind::ckButton;
  Close.Id = 7;
  Close.Left = 10, Close.Top = 10, Close.Width = 50, Close.Height = 25;
  Close.Caption = "close";
  Close.TabOrder = 1;
  TControlParams Other = Close;
  Other.Id = 8;
  Other.Left = 70, Other.Width = 40;
  Other.TabOrder = -1;  // takes no focus
  W.Controls = {Close, Other};
  return W;
}

TEST(ControlLooks, FocusAndHitsFollowTheButtonsBounds) {
  const TWindowParams W = PanelWithButtons();
  ASSERT_NE(posix::FocusedButton(W), nullptr);
  EXPECT_EQ(posix::FocusedButton(W)->Id, 7u);
  EXPECT_EQ(posix::ButtonAt(W, 10, 10)->Id, 7u);
  EXPECT_EQ(posix::ButtonAt(W, 59, 34)->Id, 7u);
  EXPECT_EQ(posix::ButtonAt(W, 60, 20), nullptr);  // right and bottom edges are outside
  EXPECT_EQ(posix::ButtonAt(W, 20, 35), nullptr);
  EXPECT_EQ(posix::ButtonAt(W, 70, 20)->Id, 8u);
}

TEST(ControlLooks, ButtonsAreRaisedOrPressedAndTheFocusedOneIsDotted) {
  TPicture P;
  const TWindowParams W = PanelWithButtons();
  posix::PaintControls(P.Canvas, W, 0);
  EXPECT_EQ(P.Shown, 1);
  EXPECT_EQ(P.At(0, 0), posix::ButtonFace);
  EXPECT_EQ(P.At(10, 10), 0xFFFFFFu);  // raised: light top-left
  EXPECT_EQ(P.At(59, 34), 0x696969u);  // dark bottom-right
  EXPECT_EQ(P.At(13, 13), 0x000000u);  // the focus rectangle's first dot
  EXPECT_EQ(P.At(73, 13), posix::ButtonFace);  // none on the other button
  EXPECT_EQ(P.At(0, TPicture::Height), 0xDEADBEEFu);  // nothing beyond the window
  EXPECT_EQ(P.At(TPicture::Width, 0), 0xDEADBEEFu);
  // The caption is drawn inside the button.
  int Dark = 0;
  for (int Y = 12; Y < 33; ++Y)
    for (int X = 16; X < 55; ++X) Dark += P.At(X, Y) < 0x404040u;
  EXPECT_GT(Dark, 20);

  posix::PaintControls(P.Canvas, W, 7);
  EXPECT_EQ(P.At(10, 10), 0x696969u);  // pressed: dark top-left
  EXPECT_EQ(P.At(59, 34), 0xFFFFFFu);
}

TEST(ControlLooks, DrawingOutsideThePictureIsClipped) {
  TPicture P;
  P.Canvas.Begin(TPicture::Width, TPicture::Height);
  P.Canvas.Fill(-5, -5, 1000, 1000, 0x123456);
  P.Canvas.Text(TPicture::Width - 5, TPicture::Height - 5, "WWWW", TFont{});
  P.Canvas.Text(-30, -30, "WWWW", TFont{});
  P.Canvas.End();
  EXPECT_EQ(P.At(0, TPicture::Height - 1), 0x123456u);
  for (int X = TPicture::Width; X < TPicture::Pitch; ++X) EXPECT_EQ(P.At(X, 0), 0xDEADBEEFu);
  EXPECT_EQ(P.At(0, TPicture::Height), 0xDEADBEEFu);
}

}  // namespace
}  // namespace qel::wl
