#include "platform/x11/X11Presenter.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/x11/X11Errors.h"

namespace qel::x11 {
namespace {

int BitsPerPixelOfDepth(Display* D, int Depth) {
  int Count = 0;
  int Bits = 0;
  if (XPixmapFormatValues* Formats = XListPixmapFormats(D, &Count)) {
    for (int i = 0; i < Count; ++i)
      if (Formats[i].depth == Depth) Bits = Formats[i].bits_per_pixel;
    XFree(Formats);
  }
  return Bits;
}

}  // namespace

TPresenter::TPresenter(Display* D, Window Target, Visual* V, int Depth, bool AllowShm, bool CheckPresents)
    : FDisplay(D), FWindow(Target), FVisual(V), FDepth(Depth), FMasks(V), FCheck(CheckPresents) {
  FGC = XCreateGC(D, Target, 0, nullptr);
  XSetForeground(D, FGC, BlackPixel(D, DefaultScreen(D)));
  XSetGraphicsExposures(D, FGC, False);
  FBitsPerPixel = BitsPerPixelOfDepth(D, Depth);
  const bool TrueColour = V && V->c_class == TrueColor;
  // A visual with an alpha channel gets opaque pixels, whatever the frame's alpha says.
  if (TrueColour && Depth == 32) FOpaque = ~(V->red_mask | V->green_mask | V->blue_mask) & 0xFFFFFFFFul;
  FDirect = TrueColour && FMasks.IsPlainXrgb() && FBitsPerPixel == 32 && Depth == 24;
  FUseShm = AllowShm && XShmQueryExtension(D);
  if (!TrueColour || (FBitsPerPixel != 32 && FBitsPerPixel != 16)) {
    std::fprintf(stderr, "qelwave: the window's visual (depth %d) is not supported; nothing is drawn\n", Depth);
    FUnsupported = true;
  }
}

TPresenter::~TPresenter() {
  if (FCheck)
    std::fprintf(stderr, "qelwave: presents checked: %d, in part: %d, differing from whole presents: %d\n", FChecked,
                 FPartial, FDiffered);
  FreeShmImage();
  XFreeGC(FDisplay, FGC);
}

bool TPresenter::MakeShmImage(int Width, int Height) {
  FreeShmImage();
  FShmImage = XShmCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, nullptr, &FShm,
                              static_cast<unsigned>(Width), static_cast<unsigned>(Height));
  if (!FShmImage) return false;
  const std::size_t Bytes = static_cast<std::size_t>(FShmImage->bytes_per_line) * static_cast<std::size_t>(Height);
  FShm.shmid = shmget(IPC_PRIVATE, Bytes, IPC_CREAT | 0600);
  if (FShm.shmid >= 0) {
    FShm.shmaddr = FShmImage->data = static_cast<char*>(shmat(FShm.shmid, nullptr, 0));
    if (FShm.shmaddr == reinterpret_cast<char*>(-1)) FShm.shmaddr = FShmImage->data = nullptr;
  }
  bool Attached = false;
  if (FShm.shmaddr) {
    FShm.readOnly = True;
    // A remote server refuses the attach (BadAccess) although it offers the extension.
    TErrorTrap Trap(FDisplay);
    Attached = XShmAttach(FDisplay, &FShm) && !Trap.Failed();
  }
  // Marked for removal at once: the segment goes away with the last user, even after a crash.
  if (FShm.shmid >= 0) shmctl(FShm.shmid, IPC_RMID, nullptr);
  if (Attached) return true;
  if (FShm.shmaddr) shmdt(FShm.shmaddr);
  FShm = {};
  FShmImage->data = nullptr;
  XDestroyImage(FShmImage);
  FShmImage = nullptr;
  return false;
}

void TPresenter::FreeShmImage() {
  if (!FShmImage) return;
  XShmDetach(FDisplay, &FShm);
  XSync(FDisplay, False);
  shmdt(FShm.shmaddr);
  FShmImage->data = nullptr;
  XDestroyImage(FShmImage);
  FShmImage = nullptr;
  FShm = {};
}

// Frames in the visual's own pixel layout, for the visuals that do not take them as they are.
void TPresenter::Convert(const std::uint32_t* Pixels, int Width, int Height, int Pitch, int Top, int Bottom) {
  const std::size_t W = static_cast<std::size_t>(Width);
  if (FBitsPerPixel == 32) {
    FConverted.resize(W * static_cast<std::size_t>(Height));
    for (int Y = Top; Y < Bottom; ++Y)
      for (std::size_t X = 0; X < W; ++X)
        FConverted[Y * W + X] =
            static_cast<std::uint32_t>(FMasks.FromXrgb(Pixels[static_cast<std::size_t>(Y) * Pitch + X]) | FOpaque);
  } else {
    // 16-bit pixels, two to a word, rows padded to whole words.
    const std::size_t Row = (W + 1) / 2;
    FConverted.resize(Row * static_cast<std::size_t>(Height));
    auto* Out = reinterpret_cast<std::uint16_t*>(FConverted.data());
    for (int Y = Top; Y < Bottom; ++Y)
      for (std::size_t X = 0; X < W; ++X)
        Out[static_cast<std::size_t>(Y) * Row * 2 + X] =
            static_cast<std::uint16_t>(FMasks.FromXrgb(Pixels[static_cast<std::size_t>(Y) * Pitch + X]));
  }
}

bool TPresenter::Lend(int Width, int Height, std::uint32_t*& Pixels, int& Pitch) {
  if (!FDirect || !FUseShm || FUnsupported || Width <= 0 || Height <= 0) return false;
  if (!ShmImageIs(Width, Height)) FUseShm = MakeShmImage(Width, Height);
  if (!FUseShm) return false;
  Pixels = reinterpret_cast<std::uint32_t*>(FShmImage->data);
  Pitch = FShmImage->bytes_per_line / 4;
  return true;
}

void TPresenter::Send(const std::uint32_t* Source, int Width, int Height, int SourcePitch, bool FromShm,
                      const soft::TPixelRect& R) {
  const unsigned W = static_cast<unsigned>(R.Right - R.Left), H = static_cast<unsigned>(R.Bottom - R.Top);
  if (FromShm) {
    XShmPutImage(FDisplay, FWindow, FGC, FShmImage, R.Left, R.Top, R.Left, R.Top, W, H, False);
    return;
  }
  // Straight from the frame: Xlib sends the rows without another copy of their own.
  XImage* Image = XCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, 0,
                               const_cast<char*>(reinterpret_cast<const char*>(Source)), static_cast<unsigned>(Width),
                               static_cast<unsigned>(Height), 32, SourcePitch * 4);
  if (!Image) return;
  Image->byte_order = LSBFirst;  // the words are in this machine's order
  XPutImage(FDisplay, FWindow, FGC, Image, R.Left, R.Top, R.Left, R.Top, W, H);
  Image->data = nullptr;
  XDestroyImage(Image);
}

void TPresenter::Prepare(const std::uint32_t* Pixels, int Width, int Height, int Pitch, bool Lent,
                         const soft::TPixelRect& R) {
  if (!FDirect) Convert(Pixels, Width, Height, Pitch, R.Top, R.Bottom);
  if (!FUseShm || Lent) return;
  const std::size_t RowBytes = FDirect ? static_cast<std::size_t>(Width) * 4 : SourcePitch(Width) * 4;
  const std::uint32_t* Rows = FDirect ? Pixels : FConverted.data();
  const std::size_t RowPitch = FDirect ? static_cast<std::size_t>(Pitch) : SourcePitch(Width);
  for (int Y = R.Top; Y < R.Bottom; ++Y)
    std::memcpy(FShmImage->data + static_cast<std::size_t>(Y) * FShmImage->bytes_per_line, Rows + Y * RowPitch,
                std::min(RowBytes, static_cast<std::size_t>(FShmImage->bytes_per_line)));
}

void TPresenter::Present(const std::uint32_t* Pixels, int Width, int Height, int Pitch, int WindowWidth,
                         int WindowHeight, const std::vector<soft::TPixelRect>& Changed) {
  if (FUnsupported || Width <= 0 || Height <= 0) return;
  const bool Lent = FShmImage && Pixels == reinterpret_cast<const std::uint32_t*>(FShmImage->data);
  const int W = std::min(Width, WindowWidth), H = std::min(Height, WindowHeight);
  const int Sizes[4] = {Width, Height, WindowWidth, WindowHeight};
  const bool Whole = FWhole || !std::equal(Sizes, Sizes + 4, FShownSize);
  std::copy(Sizes, Sizes + 4, FShownSize);
  FWhole = false;
  if (FUseShm && !Lent && !ShmImageIs(Width, Height)) FUseShm = MakeShmImage(Width, Height);
  FRects.clear();
  if (Whole) {
    if (W > 0 && H > 0) FRects.push_back({0, 0, W, H});
  } else {
    for (const soft::TPixelRect& R : Changed) {
      const soft::TPixelRect In{std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, W), std::min(R.Bottom, H)};
      if (In.Left < In.Right && In.Top < In.Bottom) FRects.push_back(In);
    }
  }
  if (FRects.empty() && !Whole && !FCheck) return;  // nothing changed: nothing is sent
  for (const soft::TPixelRect& R : FRects) Prepare(Pixels, Width, Height, Pitch, Lent, R);
  const std::uint32_t* Source = FDirect ? Pixels : FConverted.data();
  const int Words = FDirect ? Pitch : static_cast<int>(SourcePitch(Width));
  for (const soft::TPixelRect& R : FRects) Send(Source, Width, Height, Words, FUseShm, R);
  if (Whole && WindowWidth > Width)
    XFillRectangle(FDisplay, FWindow, FGC, Width, 0, static_cast<unsigned>(WindowWidth - Width),
                   static_cast<unsigned>(WindowHeight));
  if (Whole && WindowHeight > Height && W > 0)
    XFillRectangle(FDisplay, FWindow, FGC, 0, Height, static_cast<unsigned>(W),
                   static_cast<unsigned>(WindowHeight - Height));
  if (FCheck && !Whole && W > 0 && H > 0) {
    // The window after the parts sent, against the window after the whole frame is sent.
    XSync(FDisplay, False);
    XImage* InPart = XGetImage(FDisplay, FWindow, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H), AllPlanes,
                               ZPixmap);
    const soft::TPixelRect All{0, 0, W, H};
    Prepare(Pixels, Width, Height, Pitch, Lent, All);
    if (!FDirect) Source = FConverted.data();
    Send(Source, Width, Height, Words, FUseShm, All);
    XSync(FDisplay, False);
    XImage* InWhole = XGetImage(FDisplay, FWindow, 0, 0, static_cast<unsigned>(W), static_cast<unsigned>(H), AllPlanes,
                                ZPixmap);
    bool Same = InPart && InWhole;
    const std::size_t RowBytes = static_cast<std::size_t>(W) * static_cast<std::size_t>(FBitsPerPixel) / 8;
    for (int Y = 0; Same && Y < H; ++Y)
      Same = std::memcmp(InPart->data + static_cast<std::size_t>(Y) * InPart->bytes_per_line,
                         InWhole->data + static_cast<std::size_t>(Y) * InWhole->bytes_per_line, RowBytes) == 0;
    ++FChecked;
    FPartial += !(FRects.size() == 1 && FRects[0] == All);
    FDiffered += !Same;
    if (InPart) XDestroyImage(InPart);
    if (InWhole) XDestroyImage(InWhole);
  }
  // The server has read the shared image once this returns: the next frame may be drawn into it.
  XSync(FDisplay, False);
}

}  // namespace qel::x11
