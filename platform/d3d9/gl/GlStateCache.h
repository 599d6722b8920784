#pragma once
// What the device last set of GL's state, so that a draw sets only what differs: every call
// into the driver costs its front end checks, and a state set again marks it for validation
// anew at the next draw.
#include <array>

#include "platform/d3d9/gl/GlApi.h"
#include "platform/d3d9/soft/RequestRules.h"

namespace qel::gl {

class TGlStateCache {
 public:
  // Nothing known (a new context, or state set past the cache).
  void Forget() { *this = TGlStateCache(); }

  void BindFramebuffer(GLenum Target, GLuint Name);  // GL_FRAMEBUFFER: both
  void UseProgram(GLuint Name);
  void Enable(GLenum Capability, bool On);  // GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST
  void ColorMask(bool Red, bool Green, bool Blue, bool Alpha);
  void DepthMask(bool On);
  void DepthFunc(GLenum Function);
  void CullFace(GLenum Face);
  void Blend(GLenum Operation, GLenum AlphaOperation, const std::array<GLenum, 4>& Factors,
             const std::array<float, 4>& Constant);
  // A sampler parameter of the sampler object used with unit Unit.
  void SamplerParameter(int Unit, GLuint Sampler, GLenum Name, GLint Value);

 private:
  static constexpr int Unknown = -1;
  int FReadFramebuffer = Unknown, FDrawFramebuffer = Unknown;
  long long FProgram = Unknown;
  std::array<int, 4> FEnabled = {Unknown, Unknown, Unknown, Unknown};
  int FColorMask = Unknown, FDepthMask = Unknown;
  long long FDepthFunc = Unknown, FCullFace = Unknown;
  std::array<long long, 6> FBlend = {Unknown, Unknown, Unknown, Unknown, Unknown, Unknown};
  std::array<float, 4> FBlendConstant = {-1, -1, -1, -1};
  std::array<std::array<long long, 4>, soft::StageCount> FSamplers = [] {
    std::array<std::array<long long, 4>, soft::StageCount> A;
    for (auto& S : A) S.fill(Unknown);
    return A;
  }();
};

}  // namespace qel::gl
