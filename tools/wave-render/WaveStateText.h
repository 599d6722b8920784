#pragma once
#include <string>

#include "app/MainForm.h"

namespace qel::waverender {

// The wave state a frame was drawn from as one line of JSON (no newline): every double is
// written so that it reads back exactly, the colour as the engine's integer.
std::string WaveStateJson(double AtMs, int Width, int Height, const TWaveState& W);

// The readable print of the wave state after a simulated second (--print-state).
std::string WaveStatePrint(int Second, const TMainForm& Form);

}  // namespace qel::waverender
