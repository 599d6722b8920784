#pragma once
#include <map>
#include <string>
#include <vector>

#include "framework/Component.h"
#include "framework/Events.h"
#include "framework/Forms.h"
#include "framework/Platform.h"

namespace qel {

class TTimer;

// The application: owns the forms, runs the message loop on its platform and calls OnIdle
// whenever nothing is pending. There is one per process, reachable as `Application`.
class TApplication : public TComponent {
 public:
  // Makes this the process's application and the platform's clock the process clock.
  explicit TApplication(TPlatform& Platform);
  ~TApplication() override;

  void Initialize() {}
  const std::string& Title() const { return FTitle; }
  void SetTitle(std::string Value) { FTitle = std::move(Value); }

  // Creates a form owned by the application; the first one becomes the main form.
  template <class T, class... Args>
  T* CreateForm(Args&&... args) {
    T* Form = Create<T>(this, std::forward<Args>(args)...);
    Form->DoCreate();
    if (!FMainForm) FMainForm = Form;
    return Form;
  }
  TForm* MainForm() const { return FMainForm; }

  // Shows the main form, then dispatches events until Terminate.
  void Run();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Dispatches everything pending, without idling or waiting.
  void ProcessMessages();

  const TIdleEvent& OnIdle() const { return FOnIdle; }
  void SetOnIdle(TIdleEvent Value) { FOnIdle = std::move(Value); }

  TPlatform& Platform() { return FPlatform; }

  // Bookkeeping for timers and windows.
  void RegisterTimer(TTimer* Timer);
  void UnregisterTimer(TTimer* Timer);
  void RegisterWindow(TWindowHandle Handle, TForm* Form) { FWindows[Handle] = Form; }
  void UnregisterWindow(TWindowHandle Handle) { FWindows.erase(Handle); }

 private:
  bool ProcessMessage();
  void Idle();
  void Dispatch(const TPlatformEvent& Event);
  bool FireDueTimer();

  TPlatform& FPlatform;
  std::string FTitle;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  TIdleEvent FOnIdle;
  std::vector<TTimer*> FTimers;
  std::map<TWindowHandle, TForm*> FWindows;
};

// The process's application, or nullptr when none exists.
extern TApplication* Application;

}  // namespace qel
