#pragma once
// An OpenGL ES 3.0 context through EGL, for one device: made on the surfaceless platform
// (frames read back or handed to a presenter), current whenever the device works.
#include <memory>
#include <string>

#include "platform/d3d9/gl/GlApi.h"

namespace qel::gl {

class TEglContext {
 public:
  // Null, with the reason in Error, where EGL gives no OpenGL ES 3.0 context.
  static std::unique_ptr<TEglContext> Create(std::string& Error);
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

 private:
  TEglContext() = default;

  EGLDisplay FDisplay = EGL_NO_DISPLAY;
  EGLContext FContext = EGL_NO_CONTEXT;
  std::string FRenderer;
  bool FReadsBgra = false;
  bool FLost = false;
  GLenum (*FResetStatus)() = nullptr;
};

}  // namespace qel::gl
