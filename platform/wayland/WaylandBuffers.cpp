#include "platform/wayland/WaylandBuffers.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace qel::wl {
namespace {

const wl_buffer_listener ReleaseListener = {
    [](void* Data, wl_buffer*) { *static_cast<bool*>(Data) = false; },
};

}  // namespace

std::unique_ptr<TShmBuffer> TShmBuffer::Make(wl_shm* Shm, int Width, int Height, int Stride, std::uint32_t Format) {
  if (!Shm || Width <= 0 || Height <= 0 || Stride < Width || static_cast<long long>(Stride) * Height > INT_MAX)
    return nullptr;
  const std::size_t Bytes = static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height);
  const int Fd = memfd_create("qelwave-shm", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (Fd < 0) return nullptr;
  std::unique_ptr<TShmBuffer> B(new TShmBuffer);
  if (ftruncate(Fd, static_cast<off_t>(Bytes)) != 0) {
    close(Fd);
    return nullptr;
  }
  // The compositor maps it too: a sealed size cannot be cut under its feet.
  fcntl(Fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
  void* Map = mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
  if (Map == MAP_FAILED) {
    close(Fd);
    return nullptr;
  }
  wl_shm_pool* Pool = wl_shm_create_pool(Shm, Fd, static_cast<int>(Bytes));
  B->FBuffer = wl_shm_pool_create_buffer(Pool, 0, Width, Height, Stride, Format);
  wl_shm_pool_destroy(Pool);
  close(Fd);
  B->FData = static_cast<std::uint8_t*>(Map);
  B->FBytes = Bytes;
  B->FWidth = Width;
  B->FHeight = Height;
  B->FStride = Stride;
  wl_buffer_add_listener(B->FBuffer, &ReleaseListener, &B->FBusy);
  return B;
}

TShmBuffer::~TShmBuffer() {
  if (FBuffer) wl_buffer_destroy(FBuffer);
  if (FData) munmap(FData, FBytes);
}

TShmBuffer* TBufferRing::Free(wl_shm* Shm, int Width, int Height) {
  for (auto& B : FBuffers)
    if (!B->Busy() && B->Width() == Width && B->Height() == Height) return B.get();
  // One of another size that is free makes room; else a new one while there is room.
  auto Stale = std::find_if(FBuffers.begin(), FBuffers.end(),
                            [&](const auto& B) { return !B->Busy() && (B->Width() != Width || B->Height() != Height); });
  if (Stale != FBuffers.end()) FBuffers.erase(Stale);
  if (static_cast<int>(FBuffers.size()) >= FCount) return nullptr;
  auto B = TShmBuffer::Make(Shm, Width, Height, Width * 4, WL_SHM_FORMAT_XRGB8888);
  if (!B) return nullptr;
  FBuffers.push_back(std::move(B));
  return FBuffers.back().get();
}

TShmBuffer* TBufferRing::Owning(const void* Pixels) const {
  for (const auto& B : FBuffers)
    if (B->Data() == Pixels) return B.get();
  return nullptr;
}

}  // namespace qel::wl
