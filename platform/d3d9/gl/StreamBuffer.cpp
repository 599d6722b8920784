#include "platform/d3d9/gl/StreamBuffer.h"

#include <algorithm>
#include <cstring>

namespace qel::gl {
namespace {

constexpr GLsizeiptr LeastCapacity = GLsizeiptr{1} << 20;
constexpr GLsizeiptr Alignment = 16;  // for any attribute and index type

}  // namespace

GLintptr TStreamBuffer::Put(const void* Data, std::size_t Bytes) {
  const auto Size = static_cast<GLsizeiptr>(Bytes);
  if (FUsed + Size > FCapacity) {
    if (Size > FCapacity) FCapacity = std::max({Size, 2 * FCapacity, LeastCapacity});
    glBufferData(FTarget, FCapacity, nullptr, GL_STREAM_DRAW);
    FUsed = 0;
  }
  void* Memory = glMapBufferRange(FTarget, FUsed, Size,
                                  GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
  if (!Memory) {
    Forget();
    return -1;
  }
  std::memcpy(Memory, Data, Bytes);
  if (!glUnmapBuffer(FTarget)) return -1;
  const GLintptr At = FUsed;
  FUsed += (Size + Alignment - 1) / Alignment * Alignment;
  return At;
}

}  // namespace qel::gl
