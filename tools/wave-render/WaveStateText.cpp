#include "tools/wave-render/WaveStateText.h"

#include <cstdio>

namespace qel::waverender {
namespace {

// 17 significant digits give back the same double; the C locale's point is the JSON one.
std::string Num(double V) {
  char Buf[40];
  std::snprintf(Buf, sizeof Buf, "%.17g", V);
  return Buf;
}

const char* FadeStateName(std::int32_t State) {
  switch (State) {
    case fsFadingIn: return "fading in";
    case fsFadingOut: return "fading out";
    default: return "steady";
  }
}

}  // namespace

std::string WaveStateJson(double AtMs, int Width, int Height, const TWaveState& W) {
  std::string S = "{\"at\":" + Num(AtMs) + ",\"width\":" + std::to_string(Width) + ",\"height\":" +
                  std::to_string(Height) + ",\"fade\":" + Num(W.Fade) + ",\"fadeState\":" + std::to_string(W.FadeState) +
                  ",\"waveColor\":" + std::to_string(W.WaveColor) + ",\"layerCount\":" + std::to_string(W.LayerCount) +
                  ",\"layers\":[";
  for (int i = 0; i < W.LayerCount; ++i) {
    const TWaveLayer& L = W.Layers[static_cast<std::size_t>(i)];
    if (i) S += ',';
    S += "{\"origin\":[" + Num(L.Origin.X) + "," + Num(L.Origin.Y) + "],\"phase\":" + Num(L.Phase) +
         ",\"phaseSpeed\":" + Num(L.PhaseSpeed) + ",\"frequency\":" + Num(L.Frequency) + ",\"amplitude\":" +
         Num(L.Amplitude) + ",\"swing\":" + Num(L.Swing) + ",\"swingSpeed\":" + Num(L.SwingSpeed) +
         ",\"alpha\":" + std::to_string(L.Alpha) + ",\"ticks\":" + std::to_string(L.Ticks) +
         ",\"kind\":" + std::to_string(L.Kind) + "}";
  }
  return S + "]}";
}

std::string WaveStatePrint(int Second, const TMainForm& F) {
  const TWaveState& W = F.Wave;
  char Line[200];
  std::snprintf(Line, sizeof Line, "t=%3ds  fade %+.4f  %-10s  colour %06X  lifetime %2us\n", Second, W.Fade,
                FadeStateName(W.FadeState), W.WaveColor, F.ChangeTimer->Interval() / 1000);
  std::string S = Line;
  for (int i = 0; i < W.LayerCount; ++i) {
    const TWaveLayer& L = W.Layers[static_cast<std::size_t>(i)];
    std::snprintf(Line, sizeof Line, "    layer %d  kind %d  phase %8.4f  amplitude %2.0f  swing %2.0f  alpha %2d  ticks %d\n",
                  i, L.Kind, L.Phase, L.Amplitude, L.Swing, L.Alpha, L.Ticks);
    S += Line;
  }
  return S;
}

}  // namespace qel::waverender
