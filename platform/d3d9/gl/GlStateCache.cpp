#include "platform/d3d9/gl/GlStateCache.h"

namespace qel::gl {
namespace {

// Sets Known to Value; true where it differed (GL must be told).
template <class T, class U>
bool Differs(T& Known, U Value) {
  if (Known == static_cast<T>(Value)) return false;
  Known = static_cast<T>(Value);
  return true;
}

int CapabilityIndex(GLenum Capability) {
  switch (Capability) {
    case GL_BLEND: return 0;
    case GL_DEPTH_TEST: return 1;
    case GL_CULL_FACE: return 2;
    default: return 3;  // GL_SCISSOR_TEST
  }
}

int SamplerIndex(GLenum Name) {
  switch (Name) {
    case GL_TEXTURE_MAG_FILTER: return 0;
    case GL_TEXTURE_MIN_FILTER: return 1;
    case GL_TEXTURE_WRAP_S: return 2;
    default: return 3;  // GL_TEXTURE_WRAP_T
  }
}

}  // namespace

void TGlStateCache::BindFramebuffer(GLenum Target, GLuint Name) {
  const bool Read = Target != GL_DRAW_FRAMEBUFFER, Draw = Target != GL_READ_FRAMEBUFFER;
  const bool ReadDiffers = Read && Differs(FReadFramebuffer, Name);
  const bool DrawDiffers = Draw && Differs(FDrawFramebuffer, Name);
  if (ReadDiffers && DrawDiffers)
    glBindFramebuffer(GL_FRAMEBUFFER, Name);
  else if (ReadDiffers)
    glBindFramebuffer(GL_READ_FRAMEBUFFER, Name);
  else if (DrawDiffers)
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, Name);
}

void TGlStateCache::UseProgram(GLuint Name) {
  if (Differs(FProgram, Name)) glUseProgram(Name);
}

void TGlStateCache::Enable(GLenum Capability, bool On) {
  if (!Differs(FEnabled[CapabilityIndex(Capability)], On)) return;
  if (On)
    glEnable(Capability);
  else
    glDisable(Capability);
}

void TGlStateCache::ColorMask(bool Red, bool Green, bool Blue, bool Alpha) {
  if (Differs(FColorMask, Red | Green << 1 | Blue << 2 | Alpha << 3)) glColorMask(Red, Green, Blue, Alpha);
}

void TGlStateCache::DepthMask(bool On) {
  if (Differs(FDepthMask, On)) glDepthMask(On);
}

void TGlStateCache::DepthFunc(GLenum Function) {
  if (Differs(FDepthFunc, Function)) glDepthFunc(Function);
}

void TGlStateCache::CullFace(GLenum Face) {
  if (Differs(FCullFace, Face)) glCullFace(Face);
}

void TGlStateCache::Blend(GLenum Operation, GLenum AlphaOperation, const std::array<GLenum, 4>& Factors,
                          const std::array<float, 4>& Constant) {
  if (Differs(FBlend[0], Operation) | Differs(FBlend[1], AlphaOperation)) glBlendEquationSeparate(Operation, AlphaOperation);
  if (Differs(FBlend[2], Factors[0]) | Differs(FBlend[3], Factors[1]) | Differs(FBlend[4], Factors[2]) |
      Differs(FBlend[5], Factors[3]))
    glBlendFuncSeparate(Factors[0], Factors[1], Factors[2], Factors[3]);
  if (Constant != FBlendConstant) {
    FBlendConstant = Constant;
    glBlendColor(Constant[0], Constant[1], Constant[2], Constant[3]);
  }
}

void TGlStateCache::SamplerParameter(int Unit, GLuint Sampler, GLenum Name, GLint Value) {
  if (Differs(FSamplers[Unit][SamplerIndex(Name)], Value)) glSamplerParameteri(Sampler, Name, Value);
}

}  // namespace qel::gl
