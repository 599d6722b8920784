#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <vector>

#include "platform/x11/X11Visual.h"

namespace qel::x11 {

// Shows finished frames (0xAARRGGBB words, rows top-down) in one window: through a shared
// memory image (MIT-SHM) where the server offers it for this client, else with XPutImage
// straight from the frame's own memory. Where the window's visual takes the frame's words as
// they are, the shared image can be the memory the frames are drawn into (Lend), so showing
// a frame copies nothing in this program. A frame of another size than the window is shown
// from the top-left corner, the rest of the window black.
class TPresenter {
 public:
  TPresenter(Display* D, Window Target, Visual* V, int Depth, bool AllowShm);
  ~TPresenter();
  TPresenter(const TPresenter&) = delete;
  TPresenter& operator=(const TPresenter&) = delete;

  // Memory for the next frame of Width x Height (Pitch in pixels), or false.
  bool Lend(int Width, int Height, std::uint32_t*& Pixels, int& Pitch);
  // Shows a frame; Pitch is in pixels. When this returns the server has read the frame.
  void Present(const std::uint32_t* Pixels, int Width, int Height, int Pitch, int WindowWidth, int WindowHeight);
  bool UsesShm() const { return FUseShm; }

 private:
  bool MakeShmImage(int Width, int Height);
  void FreeShmImage();
  bool ShmImageIs(int Width, int Height) const {
    return FShmImage && FShmImage->width == Width && FShmImage->height == Height;
  }
  const std::uint32_t* Convert(const std::uint32_t* Pixels, int Width, int Height, int Pitch);

  Display* FDisplay;
  Window FWindow;
  Visual* FVisual;
  int FDepth;
  GC FGC;
  bool FUseShm;
  bool FDirect;  // the visual takes the frame's words as they are
  int FBitsPerPixel = 32;
  unsigned long FOpaque = 0;  // the bits of a 32-bit visual's alpha channel
  TChannelMasks FMasks;
  XShmSegmentInfo FShm{};
  XImage* FShmImage = nullptr;
  std::vector<std::uint32_t> FConverted;
  bool FUnsupported = false;
};

}  // namespace qel::x11
