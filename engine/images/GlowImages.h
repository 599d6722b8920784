#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "engine/images/GlowDbLoading.h"
#include "engine/images/GlowImage.h"

namespace qel {

class TGlowDb;

using TImageGlowDbLoadEvent = TGlowDbLoadEvent;

// The named images of an archive, kept in step with the rendering device it subscribes to.
// It owns its images, in the order they were added.
class TGlowImages : public TGlowDeviceSubscriber {
 public:
  explicit TGlowImages(TComponent* Owner);
  ~TGlowImages() override;

  // The MipMapping every new image of the list gets.
  bool MipMappping() const { return FMipMappping; }
  void SetMipMappping(bool Value) { FMipMappping = Value; }
  TImageGlowDbLoadEvent OnGlowDbLoad;

  int Count() const { return static_cast<int>(FImages.size()); }
  // The image at Index, or nullptr.
  TGlowImage* Items(int Index) const;

  // Appends a new image with the list's MipMappping.
  TGlowImage* AddImage();
  int IndexOf(const TGlowImage* Image) const;
  // Frees the image at Index; an index out of range does nothing.
  void Remove(int Index);
  void RemoveAll();

  // Loads the image record Key as a new image named Key; on failure no image is left behind.
  bool LoadImage(const std::string& Key, TGlowDb& Archive, TGlowQuality Quality, TAlphaLevel AlphaLevel);
  // Loads every image record in table order, offering each to OnGlowDbLoad first. Stops at
  // the first failure, keeping what was loaded before it.
  bool LoadFromGlowDb(TGlowDb& Archive);

  // The first image whose name equals Name with ASCII A-Z folded, or nullptr. Called for
  // every quad drawn: it allocates nothing.
  TGlowImage* Find(std::string_view Name) const;
  TGlowImage* Image(std::string_view Name) const { return Find(Name); }

  // Frees every image when the device is finalised, re-creates volatile textures after a
  // loss; never vetoes.
  bool HandleMessage(std::uint32_t Msg) override;

 private:
  std::vector<std::unique_ptr<TGlowImage>> FImages;
  bool FMipMappping = false;
};

}  // namespace qel
