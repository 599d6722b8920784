// Feeds arbitrary bytes to the image payload reader on the software device. A payload may
// be refused, never crash, hang or allocate beyond what its own bytes justify.
#include <cstddef>
#include <cstdint>

#include "engine/device/GlowDevices.h"
#include "engine/images/GlowImage.h"
#include "framework/Streams.h"

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

}  // namespace

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
