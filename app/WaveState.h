#pragma once
#include <array>
#include <cstdint>

#include "engine/draw/GlowTypes.h"

namespace qel {

// One ribbon of a wave: a sine curve across the screen whose phase drifts and whose height
// swells and shrinks slowly.
struct TWaveLayer {
  TPoint2 Origin;            // x always 0; y the baseline, half the device height
  double Phase = 0;          // radians
  double PhaseSpeed = 0;     // radians per processing step
  double Frequency = 0;      // radians per pixel
  double Amplitude = 0;      // pixels, whole numbers
  double Swing = 0;          // depth of the amplitude's modulation, pixels, below Amplitude
  double SwingSpeed = 0;     // radians per processing step, either sign
  std::int32_t Alpha = 0;    // opacity at full fade, 0 ... 255
  std::int32_t Ticks = 0;    // steps counted for this slot since start; never reset
  std::int32_t Kind = 0;     // 1 or 2: the side of the curve the ribbon lies on
};

constexpr int MaxWaveLayers = 6;

enum TFadeState : std::int32_t { fsSteady = 0, fsFadingIn = 1, fsFadingOut = 2 };

// The colours a wave may take (engine colours, alpha byte 0): grey, red, blue, dark green,
// cyan, magenta, golden orange and black (no tint, white ribbons only).
constexpr std::array<TGlowColor, 8> WaveColors = {0x808080, 0x0000FF, 0xFF0000, 0x008000,
                                                  0xFFFF00, 0xFF00FF, 0x00C7FF, 0x000000};

// The current wave. Fade is -1 at start-up (the desktop dissolving), 0 invisible, 1 fully
// shown.
struct TWaveState {
  std::array<TWaveLayer, MaxWaveLayers> Layers{};
  std::int32_t LayerCount = 0;
  double Fade = 0;
  std::int32_t FadeState = fsSteady;
  TGlowColor WaveColor = 0;
  std::array<TGlowColor, 8> ColorTable{};
};

}  // namespace qel
