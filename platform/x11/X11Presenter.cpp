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

TPresenter::TPresenter(Display* D, Window Target, Visual* V, int Depth, bool AllowShm)
    : FDisplay(D), FWindow(Target), FVisual(V), FDepth(Depth), FMasks(V) {
  FGC = XCreateGC(D, Target, 0, nullptr);
  XSetForeground(D, FGC, BlackPixel(D, DefaultScreen(D)));
  XSetGraphicsExposures(D, FGC, False);
  FBitsPerPixel = BitsPerPixelOfDepth(D, Depth);
  const bool TrueColour = V && V->c_class == TrueColor;
  FDirect = TrueColour && FMasks.IsPlainXrgb() && FBitsPerPixel == 32;
  FUseShm = AllowShm && XShmQueryExtension(D);
  if (!TrueColour || (FBitsPerPixel != 32 && FBitsPerPixel != 16)) {
    std::fprintf(stderr, "qelwave: the window's visual (depth %d) is not supported; nothing is drawn\n", Depth);
    FWarned = true;
  }
}

TPresenter::~TPresenter() {
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
const std::uint32_t* TPresenter::Convert(const std::uint32_t* Pixels, int Width, int Height) {
  const std::size_t Count = static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height);
  if (FBitsPerPixel == 32) {
    FConverted.resize(Count);
    for (std::size_t i = 0; i < Count; ++i) FConverted[i] = static_cast<std::uint32_t>(FMasks.FromXrgb(Pixels[i]));
  } else {
    // 16-bit pixels, two to a word, rows padded to whole words.
    const std::size_t Row = (static_cast<std::size_t>(Width) + 1) / 2;
    FConverted.assign(Row * static_cast<std::size_t>(Height), 0);
    auto* Out = reinterpret_cast<std::uint16_t*>(FConverted.data());
    for (int Y = 0; Y < Height; ++Y)
      for (int X = 0; X < Width; ++X)
        Out[static_cast<std::size_t>(Y) * Row * 2 + static_cast<std::size_t>(X)] =
            static_cast<std::uint16_t>(FMasks.FromXrgb(Pixels[static_cast<std::size_t>(Y) * Width + X]));
  }
  return FConverted.data();
}

void TPresenter::Present(const std::uint32_t* Pixels, int Width, int Height, int WindowWidth, int WindowHeight) {
  if (FWarned || Width <= 0 || Height <= 0) return;
  const std::uint32_t* Source = FDirect ? Pixels : Convert(Pixels, Width, Height);
  const int W = std::min(Width, WindowWidth);
  const int H = std::min(Height, WindowHeight);
  const unsigned UW = static_cast<unsigned>(std::max(W, 0));
  const unsigned UH = static_cast<unsigned>(std::max(H, 0));
  if (FUseShm && (!FShmImage || FShmImage->width != Width || FShmImage->height != Height))
    FUseShm = MakeShmImage(Width, Height);
  if (FUseShm) {
    const std::size_t SourceRow = FBitsPerPixel == 32 ? static_cast<std::size_t>(Width) * 4
                                                      : (static_cast<std::size_t>(Width) + 1) / 2 * 4;
    if (static_cast<std::size_t>(FShmImage->bytes_per_line) == SourceRow) {
      std::memcpy(FShmImage->data, Source, SourceRow * static_cast<std::size_t>(Height));
    } else {
      for (int Y = 0; Y < Height; ++Y)
        std::memcpy(FShmImage->data + static_cast<std::size_t>(Y) * FShmImage->bytes_per_line,
                    reinterpret_cast<const char*>(Source) + static_cast<std::size_t>(Y) * SourceRow, SourceRow);
    }
    if (W > 0 && H > 0) XShmPutImage(FDisplay, FWindow, FGC, FShmImage, 0, 0, 0, 0, UW, UH, False);
  } else if (W > 0 && H > 0) {
    // Straight from the frame: Xlib sends the rows without another copy of their own.
    XImage* Image = XCreateImage(FDisplay, FVisual, static_cast<unsigned>(FDepth), ZPixmap, 0,
                                 const_cast<char*>(reinterpret_cast<const char*>(Source)),
                                 static_cast<unsigned>(Width), static_cast<unsigned>(Height), 32, 0);
    if (Image) {
      Image->byte_order = LSBFirst;  // the words are in this machine's order
      XPutImage(FDisplay, FWindow, FGC, Image, 0, 0, 0, 0, UW, UH);
      Image->data = nullptr;
      XDestroyImage(Image);
    }
  }
  if (WindowWidth > Width)
    XFillRectangle(FDisplay, FWindow, FGC, Width, 0, static_cast<unsigned>(WindowWidth - Width),
                   static_cast<unsigned>(WindowHeight));
  if (WindowHeight > Height && W > 0)
    XFillRectangle(FDisplay, FWindow, FGC, 0, Height, UW, static_cast<unsigned>(WindowHeight - Height));
  // The server has read the shared image once this returns, so the next frame may overwrite it.
  XSync(FDisplay, False);
}

}  // namespace qel::x11
