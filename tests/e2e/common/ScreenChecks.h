#pragma once
#include <cstdint>
#include <string>

#include "tools/common/Png.h"

namespace qel::e2e {

// What the end-to-end tests put on the screen before the saver starts, and how they judge
// the saver's frames from screenshots, whatever the window system they were taken on.

// The desktop picture: 64-pixel cells, light and dark, with low bits that a 16-bit frame
// cannot keep, so the saver's first frame tells itself apart from the picture.
std::uint32_t DesktopPixel(int X, int Y);
bool LightCell(int X, int Y);

// Whether the shot shows the desktop picture itself (sampled; a pointer's worth may differ),
// not yet anything drawn over it.
bool ShowsDesktop(const TArgbPicture& Shot);

// The saver's first frame: what changed from the picture is the picture in R5G6B5 colours
// (a frame caught half drawn may still show the picture itself elsewhere), and more than a
// pointer's worth of the screen changed. Report says what was found.
bool IsFirstFrame(const TArgbPicture& Shot, std::string& Report);

// The saver's first frame in a window that showed nothing of the picture before: the picture
// in R5G6B5 colours, as bright or evenly dimmed to half at most, as it is in the first frames
// of a run (a frame caught a little late on a loaded machine counts).
bool IsDimmedDesktop(const TArgbPicture& Shot, std::string& Report);

// The wave: the desktop is at most faintly visible (under 27 % of its contrast) under light
// that varies within its cells (clouds, ribbons). Works as well over a plain desktop.
bool IsWave(const TArgbPicture& Shot, std::string& Report);

// Whether the shot is black (no channel above 8) but for the first light of a wave across
// its middle: black in at least half of it, and all over its top and bottom tenths (but for
// a pointer's worth), where a desktop picture or a panel would show.
bool IsBlack(const TArgbPicture& Shot, std::string& Report);

// The share of pixels that differ by more than Tolerance in a channel (same-sized shots).
double ChangedShare(const TArgbPicture& A, const TArgbPicture& B, int Tolerance);

}  // namespace qel::e2e
