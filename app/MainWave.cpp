#include "app/MainForm.h"
#include "framework/Random.h"

namespace qel {

// The random numbers are drawn in a fixed order (colour, lifetime, then each layer field by
// field), so one seed always gives the same waves.
void TMainForm::NewWave() {
  Wave.Fade = 0.0;
  Wave.WaveColor = Wave.ColorTable[static_cast<std::size_t>(Random(8))];
  ChangeTimer->SetInterval(static_cast<std::uint32_t>(Random(60) * 1000 + 10000));
  ChangeTimer->SetEnabled(true);
  Wave.FadeState = fsFadingIn;
  Wave.LayerCount = MaxWaveLayers;
  for (int i = 0; i < Wave.LayerCount; ++i) {
    TWaveLayer& L = Wave.Layers[static_cast<std::size_t>(i)];
    L.Origin = Point2(0, D->Height() / 2);
    L.Phase = Random(628) / 100.0;
    L.PhaseSpeed = Random(75) / 100.0 / 100.0;
    L.Frequency = (Random(30) + 10) / 100.0 / 100.0;
    L.Amplitude = Random(50) + 25;
    L.Swing = Random(static_cast<std::int32_t>(L.Amplitude));
    L.SwingSpeed = (Random(100) - 50) / 100.0 / 100.0;
    L.Alpha = (Random(150) + 50) / 2;
    L.Kind = i < Wave.LayerCount / 2 ? 1 : 2;
  }
}

// One processing step.
void TMainForm::TimerProcess(TObject*) {
  if (Wave.FadeState == fsFadingIn) {
    if (Wave.Fade >= 1.0)
      Wave.FadeState = fsSteady;
    else
      Wave.Fade += 0.0025;
  }
  if (Wave.FadeState == fsFadingOut) {
    if (Wave.Fade > 0.0)
      Wave.Fade -= 0.0025;
    else
      NewWave();
  }
  for (int i = 0; i < Wave.LayerCount; ++i) {
    TWaveLayer& L = Wave.Layers[static_cast<std::size_t>(i)];
    // Wraps after some 200 days of running instead of overflowing.
    L.Ticks = static_cast<std::int32_t>(static_cast<std::uint32_t>(L.Ticks) + 1u);
    L.Phase += L.PhaseSpeed;
  }
}

// The wave's time is up (or Space was pressed): fade it out; the next follows.
void TMainForm::ChangeTimerTimer(TObject*) {
  ChangeTimer->SetEnabled(false);
  Wave.FadeState = fsFadingOut;
}

}  // namespace qel
