#pragma once
// An OpenGL ES 3.0 context through EGL, for one device: on the display of the window the
// platform handed over, with a surface on that window that frames are swapped to while it is
// mapped, or else on the surfaceless platform (frames read back and handed to a presenter);
// current whenever the device works.
#include <memory>
#include <string>

#include "platform/d3d9/NativeWindow.h"
#include "platform/d3d9/gl/GlApi.h"

namespace qel::gl {

class TEglContext {
 public:
  // Null, with the reason in Error, where EGL gives no OpenGL ES 3.0 context. With Window, on
  // its display with a surface on it where EGL gives one (see HasSurface), else surfaceless.
  static std::unique_ptr<TEglContext> Create(std::string& Error, const d3d9::TNativeWindow* Window = nullptr);
  ~TEglContext();
  TEglContext(const TEglContext&) = delete;
  TEglContext& operator=(const TEglContext&) = delete;

  // Makes the context current on this thread (cheap when it is already); false when EGL refuses.
  bool MakeCurrent();
  // The driver's name for itself (GL_RENDERER), e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
  const std::string& Renderer() const { return FRenderer; }
  // True once the driver says the context was lost (a GPU reset): nothing drawn in it counts.
  bool Lost();
  // The driver reads BGRA pixels back directly (GL_EXT_read_format_bgra).
  bool ReadsBgra() const { return FReadsBgra; }
  // A window surface on Window's native window as it is registered now (made on first
  // asking, again after it was registered anew): framebuffer 0 is then the window's, and
  // Swap shows it. False where there is none: another display, an unmapped window, no
  // configuration EGL can show in it.
  bool SurfaceOn(const d3d9::TNativeWindow& Window);
  // Lets go of the window surface (its native window is about to go).
  void DropSurface();
  // Shows what framebuffer 0 holds; false when EGL could not.
  bool Swap();
  // 0: frames go to the screen at once; 1: with the display's refresh, where it paces.
  void SetSwapInterval(int Interval);

 private:
  TEglContext() = default;

  EGLDisplay FDisplay = EGL_NO_DISPLAY;
  EGLContext FContext = EGL_NO_CONTEXT;
  EGLSurface FSurface = EGL_NO_SURFACE;
  void* FNativeDisplay = nullptr;    // the display of the windows it may draw in
  std::uint64_t FSurfaceWindow = 0;  // the TNativeWindow::Serial the surface was made for
  int FInterval = -1;
  std::string FRenderer;
  bool FReadsBgra = false;
  bool FLost = false;
  GLenum (*FResetStatus)() = nullptr;
};

}  // namespace qel::gl
