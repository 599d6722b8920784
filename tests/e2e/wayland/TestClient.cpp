#include "tests/e2e/wayland/TestClient.h"

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fake-input-client-protocol.h"
#include "tests/e2e/wayland/VirtualKeyboard.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace qel::e2e {

Clock::time_point After(long Ms) { return Clock::now() + std::chrono::milliseconds(Ms); }

TShmBuffer::TShmBuffer(wl_shm* Shm, int Width, int Height, int Stride, std::uint32_t Format)
    : Width(Width), Height(Height), Stride(Stride), Format(Format) {
  Size = static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height);
  const int Fd = memfd_create("qel-e2e-buffer", MFD_CLOEXEC);
  if (Fd < 0) return;
  if (ftruncate(Fd, static_cast<off_t>(Size)) == 0) {
    void* Mapped = mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_SHARED, Fd, 0);
    if (Mapped != MAP_FAILED) {
      Data = static_cast<std::uint8_t*>(Mapped);
      wl_shm_pool* Pool = wl_shm_create_pool(Shm, Fd, static_cast<std::int32_t>(Size));
      Buffer = wl_shm_pool_create_buffer(Pool, 0, Width, Height, Stride, Format);
      wl_shm_pool_destroy(Pool);
    }
  }
  close(Fd);
}

TShmBuffer::~TShmBuffer() {
  if (Buffer) wl_buffer_destroy(Buffer);
  if (Data) munmap(Data, Size);
}

namespace {

void OutputName(void* Data, wl_output*, const char* Name) { static_cast<TOutput*>(Data)->Name = Name; }
void OutputGeometry(void* Data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    const char*, const char*, std::int32_t Transform) {
  static_cast<TOutput*>(Data)->Transform = Transform;
}
void OutputIgnoreMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}
void OutputIgnoreDone(void*, wl_output*) {}
void OutputIgnoreScale(void*, wl_output*, std::int32_t) {}
void OutputIgnoreDescription(void*, wl_output*, const char*) {}
const wl_output_listener OutputListener = {OutputGeometry, OutputIgnoreMode,  OutputIgnoreDone,
                                           OutputIgnoreScale,    OutputName,        OutputIgnoreDescription};

void WmPing(void*, xdg_wm_base* Base, std::uint32_t Serial) { xdg_wm_base_pong(Base, Serial); }
const xdg_wm_base_listener WmListener = {WmPing};

void GlobalRemove(void*, wl_registry*, std::uint32_t) {}

}  // namespace

void TTestClient::Global(void* Data, wl_registry* Registry, std::uint32_t Name, const char* Interface,
                         std::uint32_t Version) {
  auto* Self = static_cast<TTestClient*>(Data);
  const auto Bind = [&](const wl_interface* Iface, std::uint32_t Max) {
    return wl_registry_bind(Registry, Name, Iface, std::min(Version, Max));
  };
  const std::string I = Interface;
  if (I == wl_compositor_interface.name) {
    Self->Compositor = static_cast<wl_compositor*>(Bind(&wl_compositor_interface, 4));
  } else if (I == wl_shm_interface.name) {
    Self->Shm = static_cast<wl_shm*>(Bind(&wl_shm_interface, 1));
  } else if (I == wl_seat_interface.name && !Self->Seat) {
    Self->Seat = static_cast<wl_seat*>(Bind(&wl_seat_interface, 1));
  } else if (I == xdg_wm_base_interface.name) {
    Self->WmBase = static_cast<xdg_wm_base*>(Bind(&xdg_wm_base_interface, 1));
    xdg_wm_base_add_listener(Self->WmBase, &WmListener, nullptr);
  } else if (I == zwlr_screencopy_manager_v1_interface.name) {
    Self->Screencopy = static_cast<zwlr_screencopy_manager_v1*>(Bind(&zwlr_screencopy_manager_v1_interface, 3));
  } else if (I == zwlr_virtual_pointer_manager_v1_interface.name) {
    Self->PointerManager =
        static_cast<zwlr_virtual_pointer_manager_v1*>(Bind(&zwlr_virtual_pointer_manager_v1_interface, 1));
  } else if (I == VirtualKeyboardManagerInterface.name) {
    Self->KeyboardManager = static_cast<wl_proxy*>(Bind(&VirtualKeyboardManagerInterface, 1));
  } else if (I == org_kde_kwin_fake_input_interface.name) {
    Self->FakeInput = static_cast<org_kde_kwin_fake_input*>(Bind(&org_kde_kwin_fake_input_interface, 4));
  } else if (I == wl_output_interface.name && Version >= 4) {
    Self->Outputs.push_back(TOutput{static_cast<wl_output*>(Bind(&wl_output_interface, 4)), "", 0});
  }
}

bool TTestClient::Connect(std::string& Error) {
  Display = wl_display_connect(nullptr);
  if (!Display) {
    Error = "no Wayland compositor answers";
    return false;
  }
  static const wl_registry_listener Listener = {Global, GlobalRemove};
  Registry = wl_display_get_registry(Display);
  wl_registry_add_listener(Registry, &Listener, this);
  if (!Roundtrip(10000)) {
    Error = "the compositor did not list its globals";
    return false;
  }
  for (TOutput& O : Outputs) wl_output_add_listener(O.Handle, &OutputListener, &O);
  if (!Roundtrip(10000)) {
    Error = "the compositor did not describe its outputs";
    return false;
  }
  return true;
}

TTestClient::~TTestClient() {
  if (!Display) return;
  for (const TOutput& O : Outputs) wl_output_destroy(O.Handle);
  for (void* P : {static_cast<void*>(Compositor), static_cast<void*>(Shm), static_cast<void*>(Seat),
                  static_cast<void*>(WmBase), static_cast<void*>(Screencopy), static_cast<void*>(PointerManager),
                  static_cast<void*>(KeyboardManager), static_cast<void*>(FakeInput), static_cast<void*>(Registry)})
    if (P) wl_proxy_destroy(static_cast<wl_proxy*>(P));
  wl_display_disconnect(Display);
}

bool TTestClient::DispatchUntil(const std::function<bool()>& Done, Clock::time_point Deadline) {
  while (!Done()) {
    while (wl_display_prepare_read(Display) != 0)
      if (wl_display_dispatch_pending(Display) < 0) return false;
    if (Done()) {
      wl_display_cancel_read(Display);
      return true;
    }
    if (wl_display_flush(Display) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(Display);
      return false;
    }
    const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    if (Left <= 0) {
      wl_display_cancel_read(Display);
      return false;
    }
    pollfd P{wl_display_get_fd(Display), POLLIN, 0};
    const int Ready = poll(&P, 1, static_cast<int>(std::min<long long>(Left, 100)));
    if (Ready > 0) {
      if (wl_display_read_events(Display) < 0) return false;
    } else {
      wl_display_cancel_read(Display);
    }
    if (wl_display_dispatch_pending(Display) < 0) return false;
  }
  return true;
}

bool TTestClient::Roundtrip(long Ms) {
  bool Done = false;
  wl_callback* Sync = wl_display_sync(Display);
  static const wl_callback_listener Listener = {[](void* Data, wl_callback*, std::uint32_t) {
    *static_cast<bool*>(Data) = true;
  }};
  wl_callback_add_listener(Sync, &Listener, &Done);
  const bool Ok = DispatchUntil([&] { return Done; }, After(Ms));
  wl_callback_destroy(Sync);
  return Ok;
}

const TOutput* TTestClient::FindOutput(const std::string& Name) const {
  for (const TOutput& O : Outputs)
    if (Name.empty() || O.Name == Name) return &O;
  return nullptr;
}

}  // namespace qel::e2e
