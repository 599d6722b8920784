#pragma once
#include <cstdint>
#include <string>

#include "app/WaveState.h"
#include "engine/device/GlowDevices.h"
#include "engine/device/GlowTimers.h"
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
  TTimer* ExitTimer = nullptr;
  TTimer* ChangeTimer = nullptr;

  // Handlers.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormKeyDown(TObject* Sender, std::uint16_t& Key, TShiftState Shift);
  void FormMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void ExitTimerTimer(TObject* Sender);
  void Button1Click(TObject* Sender);
  void TimerTimer(TObject* Sender);
  void TimerProcess(TObject* Sender);
  void ChangeTimerTimer(TObject* Sender);

  // Starts a new random wave, fading in.
  void NewWave();

  // The wave model.
  TWaveState Wave;

  // State of the exit rules.
  bool RunMode = false;    // run or configuration mode chosen; otherwise FormShow ends
  bool ExitArmed = false;  // one second after creation: other keys and the mouse end the saver
  // A debug switch fixed when the program is built: shows the frame rate, and only Escape
  // ends the saver.
  static constexpr bool ShowFPS = false;
  std::int32_t MouseX = 0, MouseY = 0;
  std::int32_t PrevMouseX = 0, PrevMouseY = 0;

 private:
  void RunModeSetUp();

  std::string FFirstArgument;
};

}  // namespace qel
