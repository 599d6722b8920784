#include "platform/d3d9/gl/GlPrograms.h"

#include <string>

namespace qel::gl {
namespace {

// Positions come pre-transformed in pixels with Direct3D's pixel centres on integers, so a
// vertex at x lands where GL puts x + 0.5. Rows are not flipped: row 0 of the target is the
// frame's top row, as it is read back. 1 / rhw as w gives perspective-correct coordinates.
const char* VertexSource(bool Flat) {
  static const std::string Smooth = R"(#version 300 es
uniform vec2 uScale;
uniform float uPointSize;
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aTexCoord;
out vec4 vColour;
out vec2 vTexCoord;
void main() {
  float w = 1.0 / aPosition.w;
  vec2 ndc = (aPosition.xy + 0.5) * uScale - 1.0;
  gl_Position = vec4(ndc * w, (2.0 * aPosition.z - 1.0) * w, w);
  vColour = aColour.bgra;
  vTexCoord = aTexCoord;
  gl_PointSize = uPointSize;
}
)";
  static const std::string FlatSource = [] {
    std::string S = Smooth;
    S.replace(S.find("out vec4 vColour"), 16, "flat out vec4 vColour");
    return S;
  }();
  return Flat ? FlatSource.c_str() : Smooth.c_str();
}

// The fragment part works on whole numbers 0..255, rounding as Direct3D's 8-bit stages do,
// so that a stage gives the bytes the software device gives.
const char* FragmentPrelude = R"(#version 300 es
precision highp float;
uniform sampler2D uTexture[8];
uniform vec4 uFactor;
uniform vec4 uConstant[8];
uniform float uAlphaRef;
in vec2 vTexCoord;
out vec4 oColour;
vec4 bytes(vec4 c) { return floor(c * 255.0 + 0.5); }
vec4 d255(vec4 x) { return floor((x + 127.5) / 255.0); }
vec4 sat(vec4 x) { return clamp(x, 0.0, 255.0); }
)";

std::string Argument(DWORD Arg, DWORD Unit) {
  std::string V;
  switch (Arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: V = "diffuse"; break;
    case D3DTA_CURRENT: V = "current"; break;
    case D3DTA_TEXTURE: V = "tex"; break;
    case D3DTA_TFACTOR: V = "uFactor"; break;
    case D3DTA_CONSTANT: V = "uConstant[" + std::to_string(Unit) + "]"; break;
    default: V = "vec4(0.0)"; break;  // specular and temporary registers hold nothing here
  }
  if (Arg & D3DTA_ALPHAREPLICATE) V = "vec4((" + V + ").a)";
  if (Arg & D3DTA_COMPLEMENT) V = "(255.0 - " + V + ")";
  return V;
}

std::string Operation(DWORD Op, const std::string& A, const std::string& B) {
  const std::string Product = "(" + A + ") * (" + B + ")";
  auto Blend = [&](const std::string& Alpha) {
    return "d255((" + A + ") * " + Alpha + " + (" + B + ") * (255.0 - " + Alpha + "))";
  };
  switch (Op) {
    case D3DTOP_SELECTARG2: return B;
    case D3DTOP_MODULATE: return "d255(" + Product + ")";
    case D3DTOP_MODULATE2X: return "min(vec4(255.0), d255(2.0 * " + Product + "))";
    case D3DTOP_MODULATE4X: return "min(vec4(255.0), d255(4.0 * " + Product + "))";
    case D3DTOP_ADD: return "min(vec4(255.0), " + A + " + " + B + ")";
    case D3DTOP_ADDSIGNED: return "sat(" + A + " + " + B + " - 128.0)";
    case D3DTOP_ADDSIGNED2X: return "sat(2.0 * (" + A + " + " + B + " - 128.0))";
    case D3DTOP_SUBTRACT: return "sat(" + A + " - " + B + ")";
    case D3DTOP_ADDSMOOTH: return "sat(" + A + " + " + B + " - d255(" + Product + "))";
    case D3DTOP_BLENDDIFFUSEALPHA: return Blend("diffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA: return Blend("tex.a");
    case D3DTOP_BLENDFACTORALPHA: return Blend("uFactor.a");
    case D3DTOP_BLENDCURRENTALPHA: return Blend("current.a");
    default: return A;  // SELECTARG1 and operations this device does not offer
  }
}

const char* Comparison(DWORD Func) {
  switch (Func) {
    case D3DCMP_NEVER: return "false";
    case D3DCMP_LESS: return "a < uAlphaRef";
    case D3DCMP_EQUAL: return "a == uAlphaRef";
    case D3DCMP_LESSEQUAL: return "a <= uAlphaRef";
    case D3DCMP_GREATER: return "a > uAlphaRef";
    case D3DCMP_NOTEQUAL: return "a != uAlphaRef";
    case D3DCMP_GREATEREQUAL: return "a >= uAlphaRef";
    default: return "true";
  }
}

std::string FragmentSource(const TProgramKey& Key) {
  std::string S = FragmentPrelude;
  S += Key.Flat ? "flat in vec4 vColour;\n" : "in vec4 vColour;\n";
  S += "void main() {\n  vec4 diffuse = bytes(vColour);\n  vec4 current = diffuse;\n  vec4 tex;\n";
  for (const TStageKey& St : Key.Stages) {
    const std::string Unit = std::to_string(St.Unit);
    S += "  tex = bytes(texture(uTexture[" + Unit + "], vTexCoord));\n";
    S += "  current = vec4((" + Operation(St.ColorOp, Argument(St.ColorArg1, St.Unit), Argument(St.ColorArg2, St.Unit)) +
         ").rgb, ";
    if (St.AlphaOp == D3DTOP_DISABLE)
      S += "current.a);\n";
    else
      S += "(" + Operation(St.AlphaOp, Argument(St.AlphaArg1, St.Unit), Argument(St.AlphaArg2, St.Unit)) + ").a);\n";
  }
  if (Key.AlphaFunc != D3DCMP_ALWAYS)
    S += std::string("  float a = current.a;\n  if (!(") + Comparison(Key.AlphaFunc) + ")) discard;\n";
  S += "  oColour = current / 255.0;\n}\n";
  return S;
}

GLuint Compile(GLenum Type, const char* Source) {
  const GLuint Shader = glCreateShader(Type);
  glShaderSource(Shader, 1, &Source, nullptr);
  glCompileShader(Shader);
  GLint Ok = GL_FALSE;
  glGetShaderiv(Shader, GL_COMPILE_STATUS, &Ok);
  if (!Ok) {
    glDeleteShader(Shader);
    return 0;
  }
  return Shader;
}

}  // namespace

TProgramCache::~TProgramCache() {
  // Deleted with their context; the device releases the context after this cache.
  for (auto& [Key, Program] : FPrograms) glDeleteProgram(Program->Name);
}

const TProgram* TProgramCache::Get(const TProgramKey& Key) {
  auto It = FPrograms.find(Key);
  if (It != FPrograms.end()) return It->second.get();
  const GLuint Vertex = Compile(GL_VERTEX_SHADER, VertexSource(Key.Flat));
  const std::string Fragment = FragmentSource(Key);
  const GLuint Pixel = Compile(GL_FRAGMENT_SHADER, Fragment.c_str());
  GLuint Name = 0;
  if (Vertex && Pixel) {
    Name = glCreateProgram();
    glAttachShader(Name, Vertex);
    glAttachShader(Name, Pixel);
    glLinkProgram(Name);
    GLint Ok = GL_FALSE;
    glGetProgramiv(Name, GL_LINK_STATUS, &Ok);
    if (!Ok) {
      glDeleteProgram(Name);
      Name = 0;
    }
  }
  if (Vertex) glDeleteShader(Vertex);
  if (Pixel) glDeleteShader(Pixel);
  if (!Name) return nullptr;
  auto P = std::make_unique<TProgram>();
  P->Name = Name;
  P->Scale = glGetUniformLocation(Name, "uScale");
  P->PointSize = glGetUniformLocation(Name, "uPointSize");
  P->Factor = glGetUniformLocation(Name, "uFactor");
  P->Constants = glGetUniformLocation(Name, "uConstant");
  P->AlphaRef = glGetUniformLocation(Name, "uAlphaRef");
  glUseProgram(Name);
  for (const TStageKey& St : Key.Stages) {
    const std::string Sampler = "uTexture[" + std::to_string(St.Unit) + "]";
    glUniform1i(glGetUniformLocation(Name, Sampler.c_str()), static_cast<GLint>(St.Unit));
  }
  return (FPrograms[Key] = std::move(P)).get();
}

}  // namespace qel::gl
