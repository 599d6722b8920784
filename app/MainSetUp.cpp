#include <memory>

#include "app/MainForm.h"
#include "framework/Application.h"
#include "framework/Random.h"

namespace qel {

// Run mode: the artwork, a picture of the desktop, a window and a device of the screen's
// size, then the first wave. The screen size is asked for afresh at every use.
void TMainForm::RunModeSetUp() {
  if (!Application) return;
  TPlatform& Platform = Application->Platform();
  Randomize();

  // The archive keeps its stream for the rest of the run.
  const void* Data = nullptr;
  std::int64_t Size = 0;
  if (Platform.FindResource("glowdb", Data, Size)) Db->OpenStream(new TResourceStream(Data, Size));

  // A capture that fails leaves a black picture.
  TBitmap Desktop;
  Desktop.SetSize(Platform.ScreenSize().Width, Platform.ScreenSize().Height, TPixelFormat::pf32bit);
  if (!Platform.CaptureDesktop(Desktop))
    Desktop.SetSize(Platform.ScreenSize().Width, Platform.ScreenSize().Height, TPixelFormat::pf32bit);

  SetCursorVisible(false);
  SetBounds(0, 0, Platform.ScreenSize().Width, Platform.ScreenSize().Height);
  D->SetWidth(Platform.ScreenSize().Width);
  D->SetHeight(Platform.ScreenSize().Height);

  // A start refused once (a driver's passing failure, a device lost while it was made) is
  // tried once more before the saver gives up.
  if (!D->Initialize() && !D->Initialize()) {
    Platform.MessageBox("Failed to initialize Glow device!", Application->Title());
    // The program ends without ever showing its window.
    DestroyHandle();
    Application->Terminate();
    return;
  }

  Font->LoadFromGlowDb(*Db);
  Tex->LoadFromGlowDb(*Db);

  // Too large for the device's textures: the picture stays unloaded and is not drawn.
  const TPoint Screen{Platform.ScreenSize().Width, Platform.ScreenSize().Height};
  DesktopImage = std::make_unique<TGlowImage>();
  DesktopImage->SetQuality(qlMedium);
  DesktopImage->SetAlphaLevel(avNone);
  DesktopImage->SetPatternSize(Screen);
  DesktopImage->SetSize(Screen);
  DesktopImage->SetVisibleSize(Screen);
  DesktopImage->LoadFromBitmap(Desktop, false, 0, 0);

  Wave.ColorTable = WaveColors;
  NewWave();
  // The first wave opens on the desktop picture.
  Wave.Fade = -1.0;
}

}  // namespace qel
