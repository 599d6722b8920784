// Feeds arbitrary bytes to the image payload reader on the software device. A payload may
// be refused, never crash, hang or allocate beyond what its own bytes justify.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/device/GlowDevices.h"
#include "engine/images/GlowImage.h"
#include "framework/Streams.h"
#include "fuzz/images/ImagePayloadFields.h"

namespace {

qel::TGlowDevice* Device() {
  static qel::TGlowDevice* Instance = [] {
    auto* D = qel::Create<qel::TGlowDevice>(nullptr);
    D->SetWidth(64);
    D->SetHeight(64);
    D->SetWindowHandle(1);
    D->Initialize();
    return D;
  }();
  return Instance;
}

// The wishes byte, then the payload's header.
std::vector<qel::fuzz::TField> ImageFields(const std::uint8_t*, std::size_t) {
  std::vector<qel::fuzz::TField> Fields{{.Offset = 0, .Bytes = 1}};
  qel::fuzz::AddImagePayloadFields(1, 1, Fields);
  return Fields;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* Data, std::size_t Size, std::size_t MaxSize,
                                               unsigned Seed) {
  return qel::fuzz::MutateWithFields(Data, Size, MaxSize, Seed, ImageFields);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (!Device()->Initialized()) return 0;
  // The first byte picks the wishes, so every texture format is reached.
  const std::uint8_t Wishes = Size > 0 ? Data[0] : 0;
  qel::TResourceStream Stream(Data + (Size > 0 ? 1 : 0), static_cast<std::int64_t>(Size > 0 ? Size - 1 : 0));
  qel::TGlowImage Image;
  Image.SetQuality(static_cast<qel::TGlowQuality>(Wishes % 3));
  Image.SetAlphaLevel(static_cast<qel::TAlphaLevel>((Wishes / 3) % 4));
  Image.SetMipMapping((Wishes & 0x80) != 0);
  if (Image.LoadFromStream(Stream)) {
    qel::TPoint4 Corners{};
    int Texture = 0;
    for (int Pattern : {-1, 0, 1, Image.PatternCount() - 1, Image.PatternCount()})
      if (Image.GetPatternCoords(qel::TexPattern(Pattern), Corners, Texture) &&
          (Texture < 0 || Texture >= Image.TextureCount()))
        __builtin_trap();  // a pattern must lie on a texture the image has
  }
  return 0;
}
