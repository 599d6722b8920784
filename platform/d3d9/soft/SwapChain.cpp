#include "platform/d3d9/soft/SwapChain.h"

#include <algorithm>
#include <cstdio>

#include "platform/d3d9/soft/RowKernels.h"

namespace qel::soft {

namespace {

constexpr int MaxNamedFrames = 10;

// The one opacity fix-up: every pixel of Height rows of Width gets alpha 255.
void MakeOpaque(std::uint32_t* Pixels, int Width, int Height, int Pitch) {
  for (int y = 0; y < Height; ++y) OpaqueRow(Pixels + static_cast<std::size_t>(y) * Pitch, Width);
}

void CopyRows(const std::uint32_t* From, int FromPitch, std::uint32_t* To, int ToPitch, int Width, int Height) {
  for (int y = 0; y < Height; ++y)
    std::copy_n(From + static_cast<std::size_t>(y) * FromPitch, Width, To + static_cast<std::size_t>(y) * ToPitch);
}

}  // namespace

TSwapChain::~TSwapChain() {
  if (FChecked > 0)
    std::fprintf(stderr, "soft device: %d frames checked against the frames drawn whole, %d differed\n", FChecked,
                 FDiffering);
}

void TSwapChain::Resize(int Width, int Height, bool HasAlpha) {
  FTiles.Discard();
  FWidth = Width;
  FHeight = Height;
  FHasAlpha = HasAlpha;
  FOwn.assign(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height), 0);
  FPixels = FOwn.data();
  FPitch = Width;
  FLentBy = nullptr;
  FSwapping = false;
  FWholeStale = true;
  FFrameDiffs = {};
}

void TSwapChain::SetCheckShown(bool Check) {
  if (Check != FCheck) FWholeStale = true;
  FCheck = Check;
}

TTarget TSwapChain::Target(float* Depth) const { return {FPixels, FWidth, FHeight, FPitch, FHasAlpha, Depth}; }

void TSwapChain::Flush(float* Depth, const TDrawSettings& Settings) {
  if (FTiles.Empty()) return;
  // Drawn opaque only where frames are shown by swapping: elsewhere nothing shows them, or
  // the copy shown is made opaque anyway.
  const bool Opaque = ShownOpaque() && FSwapping;
  // Frames with depth are drawn whole anyway (no tile is remembered).
  if (!FCheck || Depth) {
    FTiles.Flush(Target(Depth), Settings, Opaque);
    return;
  }
  if (FWholeStale) {
    FWhole.resize(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight));
    CopyRows(FPixels, FPitch, FWhole.data(), FWidth, FWidth, FHeight);
    FWholeStale = false;
  }
  const TTarget Whole{FWhole.data(), FWidth, FHeight, FWidth, FHasAlpha, nullptr};
  FTiles.Flush(Target(Depth), Settings, Opaque, &Whole);
}

void TSwapChain::Written(const std::uint32_t* Pixels, int Pitch, bool Opaque) {
  if (Pixels == FPixels && FCheck) {
    // What was drawn so far is checked before the reference starts again from the write.
    Check();
    FWholeStale = true;
  }
  FTiles.Written(Pixels, Pitch, Opaque);
}

std::uint32_t* TSwapChain::Lock() {
  Written(FPixels, FPitch);
  return FPixels;
}

void TSwapChain::Check() {
  if (FWholeStale) return;  // nothing drawn since the reference was last taken
  const std::uint32_t Mask = FHasAlpha ? 0xFFFFFFFFu : 0x00FFFFFFu;  // alpha is undefined without
  for (int y = 0; y < FHeight; ++y) {
    const std::uint32_t* Row = FPixels + static_cast<std::size_t>(y) * FPitch;
    const std::uint32_t* Whole = FWhole.data() + static_cast<std::size_t>(y) * FWidth;
    for (int x = 0; x < FWidth; ++x) {
      if (((Row[x] ^ Whole[x]) & Mask) == 0) continue;
      if (FFrameDiffs.Pixels++ == 0) FFrameDiffs = {1, x, y, Row[x], Whole[x]};
    }
  }
}

void TSwapChain::FinishCheck() {
  Check();
  FWholeStale = true;
  ++FChecked;
  // The first frames that differ are named; the count says how many more did.
  if (FFrameDiffs.Pixels > 0 && ++FDiffering <= MaxNamedFrames) {
    std::fprintf(stderr,
                 "soft device: frame %d differs from the frame drawn whole in %lld pixels, the first at (%d, %d): "
                 "%08X instead of %08X\n",
                 FChecked, FFrameDiffs.Pixels, FFrameDiffs.X, FFrameDiffs.Y, FFrameDiffs.Shown, FFrameDiffs.Whole);
  }
  FFrameDiffs = {};
}

void TSwapChain::Present(TPresentTarget& T, HWND Window, bool Discard) {
  if (FCheck) FinishCheck();
  if (T.BufferPresenter.Show) {
    ShowLent(T, Window);
    return;
  }
  // A discarded back buffer need not keep its pixels: the frame changes places with the one
  // kept before, instead of being copied.
  const bool Swap = Discard && !FLentBy && T.Frame.Pixels.size() == FOwn.size() && T.Frame.Width == FWidth;
  if (Swap) {
    // Made opaque as it was drawn, unless it was written otherwise.
    if (ShownOpaque() && !FTiles.Opaque(FPixels)) {
      MakeOpaque(FPixels, FWidth, FHeight, FPitch);
      Written(FPixels, FPitch, true);
    }
    T.Frame.Pixels.swap(FOwn);
    FPixels = FOwn.data();
    FSwapping = true;
  } else {
    // Into memory that may be drawn into later, once swapped in.
    Read(T.Frame);
    Written(T.Frame.Pixels.data(), T.Frame.Width, ShownOpaque());
  }
  if (T.Presenter) T.Presenter(T.Frame);
}

void TSwapChain::ShowLent(TPresentTarget& T, HWND Window) {
  TFrameBuffer Shown{FPixels, FWidth, FHeight, FPitch, FTiles.ChangedSinceShown(Target(nullptr))};
  if (Window != FShownIn) Shown.Changed = {{0, 0, FWidth, FHeight}};
  FShownIn = Window;
  T.BufferPresenter.Show(Shown);
  TFrameBuffer Next;
  if (T.BufferPresenter.Lend && T.BufferPresenter.Lend(FWidth, FHeight, Next) && Next.Pixels && Next.Width == FWidth &&
      Next.Height == FHeight && Next.Pitch >= FWidth) {
    // The memory lent for the frame before holds what was drawn into it, and so does memory
    // lent before that nothing else wrote since (its record says which frames it missed).
    if (Next.Pixels != FPixels && !Next.Kept) Written(Next.Pixels, Next.Pitch);
    FPixels = Next.Pixels, FPitch = Next.Pitch, FLentBy = Window;
  } else {
    FPixels = FOwn.data(), FPitch = FWidth, FLentBy = nullptr;
  }
}

void TSwapChain::ReturnLent(HWND Window) {
  if (!FLentBy || (Window && Window != FLentBy)) return;
  CopyRows(FPixels, FPitch, FOwn.data(), FWidth, FWidth, FHeight);
  FPixels = FOwn.data();
  FPitch = FWidth;
  FLentBy = nullptr;
  Written(FPixels, FPitch);
}

void TSwapChain::Read(TFrame& Frame) const {
  Frame.Width = FWidth;
  Frame.Height = FHeight;
  Frame.Pixels.resize(FOwn.size());
  CopyRows(FPixels, FPitch, Frame.Pixels.data(), FWidth, FWidth, FHeight);
  if (ShownOpaque()) MakeOpaque(Frame.Pixels.data(), FWidth, FHeight, FWidth);
}

}  // namespace qel::soft
