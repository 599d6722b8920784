#include "platform/unix/MessageBoxLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace qel::posix {
namespace {

// A picture in memory; text is recorded, not drawn.
class TPixelCanvas : public TControlCanvas {
 public:
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;
  std::vector<std::tuple<int, int, std::string>> Texts;

  std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y * Width + X)]; }
  void Begin(int W, int H) override {
    Width = W, Height = H;
    Pixels.assign(static_cast<std::size_t>(W * H), ButtonFace);
    Texts.clear();
  }
  void Fill(int X, int Y, int W, int H, std::uint32_t Rgb) override {
    for (int Row = std::max(Y, 0); Row < std::min(Y + H, Height); ++Row)
      for (int Col = std::max(X, 0); Col < std::min(X + W, Width); ++Col)
        Pixels[static_cast<std::size_t>(Row * Width + Col)] = Rgb;
  }
  void Text(int X, int Y, const std::string& Caption, const TFont&) override { Texts.emplace_back(X, Y, Caption); }
  int TextWidth(const std::string& Caption, const TFont&) override { return 7 * static_cast<int>(Caption.size()); }
  int TextHeight(const TFont&) override { return 14; }
  void End() override {}
};

TEST(MessageBoxLayout, WideEnoughForTheTextOrTheButtonWithCentredButton) {
  struct {
    int TextWidth, Width;
  } Cases[] = {{0, 107}, {30, 107}, {31, 107}, {32, 108}, {184, 260}, {-5, 107}};
  for (const auto& C : Cases) {
    const TMessageBoxLayout L = LayOutMessageBox(C.TextWidth);
    EXPECT_EQ(L.Width, C.Width) << C.TextWidth;
    EXPECT_EQ(L.Height, 99) << C.TextWidth;
    EXPECT_EQ(L.ButtonX * 2 + L.ButtonW, L.Width - (L.Width - L.ButtonW) % 2) << C.TextWidth;
    EXPECT_EQ(L.ButtonY + L.ButtonH + 12, L.Height) << C.TextWidth;
    EXPECT_GE(L.TextX, L.IconX + L.IconSize) << C.TextWidth;
    EXPECT_LE(L.TextX + std::max(C.TextWidth, 0) + 16, L.Width) << C.TextWidth;
  }
}

TEST(MessageBoxLayout, OnlyPointsOfTheButtonHitIt) {
  const TMessageBoxLayout L = LayOutMessageBox(184);
  const int X = L.ButtonX, Y = L.ButtonY, R = X + L.ButtonW - 1, B = Y + L.ButtonH - 1;
  struct {
    int X, Y;
    bool Hit;
  } Cases[] = {{X, Y, true},      {R, B, true},     {X - 1, Y, false}, {R + 1, Y, false},
               {X, Y - 1, false}, {X, B + 1, false}, {L.TextX, L.TextY, false}};
  for (const auto& C : Cases) EXPECT_EQ(L.OnButton(C.X, C.Y), C.Hit) << C.X << "," << C.Y;
}

TEST(MessageBoxLayout, PaintsTheMarkTheTextAndTheFocusedButton) {
  const TMessageBoxLayout L = LayOutMessageBox(7 * 5);
  TPixelCanvas Canvas;
  for (bool Pressed : {false, true}) {
    PaintMessageBox(Canvas, L, "Oops!", Pressed);
    ASSERT_EQ(Canvas.Width, L.Width);
    ASSERT_EQ(Canvas.Height, L.Height);
    const int Mid = L.IconSize / 2;
    // Red disc, white cross at its centre, face colour in the square's corners.
    EXPECT_EQ(Canvas.At(L.IconX + Mid, L.IconY + 2), 0xD32F2Fu);
    EXPECT_EQ(Canvas.At(L.IconX + 2, L.IconY + Mid), 0xD32F2Fu);
    EXPECT_EQ(Canvas.At(L.IconX + L.IconSize - 3, L.IconY + Mid), 0xD32F2Fu);
    EXPECT_EQ(Canvas.At(L.IconX + Mid, L.IconY + Mid), 0xFFFFFFu);
    EXPECT_EQ(Canvas.At(L.IconX + L.IconSize * 3 / 10, L.IconY + L.IconSize * 7 / 10), 0xFFFFFFu);
    EXPECT_EQ(Canvas.At(L.IconX, L.IconY), ButtonFace);
    EXPECT_EQ(Canvas.At(L.IconX + L.IconSize - 1, L.IconY + L.IconSize - 1), ButtonFace);
    // The button's outer edge: raised (light top-left) or pressed (dark top-left), with the dotted focus.
    EXPECT_EQ(Canvas.At(L.ButtonX, L.ButtonY), Pressed ? 0x696969u : 0xFFFFFFu) << Pressed;
    EXPECT_EQ(Canvas.At(L.ButtonX + 3, L.ButtonY + 3), 0x000000u);
    using T = std::tuple<int, int, std::string>;
    const int Shift = Pressed ? 1 : 0;
    EXPECT_EQ(Canvas.Texts, (std::vector<T>{T{L.TextX, L.TextY, "Oops!"},
                                            T{L.ButtonX + (L.ButtonW - 14) / 2 + Shift,
                                              L.ButtonY + (L.ButtonH - 14) / 2 + Shift, "OK"}}));
  }
}

}  // namespace
}  // namespace qel::posix
