#pragma once
// How the software Direct3D 9 device hands finished frames to the window that shows them, and
// the settings it draws with: what the platforms and the tools use. The device's test controls
// (SoftControls.h) are not part of it.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/d3d9/d3d9api.h"

namespace qel::soft {

// A finished frame in memory of its own.
struct TFrame {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;  // 0xAARRGGBB, rows top-down, Width pixels a row

  std::uint32_t Pixel(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
};

// What the device's back buffer holds now (false for anything but a software device).
bool ReadBackBuffer(IDirect3DDevice9* Device, TFrame& Frame);

// A presenter that owns the memory frames are drawn into, so that presenting copies nothing
// (an X11 shared-memory image can be the back buffer). At Present the device finishes the
// frame, calls Show with its back buffer and then Lend for the memory of the next frame,
// which it draws into until the next Present. Lent memory must stay valid until the device
// has been given other memory by a later Lend, or is reset or released, or the presenter is
// unregistered (the device then copies the frame back into memory of its own).
// A frame the device shows before anything is lent lives in the device's own memory.
// As with a discarding swap, a new back buffer holds whatever the lent memory held. The
// presenter only reads lent memory: when the same memory is lent for the next frame again, or
// lent later with Kept, the device relies on it still holding the frame it drew there and
// mends only what changed since (the frames it missed too). Memory shown is whole: every pixel
// of it belongs to the frame shown, not only the changed ones.
// Columns Left .. Right-1 and rows Top .. Bottom-1 of a frame, in its pixels.
struct TPixelRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TPixelRect&) const = default;
};
// The most rectangles a frame's changes are told in.
constexpr std::size_t MaxChangedRects = 6;
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
  // At Lend: the memory was lent to the device before and nothing else wrote it since. False,
  // the safe answer, where unsure (memory new, or written by anything else meanwhile).
  bool Kept = false;
};
struct TBufferPresenter {
  // Memory for a frame of Width x Height, or false: the device then uses its own.
  std::function<bool(int Width, int Height, TFrameBuffer& Buffer)> Lend;
  // Shows a finished frame; the device no longer touches Buffer.
  std::function<void(const TFrameBuffer& Buffer)> Show;
};
void RegisterBufferPresenter(HWND Window, TBufferPresenter Presenter);
// Ends a window's presentation (a buffer presenter or a test's frame presenter).
void UnregisterPresenter(HWND Window);

// A software device records clears and triangles and draws them at the next sync point
// (EndScene, Present, Reset, a read of the back buffer, a lock of a texture): the frame is
// cut into tiles of TileWidth x TileHeight pixels (0: the whole width or height), and each
// tile is drawn by one of Threads threads with every primitive that touches it, in order.
// Threads 0 or 1 draw on the calling thread alone; -1 on the calling thread alone while that
// keeps up, with one thread per core while frames take long (AutoThreads in TileRenderer.h). With
// RememberTiles a tile whose first commands repeat those of the last sync point, starting
// with a clear of the whole tile, starts from a copy of what it held after them (a frame's
// unchanged background), at the cost of a copy of the frame in memory; not on targets of over
// MaxRememberedPixels pixels or with a depth buffer, nor after sync points of over
// MaxRememberedCommands commands. The pixels are the same whatever these settings.
// CheckShown (a test switch): before each frame is shown, it is compared with the same frame
// drawn whole (without what tiles remember) into memory of its own; a frame that differs is
// named on standard error, and the counts are written there when the device goes.
struct TDrawSettings {
  int Threads = -1;
  int TileWidth = 0;
  int TileHeight = 32;
  bool RememberTiles = true;
  bool CheckShown = false;
};
// Larger targets are drawn without remembering tiles: a copy of such a frame costs too much
// memory. Nor are sync points of more commands: keeping them for the next would double the
// memory the commands pass through, and frames whose start repeats have few.
constexpr std::size_t MaxRememberedPixels = std::size_t{1} << 25;
constexpr std::size_t MaxRememberedCommands = 8192;
// The settings devices made from now on start with.
TDrawSettings& DefaultDrawSettings();
// Changes the settings of one device; false for anything but a software device.
bool SetDrawSettings(IDirect3DDevice9* Device, const TDrawSettings& Settings);

}  // namespace qel::soft
