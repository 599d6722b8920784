#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "engine/draw/GlowFont.h"
#include "engine/images/GlowDbLoading.h"

namespace qel {

class TGlowCanvas;
class TGlowDb;

using TFontGlowDbLoadEvent = TGlowDbLoadEvent;

// The list of bitmap fonts, loaded from the font records of an archive. Its fonts draw
// through Canvas; they live until the device is finalised or the list is cleared.
class TGlowFonts : public TGlowDeviceSubscriber {
 public:
  explicit TGlowFonts(TComponent* Owner);
  ~TGlowFonts() override;

  TGlowCanvas* Canvas() const { return FCanvas; }
  void SetCanvas(TGlowCanvas* Value) { FCanvas = Value; }
  const TFontGlowDbLoadEvent& OnGlowDbLoad() const { return FOnGlowDbLoad; }
  void SetOnGlowDbLoad(TFontGlowDbLoadEvent Value) { FOnGlowDbLoad = std::move(Value); }

  // Loads every font record; stops at the first that fails, keeping it (unloaded) and the
  // ones before it.
  bool LoadFromGlowDb(TGlowDb& Archive);
  // None when Index is outside the list.
  TGlowFont* Items(int Index) const;
  int Count() const { return static_cast<int>(FFonts.size()); }
  // A new, unloaded font under the next default name (Font00, Font01, ...).
  TGlowFont* Add();
  void Clear();

  bool HandleMessage(std::uint32_t Msg) override;

 protected:
  void Notification(TComponent* Component, TOperation Operation) override;

 private:
  TGlowCanvas* FCanvas = nullptr;
  std::vector<std::unique_ptr<TGlowFont>> FFonts;
  int FNameCounter = 0;
  TFontGlowDbLoadEvent FOnGlowDbLoad;
};

}  // namespace qel
