#pragma once
// Controls of the software Direct3D 9 device that Direct3D itself lacks: a configurable
// adapter, a call log, injected failures, device loss, frame presenters that keep the
// presented frames. Tests and the device use them; the platforms see only Presentation.h.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3d9/d3d9api.h"
#include "platform/d3d9/soft/Presentation.h"

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
// Presented frames
// ---------------------------------------------------------------------------------------
// A presenter shows the finished frames of one window. Without a presenter the last frame
// presented into a window is kept. With a discarding swap the kept frame changes places with
// the back buffer instead of being copied, so the back buffer then holds an older frame.
// UnregisterPresenter (Presentation.h) removes either kind. PresentCount counts the frames
// presented into a window with any presenter, a buffer presenter too.
using TPresenter = std::function<void(const TFrame& Frame)>;
void RegisterPresenter(HWND Window, TPresenter Presenter);
const TFrame* PresentedFrame(HWND Window);
int PresentCount(HWND Window);

// With TDrawSettings::CheckShown: the frames a device compared before showing them with the
// same frames drawn whole, and how many of them differed (false for anything but a software device).
bool ShownChecks(IDirect3DDevice9* Device, int& Checked, int& Differing);

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
