#pragma once
#include <gtest/gtest.h>

#include "ImageTestData.h"
#include "engine/images/GlowImages.h"

namespace qel {

// An image list on the device of the fixture Base, and an archive of images and other records.
template <class Base>
class GlowImagesOn : public Base {
 protected:
  void SetUp() override {
    Base::SetUp();
    Images = Create<TGlowImages>(&this->Owner);
    Images->SetPublisher(this->Device);
  }
  TGlowDb* StandardArchive() {
    using test::CountingPayload;
    return testsupport::MemoryArchive(&this->Owner, {{"Font.font", 3, CountingPayload(cfA4R4G4B4, 4, 4)},
                                                     {"bg", 1, CountingPayload(cfA8R8G8B8, 8, 8)},
                                                     {"notes", 9, CountingPayload(cfA8R8G8B8, 2, 2)},
                                                     {"tex", 1, CountingPayload(cfA8R8G8B8, 2, 4)}});
  }

  TGlowImages* Images = nullptr;
};

}  // namespace qel
