#include "tests/e2e/wayland/TestWindow.h"

#include <cstdio>
#include <memory>

#include "tests/e2e/common/ScreenChecks.h"
#include "xdg-shell-client-protocol.h"

namespace qel::e2e {
namespace {

struct TWindow {
  TTestClient* Client = nullptr;
  wl_surface* Surface = nullptr;
  int Width = 0, Height = 0;
  std::uint32_t Serial = 0;
  bool Configured = false, Closed = false, Shown = false;
  std::unique_ptr<TShmBuffer> Buffer;

  void Draw() {
    // A size of 0 leaves it to the window; this one likes the usual screen.
    const int W = Width > 0 ? Width : 1920, H = Height > 0 ? Height : 1080;
    if (!Buffer || Buffer->Width != W || Buffer->Height != H) {
      Buffer = std::make_unique<TShmBuffer>(Client->Shm, W, H, W * 4, WL_SHM_FORMAT_XRGB8888);
      if (!Buffer->Valid()) return;
      for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) Buffer->Row(Y)[X] = DesktopPixel(X, Y);
    }
    wl_surface_attach(Surface, Buffer->Buffer, 0, 0);
    wl_surface_damage(Surface, 0, 0, W, H);
    wl_callback* Frame = wl_surface_frame(Surface);
    static const wl_callback_listener Listener = {[](void* Data, wl_callback* Cb, std::uint32_t) {
      auto* Self = static_cast<TWindow*>(Data);
      if (!Self->Shown) std::printf("shown %d %d\n", Self->Buffer->Width, Self->Buffer->Height);
      std::fflush(stdout);
      Self->Shown = true;
      wl_callback_destroy(Cb);
    }};
    wl_callback_add_listener(Frame, &Listener, this);
    wl_surface_commit(Surface);
  }
};

void SurfaceConfigure(void* Data, xdg_surface* S, std::uint32_t Serial) {
  auto* W = static_cast<TWindow*>(Data);
  xdg_surface_ack_configure(S, Serial);
  W->Configured = true;
  W->Draw();
}
void ToplevelConfigure(void* Data, xdg_toplevel*, std::int32_t Width, std::int32_t Height, wl_array*) {
  auto* W = static_cast<TWindow*>(Data);
  W->Width = Width;
  W->Height = Height;
}
void ToplevelClose(void* Data, xdg_toplevel*) { static_cast<TWindow*>(Data)->Closed = true; }

}  // namespace

int RunTestWindow(TTestClient& Client, const std::string& AppId, const volatile std::sig_atomic_t& Stop) {
  if (!Client.Compositor || !Client.WmBase || !Client.Shm) {
    std::fprintf(stderr, "wlprobe: the compositor offers no xdg shell\n");
    return 1;
  }
  TWindow W;
  W.Client = &Client;
  W.Surface = wl_compositor_create_surface(Client.Compositor);
  xdg_surface* Xs = xdg_wm_base_get_xdg_surface(Client.WmBase, W.Surface);
  static const xdg_surface_listener SurfaceListener = {SurfaceConfigure};
  xdg_surface_add_listener(Xs, &SurfaceListener, &W);
  xdg_toplevel* Top = xdg_surface_get_toplevel(Xs);
  static const xdg_toplevel_listener TopListener = {ToplevelConfigure, ToplevelClose, nullptr, nullptr};
  xdg_toplevel_add_listener(Top, &TopListener, &W);
  xdg_toplevel_set_app_id(Top, AppId.c_str());
  xdg_toplevel_set_title(Top, AppId.c_str());
  wl_surface_commit(W.Surface);
  // Runs until told to stop; an hour at most.
  const bool Alive = Client.DispatchUntil([&] { return Stop || W.Closed; }, After(3600 * 1000));
  xdg_toplevel_destroy(Top);
  xdg_surface_destroy(Xs);
  wl_surface_destroy(W.Surface);
  return Alive ? 0 : 1;
}

}  // namespace qel::e2e
