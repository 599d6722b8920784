#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "engine/device/FrameReadBack.h"
#include "tests/app/SaverOnSoftDevice.h"

namespace qel {
namespace {

// The set-up's calls into the platform, in their order.
class TRecordingPlatform : public THeadlessPlatform {
 public:
  using THeadlessPlatform::THeadlessPlatform;
  std::vector<std::string> Log;
  bool FailCapture = false;

  bool FindResource(const std::string& Name, const void*& Data, std::int64_t& Size) override {
    Log.push_back("resource " + Name);
    return THeadlessPlatform::FindResource(Name, Data, Size);
  }
  bool CaptureDesktop(TBitmap& Bitmap) override {
    Log.push_back("capture");
    return !FailCapture && THeadlessPlatform::CaptureDesktop(Bitmap);
  }
  TWindowHandle CreateWindow(const TWindowParams& P) override {
    Log.push_back("window " + std::to_string(P.Left) + "," + std::to_string(P.Top) + " " +
                  std::to_string(P.ClientWidth) + "x" + std::to_string(P.ClientHeight) +
                  (P.CursorVisible ? " cursor" : " no cursor") + " devices " +
                  std::to_string(soft::CallLog().Count("CreateDevice")));
    return THeadlessPlatform::CreateWindow(P);
  }
};

struct TRecordedRun {
  explicit TRecordedRun(int W, int H) : Platform(W, H) { soft::ResetControls(); }
  ~TRecordedRun() { UnfixRandomizeSeed(); }
  TMainForm* Run(double LimitMs, const std::function<void(TMainForm&)>& Prepare = {}) {
    Platform.QuitAt(LimitMs);
    RunProgram(App, "/s", [&](TMainForm& F) {
      Form = &F;
      if (Prepare) Prepare(F);
    });
    return Form;
  }
  TRecordingPlatform Platform;
  TApplication App{Platform};
  TMainForm* Form = nullptr;
};

// A desktop of every shade, so quantisation and placement both show.
void PaintDesktop(TBitmap& B, int W, int H) {
  B.SetSize(W, H, TPixelFormat::pf32bit);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X)
      reinterpret_cast<std::uint32_t*>(B.ScanLine(Y))[X] =
          static_cast<std::uint32_t>((X * 7 + Y) & 0xFF) << 16 | static_cast<std::uint32_t>((Y * 5) & 0xFF) << 8 |
          static_cast<std::uint32_t>((X * 3 + Y * 11) & 0xFF);
}

std::uint32_t Quantised(std::uint32_t V, int Bits) {
  const std::uint32_t Q = V >> (8 - Bits);
  return (Q << (8 - Bits)) | (Q >> (2 * Bits - 8));
}

// The primitives of each draw call of the frames so far.
std::vector<std::uint64_t> DrawnPrimitives() {
  std::vector<std::uint64_t> Counts;
  for (const soft::TCall& C : soft::CallLog().Named("DrawIndexedPrimitive")) Counts.push_back(C.Arg(5));
  return Counts;
}

TEST(RunMode, SlashSInEitherCaseRunsTheSaverOverTheWholeScreen) {
  for (const char* Arg : {"/s", "/S"}) {
    TSaverRun R(1024, 768);
    R.Run(Arg, 100);
    EXPECT_FALSE(R.EndedBefore(100)) << Arg;
    EXPECT_TRUE(R.Form->RunMode);
    EXPECT_FALSE(R.Form->Panel1->Visible());
    EXPECT_EQ(R.App.Title(), "QEL Wave");
    const TWindowParams& W = R.Window();
    EXPECT_EQ(W.BorderStyle, TBorderStyle::bsNone);
    EXPECT_FALSE(W.BorderIcons);
    EXPECT_FALSE(W.CursorVisible);
    EXPECT_TRUE(W.Visible);
    EXPECT_EQ(W.Left, 0);
    EXPECT_EQ(W.Top, 0);
    EXPECT_EQ(W.ClientWidth, 1024);
    EXPECT_EQ(W.ClientHeight, 768);
    EXPECT_TRUE(R.Form->D->Initialized());
    EXPECT_EQ(R.Form->D->Width(), 1024);
    EXPECT_EQ(R.Form->D->Height(), 768);
    // One pattern of the screen's size on one texture of that size, 16 bits without alpha.
    const TGlowImage& Desk = *R.Form->DesktopImage;
    EXPECT_EQ(Desk.PatternCount(), 1);
    EXPECT_EQ(Desk.TextureCount(), 1);
    EXPECT_EQ(Desk.Size(), (TPoint{1024, 768}));
    EXPECT_EQ(Desk.Format(), D3DFMT_R5G6B5);
    EXPECT_EQ(R.Form->Font->Count(), 2);
    EXPECT_NE(R.Form->Tex->Find("bg"), nullptr);
    EXPECT_NE(R.Form->Tex->Find("tex"), nullptr);
    EXPECT_EQ(R.Form->Wave.LayerCount, 6);
    EXPECT_EQ(R.Form->Wave.FadeState, fsFadingIn);
    EXPECT_EQ(R.Form->Wave.ColorTable, WaveColors);
    EXPECT_LT(R.Form->Wave.Fade, 0.0);
    EXPECT_EQ(R.Form->Wave.Layers[0].Origin.Y, 384.0f);
  }
}

TEST(RunMode, SetUpRunsInItsOrder) {
  TRecordedRun R(96, 64);
  TMainForm* F = R.Run(0);
  // The archive, then the desktop, then a full-screen window without a cursor, made for the
  // device before the device exists.
  EXPECT_EQ(R.Platform.Log, (std::vector<std::string>{"resource glowdb", "capture",
                                                       "window 0,0 96x64 no cursor devices 0"}));
  // Fonts, then images, then the desktop picture: the last texture made.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> Textures;
  for (const soft::TCall& C : soft::CallLog().Named("CreateTexture")) Textures.push_back({C.Arg(0), C.Arg(1)});
  ASSERT_GE(Textures.size(), 5u);
  EXPECT_EQ(Textures[Textures.size() - 3], (std::pair<std::uint64_t, std::uint64_t>{256, 256}));
  EXPECT_EQ(Textures[Textures.size() - 2], (std::pair<std::uint64_t, std::uint64_t>{32, 128}));
  EXPECT_EQ(Textures.back(), (std::pair<std::uint64_t, std::uint64_t>{96, 64}));
  EXPECT_EQ(F->Wave.Fade, -1.0);
  EXPECT_EQ(F->Wave.FadeState, fsFadingIn);
  EXPECT_TRUE(R.Platform.Messages().empty());
}

TEST(RunMode, AFailedDeviceStartIsReportedOnceAndEndsTheProgramWithoutAWindow) {
  TRecordedRun R(96, 64);
  soft::FailNext("CreateDevice", 2);  // the start and the one retry
  TMainForm* F = R.Run(5000);
  EXPECT_EQ(R.Platform.Messages(), (std::vector<std::string>{"QEL Wave: Failed to initialize Glow device!"}));
  EXPECT_LT(R.Platform.ManualClock().NowMs(), 1.0);
  EXPECT_FALSE(F->HandleAllocated());
  for (TWindowHandle H = 1; R.Platform.Window(H); ++H) EXPECT_FALSE(R.Platform.Window(H)->Alive) << H;
  // Nothing after the device start ran.
  EXPECT_EQ(F->Font->Count(), 0);
  EXPECT_EQ(F->Tex->Count(), 0);
  EXPECT_EQ(F->DesktopImage, nullptr);
  EXPECT_EQ(F->Wave.LayerCount, 0);
  EXPECT_EQ(soft::CallLog().Count("Present"), 0);
}

// Runs the saver on a painted desktop of the screen's size, keeping its first frame.
TFramePixels FirstFrameOnPaintedDesktop(TRecordedRun& R, int W, int H, double LimitMs) {
  PaintDesktop(R.Platform.Desktop(), W, H);
  TFramePixels First;
  R.Run(LimitMs, [&](TMainForm& F) {
    F.SetOnFrameRendered([&](TObject*) {
      if (First.Width == 0) {
        EXPECT_TRUE(ReadBackFrame(First));
      }
    });
  });
  return First;
}

// The frame shows the desktop picture as 16-bit R5G6B5 texels.
void ExpectDesktopIn(const TFramePixels& Frame, const TBitmap& Desktop) {
  ASSERT_EQ(Frame.Width, Desktop.Width());
  ASSERT_EQ(Frame.Height, Desktop.Height());
  for (int Y = 0; Y < Frame.Height; ++Y)
    for (int X = 0; X < Frame.Width; ++X) {
      const std::uint32_t Want = reinterpret_cast<const std::uint32_t*>(Desktop.ScanLine(Y))[X];
      const std::uint32_t Got = Frame.At(X, Y);
      const int Bits[3] = {5, 6, 5};
      for (int c = 0; c < 3; ++c) {
        const int Shift = 16 - 8 * c;
        const int Expected = static_cast<int>(Quantised((Want >> Shift) & 0xFF, Bits[c]));
        ASSERT_NEAR(static_cast<int>((Got >> Shift) & 0xFF), Expected, 1) << X << "," << Y << " channel " << c;
      }
    }
}

TEST(RunMode, TheFirstFrameIsTheDesktopAsA16BitPicture) {
  TRecordedRun R(96, 64);
  ExpectDesktopIn(FirstFrameOnPaintedDesktop(R, 96, 64, 5), R.Platform.Desktop());
}

// From one pixel to the longest side the device takes, the saver runs and shows the whole
// desktop. A screen one pixel beyond the device's largest back buffer (16384 a side) cannot
// be drawn on: the start is refused, reported once, and the program ends at once, without
// a window, a texture or a picture of the screen's size (which a bitmap does not take
// beyond 1 GiB). A full 16384 x 16384 screen takes 2 GiB (picture and back buffer): it is
// left out here.
TEST(RunMode, ScreensFromOnePixelToTheLargestBackBufferRunAndLargerOnesEndWithTheMessage) {
  struct TSize {
    int W, H;
  };
  for (const TSize S : {TSize{1, 1}, TSize{2, 1}, TSize{1, 2}, TSize{3, 5}, TSize{16384, 1}, TSize{1, 16384}}) {
    TRecordedRun R(S.W, S.H);
    const TFramePixels First = FirstFrameOnPaintedDesktop(R, S.W, S.H, 100);
    const std::string Size = std::to_string(S.W) + "x" + std::to_string(S.H);
    EXPECT_TRUE(R.Platform.Messages().empty()) << Size;
    EXPECT_EQ(R.Platform.ManualClock().NowMs(), 100.0) << Size;
    ASSERT_TRUE(R.Form->DesktopImage) << Size;
    EXPECT_EQ(R.Form->DesktopImage->State(), tsReady) << Size;
    EXPECT_EQ(R.Form->DesktopImage->Size(), (TPoint{S.W, S.H})) << Size;
    EXPECT_GE(soft::CallLog().Count("Present"), 9) << Size;  // 100 ms at up to 100 frames a second
    ExpectDesktopIn(First, R.Platform.Desktop());
  }
  for (const TSize S : {TSize{16385, 1}, TSize{1, 16385}, TSize{16385, 16385}, TSize{INT_MAX, INT_MAX}}) {
    TRecordedRun R(S.W, S.H);
    PaintDesktop(R.Platform.Desktop(), 64, 64);
    TMainForm* F = R.Run(5000);
    const std::string Size = std::to_string(S.W) + "x" + std::to_string(S.H);
    EXPECT_EQ(R.Platform.Messages(), (std::vector<std::string>{"QEL Wave: Failed to initialize Glow device!"})) << Size;
    EXPECT_LT(R.Platform.ManualClock().NowMs(), 1.0) << Size;
    EXPECT_FALSE(F->HandleAllocated()) << Size;
    EXPECT_EQ(soft::CallLog().Count("CreateTexture"), 0) << Size;
    for (const soft::TCall& C : soft::CallLog().Named("CreateDevice")) EXPECT_EQ(C.Result, D3DERR_INVALIDCALL) << Size;
  }
}

TEST(RunMode, AFailedCaptureGivesABlackDesktopAndTheSaverRuns) {
  TRecordedRun R(48, 32);
  PaintDesktop(R.Platform.Desktop(), 48, 32);
  R.Platform.FailCapture = true;
  TFramePixels First;
  TMainForm* F = R.Run(50, [&](TMainForm& F) {
    F.SetOnFrameRendered([&](TObject*) {
      if (First.Width == 0) ReadBackFrame(First);
    });
  });
  ASSERT_NE(F->DesktopImage, nullptr);
  ASSERT_EQ(First.Width, 48);
  for (std::uint32_t P : First.Pixels) ASSERT_EQ(P & 0xFFFFFF, 0u);
  EXPECT_GT(soft::CallLog().Count("Present"), 1);
}

TEST(RunMode, FramesFollowANewWindowSize) {
  TRecordedRun R(48, 32);
  R.Platform.ResizeAt(30, 64, 40);
  TFramePixels Last;
  TMainForm* F = R.Run(60, [&](TMainForm& F) { F.SetOnFrameRendered([&](TObject*) { ReadBackFrame(Last); }); });
  EXPECT_EQ(F->D->Width(), 64);
  EXPECT_EQ(F->D->Height(), 40);
  EXPECT_EQ(Last.Width, 64);
  EXPECT_EQ(Last.Height, 40);
}

TEST(RunMode, AScreenBeyondTheLargestTextureRunsWithoutTheDesktopPicture) {
  TSaverRun R(600, 40);
  soft::Adapter().MaxTextureWidth = 512;
  R.Run("/s", 50);
  EXPECT_FALSE(R.EndedBefore(50));
  ASSERT_NE(R.Form->DesktopImage, nullptr);
  EXPECT_EQ(R.Form->DesktopImage->State(), tsNone);
  // Tint, clouds, ribbons: no desktop quad.
  const auto Counts = DrawnPrimitives();
  ASSERT_GE(Counts.size(), 3u);
  EXPECT_EQ(std::vector<std::uint64_t>(Counts.begin(), Counts.begin() + 3), (std::vector<std::uint64_t>{2, 2, 6 * 16 * 2}));
}

// Three full-screen quads, then the ribbons of all six layers in one batch: 26 quads per
// layer at 1024 pixels. The frame-rate readout ("FPS:0", five glyphs, before the first
// measurement) lies between the desktop and the ribbons. Missing images are left out and the
// frame is still drawn.
TEST(RunMode, EveryFrameHasItsLayersAndMissingImagesAreLeftOut) {
  struct TCase {
    const char* Remove;
    bool ShowFPS;
    std::vector<std::uint64_t> Primitives;
  };
  for (const TCase& Case : {TCase{"", false, {2, 2, 2, 6 * 26 * 2}}, TCase{"", true, {2, 2, 2, 5 * 2, 6 * 26 * 2}},
                            TCase{"bg", false, {2, 2, 6 * 26 * 2}}, TCase{"tex", false, {2, 2, 2}}}) {
    TSaverRun R(1024, 64);
    R.Run("/s", 0);
    TMainForm& F = *R.Form;
    if (*Case.Remove) F.Tex->Remove(F.Tex->IndexOf(F.Tex->Find(Case.Remove)));
    F.ShowFPS = Case.ShowFPS;
    soft::CallLog().Clear();
    F.TimerTimer(F.Timer);
    EXPECT_EQ(DrawnPrimitives(), Case.Primitives) << Case.Remove << Case.ShowFPS;
    EXPECT_EQ(soft::CallLog().Count("Present"), 1) << Case.Remove;
  }
}

// Ribbons without light add nothing: until the wave shows, the frame is the same with and
// without them.
TEST(RunMode, RibbonsGiveNoLightUntilTheWaveShows) {
  TSaverRun R(256, 128);
  PaintDesktop(R.Platform.Desktop(), 256, 128);
  R.Run("/s", 0);
  TMainForm& F = *R.Form;
  TFramePixels With, Without;
  F.SetOnFrameRendered([&](TObject*) { ReadBackFrame(F.Wave.LayerCount ? With : Without); });
  for (double Fade : {-1.0, -0.3, 0.0}) {
    F.Wave.Fade = Fade;
    F.Wave.FadeState = fsSteady;
    F.TimerTimer(F.Timer);
    const auto Layers = F.Wave.LayerCount;
    F.Wave.LayerCount = 0;
    F.TimerTimer(F.Timer);
    F.Wave.LayerCount = Layers;
    EXPECT_EQ(With.Pixels, Without.Pixels) << Fade;
  }
  // And with light the ribbons show.
  F.Wave.Fade = 1.0;
  F.TimerTimer(F.Timer);
  const auto Layers = F.Wave.LayerCount;
  F.Wave.LayerCount = 0;
  F.TimerTimer(F.Timer);
  F.Wave.LayerCount = Layers;
  EXPECT_NE(With.Pixels, Without.Pixels);
}

}  // namespace
}  // namespace qel
