#include "engine/draw/GlowFonts.h"

#include <cstdio>

#include "engine/archive/GlowDb.h"
#include "engine/device/GlowSubsc.h"
#include "engine/draw/GlowCanvas.h"

namespace qel {

TGlowFonts::TGlowFonts(TComponent* Owner) : TGlowDeviceSubscriber(Owner) {
  // In the designer the first canvas of the owner is taken at once; at run time the
  // stored setting does it.
  if (Designing() && Owner) {
    for (int I = 0; I < Owner->ComponentCount() && !FCanvas; ++I)
      FCanvas = dynamic_cast<TGlowCanvas*>(Owner->Components(I));
  }
}

TGlowFonts::~TGlowFonts() { Clear(); }

bool TGlowFonts::LoadFromGlowDb(TGlowDb& Archive) {
  return LoadGlowDbRecords(
      Archive, recFont, this, FOnGlowDbLoad, [this] { return Count(); },
      [&](const std::string& Key, const std::string& Name, TGlowQuality Quality, TAlphaLevel AlphaLevel) {
        // A font that fails stays in the list, unloaded, under its default name.
        TGlowFont* Font = Add();
        if (!Font->LoadRecord(Key, Archive, Quality, AlphaLevel)) return false;
        Font->SetName(Name);
        return true;
      });
}

TGlowFont* TGlowFonts::Items(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return FFonts[static_cast<std::size_t>(Index)].get();
}

TGlowFont* TGlowFonts::Add() {
  auto Font = std::make_unique<TGlowFont>(this);
  char Name[24];
  std::snprintf(Name, sizeof Name, "Font%02d", FNameCounter);
  ++FNameCounter;
  Font->SetName(Name);
  FFonts.push_back(std::move(Font));
  return FFonts.back().get();
}

void TGlowFonts::Clear() { FFonts.clear(); }

bool TGlowFonts::HandleMessage(std::uint32_t Msg) {
  if (Msg == msgDeviceFinalize) Clear();
  return true;
}

void TGlowFonts::Notification(TComponent* Component, TOperation Operation) {
  TGlowDeviceSubscriber::Notification(Component, Operation);
  if (Operation == TOperation::opInsert) {
    if (!FCanvas && Component->Owner() == Owner())
      if (auto* Canvas = dynamic_cast<TGlowCanvas*>(Component)) FCanvas = Canvas;
  } else if (Component == FCanvas) {
    FCanvas = nullptr;
  }
}

}  // namespace qel
