#pragma once
#include <cstdint>

#include "framework/Controls.h"
#include "framework/Events.h"
#include "framework/Platform.h"

namespace qel {

enum class TPosition { poDesigned, poDesktopCenter, poScreenCenter };

// A top-level window with its controls. The window itself is made by the platform when the
// form first needs it (Handle or Show).
class TForm : public TControl {
 public:
  explicit TForm(TComponent* Owner);
  ~TForm() override;

  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetClientSize(int Width, int Height) { SetBounds(Left(), Top(), Width, Height); }

  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  bool BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(bool Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TColor Color() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  bool CursorVisible() const { return FCursorVisible; }
  void SetCursorVisible(bool Value);

  const TNotifyEvent& OnCreate() const { return FOnCreate; }
  void SetOnCreate(TNotifyEvent Value) { FOnCreate = std::move(Value); }
  const TNotifyEvent& OnShow() const { return FOnShow; }
  void SetOnShow(TNotifyEvent Value) { FOnShow = std::move(Value); }
  const TKeyEvent& OnKeyDown() const { return FOnKeyDown; }
  void SetOnKeyDown(TKeyEvent Value) { FOnKeyDown = std::move(Value); }
  const TMouseMoveEvent& OnMouseMove() const { return FOnMouseMove; }
  void SetOnMouseMove(TMouseMoveEvent Value) { FOnMouseMove = std::move(Value); }
  // Where the pointer rests when the window first learns it (TPlatformEvent's MouseEnter).
  const TMouseMoveEvent& OnMouseEnter() const { return FOnMouseEnter; }
  void SetOnMouseEnter(TMouseMoveEvent Value) { FOnMouseEnter = std::move(Value); }
  const TNotifyEvent& OnResize() const { return FOnResize; }
  void SetOnResize(TNotifyEvent Value) { FOnResize = std::move(Value); }

  // The platform window; made on first use.
  TWindowHandle Handle();
  bool HandleAllocated() const { return FHandle != 0; }
  // Destroys the platform window now; it is made again on next use.
  void DestroyHandle();

  void Show();
  // Closing the main form ends the application; another form is hidden.
  void Close();

  // Called once the form is constructed and its stored settings applied (fires OnCreate).
  void DoCreate();
  // Input from the platform.
  void KeyDown(std::uint16_t Key, TShiftState Shift);
  void MouseMove(TShiftState Shift, int X, int Y);
  void MouseEnter(int X, int Y);
  // The platform clicked one of the form's controls (an Id of TControlParams).
  void ControlClicked(std::uintptr_t Id);
  // The platform gave the window a new client size (fires OnResize).
  void Resized(int Width, int Height);

 protected:
  void Changed() override { UpdateWindow(); }

 private:
  TWindowParams Params() const;
  void UpdateWindow();

  TBorderStyle FBorderStyle = TBorderStyle::bsSizeable;
  bool FBorderIcons = true;
  TPosition FPosition = TPosition::poDesigned;
  TColor FColor = clBtnFace;
  bool FCursorVisible = true;
  bool FShown = false;
  bool FClosed = false;  // Close was called since the last Show
  TWindowHandle FHandle = 0;
  bool FResizing = false;
  TNotifyEvent FOnCreate, FOnShow, FOnResize;
  TKeyEvent FOnKeyDown;
  TMouseMoveEvent FOnMouseMove, FOnMouseEnter;
};

}  // namespace qel
