#include "engine/images/GlowImages.h"

#include "engine/archive/GlowDb.h"
#include "engine/device/GlowSubsc.h"

namespace qel {

TGlowImages::TGlowImages(TComponent* Owner) : TGlowDeviceSubscriber(Owner) {}

TGlowImages::~TGlowImages() { RemoveAll(); }

TGlowImage* TGlowImages::Items(int Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return FImages[static_cast<std::size_t>(Index)].get();
}

TGlowImage* TGlowImages::AddImage() {
  auto Image = std::make_unique<TGlowImage>();
  Image->SetMipMapping(FMipMappping);
  FImages.push_back(std::move(Image));
  return FImages.back().get();
}

int TGlowImages::IndexOf(const TGlowImage* Image) const {
  for (int I = 0; I < Count(); ++I)
    if (FImages[static_cast<std::size_t>(I)].get() == Image) return I;
  return -1;
}

void TGlowImages::Remove(int Index) {
  if (Index < 0 || Index >= Count()) return;
  FImages.erase(FImages.begin() + Index);
}

void TGlowImages::RemoveAll() { FImages.clear(); }

bool TGlowImages::LoadImage(const std::string& Key, TGlowDb& Archive, TGlowQuality Quality, TAlphaLevel AlphaLevel) {
  if (!Archive.EnsureOpen()) return false;
  const int Record = Archive.RecordIndex(Key);
  if (Record < 0 || Archive.RecordType(Record) != recImage) return false;
  TGlowImage* Image = AddImage();
  Image->SetName(Key);
  Image->SetQuality(Quality);
  Image->SetAlphaLevel(AlphaLevel);
  if (Image->LoadRecord(Key, Archive)) return true;
  Remove(IndexOf(Image));
  return false;
}

bool TGlowImages::LoadFromGlowDb(TGlowDb& Archive) {
  return LoadGlowDbRecords(
      Archive, recImage, this, OnGlowDbLoad, [this] { return Count(); },
      [&](const std::string& Key, const std::string& Name, TGlowQuality Quality, TAlphaLevel AlphaLevel) {
        if (!LoadImage(Key, Archive, Quality, AlphaLevel)) return false;
        FImages.back()->SetName(Name);
        return true;
      });
}

TGlowImage* TGlowImages::Find(std::string_view Name) const {
  for (const auto& Image : FImages)
    if (Image->HasName(Name)) return Image.get();
  return nullptr;
}

bool TGlowImages::HandleMessage(std::uint32_t Msg) {
  switch (Msg) {
    case msgDeviceFinalize:
      RemoveAll();
      break;
    case msgDeviceLost:
      for (const auto& Image : FImages)
        if (Image->State() == tsReady) Image->SetState(tsLost);
      break;
    case msgDeviceRestored:
      for (const auto& Image : FImages)
        if (Image->State() == tsLost) Image->SetState(tsReady);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace qel
