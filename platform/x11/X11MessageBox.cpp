#include "platform/x11/X11MessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include "platform/unix/MessageBoxLayout.h"
#include "platform/x11/X11Painter.h"

namespace qel::x11 {

void ShowMessageBox(Display* D, const TRect& Monitor, const std::string& Text, const std::string& Caption,
                    const std::function<bool()>& Abort, int WakeFd) {
  const int Screen = DefaultScreen(D);
  Visual* V = DefaultVisual(D, Screen);
  const Colormap Map = DefaultColormap(D, Screen);
  const int Depth = DefaultDepth(D, Screen);

  // Measured with a painter of a throw-away window, then laid out.
  XSetWindowAttributes A{};
  A.background_pixel = WhitePixel(D, Screen);
  A.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
  const Window W = XCreateWindow(D, RootWindow(D, Screen), 0, 0, 1, 1, 0, Depth, InputOutput, V,
                                 CWBackPixel | CWEventMask, &A);
  TPainter Painter(D, W, V, Map, Depth);
  const posix::TMessageBoxLayout Box = posix::LayOutMessageBox(Painter.TextWidth(Text, posix::MessageBoxFont()));
  const int Width = Box.Width, Height = Box.Height;
  const int X = Monitor.X + (Monitor.Width - Width) / 2, Y = Monitor.Y + (Monitor.Height - Height) / 2;
  XMoveResizeWindow(D, W, X, Y, static_cast<unsigned>(Width), static_cast<unsigned>(Height));

  XStoreName(D, W, Caption.c_str());
  const Atom Utf8 = XInternAtom(D, "UTF8_STRING", False);
  XChangeProperty(D, W, XInternAtom(D, "_NET_WM_NAME", False), Utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(Caption.data()), static_cast<int>(Caption.size()));
  const Atom Dialog = XInternAtom(D, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(D, W, XInternAtom(D, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&Dialog), 1);
  XSizeHints* Hints = XAllocSizeHints();
  Hints->flags = PPosition | PMinSize | PMaxSize;
  Hints->x = X;
  Hints->y = Y;
  Hints->min_width = Hints->max_width = Width;
  Hints->min_height = Hints->max_height = Height;
  XSetWMNormalHints(D, W, Hints);
  XFree(Hints);
  Atom DeleteWindow = XInternAtom(D, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(D, W, &DeleteWindow, 1);
  XMapRaised(D, W);

  bool Pressed = false;
  bool Done = false;
  const auto Paint = [&] { posix::PaintMessageBox(Painter, Box, Text, Pressed); };
  while (!Done && !Abort()) {
    if (!XPending(D)) {
      pollfd Fds[2] = {{ConnectionNumber(D), POLLIN, 0}, {WakeFd, POLLIN, 0}};
      poll(Fds, WakeFd >= 0 ? 2 : 1, 100);
      continue;
    }
    XEvent E;
    XNextEvent(D, &E);
    if (E.xany.window != W) continue;  // the program's other windows wait for the box
    switch (E.type) {
      case Expose:
        if (E.xexpose.count == 0) Paint();
        break;
      case KeyPress: {
        const KeySym Sym = XLookupKeysym(&E.xkey, 0);
        Done = Sym == XK_Return || Sym == XK_KP_Enter || Sym == XK_Escape || Sym == XK_space;
        break;
      }
      case ButtonPress:
        if (E.xbutton.button == Button1 && Box.OnButton(E.xbutton.x, E.xbutton.y)) {
          Pressed = true;
          Paint();
        }
        break;
      case ButtonRelease:
        if (Pressed) {
          Done = Box.OnButton(E.xbutton.x, E.xbutton.y);
          Pressed = false;
          Paint();
        }
        break;
      case ClientMessage:
        Done = static_cast<Atom>(E.xclient.data.l[0]) == DeleteWindow;
        break;
      case MapNotify:
        // Without a window manager the keys would follow the pointer; the box wants them.
        XSetInputFocus(D, W, RevertToParent, CurrentTime);
        break;
      case DestroyNotify:
        return;
      default:
        break;
    }
  }
  XDestroyWindow(D, W);
  XSync(D, False);
}

}  // namespace qel::x11
