#pragma once
// Direct3D 9's fixed-function texture stages and alpha test as OpenGL ES shader programs:
// one program per combination of the states in use, compiled once and kept.
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/d3d9/gl/GlApi.h"
#include "platform/d3d9/d3d9api.h"
#include "platform/d3d9/soft/RequestRules.h"

namespace qel::gl {

// One texture stage that samples its texture (stages without one pass the colour on).
struct TStageKey {
  DWORD Unit = 0;  // the stage's index: its sampler unit and constant
  DWORD ColorOp = 0, ColorArg1 = 0, ColorArg2 = 0;
  DWORD AlphaOp = 0, AlphaArg1 = 0, AlphaArg2 = 0;
  auto operator<=>(const TStageKey&) const = default;
};

struct TProgramKey {
  std::vector<TStageKey> Stages;
  DWORD AlphaFunc = D3DCMP_ALWAYS;  // D3DCMP_ALWAYS while the alpha test is off
  bool Flat = false;                // the colour of one vertex for the whole primitive
  auto operator<=>(const TProgramKey&) const = default;
};

// Vertex attributes, at fixed locations in every program.
enum : GLuint { PositionAttribute = 0, ColourAttribute = 1, TexCoordAttribute = 2 };

// The values of a program's uniforms.
struct TUniforms {
  std::array<float, 2> Scale{};
  float PointSize = 0;
  std::array<float, 4> Factor{};
  std::array<std::array<float, 4>, soft::StageCount> Constants{};
  float AlphaRef = 0;
  bool operator==(const TUniforms&) const = default;
};

struct TProgram {
  GLuint Name = 0;
  GLint Scale = -1;      // vec2: 2 / width, 2 / height
  GLint PointSize = -1;  // float
  GLint Factor = -1;     // vec4: the texture factor, 0..255 a channel (R, G, B, A)
  GLint Constants = -1;  // vec4[8]: each stage's constant
  GLint AlphaRef = -1;   // float: 0..255
  mutable std::optional<TUniforms> Set;  // what the program's uniforms were set to
};

class TProgramCache {
 public:
  TProgramCache() = default;
  ~TProgramCache();
  TProgramCache(const TProgramCache&) = delete;
  TProgramCache& operator=(const TProgramCache&) = delete;
  // The program of Key, made on first use in the current context; null when GL refuses it.
  const TProgram* Get(const TProgramKey& Key);
  // The programs belong to a context that is gone: forget them without a GL call.
  void Abandon() { FPrograms.clear(); }

 private:
  std::map<TProgramKey, std::unique_ptr<TProgram>> FPrograms;
};

}  // namespace qel::gl
