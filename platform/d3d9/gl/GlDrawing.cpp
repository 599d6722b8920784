// The GL device's drawing: vertices checked and sent up with each draw, Direct3D's render,
// stage and sampler states turned into GL state and a program.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/d3d9/gl/GlDevice.h"

namespace qel::gl {
namespace {

using soft::LogArg;
using soft::Logged;
using soft::TLogArgs;

GLenum BlendFactor(DWORD Factor) {
  switch (Factor) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ZERO;
  }
}

GLenum BlendOperation(DWORD Op) {
  switch (Op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLenum Comparison(DWORD Func) {
  switch (Func) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLint Addressing(DWORD Mode) {
  switch (Mode) {
    case D3DTADDRESS_WRAP: return GL_REPEAT;
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    default: return GL_CLAMP_TO_EDGE;  // CLAMP; OpenGL ES 3.0 has no border colour
  }
}

bool Linear(DWORD Filter) { return Filter == D3DTEXF_LINEAR || Filter == D3DTEXF_ANISOTROPIC; }

GLint MinFilter(DWORD Min, DWORD Mip) {
  if (Mip == D3DTEXF_NONE) return Linear(Min) ? GL_LINEAR : GL_NEAREST;
  if (Linear(Mip)) return Linear(Min) ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  return Linear(Min) ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
}

GLenum Mode(D3DPRIMITIVETYPE Type) {
  switch (Type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

// The primitives of a draw as lists of vertices (points, line pairs, triangles), leaving
// out any that reaches a vertex marked bad; with Flat the vertex whose colour a triangle
// takes in Direct3D (its first) comes last, where GL takes it from.
void ListPrimitives(D3DPRIMITIVETYPE Type, UINT Count, const std::vector<std::uint32_t>* Indices,
                    const std::vector<bool>& Bad, bool Flat, std::vector<std::uint32_t>& Out) {
  auto At = [&](UINT i) { return Indices ? (*Indices)[i] : i; };
  Out.clear();
  auto Emit = [&](std::initializer_list<std::uint32_t> Vertices) {
    for (std::uint32_t V : Vertices)
      if (Bad[V]) return;
    Out.insert(Out.end(), Vertices);
  };
  auto Triangle = [&](std::uint32_t A, std::uint32_t B, std::uint32_t C, std::uint32_t First) {
    if (!Flat) return Emit({A, B, C});
    // Turned, not reordered: the winding stays.
    if (First == A) return Emit({B, C, A});
    if (First == B) return Emit({C, A, B});
    Emit({A, B, C});
  };
  for (UINT p = 0; p < Count; ++p) switch (Type) {
      case D3DPT_POINTLIST: Emit({At(p)}); break;
      case D3DPT_LINELIST: Emit({At(2 * p), At(2 * p + 1)}); break;
      case D3DPT_LINESTRIP: Emit({At(p), At(p + 1)}); break;
      case D3DPT_TRIANGLELIST: Triangle(At(3 * p), At(3 * p + 1), At(3 * p + 2), At(3 * p)); break;
      case D3DPT_TRIANGLESTRIP:
        if (p % 2 == 0)
          Triangle(At(p), At(p + 1), At(p + 2), At(p));
        else
          Triangle(At(p + 1), At(p), At(p + 2), At(p));
        break;
      case D3DPT_TRIANGLEFAN: Triangle(At(0), At(p + 1), At(p + 2), At(p + 1)); break;
      default: break;
    }
}

}  // namespace

bool TGlDevice::ApplyStates() {
  FGl.BindFramebuffer(GL_FRAMEBUFFER, FFramebuffer);
  if (!FStateChanged && FProgram) return true;
  const DWORD* R = FRenderStates;
  TProgramKey Key;
  std::array<TGlTexture*, soft::StageCount> Textures{};
  for (DWORD s = 0; s < soft::StageCount; ++s) {
    const DWORD* T = FStageStates[s];
    if (T[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    // SetTexture let only the device's own textures in.
    auto* Texture = static_cast<TGlTexture*>(FTextures[s].Get());
    if (!Texture) continue;  // passes the colour on, as Direct3D 9 under Wine shows
    Textures[Key.Stages.size()] = Texture;
    Key.Stages.push_back({s, T[D3DTSS_COLOROP], T[D3DTSS_COLORARG1], T[D3DTSS_COLORARG2], T[D3DTSS_ALPHAOP],
                          T[D3DTSS_ALPHAARG1], T[D3DTSS_ALPHAARG2]});
  }
  Key.AlphaFunc = R[D3DRS_ALPHATESTENABLE] ? R[D3DRS_ALPHAFUNC] : DWORD{D3DCMP_ALWAYS};
  Key.Flat = R[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  FProgram = FPrograms->Get(Key);
  if (!FProgram) return false;
  FGl.UseProgram(FProgram->Name);
  auto Bytes = [](DWORD C) {
    return std::array<float, 4>{float((C >> 16) & 0xFF), float((C >> 8) & 0xFF), float(C & 0xFF), float(C >> 24)};
  };
  TUniforms U;
  U.Scale = {2.0f / static_cast<float>(FParams.BackBufferWidth), 2.0f / static_cast<float>(FParams.BackBufferHeight)};
  U.PointSize = std::clamp(std::bit_cast<float>(R[D3DRS_POINTSIZE]), 1.0f, soft::MaxPointSize);
  U.Factor = Bytes(R[D3DRS_TEXTUREFACTOR]);
  for (int s = 0; s < soft::StageCount; ++s) U.Constants[s] = Bytes(FStageStates[s][D3DTSS_CONSTANT]);
  U.AlphaRef = static_cast<float>(R[D3DRS_ALPHAREF] & 0xFF);
  if (!FProgram->Set || *FProgram->Set != U) {
    glUniform2fv(FProgram->Scale, 1, U.Scale.data());
    glUniform1f(FProgram->PointSize, U.PointSize);
    glUniform4fv(FProgram->Factor, 1, U.Factor.data());
    glUniform4fv(FProgram->Constants, soft::StageCount, U.Constants[0].data());
    glUniform1f(FProgram->AlphaRef, U.AlphaRef);
    FProgram->Set = U;
  }
  for (std::size_t i = 0; i < Key.Stages.size(); ++i) {
    const DWORD s = Key.Stages[i].Unit;
    const DWORD* Sm = FSamplerStates[s];
    if (!Textures[i]->Bind(GL_TEXTURE0 + s, Sm[D3DSAMP_MIPFILTER] != D3DTEXF_NONE)) return false;
    const auto Unit = static_cast<int>(s);
    const GLuint Sampler = FSamplers[s];
    FGl.SamplerParameter(Unit, Sampler, GL_TEXTURE_MAG_FILTER, Linear(Sm[D3DSAMP_MAGFILTER]) ? GL_LINEAR : GL_NEAREST);
    FGl.SamplerParameter(Unit, Sampler, GL_TEXTURE_MIN_FILTER, MinFilter(Sm[D3DSAMP_MINFILTER], Sm[D3DSAMP_MIPFILTER]));
    FGl.SamplerParameter(Unit, Sampler, GL_TEXTURE_WRAP_S, Addressing(Sm[D3DSAMP_ADDRESSU]));
    FGl.SamplerParameter(Unit, Sampler, GL_TEXTURE_WRAP_T, Addressing(Sm[D3DSAMP_ADDRESSV]));
  }
  FGl.Enable(GL_BLEND, R[D3DRS_ALPHABLENDENABLE] != 0);
  if (R[D3DRS_ALPHABLENDENABLE]) {
    DWORD Src = R[D3DRS_SRCBLEND], Dst = R[D3DRS_DESTBLEND];
    if (Src == D3DBLEND_BOTHSRCALPHA) Src = D3DBLEND_SRCALPHA, Dst = D3DBLEND_INVSRCALPHA;
    if (Src == D3DBLEND_BOTHINVSRCALPHA) Src = D3DBLEND_INVSRCALPHA, Dst = D3DBLEND_SRCALPHA;
    DWORD SrcA = Src, DstA = Dst, OpA = R[D3DRS_BLENDOP];
    if (R[D3DRS_SEPARATEALPHABLENDENABLE])
      SrcA = R[D3DRS_SRCBLENDALPHA], DstA = R[D3DRS_DESTBLENDALPHA], OpA = R[D3DRS_BLENDOPALPHA];
    auto Constant = Bytes(R[D3DRS_BLENDFACTOR]);
    for (float& C : Constant) C /= 255.0f;
    FGl.Blend(BlendOperation(R[D3DRS_BLENDOP]), BlendOperation(OpA),
              {BlendFactor(Src), BlendFactor(Dst), BlendFactor(SrcA), BlendFactor(DstA)}, Constant);
  }
  const bool DepthTest = FDepth && R[D3DRS_ZENABLE] != D3DZB_FALSE;
  FGl.Enable(GL_DEPTH_TEST, DepthTest);
  if (DepthTest) {
    FGl.DepthFunc(Comparison(R[D3DRS_ZFUNC]));
    FGl.DepthMask(R[D3DRS_ZWRITEENABLE] != 0);
  }
  // Rows run top-down in the target as on the screen, so the sense of a winding on the
  // screen is the opposite of GL's (front faces are GL's counter-clockwise ones): Direct3D's
  // counter-clockwise is GL's clockwise.
  FGl.Enable(GL_CULL_FACE, R[D3DRS_CULLMODE] != D3DCULL_NONE);
  if (R[D3DRS_CULLMODE] != D3DCULL_NONE) FGl.CullFace(R[D3DRS_CULLMODE] == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  const DWORD Mask = R[D3DRS_COLORWRITEENABLE];
  FGl.ColorMask((Mask & D3DCOLORWRITEENABLE_RED) != 0, (Mask & D3DCOLORWRITEENABLE_GREEN) != 0,
                (Mask & D3DCOLORWRITEENABLE_BLUE) != 0, (Mask & D3DCOLORWRITEENABLE_ALPHA) != 0);
  FStateChanged = false;
  return true;
}

HRESULT TGlDevice::Draw(D3DPRIMITIVETYPE Type, UINT PrimitiveCount, UINT FirstVertex, UINT VertexCount,
                        const std::vector<std::uint32_t>* Indices) {
  if (!Use() || !ApplyStates()) return D3DERR_DRIVERINTERNALERROR;
  soft::TFvfLayout L;
  soft::FvfLayout(FFVF, L);
  const UINT Stride = FStreamStride;
  const auto& Storage = static_cast<soft::TSoftVertexBuffer*>(FStream.Get())->Storage();
  const std::uint8_t* Base = Storage.Data() + FStreamOffset + std::uint64_t{FirstVertex} * Stride;
  const std::size_t Bytes = std::uint64_t{VertexCount - 1} * Stride + L.Size;
  // A primitive that reaches a vertex with a position that is not a number draws nothing;
  // positions far outside are clamped, as the software device clamps them.
  std::vector<bool>& Bad = FBadVertices;
  bool AnyBad = false;
  constexpr float Limit = soft::MaxPosition;
  for (UINT i = 0; i < VertexCount; ++i) {
    float P[4];
    std::memcpy(P, Base + std::uint64_t{i} * Stride, 16);
    if (!std::isfinite(P[0]) || !std::isfinite(P[1]) || !std::isfinite(P[2]) || !std::isfinite(P[3]) || P[3] == 0.0f) {
      if (!AnyBad) Bad.assign(VertexCount, false);
      Bad[i] = AnyBad = true;
    } else if (std::fabs(P[0]) > Limit || std::fabs(P[1]) > Limit) {
      if (FVertexScratch.empty()) FVertexScratch.assign(Base, Base + Bytes);
      P[0] = std::clamp(P[0], -Limit, Limit);
      P[1] = std::clamp(P[1], -Limit, Limit);
      std::memcpy(FVertexScratch.data() + std::uint64_t{i} * Stride, P, 8);
    }
  }
  const GLintptr At = FVertexStream.Put(FVertexScratch.empty() ? Base : FVertexScratch.data(), Bytes);
  FVertexScratch.clear();
  if (At < 0) return D3DERR_DRIVERINTERNALERROR;
  auto Offset = [At](std::size_t Member) { return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(At) + Member); };
  glEnableVertexAttribArray(PositionAttribute);
  glVertexAttribPointer(PositionAttribute, 4, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(Stride), Offset(0));
  if (L.Diffuse >= 0) {
    glEnableVertexAttribArray(ColourAttribute);
    glVertexAttribPointer(ColourAttribute, 4, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(Stride),
                          Offset(static_cast<std::size_t>(L.Diffuse)));
  } else {
    glDisableVertexAttribArray(ColourAttribute);
    glVertexAttrib4f(ColourAttribute, 1, 1, 1, 1);  // white, as Direct3D assumes
  }
  const DWORD CoordSet = FStageStates[0][D3DTSS_TEXCOORDINDEX] & 0xFFFF;
  if (CoordSet < static_cast<DWORD>(L.TexCount)) {
    glEnableVertexAttribArray(TexCoordAttribute);
    glVertexAttribPointer(TexCoordAttribute, 2, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(Stride),
                          Offset(static_cast<std::size_t>(L.TexCoords[CoordSet])));
  } else {
    glDisableVertexAttribArray(TexCoordAttribute);
    glVertexAttrib4f(TexCoordAttribute, 0, 0, 0, 1);
  }
  const bool Flat = FRenderStates[D3DRS_SHADEMODE] == D3DSHADE_FLAT && Type >= D3DPT_TRIANGLELIST;
  GLenum GlMode = Mode(Type);
  const std::vector<std::uint32_t>* Sent = Indices;
  if (AnyBad || Flat) {
    if (!AnyBad) Bad.assign(VertexCount, false);
    ListPrimitives(Type, PrimitiveCount, Indices, Bad, Flat, FIndexScratch);
    Sent = &FIndexScratch;
    GlMode = Type == D3DPT_POINTLIST ? GL_POINTS : Type <= D3DPT_LINESTRIP ? GL_LINES : GL_TRIANGLES;
  }
  if (Sent) {
    if (Sent->empty()) return D3D_OK;
    const GLintptr IndicesAt = FIndexStream.Put(Sent->data(), Sent->size() * 4);
    if (IndicesAt < 0) return D3DERR_DRIVERINTERNALERROR;
    glDrawElements(GlMode, static_cast<GLsizei>(Sent->size()), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<std::uintptr_t>(IndicesAt)));
  } else {
    glDrawArrays(GlMode, 0, static_cast<GLsizei>(soft::VertexCountOf(Type, PrimitiveCount)));
  }
  return D3D_OK;
}

HRESULT TGlDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  return Logged("DrawPrimitive", [&] { return TLogArgs{LogArg(PrimitiveType), StartVertex, PrimitiveCount}; }, [&]() -> HRESULT {
    if (!FInScene) return D3DERR_INVALIDCALL;
    UINT Count = 0;
    if (const HRESULT Check = soft::CheckPrimitiveCount(PrimitiveType, PrimitiveCount, Count); Check != D3D_OK)
      return Check == S_FALSE ? D3D_OK : Check;
    if (StartVertex > 0x7FFFFFFF || !soft::StreamHolds(FStream.Get(), FFVF, FStreamOffset, FStreamStride,
                                                        static_cast<INT>(StartVertex), Count))
      return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok) return D3D_OK;
    return Draw(PrimitiveType, PrimitiveCount, StartVertex, Count, nullptr);
  });
}

HRESULT TGlDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                        UINT NumVertices, UINT StartIndex, UINT PrimitiveCount) {
  return Logged("DrawIndexedPrimitive", [&] { return TLogArgs{LogArg(PrimitiveType), LogArg(BaseVertexIndex), MinVertexIndex, NumVertices, StartIndex, PrimitiveCount}; }, [&]() -> HRESULT {
    if (!FInScene || !FIndices) return D3DERR_INVALIDCALL;
    UINT Count = 0;
    if (const HRESULT Check = soft::CheckPrimitiveCount(PrimitiveType, PrimitiveCount, Count); Check != D3D_OK)
      return Check == S_FALSE ? D3D_OK : Check;
    const auto* Buffer = static_cast<soft::TSoftIndexBuffer*>(FIndices.Get());
    const UINT Size = Buffer->Shape() == D3DFMT_INDEX32 ? 4 : 2;
    if ((std::uint64_t{StartIndex} + Count) * Size > Buffer->Storage().Length()) return D3DERR_INVALIDCALL;
    const std::uint8_t* Data = Buffer->Storage().Data() + std::uint64_t{StartIndex} * Size;
    std::int64_t Low = 0, High = 0;
    if (!soft::GatherIndices(Data, Size, Count, BaseVertexIndex, FIndexList, Low, High)) return D3DERR_INVALIDCALL;
    const auto Vertices = static_cast<UINT>(High - Low + 1);
    if (!soft::StreamHolds(FStream.Get(), FFVF, FStreamOffset, FStreamStride, static_cast<INT>(Low), Vertices))
      return D3DERR_INVALIDCALL;
    if (FLoss != TLoss::Ok) return D3D_OK;
    return Draw(PrimitiveType, PrimitiveCount, static_cast<UINT>(Low), Vertices, &FIndexList);
  });
}

}  // namespace qel::gl
