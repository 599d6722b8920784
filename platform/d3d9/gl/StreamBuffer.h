#pragma once
// A GL buffer that each draw's vertices or indices are written into, one after the other:
// storage made anew for every draw costs the driver an allocation each time. Written through
// unsynchronised maps of parts no draw reads yet; once full, the storage is orphaned (the GPU
// keeps reading the old one) and written from its start again.
#include <cstddef>

#include "platform/d3d9/gl/GlApi.h"

namespace qel::gl {

class TStreamBuffer {
 public:
  // Target: GL_ARRAY_BUFFER or GL_ELEMENT_ARRAY_BUFFER, with the buffer bound there whenever
  // Put is called.
  explicit TStreamBuffer(GLenum Target) : FTarget(Target) {}
  // Forgets the storage (the buffer was made anew in a new context).
  void Forget() { FCapacity = FUsed = 0; }
  // Copies Bytes bytes of Data in; the offset in the buffer they start at, or -1 where GL
  // refused.
  GLintptr Put(const void* Data, std::size_t Bytes);

 private:
  GLenum FTarget;
  GLsizeiptr FCapacity = 0, FUsed = 0;
};

}  // namespace qel::gl
