// How long image loading takes on the software device: the archive's two images, and a
// 1920 x 1080 desktop picture turned into its R5G6B5 texture, set against a memcpy of the
// same picture measured in the same run. Prints one line per figure; the best of several
// runs counts, so other work on the machine disturbs the figures less.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/BenchTiming.h"
#include "engine/archive/GlowDb.h"
#include "engine/device/GlowDevices.h"
#include "engine/images/GlowImage.h"
#include "engine/images/GlowImages.h"
#include "platform/resources/EmbeddedResources.h"

using namespace qel;

namespace {

using bench::BestMs;

}  // namespace

int main() {
  constexpr int Width = 1920, Height = 1080, Runs = 50;
  TComponent Owner(nullptr);
  auto* Device = Create<TGlowDevice>(&Owner);
  Device->SetWidth(Width);
  Device->SetHeight(Height);
  Device->SetWindowHandle(1);
  if (!Device->Initialize()) {
    std::fprintf(stderr, "bench_images: the software device did not start\n");
    return 1;
  }

  const void* Data = nullptr;
  std::int64_t Size = 0;
  if (!FindEmbeddedResource("glowdb", Data, Size)) {
    std::fprintf(stderr, "bench_images: no embedded artwork archive\n");
    return 1;
  }
  auto* Images = Create<TGlowImages>(&Owner);
  Images->SetPublisher(Device);
  bool Loaded = true;
  const double ArchiveMs = BestMs(Runs, [&] {
    auto* Db = Create<TGlowDb>(&Owner);
    Db->SetOpenMode(opReadOnly);
    Db->OpenStream(new TResourceStream(Data, Size));
    Loaded = Images->LoadFromGlowDb(*Db) && Loaded;
    Images->RemoveAll();
    delete Db;
  });
  if (!Loaded) {
    std::fprintf(stderr, "bench_images: the archive's images did not load\n");
    return 1;
  }

  TBitmap Desktop(Width, Height, TPixelFormat::pf32bit);
  for (int Y = 0; Y < Height; ++Y)
    for (int X = 0; X < Width * 4; ++X) Desktop.ScanLine(Y)[X] = static_cast<std::uint8_t>(X * 7 + Y * 3);
  std::vector<std::uint8_t> Copy(static_cast<std::size_t>(Desktop.Pitch()) * Height);
  volatile std::uint8_t Sink = 0;  // reads the copy, so the copy is not optimised away
  const double MemcpyMs = BestMs(Runs, [&] {
    std::memcpy(Copy.data(), Desktop.ScanLine(0), Copy.size());
    Sink = Sink + Copy[Copy.size() / 2];
  });
  bool Converted = true;
  const double DesktopMs = BestMs(Runs, [&] {
    // As the screensaver builds it at start-up.
    TGlowImage Image;
    Image.SetQuality(qlMedium);
    Image.SetAlphaLevel(avNone);
    Image.SetPatternSize({Width, Height});
    Image.SetSize({Width, Height});
    Image.SetVisibleSize({Width, Height});
    Converted = Image.LoadFromBitmap(Desktop, false, 0, 0) && Image.Format() == D3DFMT_R5G6B5 && Converted;
  });
  if (!Converted) {
    std::fprintf(stderr, "bench_images: the desktop picture did not become an R5G6B5 texture\n");
    return 1;
  }
  // The device's own part of that: making the texture and locking it, with nothing written.
  const double TextureMs = BestMs(Runs, [&] {
    ComPtr<IDirect3DTexture9> Texture;
    D3DLOCKED_RECT Area{};
    if (SUCCEEDED(Direct3DDevice->CreateTexture(Width, Height, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_R5G6B5,
                                                D3DPOOL_MANAGED, Texture.Put(), nullptr)) &&
        SUCCEEDED(Texture->LockRect(0, &Area, nullptr, 0)))
      Texture->UnlockRect(0);
  });
  std::printf("archive images: %.2f ms\n", ArchiveMs);
  std::printf("desktop image: %.2f ms, %.2fx memcpy\n", DesktopMs, DesktopMs / MemcpyMs);
  std::printf("  of which the device makes and locks the texture: %.2f ms\n", TextureMs);
  std::printf("memcpy of the desktop picture: %.2f ms\n", MemcpyMs);
  return 0;
}
