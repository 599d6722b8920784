#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "platform/unix/ControlCanvas.h"

namespace qel::wl {

// The classic controls drawn into 0x00RRGGBB pixels of a buffer the caller lends at Begin.
// Text is drawn with FreeType in the font fontconfig finds for sans-serif (DejaVu Sans where
// installed) at the font's character height in pixels, as the X11 platform's Xft does.
class TBufferCanvas : public posix::TControlCanvas {
 public:
  // Where Begin draws: memory of at least Width x Height pixels, Pitch pixels a row.
  using TTarget = std::function<std::uint32_t*(int Width, int Height, int& Pitch)>;
  // Shows what was drawn.
  using TShow = std::function<void()>;
  TBufferCanvas(TTarget Target, TShow Show);
  ~TBufferCanvas() override;
  TBufferCanvas(const TBufferCanvas&) = delete;
  TBufferCanvas& operator=(const TBufferCanvas&) = delete;

  void Begin(int Width, int Height) override;
  void Fill(int X, int Y, int W, int H, std::uint32_t Rgb) override;
  void Text(int X, int Y, const std::string& Caption, const TFont& Font) override;
  int TextWidth(const std::string& Caption, const TFont& Font) override;
  int TextHeight(const TFont& Font) override;
  void End() override;

 private:
  FT_Face FaceFor(const TFont& Font);

  TTarget FTarget;
  TShow FShow;
  std::uint32_t* FPixels = nullptr;
  int FWidth = 0, FHeight = 0, FPitch = 0;
  FT_Library FLibrary = nullptr;
  std::map<std::tuple<std::string, int, bool>, FT_Face> FFaces;
};

}  // namespace qel::wl
