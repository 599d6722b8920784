#pragma once
#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/soft/Presentation.h"
#include "platform/x11/X11Visual.h"

namespace qel::x11 {

// Shows finished frames (0xAARRGGBB words, rows top-down) in one window: through a shared
// memory image (MIT-SHM) where the server offers it for this client, else with XPutImage
// straight from the frame's own memory. Where the window's visual takes the frame's words as
// they are, the shared image can be the memory the frames are drawn into (Lend), so showing
// a frame copies nothing in this program. A frame of another size than the window is shown
// from the top-left corner, the rest of the window black. Only the parts of a frame that
// changed are sent, unless the window needs the whole (its first frame, a new size, an exposure).
class TPresenter {
 public:
  // CheckPresents (a test switch): each frame sent in part is then sent whole, and the window's
  // contents after both are compared (see the counts printed when the presenter goes).
  TPresenter(Display* D, Window Target, Visual* V, int Depth, bool AllowShm, bool CheckPresents = false);
  ~TPresenter();
  TPresenter(const TPresenter&) = delete;
  TPresenter& operator=(const TPresenter&) = delete;

  // Memory for the next frame of Width x Height (Pitch in pixels), or false.
  bool Lend(int Width, int Height, std::uint32_t*& Pixels, int& Pitch);
  // Shows a frame; Pitch is in pixels. Changed: where it differs from the frame presented before
  // (as soft::TFrameBuffer::Changed says). When this returns the server has read the frame.
  void Present(const std::uint32_t* Pixels, int Width, int Height, int Pitch, int WindowWidth, int WindowHeight,
               const std::vector<soft::TPixelRect>& Changed);
  // The window no longer shows the last frame (exposed, or a frame was not presented): the
  // next one is sent whole.
  void Invalidate() { FWhole = true; }
  bool UsesShm() const { return FUseShm; }

 private:
  bool MakeShmImage(int Width, int Height);
  void FreeShmImage();
  bool ShmImageIs(int Width, int Height) const {
    return FShmImage && FShmImage->width == Width && FShmImage->height == Height;
  }
  // Rows Top .. Bottom-1 of a frame in the visual's own layout, into FConverted.
  void Convert(const std::uint32_t* Pixels, int Width, int Height, int Pitch, int Top, int Bottom);
  // Rows of Rect ready to be sent: converted, and copied into the shared image unless lent.
  void Prepare(const std::uint32_t* Pixels, int Width, int Height, int Pitch, bool Lent, const soft::TPixelRect& Rect);
  // Words from one row of converted pixels to the next.
  std::size_t SourcePitch(int Width) const {
    return FBitsPerPixel == 32 ? static_cast<std::size_t>(Width) : static_cast<std::size_t>(Width + 1) / 2;
  }
  // Sends Rect of the frame: from the shared image, or from Source (rows of SourcePitch words).
  void Send(const std::uint32_t* Source, int Width, int Height, int SourcePitch, bool FromShm,
            const soft::TPixelRect& Rect);

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
  bool FWhole = true;                // the next frame is sent whole
  int FShownSize[4] = {};            // the frame's and the window's sizes at the last present
  std::vector<soft::TPixelRect> FRects;
  bool FCheck;
  int FChecked = 0, FPartial = 0, FDiffered = 0;
};

}  // namespace qel::x11
