#include <gtest/gtest.h>

#include "tests/app/ProgramRun.h"

namespace qel {
namespace {

TEST(Modes, SecondCharacterCOpensTheConfigurationPanel) {
  for (const char* Arg : {"/c", "/C", "/C:1234", "/c:99", "xc", "-C"}) {
    TProgramRun R;
    R.Run(Arg, 3000);
    EXPECT_FALSE(R.EndedBefore(3000)) << Arg;
    EXPECT_TRUE(R.Form->RunMode) << Arg;
    EXPECT_TRUE(R.Form->Panel1->Visible()) << Arg;
    const TWindowParams& W = R.Window();
    EXPECT_EQ(W.BorderStyle, TBorderStyle::bsSingle);
    EXPECT_FALSE(W.BorderIcons);
    EXPECT_TRUE(W.CursorVisible);
    EXPECT_EQ(W.ClientWidth, 401);
    EXPECT_EQ(W.ClientHeight, 282);
    EXPECT_EQ(W.Left, (800 - 401) / 2);  // centred on the desktop
    EXPECT_EQ(W.Top, (600 - 282) / 2);
    EXPECT_EQ(R.Form->Wave.LayerCount, 0) << "no wave is made for the panel";
  }
}

TEST(Modes, PreviewNoArgumentAndAnythingElseEndAtOnce) {
  for (const char* Arg : {"/p", "/P", "", "/", "c", "s", "/s:1", "/S ", "s/", "-s", "/ps"}) {
    TProgramRun R;
    int Frames = 0;
    R.Run(Arg, 5000, [&](TMainForm& F) { F.Timer->SetOnTimer([&](TObject*) { ++Frames; }); });
    EXPECT_EQ(R.EndMs, 0.0) << "'" << Arg << "'";
    EXPECT_FALSE(R.Form->RunMode) << Arg;
    EXPECT_EQ(Frames, 0) << Arg;
    EXPECT_FALSE(R.Window().Visible) << "'" << Arg << "' showed its window";
    EXPECT_EQ(R.Form->Wave.LayerCount, 0) << Arg;
  }
}

TEST(Modes, ConfigurationPanelHasItsControls) {
  TProgramRun R;
  R.Run("/c", 10);
  TMainForm& F = *R.Form;
  EXPECT_EQ(F.Panel1->Parent(), &F);
  EXPECT_EQ(F.Panel1->Left(), 8);
  EXPECT_EQ(F.Panel1->Width(), 385);
  EXPECT_EQ(F.Label1->Parent(), F.Panel1);
  EXPECT_EQ(F.Label1->Caption(), "No Options - Sorry!");
  EXPECT_TRUE(F.Label1->Font().Bold);
  EXPECT_EQ(F.Label2->Caption(), "QEL Wave");
  EXPECT_EQ(F.Label2->Font().Height, 32);
  EXPECT_EQ(F.Button1->Caption(), "close");
  EXPECT_EQ(F.Button1->TabOrder(), 0);
  EXPECT_EQ(F.Button1->Font().Height, 11);
  // Owned components in their stored order.
  const char* Names[] = {"Panel1", "Label1", "Label2", "Button1", "D",           "Timer",
                         "C",      "Tex",    "Db",     "Font",    "ExitTimer", "ChangeTimer"};
  ASSERT_EQ(F.ComponentCount(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(F.Components(i)->Name(), Names[i]);
  // The canvas, the images and the fonts hear the device; the fonts draw on the canvas.
  EXPECT_EQ(F.C->Publisher(), F.D);
  EXPECT_EQ(F.Tex->Publisher(), F.D);
  EXPECT_EQ(F.Font->Publisher(), F.D);
  EXPECT_EQ(F.Font->Canvas(), F.C);
  EXPECT_FALSE(F.C->AlphaTesting());
  EXPECT_EQ(F.C->VertexCache(), 4096);
  EXPECT_TRUE(F.C->Antialias());
  EXPECT_FALSE(F.C->Dithering());
  EXPECT_FALSE(F.Tex->MipMappping());
  EXPECT_EQ(F.Db->OpenMode(), opReadOnly);
  // The device keeps its stored settings outside run mode.
  EXPECT_EQ(F.D->Width(), 800);
  EXPECT_EQ(F.D->Height(), 600);
  EXPECT_EQ(F.D->BitDepth(), bdHigh);
  EXPECT_TRUE(F.D->Windowed());
  EXPECT_FALSE(F.D->VSync());
  EXPECT_FALSE(F.D->HardwareTL());
  EXPECT_FALSE(F.D->DepthBuffer());
  EXPECT_EQ(F.D->WindowHandle(), 0u);
}

TEST(Modes, CloseButtonEndsTheConfigurationPanelAndTheMouseNever) {
  TProgramRun R;
  for (int i = 0; i < 40; ++i) R.Platform.MouseMoveAt(1100 + i * 50, (i % 2) * 700, (i % 3) * 500);
  R.Run("/C:1234", 20'000, [](TMainForm& F) {
    auto* Click = Create<TTimer>(&F);
    Click->SetInterval(4321);
    Click->SetOnTimer([&F](TObject*) { F.Button1->Click(); });
  });
  EXPECT_GE(R.EndMs, 4321.0);
  EXPECT_LT(R.EndMs, 4400.0);
  EXPECT_EQ(R.Form->MouseX, 700);  // movements are still recorded
}

}  // namespace
}  // namespace qel
