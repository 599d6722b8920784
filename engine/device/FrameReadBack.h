#pragma once
#include <cstdint>
#include <vector>

namespace qel {

// A finished frame as the back buffer holds it: opaque 0xFFRRGGBB pixels, rows top-down,
// Width pixels a row.
struct TFramePixels {
  int Width = 0;
  int Height = 0;
  std::vector<std::uint32_t> Pixels;

  std::uint32_t At(int X, int Y) const { return Pixels[static_cast<std::size_t>(Y) * Width + X]; }
};

// Copies the back buffer of the process's device into Frame through Direct3D's own calls
// (GetBackBuffer, a system-memory surface, GetRenderTargetData, LockRect), so it works the
// same on every Direct3D 9. Call it after a frame is rendered and before it is presented.
// False, with Frame untouched, when there is no device or a call fails (a lost device).
bool ReadBackFrame(TFramePixels& Frame);

}  // namespace qel
