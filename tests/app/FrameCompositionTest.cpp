#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/draw/Glow2D.h"
#include "tests/app/SaverOnSoftDevice.h"

namespace qel {
namespace {

// One quad as the device is given it: its corners (top-left, top-right, bottom-right,
// bottom-left), their colours (0xAARRGGBB), the texture and how the quad is blended into the
// frame (source factor 0 when it replaces the frame).
struct TQuad {
  std::array<double, 8> XY{};
  std::array<std::uint32_t, 4> Colours{};
  const void* Texture = nullptr;
  DWORD Source = 0, Dest = 0, Op = 0;
};

std::string Describe(const TQuad& Q) {
  std::string S = "corners";
  for (double V : Q.XY) S += " " + std::to_string(V);
  char Rest[96];
  std::snprintf(Rest, sizeof Rest, ", colour %08X, blend %lu %lu %lu", Q.Colours[0], static_cast<unsigned long>(Q.Source),
                static_cast<unsigned long>(Q.Dest), static_cast<unsigned long>(Q.Op));
  return S + Rest;
}

// Every quad of every draw call, read from the device when the call is made: its render
// states, its texture and the vertices in its stream.
void RecordQuads(std::vector<TQuad>& Quads) {
  soft::CallLog().Watch([&Quads](const soft::TCall& Call) {
    if (std::strcmp(Call.Name, "DrawIndexedPrimitive") != 0 || Call.Result != D3D_OK) return;
    IDirect3DDevice9* Dev = Direct3DDevice.Get();
    DWORD Blending = 0, Source = 0, Dest = 0, Op = 0;
    Dev->GetRenderState(D3DRS_ALPHABLENDENABLE, &Blending);
    Dev->GetRenderState(D3DRS_SRCBLEND, &Source);
    Dev->GetRenderState(D3DRS_DESTBLEND, &Dest);
    Dev->GetRenderState(D3DRS_BLENDOP, &Op);
    ComPtr<IDirect3DBaseTexture9> Texture;
    Dev->GetTexture(0, Texture.Put());
    ComPtr<IDirect3DVertexBuffer9> Stream;
    UINT Offset = 0, Stride = 0;
    ASSERT_EQ(Dev->GetStreamSource(0, Stream.Put(), &Offset, &Stride), D3D_OK);
    ASSERT_EQ(Stride, sizeof(TVertex2D));
    void* Data = nullptr;
    ASSERT_EQ(Stream->Lock(0, 0, &Data, D3DLOCK_READONLY), D3D_OK);
    const auto* V = reinterpret_cast<const TVertex2D*>(static_cast<const std::uint8_t*>(Data) + Offset) +
                    static_cast<std::int64_t>(Call.Arg(1)) + static_cast<std::int64_t>(Call.Arg(2));
    for (std::uint64_t First = 0; First + 4 <= Call.Arg(3); First += 4) {
      TQuad Q;
      for (int c = 0; c < 4; ++c) {
        Q.XY[2 * c] = V[First + c].X;
        Q.XY[2 * c + 1] = V[First + c].Y;
        Q.Colours[c] = V[First + c].Diffuse;
      }
      Q.Texture = Texture.Get();
      Q.Source = Blending ? Source : 0;
      Q.Dest = Dest;
      Q.Op = Op;
      Quads.push_back(Q);
    }
    Stream->Unlock();
  });
}

std::uint32_t Argb(int Alpha, std::uint32_t Rgb) { return static_cast<std::uint32_t>(Alpha) << 24 | Rgb; }

// The blends the frame is made with.
struct TBlend {
  DWORD Source, Dest, Op;
};
constexpr TBlend Over{D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD};  // source over the frame
constexpr TBlend Times{D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD};        // the frame times the source
constexpr TBlend Glow{D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD};          // the frame plus the source

TQuad Expect(std::array<double, 8> XY, std::uint32_t Colour, const void* Texture, TBlend B) {
  TQuad Q;
  Q.XY = XY;
  Q.Colours.fill(Colour);
  Q.Texture = Texture;
  Q.Source = B.Source;
  Q.Dest = B.Dest;
  Q.Op = B.Op;
  return Q;
}

// Rounding half to even, as the frame's rules round.
double Nearest(double X) { return std::nearbyint(X); }

// The ribbon strip of one layer, straight from the rules of the frame: samples at -40 and
// every 41 pixels on while x <= W + 40; the curve's height rises with the fade above 0.25 and
// its phase shifts as it does; each quad joins two neighbouring samples, its bright edge lift
// pixels off the curve (above it for kind 1, below for kind 2), glowing across thick pixels.
// Textured corners reach the device half a pixel up and left.
std::vector<TQuad> RibbonQuads(const TWaveLayer& L, double Fade, int W, const void* Strip) {
  const double a = std::max(0.0, Fade - 0.25) * 1.33;
  const double s2 = std::sin(L.Ticks * L.SwingSpeed);
  const double Lift = std::max(0.1, Fade - 0.5) * (L.Amplitude * 2) * 2;
  const double Thick = std::max(0.1, Fade) * (L.Amplitude * 1.5);
  const int Light = static_cast<int>(Nearest(std::max(Fade, 0.0) * L.Alpha));
  const double Side = L.Kind == 1 ? -1 : 1;
  std::vector<TQuad> Quads;
  double qx = 0, qy = 0;
  for (int x = -40; x <= W + 40; x += 41) {
    const double s1 = std::sin(1 + 20 * a + L.Phase + x * L.Frequency);
    const double px = Nearest(x + L.Origin.X);
    const double py = Nearest((s2 * L.Swing + L.Amplitude) * s1 * a + L.Origin.Y);
    if (x > -40) {
      const double Edge = Side * Lift, Far = Side * Lift - Side * Thick;
      Quads.push_back(Expect({qx - 0.5, qy + Edge - 0.5, px - 0.5, py + Edge - 0.5, px - 0.5, py + Far - 0.5, qx - 0.5,
                              qy + Far - 0.5},
                             Argb(Light, 0xFFFFFF), Strip, Glow));
    }
    qx = px;
    qy = py;
  }
  return Quads;
}

// Six layers of different shapes, kinds 1, 1, 1, 2, 2, 2, on the baseline of a screen 120
// pixels high; the slow swing of each at a different point of its cycle.
TWaveState KnownWave() {
  TWaveState S;
  S.LayerCount = 6;
  S.FadeState = fsSteady;
  S.WaveColor = 0x00C7FF;  // golden orange: red 255, green 199, blue 0
  const double Shape[6][7] = {
      // phase, frequency, amplitude, swing, swing speed, alpha, ticks
      {0.3, 0.0011, 25, 0, 0.0049, 25, 0},     {2.5, 0.0039, 74, 73, -0.005, 99, 300},
      {4.1, 0.0023, 50, 20, 0.0031, 60, 1234}, {5.9, 0.0017, 61, 44, -0.0027, 77, 50},
      {1.2, 0.0030, 33, 11, 0.0012, 41, 9999}, {6.27, 0.0025, 47, 30, 0.0040, 88, 777},
  };
  for (int i = 0; i < 6; ++i) {
    TWaveLayer& L = S.Layers[static_cast<std::size_t>(i)];
    L.Origin = Point2(0, 60);
    L.Phase = Shape[i][0];
    L.PhaseSpeed = 0.004;
    L.Frequency = Shape[i][1];
    L.Amplitude = Shape[i][2];
    L.Swing = Shape[i][3];
    L.SwingSpeed = Shape[i][4];
    L.Alpha = static_cast<std::int32_t>(Shape[i][5]);
    L.Ticks = static_cast<std::int32_t>(Shape[i][6]);
    L.Kind = i < 3 ? 1 : 2;
  }
  return S;
}

// A frame is the tint in the wave's colour blended over black, the clouds multiplied over
// it, the desktop blended over that and the six ribbons added on top, layer by layer and left
// to right; the fade sets every opacity and the ribbons' shape. At 207 pixels the last sample
// lies exactly 40 pixels beyond the right edge: 8 samples, 7 quads a layer.
TEST(FrameComposition, EveryQuadOfAFrameAsTheDeviceReceivesIt) {
  constexpr int W = 207, H = 120;
  TSaverRun R(W, H);
  R.Run("/s", 0);
  TMainForm& F = *R.Form;
  const void* Clouds = static_cast<IDirect3DBaseTexture9*>(F.Tex->Find("bg")->Texture(0));
  const void* Strip = static_cast<IDirect3DBaseTexture9*>(F.Tex->Find("tex")->Texture(0));
  const void* Desktop = static_cast<IDirect3DBaseTexture9*>(F.DesktopImage->Texture(0));
  std::vector<TQuad> Quads;
  RecordQuads(Quads);
  struct TRow {
    double Fade;
    int Tint, Cloud, Desk;  // opacities, 0 ... 255
  };
  // The fade may overshoot 1 by one step; every opacity still fits a byte.
  for (const TRow& Row : {TRow{-1.0, 1, 1, 255}, TRow{-0.5, 1, 1, 159}, TRow{0.0, 1, 1, 63}, TRow{0.2, 1, 1, 63},
                          TRow{0.25, 1, 1, 63}, TRow{0.5, 33, 85, 63}, TRow{0.75, 64, 170, 63},
                          TRow{1.0, 96, 254, 63}, TRow{1.0025, 96, 255, 63}}) {
    F.Wave = KnownWave();
    F.Wave.Fade = Row.Fade;
    Quads.clear();
    F.TimerTimer(F.Timer);
    std::vector<TQuad> Want = {
        Expect({0, 0, W, 0, W, H, 0, H}, Argb(Row.Tint, 0xFFC700), nullptr, Over),
        Expect({-0.5, -0.5, W - 0.5, -0.5, W - 0.5, H - 0.5, -0.5, H - 0.5}, Argb(Row.Cloud, 0xFFC700), Clouds, Times),
        Expect({-0.5, -0.5, W - 0.5, -0.5, W - 0.5, H - 0.5, -0.5, H - 0.5}, Argb(Row.Desk, 0xFFFFFF), Desktop, Over)};
    for (const TWaveLayer& L : KnownWave().Layers) {
      const std::vector<TQuad> Ribbon = RibbonQuads(L, Row.Fade, W, Strip);
      ASSERT_EQ(Ribbon.size(), 7u);
      Want.insert(Want.end(), Ribbon.begin(), Ribbon.end());
    }
    ASSERT_EQ(Quads.size(), Want.size()) << "fade " << Row.Fade;
    for (std::size_t i = 0; i < Want.size(); ++i) {
      const TQuad &Got = Quads[i], &Exp = Want[i];
      bool Same = Got.Colours == Exp.Colours && Got.Texture == Exp.Texture && Got.Source == Exp.Source &&
                  Got.Dest == Exp.Dest && Got.Op == Exp.Op;
      for (int c = 0; c < 8; ++c) Same = Same && std::abs(Got.XY[c] - Exp.XY[c]) < 0.01;
      EXPECT_TRUE(Same) << "fade " << Row.Fade << ", quad " << i << "\n  got  " << Describe(Got) << "\n  want "
                        << Describe(Exp);
    }
  }
}

}  // namespace
}  // namespace qel
