#pragma once
// The device's back buffer and how its frames are shown: its own memory, memory a presenter
// lends, or a kept frame it changes places with. Every write into a frame buffer other than
// drawing passes through here and tells the buffer records (TargetBuffer.h), and so does the
// one opacity fix-up: frames of a target without alpha are shown with alpha 255.
//
// With CheckShown, every frame is compared before it is shown with the same frame drawn whole
// (without the tile cache) into memory of its own; differing frames are named on standard
// error as they come, and the counts when the device goes.
#include <cstdint>
#include <vector>

#include "platform/d3d9/soft/Presentation.h"
#include "platform/d3d9/soft/SoftState.h"
#include "platform/d3d9/soft/TileRenderer.h"

namespace qel::soft {

class TSwapChain {
 public:
  explicit TSwapChain(TTileRenderer& Tiles) : FTiles(Tiles) {}
  ~TSwapChain();
  TSwapChain(const TSwapChain&) = delete;
  TSwapChain& operator=(const TSwapChain&) = delete;

  // A new back buffer of its own, black, for frames shown opaque unless HasAlpha.
  void Resize(int Width, int Height, bool HasAlpha);
  TTarget Target(float* Depth) const;
  int Pitch() const { return FPitch; }
  // Draws what the renderer recorded into the back buffer (a sync point).
  void Flush(float* Depth, const TDrawSettings& Settings);
  // The back buffer for a caller that may write any pixel, any alpha (after a Flush).
  std::uint32_t* Lock();
  // Points and lines are about to be drawn straight into the back buffer.
  void DrawingAtOnce() { Written(FPixels, FPitch); }
  // Shows the frame drawn (after a Flush) in Window. Discard: the back buffer need not keep
  // its pixels, so that a kept frame may change places with it.
  void Present(TPresentTarget& T, HWND Window, bool Discard);
  // Back to memory of its own, keeping the frame, if it draws into memory lent for Window
  // (any window when null); after a Flush.
  void ReturnLent(HWND Window);
  // A copy of the back buffer as shown (after a Flush).
  void Read(TFrame& Frame) const;
  void SetCheckShown(bool Check);
  int CheckedFrames() const { return FChecked; }
  int DifferingFrames() const { return FDiffering; }

 private:
  bool ShownOpaque() const { return !FHasAlpha; }
  void Written(const std::uint32_t* Pixels, int Pitch, bool Opaque = false);
  void ShowLent(TPresentTarget& T, HWND Window);
  // Counts the pixels where the back buffer differs from the frame drawn whole; FinishCheck
  // ends the frame's count (and names a frame that differed).
  void Check();
  void FinishCheck();

  TTileRenderer& FTiles;
  int FWidth = 0, FHeight = 0;
  bool FHasAlpha = false;
  std::vector<std::uint32_t> FOwn;  // own memory
  std::uint32_t* FPixels = nullptr;  // the back buffer: own or lent memory
  int FPitch = 0;
  HWND FLentBy = nullptr;   // the window whose presenter lent FPixels
  HWND FShownIn = nullptr;  // the window a buffer presenter showed the last frame in
  // Frames are shown by swapping buffers: drawing then makes every pixel opaque, tile by
  // tile, so that presenting needs no pass of its own.
  bool FSwapping = false;

  bool FCheck = false;
  std::vector<std::uint32_t> FWhole;  // the frame drawn whole; Width pixels a row
  bool FWholeStale = true;            // to be copied from the back buffer before drawing
  int FChecked = 0, FDiffering = 0;
  struct TDifferences {
    long long Pixels = 0;
    int X = 0, Y = 0;  // the first
    std::uint32_t Shown = 0, Whole = 0;
  };
  TDifferences FFrameDiffs;
};

}  // namespace qel::soft
