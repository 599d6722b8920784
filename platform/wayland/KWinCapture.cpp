#include "platform/wayland/KWinCapture.h"

#include <cstdio>

#include "platform/wayland/CaptureFormats.h"
#include "platform/wayland/kwin/ScreenShot.h"

namespace qel::wl {

bool CaptureKWinScreen(const std::string& Output, int TimeoutMs, TBitmap& Bitmap) {
  if (Output.empty()) return false;
  kwin::TScreenImage Image;
  std::string Error;
  switch (kwin::CaptureScreen(Output, Bitmap.Width(), Bitmap.Height(), TimeoutMs, Image, Error)) {
    case kwin::TShotResult::Taken:
      return ConvertCapture(Image.ShmFormat, Image.Pixels.data(), Image.Width, Image.Height, Image.Stride, false,
                            Bitmap);
    case kwin::TShotResult::Unavailable:
      return false;
    case kwin::TShotResult::Refused:
      std::fprintf(stderr,
                   "qelwave: KWin does not let this program take the desktop picture (%s): starting from black; "
                   "the installed qelwave.desktop in /usr/share/applications is what allows it\n",
                   Error.c_str());
      return false;
    case kwin::TShotResult::Failed:
      break;
  }
  std::fprintf(stderr, "qelwave: no desktop picture from KWin: %s: starting from black\n", Error.c_str());
  return false;
}

}  // namespace qel::wl
