#pragma once
#include <cstdint>
#include <string>

#include "framework/Component.h"
#include "framework/Events.h"

namespace qel {

// Framework colour values: 0x00BBGGRR, or a system colour.
using TColor = std::uint32_t;
constexpr TColor clBtnFace = 0xFF00000F;
constexpr TColor clWindowText = 0xFF000008;

struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = 11;  // character height in pixels
  bool Bold = false;
  TColor Color = clWindowText;
};

// A visual control: bounds relative to its parent, visibility, text and font.
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* Owner) : TComponent(Owner) {}

  TControl* Parent() const { return FParent; }
  void SetParent(TControl* Value) {
    FParent = Value;
    Changed();
  }

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  virtual void SetBounds(int Left, int Top, int Width, int Height);

  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  const std::string& Caption() const { return FCaption; }
  void SetCaption(std::string Value);
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& Value);
  int TabOrder() const { return FTabOrder; }
  void SetTabOrder(int Value);

  const TNotifyEvent& OnClick() const { return FOnClick; }
  void SetOnClick(TNotifyEvent Value) { FOnClick = std::move(Value); }
  // A click, as the user's mouse or keyboard gives it.
  virtual void Click() { Fire(FOnClick, this); }

 protected:
  // Something a window shows has changed; the form that holds the control hears of it.
  virtual void Changed() {
    if (FParent) FParent->Changed();
  }

 private:
  TControl* FParent = nullptr;
  int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
  bool FVisible = true;
  std::string FCaption;
  TFont FFont;
  int FTabOrder = -1;
  TNotifyEvent FOnClick;
};

class TPanel : public TControl {
 public:
  using TControl::TControl;
};

class TLabel : public TControl {
 public:
  using TControl::TControl;
};

class TButton : public TControl {
 public:
  using TControl::TControl;
};

}  // namespace qel
