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

// The surfaceless display is initialised while contexts live on it, and given back with the
// last: a process without a device then holds no driver (nor its threads, which a fork would
// not carry into the child).
int Contexts = 0;

EGLDisplay SurfacelessDisplay(std::string& Error) {
  if (!HasExtension(eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS), "EGL_MESA_platform_surfaceless")) {
    Error = "EGL offers no surfaceless platform";
    return EGL_NO_DISPLAY;
  }
  EGLDisplay D = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint Major = 0, Minor = 0;
  if (D == EGL_NO_DISPLAY || !eglInitialize(D, &Major, &Minor)) {
    Error = "EGL could not initialise its surfaceless display";
    return EGL_NO_DISPLAY;
  }
  return D;
}

}  // namespace

std::unique_ptr<TEglContext> TEglContext::Create(std::string& Error) {
  const EGLDisplay Display = SurfacelessDisplay(Error);
  if (Display == EGL_NO_DISPLAY) return nullptr;
  // From here the context owns its hold on the display, failed or not.
  std::unique_ptr<TEglContext> C(new TEglContext);
  C->FDisplay = Display;
  ++Contexts;
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
  if (FContext != EGL_NO_CONTEXT) eglDestroyContext(FDisplay, FContext);
  if (--Contexts == 0) {
    eglMakeCurrent(FDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglTerminate(FDisplay);
    eglReleaseThread();
  }
}

bool TEglContext::MakeCurrent() {
  if (Current == this) return true;
  if (!eglMakeCurrent(FDisplay, EGL_NO_SURFACE, EGL_NO_SURFACE, FContext)) return false;
  Current = this;
  return true;
}

bool TEglContext::Lost() {
  if (!FLost && FResetStatus && MakeCurrent()) FLost = FResetStatus() != GL_NO_ERROR;
  return FLost;
}

}  // namespace qel::gl
