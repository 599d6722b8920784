#pragma once
#include <wayland-client.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace qel::wl {

// One wl_shm buffer in memory of its own (a sealed memfd). Busy from its attach until the
// compositor releases it: a busy buffer is never written.
class TShmBuffer {
 public:
  // Width x Height pixels of the given wl_shm format, Stride bytes a row; null on failure.
  static std::unique_ptr<TShmBuffer> Make(wl_shm* Shm, int Width, int Height, int Stride, std::uint32_t Format);
  ~TShmBuffer();
  TShmBuffer(const TShmBuffer&) = delete;
  TShmBuffer& operator=(const TShmBuffer&) = delete;

  wl_buffer* Buffer() const { return FBuffer; }
  std::uint8_t* Data() const { return FData; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Stride() const { return FStride; }
  bool Busy() const { return FBusy; }
  void SetBusy() { FBusy = true; }
  // Lent to the device, and written by nothing else since.
  bool Lent() const { return FLent; }
  void SetLent(bool Lent) { FLent = Lent; }

 private:
  TShmBuffer() = default;
  wl_buffer* FBuffer = nullptr;
  std::uint8_t* FData = nullptr;
  std::size_t FBytes = 0;
  int FWidth = 0, FHeight = 0, FStride = 0;
  bool FBusy = false;
  bool FLent = false;
};

// The XRGB8888 buffers a surface shows its frames in: at most Count of them, made on demand.
class TBufferRing {
 public:
  explicit TBufferRing(int Count) : FCount(Count) {}
  // A buffer of Width x Height the compositor does not hold, or null when all of them are
  // held (or memory ran out). Buffers of another size are replaced once free.
  TShmBuffer* Free(wl_shm* Shm, int Width, int Height);
  // The buffer whose pixels start at Pixels, or null.
  TShmBuffer* Owning(const void* Pixels) const;
  void Clear() { FBuffers.clear(); }

 private:
  int FCount;
  std::vector<std::unique_ptr<TShmBuffer>> FBuffers;
};

}  // namespace qel::wl
