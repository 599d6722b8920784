#include "platform/d3d9/gl/EglContext.h"

#include <cstring>

namespace qel::gl {
namespace {

// The context current on this thread, so that switching costs nothing when it stays.
const TEglContext* Current = nullptr;

bool HasExtension(const char* List, const char* Name) {
  if (!List) return false;
  const std::size_t Length = std::strlen(Name);
  for (const char* P = std::strstr(List, Name); P; P = std::strstr(P + 1, Name))
    if ((P == List || P[-1] == ' ') && (P[Length] == ' ' || P[Length] == '\0')) return true;
  return false;
}

// The EGL platform for a window's system, the extension that offers it, and what to call it.
struct TPlatform {
  EGLenum Name;
  const char* Extension;
  const char* What;
};

TPlatform PlatformOf(const d3d9::TNativeWindow* Window) {
  if (!Window) return {EGL_PLATFORM_SURFACELESS_MESA, "EGL_MESA_platform_surfaceless", "surfaceless"};
  if (Window->System == d3d9::TNativeWindow::TSystem::Wayland)
    return {EGL_PLATFORM_WAYLAND_KHR, "EGL_KHR_platform_wayland", "Wayland"};
  return {EGL_PLATFORM_X11_KHR, "EGL_KHR_platform_x11", "X11"};
}

// Displays are initialised when first asked for and never given back: terminating one would
// end every context on it and unload the driver with what it keeps.
EGLDisplay OpenDisplay(const d3d9::TNativeWindow* Window, std::string& Error) {
  const char* Client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const TPlatform P = PlatformOf(Window);
  if (!HasExtension(Client, P.Extension)) {
    Error = std::string("EGL offers no ") + P.What + " platform";
    return EGL_NO_DISPLAY;
  }
  EGLDisplay D = eglGetPlatformDisplay(P.Name, Window ? Window->Display : EGL_DEFAULT_DISPLAY, nullptr);
  EGLint Major = 0, Minor = 0;
  if (D == EGL_NO_DISPLAY || !eglInitialize(D, &Major, &Minor)) {
    Error = std::string("EGL could not initialise its ") + P.What + " display";
    return EGL_NO_DISPLAY;
  }
  return D;
}

EGLint Attribute(EGLDisplay Display, EGLConfig Config, EGLint Name) {
  EGLint Value = 0;
  eglGetConfigAttrib(Display, Config, Name, &Value);
  return Value;
}

// A surface on the window in an 8-bit RGB configuration, where EGL gives one.
EGLSurface WindowSurface(EGLDisplay Display, const d3d9::TNativeWindow& Window) {
  const EGLint Wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_RED_SIZE, 8,
                           EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
  EGLConfig Configs[64];
  EGLint Count = 0;
  if (!eglChooseConfig(Display, Wanted, Configs, 64, &Count)) return EGL_NO_SURFACE;
  if (Window.System == d3d9::TNativeWindow::TSystem::Wayland) {
    // A compositor blends a buffer with alpha over what lies below: the frames are opaque.
    for (EGLint i = 0; i < Count; ++i)
      if (Attribute(Display, Configs[i], EGL_ALPHA_SIZE) == 0)
        return eglCreatePlatformWindowSurface(Display, Configs[i], reinterpret_cast<void*>(Window.Window), nullptr);
    return EGL_NO_SURFACE;
  }
  for (EGLint i = 0; i < Count; ++i) {
    // Whichever matches the window's visual takes it.
    std::uintptr_t Xid = Window.Window;
    const EGLSurface S = eglCreatePlatformWindowSurface(Display, Configs[i], &Xid, nullptr);
    if (S != EGL_NO_SURFACE) return S;
  }
  return EGL_NO_SURFACE;
}

}  // namespace

std::unique_ptr<TEglContext> TEglContext::Create(std::string& Error, const d3d9::TNativeWindow* Window) {
  const EGLDisplay Display = OpenDisplay(Window, Error);
  if (Display == EGL_NO_DISPLAY) return nullptr;
  std::unique_ptr<TEglContext> C(new TEglContext);
  C->FDisplay = Display;
  const char* Extensions = eglQueryString(Display, EGL_EXTENSIONS);
  if (!HasExtension(Extensions, "EGL_KHR_surfaceless_context") || !HasExtension(Extensions, "EGL_KHR_no_config_context")) {
    Error = "EGL cannot make a context without a surface";
    return nullptr;
  }
  if (!eglBindAPI(EGL_OPENGL_ES_API)) {
    Error = "EGL offers no OpenGL ES";
    return nullptr;
  }
  // Robustness where offered: a GPU reset then loses the context instead of ending the program.
  const bool Robust = HasExtension(Extensions, "EGL_EXT_create_context_robustness");
  const EGLint RobustAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_OPENGL_RESET_NOTIFICATION_STRATEGY_EXT,
                                     EGL_LOSE_CONTEXT_ON_RESET_EXT, EGL_NONE};
  const EGLint PlainAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
  C->FContext = eglCreateContext(Display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, Robust ? RobustAttributes : PlainAttributes);
  if (C->FContext == EGL_NO_CONTEXT && Robust)
    C->FContext = eglCreateContext(Display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, PlainAttributes);
  if (C->FContext == EGL_NO_CONTEXT) {
    Error = "EGL gives no OpenGL ES 3.0 context";
    return nullptr;
  }
  C->FNativeDisplay = Window ? Window->Display : nullptr;
  if (Window) C->SurfaceOn(*Window);
  if (!C->MakeCurrent()) {
    Error = "EGL cannot make the OpenGL ES context current";
    return nullptr;
  }
  const auto* Renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  C->FRenderer = Renderer ? Renderer : "";
  const auto* GlExtensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  C->FReadsBgra = HasExtension(GlExtensions, "GL_EXT_read_format_bgra");
  if (HasExtension(GlExtensions, "GL_EXT_robustness"))
    C->FResetStatus = reinterpret_cast<GLenum (*)()>(eglGetProcAddress("glGetGraphicsResetStatusEXT"));
  return C;
}

TEglContext::~TEglContext() {
  if (Current == this) {
    eglMakeCurrent(FDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    Current = nullptr;
  }
  if (FSurface != EGL_NO_SURFACE) eglDestroySurface(FDisplay, FSurface);
  if (FContext != EGL_NO_CONTEXT) eglDestroyContext(FDisplay, FContext);
}

bool TEglContext::SurfaceOn(const d3d9::TNativeWindow& Window) {
  if (Window.Serial != FSurfaceWindow && Window.Display == FNativeDisplay) {
    DropSurface();
    if (Window.Window) FSurface = WindowSurface(FDisplay, Window);
    FSurfaceWindow = Window.Serial;
    if (Current == this) Current = nullptr;  // current again, with the surface
  }
  return Window.Serial == FSurfaceWindow && FSurface != EGL_NO_SURFACE && MakeCurrent();
}

void TEglContext::DropSurface() {
  if (FSurface == EGL_NO_SURFACE) return;
  // Current without a surface, so that the surface goes at once.
  if (Current == this) eglMakeCurrent(FDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, FContext);
  eglDestroySurface(FDisplay, FSurface);
  FSurface = EGL_NO_SURFACE;
  FInterval = -1;
}

bool TEglContext::Swap() {
  if (eglSwapBuffers(FDisplay, FSurface)) return true;
  // EGL's word for a context lost to a power event or a GPU reset, with or without robustness.
  if (eglGetError() == EGL_CONTEXT_LOST) FLost = true;
  return false;
}

void TEglContext::SetSwapInterval(int Interval) {
  if (Interval == FInterval || !MakeCurrent()) return;
  eglSwapInterval(FDisplay, Interval);
  FInterval = Interval;
}

bool TEglContext::MakeCurrent() {
  if (Current == this) return true;
  if (!eglMakeCurrent(FDisplay, FSurface, FSurface, FContext)) return false;
  Current = this;
  return true;
}

bool TEglContext::Lost() {
  if (!FLost && FResetStatus && MakeCurrent()) FLost = FResetStatus() != GL_NO_ERROR;
  return FLost;
}

}  // namespace qel::gl
