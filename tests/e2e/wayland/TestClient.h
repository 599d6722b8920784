#pragma once
#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the Wayland probe needs from the compositor: the connection, its globals, outputs by
// name, shared-memory buffers, and waiting for events with a time limit.
struct xdg_wm_base;
struct zwlr_screencopy_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
struct org_kde_kwin_fake_input;

namespace qel::e2e {

using Clock = std::chrono::steady_clock;

struct TOutput {
  wl_output* Handle = nullptr;
  std::string Name;  // HEADLESS-1 and so on (wl_output version 4)
  std::int32_t Transform = 0;  // turned or flipped (wl_output's transform)
};

// A wl_shm buffer of one pool, mapped into this process.
class TShmBuffer {
 public:
  TShmBuffer(wl_shm* Shm, int Width, int Height, int Stride, std::uint32_t Format);
  ~TShmBuffer();
  TShmBuffer(const TShmBuffer&) = delete;
  TShmBuffer& operator=(const TShmBuffer&) = delete;
  bool Valid() const { return Buffer != nullptr; }
  std::uint32_t* Row(int Y) { return reinterpret_cast<std::uint32_t*>(Data + static_cast<std::size_t>(Y) * Stride); }
  const std::uint32_t* Row(int Y) const {
    return reinterpret_cast<const std::uint32_t*>(Data + static_cast<std::size_t>(Y) * Stride);
  }
  wl_buffer* Buffer = nullptr;
  int Width, Height, Stride;
  std::uint32_t Format;

 private:
  std::uint8_t* Data = nullptr;
  std::size_t Size = 0;
};

class TTestClient {
 public:
  // Connects to WAYLAND_DISPLAY and collects the globals; Error says why not.
  bool Connect(std::string& Error);
  ~TTestClient();

  // Dispatches events until Done() holds or the deadline passes (false then, or on a lost
  // connection).
  bool DispatchUntil(const std::function<bool()>& Done, Clock::time_point Deadline);
  bool Roundtrip(long Ms);
  // The output of that name; an empty name is the first output.
  const TOutput* FindOutput(const std::string& Name) const;

  wl_display* Display = nullptr;
  wl_compositor* Compositor = nullptr;
  wl_shm* Shm = nullptr;
  wl_seat* Seat = nullptr;
  xdg_wm_base* WmBase = nullptr;
  zwlr_screencopy_manager_v1* Screencopy = nullptr;
  zwlr_virtual_pointer_manager_v1* PointerManager = nullptr;
  wl_proxy* KeyboardManager = nullptr;
  org_kde_kwin_fake_input* FakeInput = nullptr;  // KWin's, offered to authorised programs only
  std::vector<TOutput> Outputs;

 private:
  wl_registry* Registry = nullptr;
  static void Global(void* Data, wl_registry* Registry, std::uint32_t Name, const char* Interface,
                     std::uint32_t Version);
};

Clock::time_point After(long Ms);

}  // namespace qel::e2e
