#include "engine/device/FrameReadBack.h"

#include <cstring>

#include "engine/device/GlowDevices.h"

namespace qel {

bool ReadBackFrame(TFramePixels& Frame) {
  if (!Direct3DDevice) return false;
  ComPtr<IDirect3DSurface9> BackBuffer;
  if (FAILED(Direct3DDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, BackBuffer.Put()))) return false;
  D3DSURFACE_DESC Desc{};
  if (FAILED(BackBuffer->GetDesc(&Desc))) return false;
  // Only the 32-bit back buffers a windowed device on a 32-bit desktop gets.
  if (Desc.Format != D3DFMT_X8R8G8B8 && Desc.Format != D3DFMT_A8R8G8B8) return false;
  ComPtr<IDirect3DSurface9> Copy;
  if (FAILED(Direct3DDevice->CreateOffscreenPlainSurface(Desc.Width, Desc.Height, Desc.Format, D3DPOOL_SYSTEMMEM,
                                                         Copy.Put(), nullptr)))
    return false;
  if (FAILED(Direct3DDevice->GetRenderTargetData(BackBuffer.Get(), Copy.Get()))) return false;
  D3DLOCKED_RECT Locked{};
  if (FAILED(Copy->LockRect(&Locked, nullptr, D3DLOCK_READONLY))) return false;
  const int W = static_cast<int>(Desc.Width);
  const int H = static_cast<int>(Desc.Height);
  std::vector<std::uint32_t> Pixels(static_cast<std::size_t>(W) * H);
  const auto* Row = static_cast<const std::uint8_t*>(Locked.pBits);
  for (int Y = 0; Y < H; ++Y, Row += Locked.Pitch)
    std::memcpy(&Pixels[static_cast<std::size_t>(Y) * W], Row, static_cast<std::size_t>(W) * 4);
  Copy->UnlockRect();
  // What is on the screen is opaque, whatever the unused byte of X8R8G8B8 holds.
  for (std::uint32_t& P : Pixels) P |= 0xFF000000u;
  Frame.Width = W;
  Frame.Height = H;
  Frame.Pixels = std::move(Pixels);
  return true;
}

}  // namespace qel
