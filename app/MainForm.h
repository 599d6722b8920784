#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/WaveState.h"
#include "engine/archive/GlowDb.h"
#include "engine/device/GlowDevices.h"
#include "engine/device/GlowTimers.h"
#include "engine/draw/GlowCanvas.h"
#include "engine/draw/GlowFonts.h"
#include "engine/images/GlowImage.h"
#include "engine/images/GlowImages.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Timer.h"

namespace qel {

// Virtual-key codes the exit rules look at.
constexpr std::uint16_t vkEscape = 27;
constexpr std::uint16_t vkSpace = 32;

// The screensaver's one form. The screensaver host's first command-line argument decides
// the mode: "/s" or "/S" runs the saver, a second character 'c' or 'C' shows the
// configuration panel, anything else ends the program as soon as the form is shown.
class TMainForm : public TForm {
 public:
  TMainForm(TComponent* Owner, std::string FirstArgument);

  // Components, in the order they are created.
  TPanel* Panel1 = nullptr;
  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TButton* Button1 = nullptr;
  TGlowDevice* D = nullptr;
  TGlowTimer* Timer = nullptr;
  TGlowCanvas* C = nullptr;
  TGlowImages* Tex = nullptr;
  TGlowDb* Db = nullptr;
  TGlowFonts* Font = nullptr;
  TTimer* ExitTimer = nullptr;
  TTimer* ChangeTimer = nullptr;

  // Handlers.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  // Where the pointer rests when the window learns it only later than it appears: recorded as
  // the move a window gets when it appears under the pointer, never ending the saver.
  void FormMouseEnter(TObject* Sender, TShiftState Shift, int X, int Y);
  // The window got a new size from outside (a host's window, a new screen size).
  void FormResize(TObject* Sender);
  void ExitTimerTimer(TObject* Sender);
  void Button1Click(TObject* Sender);
  void TimerTimer(TObject* Sender);
  void DRender(TObject* Sender);
  void TimerProcess(TObject* Sender);
  void ChangeTimerTimer(TObject* Sender);

  // Starts a new random wave, fading in.
  void NewWave();

  // The wave model.
  TWaveState Wave;
  // The desktop as it was when the saver started; not loaded when the screen is larger than
  // the device's largest texture (then it is not drawn).
  std::unique_ptr<TGlowImage> DesktopImage;

  // Called in every frame event after the frame is drawn and before the processing steps and
  // the presentation: the back buffer holds the finished frame, the wave state is the one it
  // was drawn from. Off-screen renderers read the frame back here.
  const TNotifyEvent& OnFrameRendered() const { return FOnFrameRendered; }
  void SetOnFrameRendered(TNotifyEvent Value) { FOnFrameRendered = std::move(Value); }

  // State of the exit rules.
  bool RunMode = false;    // run or configuration mode chosen; otherwise FormShow ends
  bool ExitArmed = false;  // one second after creation: other keys and the mouse end the saver
  // A debug switch, off in the shipped programs: shows the frame rate, and only Escape ends
  // the saver. Tests and wave-render --fps-readout turn it on.
  bool ShowFPS = false;
  std::int32_t MouseX = 0, MouseY = 0;
  std::int32_t PrevMouseX = 0, PrevMouseY = 0;

 private:
  void RunModeSetUp();

  std::string FFirstArgument;
  TNotifyEvent FOnFrameRendered;
};

}  // namespace qel
