#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qel::waverender {

// One requested still frame: the time as the user wrote it (it names the file) and its value.
struct TStillFrame {
  std::string Text;
  std::int64_t AtMs = 0;
};

// wave-render's command line, checked as a whole before anything runs.
struct TRenderOptions {
  std::uint64_t Seed = 1;
  int Width = 0;  // 0: the desktop picture's size, or the default screen without one
  int Height = 0;
  std::string DesktopFile;
  std::vector<TStillFrame> Stills;
  std::string OutDir = "wave-frames";
  std::string StateFile;
  std::string AnimateFile;
  std::string Renderer;  // as given: auto, gl or soft; empty when not given
  int AnimateFps = 25;
  int Seconds = 10;  // of the animation, or of --print-state
  bool FpsReadout = false;
  bool PrintState = false;
  bool Help = false;
};

constexpr int MinSide = 16;
constexpr int MaxSide = 16384;
constexpr int DefaultWidth = 1280;
constexpr int DefaultHeight = 720;
constexpr std::int64_t MaxAtMs = 86'400'000;
constexpr int MaxFps = 100;  // the saver draws at most 100 frames a second
constexpr int MaxSeconds = 3600;

// Fills Options from the arguments (argv[0] excluded); false with a message in Error on
// anything it does not understand or that is out of range. Files are not looked at here.
bool ParseRenderOptions(const std::vector<std::string>& Args, TRenderOptions& Options, std::string& Error);

const char* RenderUsage();

}  // namespace qel::waverender
