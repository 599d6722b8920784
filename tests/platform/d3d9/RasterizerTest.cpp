#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/d3d9/soft/PixelMath.h"
#include "platform/d3d9/soft/Rasterizer.h"
#include "platform/d3d9/soft/RowKernels.h"
#include "tests/platform/d3d9/DeviceFixture.h"

namespace qel::soft::testing {
namespace {

std::uint32_t Ch(std::uint32_t C, int I) { return (C >> (8 * I)) & 0xFF; }
std::uint32_t Rgb(std::uint32_t C) { return C & 0x00FFFFFF; }

// A reproducible texture with every channel busy.
std::vector<std::uint32_t> Noise(int Count, std::uint32_t Seed) {
  std::vector<std::uint32_t> T(Count);
  for (auto& V : T) {
    Seed = Seed * 1664525u + 1013904223u;
    V = Seed ^ (Seed >> 13);
  }
  return T;
}

class RasterFixture : public SoftDeviceTest {
 protected:
  // Draws the scene with the fast paths off, then on with every build of the row kernels the
  // processor runs: the frames must be the same. Returns the first fast one. The GL device
  // has one path: it draws the scene once.
  template <class TScene>
  TFrame SameWithFastPathsOff(TScene&& Scene) {
    if (OnGl()) {
      Scene();
      return Frame();
    }
    const std::vector<std::string> Variants = RowKernelVariants();
    TFrame First;
    for (const std::string& Variant : Variants) {
      // Drawn in full each time: the general path's states are other objects than the fast
      // path's, so no tile starts from what the other kept.
      UseFastPaths(false);
      Scene();
      const TFrame General = Frame();
      UseFastPaths(true);
      EXPECT_TRUE(UseRowKernelVariant(Variant));
      Scene();
      const TFrame Fast = Frame();
      EXPECT_EQ(Fast.Pixels.size(), General.Pixels.size());
      for (std::size_t i = 0; i < std::min(Fast.Pixels.size(), General.Pixels.size()); ++i)
        if (Fast.Pixels[i] != General.Pixels[i]) {
          ADD_FAILURE() << Variant << ", pixel " << i % Fast.Width << "," << i / Fast.Width << ": " << std::hex
                        << Fast.Pixels[i] << " fast, " << General.Pixels[i] << " general";
          break;
        }
      if (First.Pixels.empty()) First = Fast;
    }
    UseRowKernelVariant(Variants.front());
    return First;
  }
};

using RasterTest = OnEveryDevice<RasterFixture>;
QEL_ON_EVERY_DEVICE(RasterTest);
using SoftRasterTest = RasterFixture;  // what only the software device has: its draw settings

// The texture modulated by the vertex colour, blended over the frame by its alpha.
void TextureTimesDiffuseOverTheFrame(IDirect3DDevice9* Device) {
  Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

TEST_P(RasterTest, QuadOnIntegerCornersCoversHalfOpenRectangle) {
  MakeDevice(8, 8);
  Clear(0xFF000000);
  ASSERT_EQ(D3D_OK, DrawQuad(2, 1, 6, 4, 0xFFFFFFFF));
  const TFrame F = Frame();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool Inside = x >= 2 && x < 6 && y >= 1 && y < 4;
      EXPECT_EQ(Inside ? 0xFFFFFFFFu : 0xFF000000u, F.Pixel(x, y)) << x << "," << y;
    }
}

TEST_P(RasterTest, TrianglesSharingEdgesDrawEachPixelOnce) {
  // A fan of triangles around an off-grid centre, added with ONE/ONE: a pixel drawn twice
  // would show 2, a gap 0.
  MakeDevice(40, 40);
  Clear(0x00000000);
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  const float Cx = 19.3f, Cy = 20.7f;
  std::vector<TQuadVertex> V;
  const int Sides = 13;
  auto Corner = [&](int i) {
    const double A = 2 * 3.14159265358979 * i / Sides;
    return TQuadVertex{static_cast<float>(Cx + 17 * std::cos(A)), static_cast<float>(Cy + 17 * std::sin(A)), 0, 1,
                       0x00000001u, 0, 0};
  };
  for (int i = 0; i < Sides; ++i) {
    V.push_back({Cx, Cy, 0, 1, 0x00000001u, 0, 0});
    V.push_back(Corner(i));
    V.push_back(Corner(i + 1));
  }
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, V, Sides));
  const TFrame F = Frame();
  int Covered = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const std::uint32_t P = Rgb(F.Pixel(x, y));
      ASSERT_LE(P, 1u) << "drawn twice at " << x << "," << y;
      const double R = std::hypot(x - Cx, y - Cy);
      if (R < 15) {
        EXPECT_EQ(1u, P) << "gap at " << x << "," << y;
      }
      Covered += static_cast<int>(P);
    }
  }
  EXPECT_GT(Covered, 700);
}

TEST_P(RasterTest, ShiftedQuadReproducesTextureUnderBilinearFiltering) {
  MakeDevice(8, 6);
  const auto Texels = Noise(8 * 6, 7);
  auto Texture = MakeTexture(8, 6, Texels);
  Device->SetTexture(0, Texture.Get());
  Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 7.5f, 5.5f, 0xFFFFFFFF), 2));
  const TFrame F = Frame();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(Texels[y * 8 + x], F.Pixel(x, y)) << x << "," << y;
}

TEST_P(RasterTest, BilinearWrapsAcrossTextureEdges) {
  // Four texels stretched over eight pixels: pixel x samples texel x/2 - 1/4, so pixel 0
  // mixes the last texel (weight 1/4) with the first (weight 3/4).
  MakeDevice(8, 1);
  const std::vector<std::uint32_t> Texels = {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000};
  auto Texture = MakeTexture(4, 1, Texels);
  Device->SetTexture(0, Texture.Get());
  Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 7.5f, 0.5f, 0xFFFFFFFF), 2));
  const TFrame F = Frame();
  // Fraction 0.75 of the way from texel 3 (red) to texel 0 (black): red 255 * 64 / 256.
  EXPECT_EQ(0xFF400000u, F.Pixel(0, 0));
  // Pixel 7 samples 3.25: red with a quarter of black.
  EXPECT_EQ(0xFFBF0000u, F.Pixel(7, 0));
  // Pixel 1 samples 0.25: black with a quarter of blue.
  EXPECT_EQ(0xFF000040u, F.Pixel(1, 0));
}

TEST_P(RasterTest, PointFilteringWrapsRepeatedCoordinates) {
  MakeDevice(8, 2);
  const std::vector<std::uint32_t> Texels = {0xFF111111, 0xFF222222, 0xFF333333, 0xFF444444};
  auto Texture = MakeTexture(2, 2, Texels);
  Device->SetTexture(0, Texture.Get());
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  // u runs over two repeats of the texture.
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 7.5f, 1.5f, 0xFFFFFFFF, 0, 0, 4, 1), 2));
  const TFrame F = Frame();
  const std::uint32_t Row0[8] = {0xFF111111, 0xFF222222, 0xFF111111, 0xFF222222,
                                 0xFF111111, 0xFF222222, 0xFF111111, 0xFF222222};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(Row0[x], F.Pixel(x, 0)) << x;
    EXPECT_EQ(Row0[x] + 0x00222222u, F.Pixel(x, 1)) << x;
  }
}

TEST_P(RasterTest, ClampAddressingRepeatsTheEdgeTexelsBeyondTheTexture) {
  // u runs from -1 to 3 over eight pixels on a two-texel texture: pixel centres at u -0.75,
  // -0.25, ..., 2.75; beyond the texture each takes its edge texel, with either filter (the
  // bilinear mix of two clamped texels is the edge texel itself).
  const std::vector<std::uint32_t> Texels = {0xFF202020, 0xFFA0A0A0};
  for (const DWORD Filter : {DWORD{D3DTEXF_POINT}, DWORD{D3DTEXF_LINEAR}}) {
    MakeDevice(8, 1);
    auto Texture = MakeTexture(2, 1, Texels);
    Device->SetTexture(0, Texture.Get());
    Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    Device->SetSamplerState(0, D3DSAMP_MAGFILTER, Filter);
    Device->SetSamplerState(0, D3DSAMP_MINFILTER, Filter);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 7.5f, 0.5f, 0xFFFFFFFF, -1, 0, 3, 1), 2));
    const TFrame F = Frame();
    for (const int x : {0, 1, 2}) EXPECT_EQ(0xFF202020u, F.Pixel(x, 0)) << "filter " << Filter << ", pixel " << x;
    for (const int x : {5, 6, 7}) EXPECT_EQ(0xFFA0A0A0u, F.Pixel(x, 0)) << "filter " << Filter << ", pixel " << x;
    Texture = nullptr;
    Device = nullptr;
  }
}

TEST_P(RasterTest, GouraudColoursFollowThePlaneThroughTheVertices) {
  MakeDevice(256, 4);
  Clear(0xFF000000);
  // Red rises by one per pixel from 0 at x = 0; green falls from the top row to the bottom.
  std::vector<TQuadVertex> V = {
      {0, 0, 0, 1, 0xFF00FF00, 0, 0},   {255, 0, 0, 1, 0xFFFFFF00, 0, 0}, {0, 3, 0, 1, 0xFF00FC00, 0, 0},
      {255, 0, 0, 1, 0xFFFFFF00, 0, 0}, {255, 3, 0, 1, 0xFFFFFC00, 0, 0}, {0, 3, 0, 1, 0xFF00FC00, 0, 0},
  };
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, V, 2));
  const TFrame F = Frame();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 255; ++x) {
      EXPECT_EQ(static_cast<std::uint32_t>(x), Ch(F.Pixel(x, y), 2)) << x << "," << y;
      EXPECT_EQ(static_cast<std::uint32_t>(255 - y), Ch(F.Pixel(x, y), 1)) << x << "," << y;
    }
  EXPECT_EQ(0xFF000000u, F.Pixel(255, 0));  // right edge excluded
}

TEST_P(RasterTest, FlatShadingTakesTheFirstVertexColour) {
  MakeDevice(8, 8);
  Device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
  std::vector<TQuadVertex> V = {{0, 0, 0, 1, 0xFF102030, 0, 0}, {8, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                                {0, 8, 0, 1, 0xFF000000, 0, 0}};
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, V, 1));
  EXPECT_EQ(0xFF102030u, Pixel(1, 1));
  EXPECT_EQ(0xFF102030u, Pixel(5, 1));
}

TEST_P(RasterTest, CullingFollowsWindingOnScreen) {
  MakeDevice(8, 8);
  Clear(0xFF000000);
  Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
  // Clockwise on the screen (y down): kept under the default counter-clockwise culling.
  std::vector<TQuadVertex> Cw = {{0, 0, 0, 1, 0xFFFF0000, 0, 0}, {8, 0, 0, 1, 0xFFFF0000, 0, 0},
                                 {0, 8, 0, 1, 0xFFFF0000, 0, 0}};
  std::vector<TQuadVertex> Ccw = {Cw[0], Cw[2], Cw[1]};
  for (auto& V : Ccw) V.Diffuse = 0xFF00FF00;
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Ccw, 1));
  EXPECT_EQ(0xFF000000u, Pixel(1, 1));
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Cw, 1));
  EXPECT_EQ(0xFFFF0000u, Pixel(1, 1));
}

// ---- blending ----

// Reference arithmetic, written out per channel with doubles.
std::uint32_t Factor(DWORD F, int C, std::uint32_t S, std::uint32_t D) {
  switch (F) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return Ch(S, C);
    case D3DBLEND_INVSRCCOLOR: return 255 - Ch(S, C);
    case D3DBLEND_SRCALPHA: return Ch(S, 3);
    case D3DBLEND_INVSRCALPHA: return 255 - Ch(S, 3);
    case D3DBLEND_DESTALPHA: return Ch(D, 3);
    case D3DBLEND_INVDESTALPHA: return 255 - Ch(D, 3);
    case D3DBLEND_DESTCOLOR: return Ch(D, C);
    case D3DBLEND_INVDESTCOLOR: return 255 - Ch(D, C);
    case D3DBLEND_SRCALPHASAT: return C == 3 ? 255 : std::min(Ch(S, 3), 255 - Ch(D, 3));
  }
  return 0;
}

std::uint32_t Expected(std::uint32_t S, std::uint32_t D, DWORD Fs, DWORD Fd, DWORD Op) {
  std::uint32_t R = 0;
  for (int c = 0; c < 4; ++c) {
    const double Sw = Ch(S, c) * (Factor(Fs, c, S, D) / 255.0), Dw = Ch(D, c) * (Factor(Fd, c, S, D) / 255.0);
    double V = 0;
    switch (Op) {
      case D3DBLENDOP_ADD: V = Sw + Dw; break;
      case D3DBLENDOP_SUBTRACT: V = Sw - Dw; break;
      case D3DBLENDOP_REVSUBTRACT: V = Dw - Sw; break;
      case D3DBLENDOP_MIN: V = std::min(Ch(S, c), Ch(D, c)); break;
      case D3DBLENDOP_MAX: V = std::max(Ch(S, c), Ch(D, c)); break;
    }
    R |= static_cast<std::uint32_t>(std::clamp(std::lround(V), 0l, 255l)) << (8 * c);
  }
  return R;
}

TEST_P(RasterTest, EveryBlendFactorAndOperationOnKnownPixels) {
  MakeDevice(4, 4);
  const std::uint32_t Dst = 0x90C04020, Src = 0x6030A0F0;
  const DWORD Factors[] = {D3DBLEND_ZERO,         D3DBLEND_ONE,          D3DBLEND_SRCCOLOR,  D3DBLEND_INVSRCCOLOR,
                           D3DBLEND_SRCALPHA,     D3DBLEND_INVSRCALPHA,  D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
                           D3DBLEND_DESTCOLOR,    D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT};
  const DWORD Ops[] = {D3DBLENDOP_ADD, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_SUBTRACT, D3DBLENDOP_MIN, D3DBLENDOP_MAX};
  for (bool Fast : {true, false}) {
    UseFastPaths(Fast);
    for (DWORD Op : Ops)
      for (DWORD Fs : Factors)
        for (DWORD Fd : Factors) {
          Clear(Dst);
          Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
          Device->SetRenderState(D3DRS_SRCBLEND, Fs);
          Device->SetRenderState(D3DRS_DESTBLEND, Fd);
          Device->SetRenderState(D3DRS_BLENDOP, Op);
          ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 4, 4, Src));
          // GL blends in floating point and may round the last bit of a result either way
          // (the rounding of a colour to a fixed-point value is the implementation's): one
          // level apart there, exact on the software device.
          const std::uint32_t Want = Expected(Src, Dst, Fs, Fd, Op), Got = Pixel(1, 1);
          for (int c = 0; c < 4; ++c)
            ASSERT_LE(std::abs(int(Ch(Want, c)) - int(Ch(Got, c))), OnGl() ? 1 : 0)
                << std::hex << Want << " " << Got << std::dec << " src " << Fs << " dest " << Fd << " op " << Op
                << " fast " << Fast;
        }
  }
}

TEST_P(RasterTest, DestinationAlphaOfATargetWithoutAlphaReadsOpaque) {
  MakeDevice(4, 4, D3DFMT_X8R8G8B8);
  Clear(0x00404040);
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_INVDESTALPHA);
  Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_DESTALPHA);
  ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 4, 4, 0xFFFFFFFF));
  EXPECT_EQ(0xFF404040u, Pixel(2, 2));
}

TEST_P(RasterTest, UntexturedStagePassesDiffuseWhateverItsOperation) {
  MakeDevice(4, 4);
  Device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  for (DWORD Op : {D3DTOP_MODULATE, D3DTOP_SELECTARG1}) {
    Clear(0xFF0000C8);
    Device->SetTextureStageState(0, D3DTSS_COLOROP, Op);
    Device->SetTextureStageState(0, D3DTSS_ALPHAOP, Op);
    Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 4, 4, 0x80FF0000));
    EXPECT_EQ(0x800064u, Rgb(Pixel(1, 1))) << Op;
  }
}

TEST_P(RasterTest, ModulateAndSelectCombineTextureAndDiffuse) {
  MakeDevice(3, 1);
  auto Texture = MakeTexture(3, 1, {0x80FF8040, 0xFF204060, 0xC1C1C1C1});
  Device->SetTexture(0, Texture.Get());
  Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  Device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  const auto Q = Quad(-0.5f, -0.5f, 2.5f, 0.5f, 0x80808080);
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Q, 2));
  // round(a * b / 255) per channel: 128 * 193 / 255 = 96.88 gives 97.
  EXPECT_EQ(0x40804020u, Pixel(0, 0));
  EXPECT_EQ(0x80102030u, Pixel(1, 0));
  EXPECT_EQ(0x61616161u, Pixel(2, 0));
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Q, 2));
  EXPECT_EQ(0x80FF8040u, Pixel(0, 0));
}

TEST_P(RasterTest, AlphaTestDropsPixelsThatFailTheComparison) {
  MakeDevice(4, 1);
  Clear(0xFF000000);
  Device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  Device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  Device->SetRenderState(D3DRS_ALPHAREF, 0x80);
  ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 2, 1, 0x7FFFFFFF));
  ASSERT_EQ(D3D_OK, DrawQuad(2, 0, 4, 1, 0x80FFFFFF));
  EXPECT_EQ(0xFF000000u, Pixel(0, 0));
  EXPECT_EQ(0x80FFFFFFu, Pixel(3, 0));
}

TEST_P(RasterTest, ColourWriteMaskKeepsMaskedChannels) {
  MakeDevice(2, 1);
  Clear(0x11223344);
  Device->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_ALPHA);
  ASSERT_EQ(D3D_OK, DrawQuad(0, 0, 2, 1, 0xAABBCCDD));
  EXPECT_EQ(0xAABB3344u, Pixel(0, 0));
}

TEST_P(RasterTest, PointListsCoverThePixelUnderEachPoint) {
  MakeDevice(8, 8);
  Clear(0xFF000000);
  std::vector<TQuadVertex> V = {{2, 3, 0, 1, 0xFFFF0000, 0, 0}, {5.5f, 5.5f, 0, 1, 0xFF00FF00, 0, 0}};
  ASSERT_EQ(D3D_OK, Draw(D3DPT_POINTLIST, V, 2));
  const TFrame F = Frame();
  int Lit = 0;
  for (std::uint32_t P : F.Pixels) Lit += P != 0xFF000000u;
  EXPECT_EQ(2, Lit);
  EXPECT_EQ(0xFFFF0000u, F.Pixel(2, 3));
  EXPECT_EQ(0xFF00FF00u, F.Pixel(5, 5));
}

TEST_P(RasterTest, LineListsDrawEveryPixelButTheLast) {
  MakeDevice(8, 8);
  Clear(0xFF000000);
  std::vector<TQuadVertex> V = {{1, 1, 0, 1, 0xFFFFFFFF, 0, 0}, {6, 1, 0, 1, 0xFFFFFFFF, 0, 0},
                                {7, 2, 0, 1, 0xFF0000FF, 0, 0}, {7, 7, 0, 1, 0xFF0000FF, 0, 0},
                                {0, 3, 0, 1, 0xFF00FF00, 0, 0}, {4, 7, 0, 1, 0xFF00FF00, 0, 0}};
  ASSERT_EQ(D3D_OK, Draw(D3DPT_LINELIST, V, 3));
  const TFrame F = Frame();
  for (int x = 0; x < 8; ++x) EXPECT_EQ(x >= 1 && x < 6 ? 0xFFFFFFFFu : 0xFF000000u, F.Pixel(x, 1)) << x;
  for (int y = 0; y < 8; ++y) EXPECT_EQ(y >= 2 && y < 7 ? 0xFF0000FFu : 0xFF000000u, F.Pixel(7, y)) << y;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(0xFF00FF00u, F.Pixel(i, 3 + i)) << i;  // the diagonal
  EXPECT_EQ(0xFF000000u, F.Pixel(4, 7));
}

TEST_P(RasterTest, GouraudLineInterpolatesColour) {
  MakeDevice(8, 1);
  std::vector<TQuadVertex> V = {{0, 0, 0, 1, 0xFF000000, 0, 0}, {4, 0, 0, 1, 0xFF0000FF, 0, 0}};
  ASSERT_EQ(D3D_OK, Draw(D3DPT_LINELIST, V, 1));
  EXPECT_EQ(0xFF000000u, Pixel(0, 0));
  EXPECT_EQ(0xFF000080u, Pixel(2, 0));  // 127.5 rounds up
  EXPECT_EQ(0xFF0000BFu, Pixel(3, 0));
}

// Strips of light: the texture modulated by the vertex colour, added by its alpha, filtered linearly.
void StripsOfLight(IDirect3DDevice9* Device, IDirect3DTexture9* Texture) {
  Device->SetTexture(0, Texture);
  TextureTimesDiffuseOverTheFrame(Device);
  Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
}

TEST_P(RasterTest, FastPathsAndGeneralPathGiveTheSameFrame) {
  // A stretched picture (the cached-row path), rotated textured quads under both filters,
  // Gouraud colours, alpha and additive blending: the same frame either way.
  MakeDevice(97, 61);
  const auto Texels = Noise(16 * 8, 3);
  auto Texture = MakeTexture(16, 8, Texels);
  auto Scene = [&] {
    Clear(0xFF203040);
    Device->SetTexture(0, Texture.Get());
    TextureTimesDiffuseOverTheFrame(Device.Get());
    for (DWORD Filter : {D3DTEXF_LINEAR, D3DTEXF_POINT}) {
      Device->SetSamplerState(0, D3DSAMP_MAGFILTER, Filter);
      Device->SetSamplerState(0, D3DSAMP_MINFILTER, Filter);
      ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-3.5f, 2.25f, 90.5f, 58.5f, 0xC0FFE0A0, 0.1f, 0.2f, 1.7f, 1.3f), 2));
      std::vector<TQuadVertex> Rot = {{10, 5, 0, 1, 0xFFFF0000, 0, 0},  {80, 15, 0, 1, 0x8000FF00, 2, 0},
                                      {3, 50, 0, 1, 0x400000FF, 0, 1},  {80, 15, 0, 1, 0x8000FF00, 2, 0},
                                      {70, 60, 0, 1, 0xFFFFFFFF, 2, 1}, {3, 50, 0, 1, 0x400000FF, 0, 1}};
      ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Rot, 2));
      Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    }
    Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    Device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(20.5f, 10.5f, 60.5f, 30.5f, 0xFFFFFFFF, -0.3f, 0, 2.3f, 4), 2));
  };
  SameWithFastPathsOff(Scene);
}

TEST_P(RasterTest, StripTrianglesDrawnTogetherGiveTheFrameOfEachAlone) {
  // Strips of light (white rows of varying alpha, added) in triangles of one draw whose spans
  // meet with V different across the shared edge, leave a gap or overlap.
  MakeDevice(64, 40);
  std::vector<std::uint32_t> Rows(4 * 16);
  for (std::size_t i = 0; i < Rows.size(); ++i) Rows[i] = 0x00FFFFFFu | static_cast<std::uint32_t>(i / 4 * 17) << 24;
  auto Texture = MakeTexture(4, 16, Rows);
  auto Scene = [&] {
    Clear(0xFF102030);
    StripsOfLight(Device.Get(), Texture.Get());
    for (std::uint32_t Color : {0xC0FFFFFFu, 0xA080FF40u}) {
      // A parallelogram whose second half is V shifted by a quarter.
      const TQuadVertex TL{1.5f, 2, 0, 1, Color, 0, 0}, TR{40, 9.5f, 0, 1, Color, 1, 0};
      const TQuadVertex BL{1.5f, 22.5f, 0, 1, Color, 0, 1.1f}, BR{40, 30, 0, 1, Color, 1, 1.35f};
      TQuadVertex TRShifted = TR, BLShifted = BL;
      TRShifted.V += 0.25f, BLShifted.V += 0.25f;
      ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, {TL, TR, BL, TRShifted, BR, BLShifted}, 2));
      const TQuadVertex A{44, 3, 0, 1, Color, 0, 0}, B{50, 3, 0, 1, Color, 1, 0}, C{44, 30, 0, 1, Color, 0, 2};
      const TQuadVertex D{53, 3, 0, 1, Color, 1, 0}, E{60, 3, 0, 1, Color, 2, 0}, F{53, 30, 0, 1, Color, 1, 2};
      const TQuadVertex G{62, 37, 0, 1, Color, 0, 1};
      ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, {A, B, C, D, E, F, B, G, C}, 3));
    }
  };
  SameWithFastPathsOff(Scene);
}

TEST_P(RasterTest, StripsOfEveryHeightAddOnlyTheirLitRows) {
  // Strips of light over textures of 16, 128 and 256 rows with clear runs in the middle and
  // across the wrap: quads slanted both ways whose spans start, end or lie wholly in the clear
  // rows, or cross more than one round of rows; white and tinted light. Each frame is also
  // drawn on a frame without alpha.
  struct TStrips {
    int Height;
    int ClearFrom, ClearTo;  // rows ClearFrom .. ClearTo - 1 (wrapping) have alpha 0
  };
  for (const TStrips& Case : {TStrips{16, 9, 14}, TStrips{128, 74, 129}, TStrips{128, 3, 5}, TStrips{256, 200, 260}})
    for (D3DFORMAT Format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
      SCOPED_TRACE(::testing::Message() << Case.Height << " rows, clear from " << Case.ClearFrom << ", format "
                                        << Format);
      MakeDevice(96, 64, Format);
      std::vector<std::uint32_t> Rows(static_cast<std::size_t>(4 * Case.Height));
      for (int y = 0; y < Case.Height; ++y) {
        const bool Clear = (y - Case.ClearFrom + Case.Height) % Case.Height < Case.ClearTo - Case.ClearFrom;
        const std::uint32_t Alpha = Clear ? 0 : 40 + static_cast<std::uint32_t>(y * 37 % 216);
        for (int x = 0; x < 4; ++x) Rows[static_cast<std::size_t>(y * 4 + x)] = 0x00FFFFFFu | Alpha << 24;
      }
      auto Texture = MakeTexture(4, Case.Height, Rows);
      auto Scene = [&] {
        Clear(0x80102030);
        StripsOfLight(Device.Get(), Texture.Get());
        for (std::uint32_t Color : {0xC0FFFFFFu, 0xA080FF40u}) {
          // Quads from V0 at the top to V1 at the bottom, their bottom edge Slant pixels lower
          // at the right; the second half's V is Shift further (its clear rows end elsewhere).
          // Quads drawn first in a tile have both halves there, which then go together (with
          // one step of V a pixel).
          struct TQuadCase {
            float X0, Y0, X1, Y1, Slant, V0, V1, Shift;
          };
          for (const TQuadCase& Q :
               {TQuadCase{20, 8, 70, 58, 0, 0, 1, 0.31f}, TQuadCase{10, 6, 60, 50, 0, 1, 0, -0.27f},
                TQuadCase{1.5f, 2, 44, 20, 14, 0, 1, 0}, TQuadCase{50, 30, 94, 40, -20, 0.2f, 0.9f, 0},
                TQuadCase{3, 30, 45, 60, 25, 0.55f, 0.62f, 0}, TQuadCase{48, 3, 95, 20, 9, -1.4f, 2.3f, 0},
                TQuadCase{60, 44, 90, 63, -3, 0.98f, 0.02f, 0}}) {
            const TQuadVertex TL{Q.X0, Q.Y0, 0, 1, Color, 0, Q.V0}, TR{Q.X1, Q.Y0 + Q.Slant, 0, 1, Color, 1, Q.V0};
            const TQuadVertex BL{Q.X0, Q.Y1, 0, 1, Color, 0, Q.V1}, BR{Q.X1, Q.Y1 + Q.Slant, 0, 1, Color, 1, Q.V1};
            TQuadVertex Second[3] = {TR, BR, BL};
            for (TQuadVertex& V : Second) V.V += Q.Shift;
            ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, {TL, TR, BL, Second[0], Second[1], Second[2]}, 2));
          }
        }
      };
      const TFrame Fast = SameWithFastPathsOff(Scene);
      EXPECT_NE(Fast.Pixels[static_cast<std::size_t>(10 * 96 + 20)], Fast.Pixels[0]) << "no light was drawn";
    }
}

TEST_P(RasterTest, StripQuadsOfAnyShapeGiveThePixelsOfTheirTwoTriangles) {
  // Random quadrilaterals of light cut along one diagonal, both halves on one plane of V
  // (exact at quarter pixels): convex or not, corners on pixel centres or between, spans
  // starting in the texture's clear rows. Their rows may be walked as one shape.
  MakeDevice(64, 48);
  std::vector<std::uint32_t> Rows(4 * 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 4; ++x)
      Rows[static_cast<std::size_t>(y * 4 + x)] = 0x00FFFFFFu | (y < 20 ? static_cast<std::uint32_t>(20 + y * 9) : 0u) << 24;
  auto Texture = MakeTexture(4, 32, Rows);
  std::mt19937 Random(11);
  // Every other quadrilateral has its corners on pixel centres.
  auto At = [&](int Range, int Step) { return static_cast<float>(static_cast<int>(Random() % (4u * Range)) / Step * Step - 8) / 4; };
  for (int Scene = 0; Scene < 8; ++Scene) {
    std::vector<TQuadVertex> Triangles;
    for (int q = 0; q < 12; ++q) {
      TQuadVertex P[4];
      for (TQuadVertex& Corner : P) {
        Corner = {At(72, q % 2 ? 1 : 4), At(56, q % 2 ? 1 : 4), 0, 1, q % 3 ? 0x30FFFFFFu : 0x40A0FF60u, 0, 0};
        Corner.V = (Corner.X / 2 + Corner.Y) / 64;  // one plane, exact
      }
      Triangles.insert(Triangles.end(), {P[0], P[1], P[2], P[0], P[2], P[3]});
    }
    SCOPED_TRACE(::testing::Message() << "scene " << Scene);
    SameWithFastPathsOff([&] {
      Clear(0xFF000000);
      StripsOfLight(Device.Get(), Texture.Get());
      Device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      for (std::size_t t = 0; t < Triangles.size(); t += 6)
        ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, {Triangles.begin() + t, Triangles.begin() + t + 6}, 2));
    });
  }
}

TEST_P(RasterTest, SixteenBitPictureAtOneTexelAPixelBlendsAsDecoded) {
  // Every R5G6B5 value once, at texel centres one texel a pixel, blended by the colour's
  // alpha (white and tinted), added and multiplied, over a background that varies: the same
  // frame either way.
  MakeDevice(256, 256);
  ComPtr<IDirect3DTexture9> Texture;
  ASSERT_EQ(D3D_OK, Device->CreateTexture(256, 256, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, Texture.Put(), nullptr));
  D3DLOCKED_RECT L;
  ASSERT_EQ(D3D_OK, Texture->LockRect(0, &L, nullptr, 0));
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x)
      reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(L.pBits) + y * L.Pitch)[x] =
          static_cast<std::uint16_t>(y * 256 + x);
  ASSERT_EQ(D3D_OK, Texture->UnlockRect(0));
  auto Scene = [&] {
    Clear(0xFF203040);
    Device->SetTexture(0, Texture.Get());
    TextureTimesDiffuseOverTheFrame(Device.Get());
    for (std::uint32_t Color : {0xFFFFFFFFu, 0x3FFFFFFFu, 0x9A40C0FFu, 0x01FFFFFFu})
      ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 255.5f, 255.5f, Color), 2));
    // Added, and multiplied: blends that read the decoded texels another way.
    Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, -0.5f, 255.5f, 127.5f, 0x60FFC0FF, 0, 0, 1, 0.5f), 2));
    Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(-0.5f, 127.5f, 255.5f, 255.5f, 0xFFE0FFC0, 0, 0.5f, 1, 1), 2));
    TextureTimesDiffuseOverTheFrame(Device.Get());
    // Not at texel centres: the general path, for contrast.
    ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Quad(10.25f, 7.5f, 200.5f, 90.5f, 0x80FFFFFF), 2));
  };
  const TFrame Fast = SameWithFastPathsOff(Scene);
  EXPECT_NE(Fast.Pixels[0], Fast.Pixels[65535]);
}

TEST_F(SoftRasterTest, PictureOverAStretchedPictureOverATintGivesTheFrameOfEachLayer) {
  // The saver's background: a clear, a tint, a small picture stretched over the frame and
  // multiplied in, a picture blended over it, in one pass where both cover a tile. The top
  // picture at one texel a pixel (32-bit with translucent texels, 16-bit), off the texel
  // centres, magnified, or not covering the frame; tiles of several sizes.
  constexpr int W = 128, H = 48;  // the pictures are W x W
  for (D3DFORMAT Format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
    SCOPED_TRACE(::testing::Message() << "format " << Format);
    MakeDevice(W, H, Format, D3DPRESENTFLAG_LOCKABLE_BACKBUFFER);
    auto Clouds = MakeTexture(16, 8, Noise(16 * 8, 5));
    auto Picture = MakeTexture(W, W, Noise(W * W, 6));
    // Opaque texels, and texels all but opaque.
    std::vector<std::uint32_t> Solid = Noise(W * W, 8), AllBut = Solid;
    for (auto& T : Solid) T |= 0xFF000000u;
    for (auto& T : AllBut) T = (T & 0x00FFFFFFu) | 0xFE000000u;
    auto SolidPicture = MakeTexture(W, W, Solid), AllButPicture = MakeTexture(W, W, AllBut);
    ComPtr<IDirect3DTexture9> Picture565;
    ASSERT_EQ(D3D_OK, Device->CreateTexture(W, W, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, Picture565.Put(), nullptr));
    D3DLOCKED_RECT L;
    ASSERT_EQ(D3D_OK, Picture565->LockRect(0, &L, nullptr, 0));
    const auto Bits = Noise(W * W, 7);
    for (int y = 0; y < W; ++y)
      for (int x = 0; x < W; ++x)
        reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(L.pBits) + y * L.Pitch)[x] =
            static_cast<std::uint16_t>(Bits[static_cast<std::size_t>(y * W + x)]);
    ASSERT_EQ(D3D_OK, Picture565->UnlockRect(0));
    struct TCase {
      IDirect3DTexture9* Top;
      float Shift, Scale;
      std::uint32_t Color;
      bool OtherDiagonal = false;  // the top picture's triangles meet along the other diagonal
    };
    const TCase Cases[] = {{Picture.Get(), 0, 1, 0x3FFFFFFF},   {Picture565.Get(), 0, 1, 0x9FFFFFFF},
                           {Picture565.Get(), 0, 1, 0xC040FF80}, {Picture.Get(), 0.25f, 1, 0x80FFFFFF},
                           {Picture.Get(), 0, 0.5f, 0x80FFFFFF},  {Picture.Get(), 30, 1, 0x80FFFFFF},
                           {Picture.Get(), 0, 1, 0x80FFFFFF, true}, {SolidPicture.Get(), 0, 1, 0x80FFFFFF},
                           {SolidPicture.Get(), 0, 1, 0xC040FF80}, {AllButPicture.Get(), 0, 1, 0x80FFFFFF}};
    const TDrawSettings Tiles[] = {{0, 0, 0}, {0, 16, 8}, {0, 7, 5}, {2, 32, 32}, {0, 45, 16}};
    for (const TCase& C : Cases)
      for (const TDrawSettings& T : Tiles) {
        SCOPED_TRACE(::testing::Message() << "shift " << C.Shift << ", scale " << C.Scale << ", colour " << std::hex
                                          << C.Color << ", tile " << std::dec << T.TileWidth << "x" << T.TileHeight);
        ASSERT_TRUE(SetDrawSettings(Device.Get(), T));
        // One buffer and one scene, so that the layers meet in the same tiles.
        auto Top = Quad(C.Shift - 0.5f, C.Shift - 0.5f, W - 0.5f + C.Shift, H - 0.5f + C.Shift, C.Color, 0, 0, C.Scale,
                        C.Scale * H / W);
        if (C.OtherDiagonal) Top = {Top[0], Top[1], Top[4], Top[0], Top[4], Top[2]};
        std::vector<TQuadVertex> All = Quad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0x60FF8040);
        for (const auto& Q : {Quad(-0.5f, -0.5f, W - 0.5f, H - 0.5f, 0xB0FF8040), Top}) All.insert(All.end(), Q.begin(), Q.end());
        ComPtr<IDirect3DVertexBuffer9> Buffer;
        const UINT Bytes = static_cast<UINT>(All.size() * sizeof(TQuadVertex));
        ASSERT_EQ(D3D_OK, Device->CreateVertexBuffer(Bytes, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, QuadFVF,
                                                     D3DPOOL_DEFAULT, Buffer.Put(), nullptr));
        void* Data = nullptr;
        ASSERT_EQ(D3D_OK, Buffer->Lock(0, Bytes, &Data, D3DLOCK_DISCARD));
        std::memcpy(Data, All.data(), Bytes);
        Buffer->Unlock();
        auto Scene = [&] {
          // Swapping from now on: a target without alpha is then drawn as it is shown, opaque.
          Device->Present(nullptr, nullptr, nullptr, nullptr);
          Clear(0xFF000000);
          Device->SetStreamSource(0, Buffer.Get(), 0, sizeof(TQuadVertex));
          Device->SetFVF(QuadFVF);
          TextureTimesDiffuseOverTheFrame(Device.Get());
          Device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
          Device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
          ASSERT_EQ(D3D_OK, Device->BeginScene());
          Device->SetTexture(0, nullptr);
          Device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
          Device->SetTexture(0, Clouds.Get());
          Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
          Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
          Device->DrawPrimitive(D3DPT_TRIANGLELIST, 6, 2);
          Device->SetTexture(0, C.Top);
          Device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
          Device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
          Device->DrawPrimitive(D3DPT_TRIANGLELIST, 12, 2);
          Device->EndScene();
          Device->SetStreamSource(0, nullptr, 0, 0);
        };
        SameWithFastPathsOff(Scene);
        if (Format == D3DFMT_X8R8G8B8)
          for (const std::string& Variant : RowKernelVariants()) {
            // Drawn as it is shown: every pixel opaque in the buffer itself, whatever the kernels.
            UseRowKernelVariant(Variant);
            Scene();
            ComPtr<IDirect3DSurface9> Back;
            D3DLOCKED_RECT L;
            ASSERT_EQ(D3D_OK, Device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, Back.Put()));
            ASSERT_EQ(D3D_OK, Back->LockRect(&L, nullptr, D3DLOCK_READONLY));
            int Translucent = 0;
            for (int y = 0; y < H; ++y)
              for (int x = 0; x < W; ++x)
                Translucent += reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(L.pBits) + y * L.Pitch)[x] < 0xFF000000u;
            Back->UnlockRect();
            EXPECT_EQ(0, Translucent) << Variant;
          }
        UseRowKernelVariant(RowKernelVariants().front());
      }
  }
}

TEST_P(RasterTest, PerspectiveCorrectTextureCoordinates) {
  // The right edge is four times as far away (1/w a quarter): texel boundaries crowd
  // towards it instead of falling every two pixels.
  MakeDevice(8, 1);
  auto Texture = MakeTexture(4, 1, {0xFF000000, 0xFF000001, 0xFF000002, 0xFF000003});
  Device->SetTexture(0, Texture.Get());
  Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  auto Q = Quad(-0.5f, -0.5f, 7.5f, 0.5f, 0xFFFFFFFF);
  for (auto& V : Q)
    if (V.X > 0) V.Rhw = 0.25f;
  ASSERT_EQ(D3D_OK, Draw(D3DPT_TRIANGLELIST, Q, 2));
  const TFrame F = Frame();
  for (int x = 0; x < 8; ++x) {
    const double T = (x + 0.5) / 8;  // screen position across the quad
    const double U = (T * 0.25) / ((1 - T) * 1 + T * 0.25);
    EXPECT_EQ(static_cast<std::uint32_t>(U * 4), F.Pixel(x, 0) & 0xFF) << x;
  }
  EXPECT_EQ(1u, F.Pixel(5, 0) & 0xFF);  // an affine mapping would give texel 2 here
}

TEST(RasterTiles, DrawingInDisjointRectanglesGivesTheWholeTriangle) {
  // The rasteriser's promise for tiling: one set-up triangle drawn per tile is the same as
  // drawing it at once.
  std::vector<std::uint32_t> Whole(64 * 48, 0xFF102030), Tiled = Whole;
  TPipeline P;
  P.Cull = D3DCULL_NONE;
  P.Blend = true;
  P.SrcBlend = D3DBLEND_SRCALPHA;
  P.DestBlend = D3DBLEND_INVSRCALPHA;
  const TVertex A{3.3f, 1.7f, 0, 1, 0xFFFF0000, 0, 0}, B{60.2f, 12.9f, 0, 1, 0x8000FF00, 0, 0},
      C{17.5f, 46.1f, 0, 1, 0x400000FF, 0, 0};
  TRasterizer R;
  R.Begin({Whole.data(), 64, 48, 64, true, nullptr}, P);
  R.Triangle(A, B, C);
  R.Begin({Tiled.data(), 64, 48, 64, true, nullptr}, P);
  TTriangleSetup S;
  ASSERT_TRUE(R.SetupTriangle(A, B, C, S));
  for (int Top = 0; Top < 48; Top += 16)
    for (int Left = 0; Left < 64; Left += 16) R.DrawTriangle(S, {Left, Top, Left + 16, Top + 16});
  EXPECT_EQ(Whole, Tiled);
  EXPECT_NE(std::vector<std::uint32_t>(64 * 48, 0xFF102030), Whole);
}

TEST(RasterTiles, RowSpansAreThePixelCentresInsideEveryEdge) {
  // Corners on a quarter-pixel grid put edges through pixel centres in many rows, where a
  // walked bound that is one off shows; horizontal edges and clips cutting rows included.
  // Corners finer than that (to the 1/16 and the 1/256 of a pixel, the set-up's precision)
  // give the walked bounds remainders that carry into the next pixel between rows.
  TPipeline P;
  P.Cull = D3DCULL_NONE;
  for (const int Grid : {4, 16, 256}) {
    std::mt19937 Random(5 + Grid);
    auto Coordinate = [&] { return static_cast<float>(static_cast<int>(Random() % (40u * Grid)) - 5 * Grid) / Grid; };
    for (int t = 0; t < (Grid == 4 ? 300 : 2000); ++t) {
      TVertex V[3];
      for (TVertex& Corner : V) Corner.X = Coordinate(), Corner.Y = Coordinate();
      if (t % 3 == 0) V[1].Y = V[0].Y;
      TTriangleSetup S;
      if (!SetupTriangle(P, V[0], V[1], V[2], S)) continue;
      const TClipRect Clip{static_cast<int>(Random() % 8), static_cast<int>(Random() % 8), 32,
                           24 + static_cast<int>(Random() % 8)};
      std::vector<int> First(32), Count(32);
      TriangleRows(S, Clip, First.data(), Count.data());
      for (int y = Clip.Top; y < Clip.Bottom; ++y)
        for (int x = Clip.Left; x < Clip.Right; ++x) {
          bool Inside = true;
          for (const auto& E : S.Edges) Inside = Inside && E.A * x + E.B * y + E.C >= E.Bias;
          const int r = y - Clip.Top;
          ASSERT_EQ(Inside, x >= First[r] && x < First[r] + Count[r])
              << "grid 1/" << Grid << ", triangle " << t << ", pixel " << x << "," << y;
        }
    }
  }
}

TEST(RasterRounding, CoordinatesRoundHalfAwayFromZeroAsTheLibraryDoes) {
  // Around halves and integers, where a half added would round on its own (just under one
  // half, at 2^52 and up), either sign, and random values of every size.
  std::vector<double> Values = {0.0, -0.0, 0x1p-60, 0x1p61};
  for (double Centre : {0.5, 1.5, 2.5, 1.0, 0x1p51 + 0.5, 0x1p52, 0x1p52 + 1, 0x1p53 + 2, 7340032.5, 0x1p40 - 0.5}) {
    double Below = Centre, Above = Centre;
    for (int k = 0; k < 3; ++k) {
      Values.insert(Values.end(), {Below, Above});
      Below = std::nextafter(Below, 0.0), Above = std::nextafter(Above, 0x1p62);
    }
  }
  std::mt19937_64 Random(3);
  for (int i = 0; i < 20000; ++i)
    Values.push_back(std::ldexp(static_cast<double>(Random() >> 11), static_cast<int>(Random() % 68) - 60));  // below 2^61
  for (const double V : Values)
    for (const double X : {V, -V}) ASSERT_EQ(std::llround(X), px::RoundHalfAway(X)) << std::hexfloat << X;
}

}  // namespace
}  // namespace qel::soft::testing
