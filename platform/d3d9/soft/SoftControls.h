#pragma once
// Controls of the software Direct3D 9 device that Direct3D itself lacks: a configurable
// adapter, a call log, injected failures, device loss, presenters and the presented frames.
// Tests and the platforms that show frames use them; engine code never does.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9api.h"

namespace qel::soft {

// ---------------------------------------------------------------------------------------
// Adapter
// ---------------------------------------------------------------------------------------
struct TFormatSupport {
  D3DFORMAT Format = D3DFMT_UNKNOWN;
  HRESULT AsTexture = D3D_OK;         // answer to a plain texture check
  HRESULT WithAutoGenMipMap = D3D_OK;  // answer when D3DUSAGE_AUTOGENMIPMAP is asked for
};

struct TAdapterConfig {
  D3DDISPLAYMODE DesktopMode = {};
  std::vector<D3DDISPLAYMODE> Modes;       // full-screen modes, every format mixed
  std::vector<TFormatSupport> Textures;    // texture formats; others are not supported
  std::vector<D3DFORMAT> DepthFormats;     // depth-stencil surface formats
  std::vector<D3DFORMAT> BackBufferFormats;  // display / back-buffer formats
  UINT MaxTextureWidth = 16384;
  UINT MaxTextureHeight = 16384;
  // Extra bytes at the end of every texture row, so code that ignores the pitch shows it.
  UINT TexturePitchPadding = 16;
};

// What Direct3D 9 under Wine answers on this machine: desktop X8R8G8B8, the common modes
// in X8R8G8B8 and R5G6B5, no 8-bit-per-channel-with-3-3-2 textures, no automatic mipmaps
// for the 1- and 4-bit alpha formats.
TAdapterConfig DefaultAdapter();
// The adapter every Direct3D object answers from; changes take effect at once.
TAdapterConfig& Adapter();

// ---------------------------------------------------------------------------------------
// Call log
// ---------------------------------------------------------------------------------------
// The log records only while it is enabled: off in a process that never asks for it (the
// programs, the benchmarks), on after ResetControls (tests). EnableCallLog(false) turns it
// off for tests that make millions of calls. Injected failures work either way.
void EnableCallLog(bool Enabled);
bool CallLogEnabled();
// Every call of every soft Direct3D object is logged under its method's name; methods that
// several interfaces share carry the interface: "VertexBuffer::Lock", "IndexBuffer::Unlock",
// "Surface::LockRect", "Direct3D::GetDeviceCaps" (IDirect3D9's; the device's is "GetDeviceCaps").
struct TCall {
  const char* Name = "";  // e.g. "SetRenderState"
  int ArgCount = 0;
  std::uint64_t Args[6] = {};  // integers as they are; pointers as addresses; floats as bits
  HRESULT Result = D3D_OK;

  std::uint64_t Arg(int Index) const { return Index < ArgCount ? Args[Index] : 0; }
  std::string Text() const;  // "SetRenderState(27, 1) = 0"
};

class TCallLog {
 public:
  const std::vector<TCall>& Calls() const { return FCalls; }
  int Count(const std::string& Name) const;
  std::vector<TCall> Named(const std::string& Name) const;
  std::vector<std::string> Names() const;
  void Clear() { FCalls.clear(); }
  void Add(const TCall& Call);
  // Watcher is called with every call as it is logged, once it has run: a test can look at
  // the device's states and buffers at each draw. Calls the watcher makes are logged but not
  // watched. An empty one (as after ResetControls) watches nothing.
  using TWatcher = std::function<void(const TCall& Call)>;
  void Watch(TWatcher Watcher) { FWatcher = std::move(Watcher); }

 private:
  std::vector<TCall> FCalls;
  TWatcher FWatcher;
  bool FWatching = false;
};
TCallLog& CallLog();

// ---------------------------------------------------------------------------------------
// Injected failures and device loss
// ---------------------------------------------------------------------------------------
// The next Count calls of the named operation ("CreateDevice", "Present", "Reset",
// "TestCooperativeLevel", "Direct3DCreate9", "LockRect", ...) answer Result and do nothing
// else. Direct3DCreate9 answers no object.
// With After, that many calls succeed first (the third of four creations failing: After 2).
void FailNext(const std::string& Operation, int Count, HRESULT Result = D3DERR_INVALIDCALL, int After = 0);
// Puts every live device into the lost state, as when another program takes the screen:
// Present answers D3DERR_DEVICELOST; TestCooperativeLevel answers D3DERR_DEVICELOST for
// the next StillLostPolls calls and D3DERR_DEVICENOTRESET afterwards, until Reset succeeds.
void LoseDevices(int StillLostPolls = 0);

// ---------------------------------------------------------------------------------------
// Presentation
// ---------------------------------------------------------------------------------------
struct TFrame {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;  // 0xAARRGGBB, rows top-down, Width pixels a row

  std::uint32_t Pixel(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
};

// A presenter shows the finished frames of one window (the X11 platform registers one per
// window). Without a presenter the last frame presented into a window is kept. With a
// discarding swap the kept frame changes places with the back buffer instead of being
// copied, so the back buffer then holds an older frame.
using TPresenter = std::function<void(const TFrame& Frame)>;
void RegisterPresenter(HWND Window, TPresenter Presenter);
void UnregisterPresenter(HWND Window);  // either kind
const TFrame* PresentedFrame(HWND Window);
int PresentCount(HWND Window);

// A presenter that owns the memory frames are drawn into, so that presenting copies nothing
// (an X11 shared-memory image can be the back buffer). At Present the device finishes the
// frame, calls Show with its back buffer and then Lend for the memory of the next frame,
// which it draws into until the next Present. Lent memory must stay valid until the device
// has been given other memory by a later Lend, or is reset or released, or the presenter is
// unregistered (the device then copies the frame back into memory of its own).
// A frame the device shows before anything is lent lives in the device's own memory.
// Nothing is kept for PresentedFrame; PresentCount counts as for any presenter. As with a
// discarding swap, a new back buffer holds whatever the lent memory held. The presenter only
// reads lent memory: when the same memory is lent for the next frame, the device relies on it
// still holding the frame it drew there and mends only what changed.
// Columns Left .. Right-1 and rows Top .. Bottom-1 of a frame, in its pixels.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TPixelRect&) const = default;
};
struct TFrameBuffer {
  std::uint32_t* Pixels = nullptr;  // 0xAARRGGBB rows, top-down; alpha undefined when the
                                    // back-buffer format has none
  int Width = 0, Height = 0;
  int Pitch = 0;  // pixels from one row to the next, at least Width
  // At Show: where the frame may differ from the one the device showed in this window before;
  // everywhere else it is the same, pixel for pixel. At most MaxChangedRects rectangles, top
  // to bottom, none overlapping another; empty when nothing changed. The whole frame when the
  // device cannot tell (its first frame there, after a reset, a write into the back buffer,
  // other memory lent, frames drawn without remembering tiles). Pixels outside may still be
  // sent, as a presenter must do where its window shows something else (an exposure, a size).
  std::vector<TPixelRect> Changed;
};
constexpr std::size_t MaxChangedRects = 6;
struct TBufferPresenter {
  // Memory for a frame of Width x Height, or false: the device then uses its own.
  std::function<bool(int Width, int Height, TFrameBuffer& Buffer)> Lend;
  // Shows a finished frame; the device no longer touches Buffer.
  std::function<void(const TFrameBuffer& Buffer)> Show;
};
void RegisterBufferPresenter(HWND Window, TBufferPresenter Presenter);

// What the device's back buffer holds now (false for anything but a software device).
bool ReadBackBuffer(IDirect3DDevice9* Device, TFrame& Frame);

// ---------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------
// A software device records clears and triangles and draws them at the next sync point
// (EndScene, Present, Reset, a read of the back buffer, a lock of a texture): the frame is
// cut into tiles of TileWidth x TileHeight pixels (0: the whole width or height), and each
// tile is drawn by one of Threads threads with every primitive that touches it, in order.
// Threads 0 or 1 draw on the calling thread alone; -1 on the calling thread alone while that
// keeps up, with one thread per core while frames take long (AutoThreads in TileRenderer.h). With
// RememberTiles a tile whose first commands repeat those of the last sync point, starting
// with a clear of the whole tile, starts from a copy of what it held after them (a frame's
// unchanged background), at the cost of a copy of the frame in memory; not on targets of over
// 2^25 pixels or with a depth buffer, nor after sync points of over 8192 commands. The pixels
// are the same whatever these settings.
struct TDrawSettings {
  int Threads = -1;
  int TileWidth = 0;
  int TileHeight = 32;
  bool RememberTiles = true;
};
// The settings devices made from now on start with.
TDrawSettings& DefaultDrawSettings();
// Changes the settings of one device; false for anything but a software device.
bool SetDrawSettings(IDirect3DDevice9* Device, const TDrawSettings& Settings);

// ---------------------------------------------------------------------------------------
// Housekeeping
// ---------------------------------------------------------------------------------------
// false sends every pixel down the rasteriser's general path (the pixels must not change).
void UseFastPaths(bool Enabled);
// Direct3D objects, devices and resources alive now (leak checks).
int LiveObjects();
// Default adapter, an empty log that records, no injected failures, no presenters, no kept
// frames, fast paths, default drawing settings for new devices.
void ResetControls();

}  // namespace qel::soft
