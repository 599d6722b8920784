#pragma once
#include <memory>
#include <string>

#include "tests/e2e/wayland/TestClient.h"
#include "tools/common/Png.h"

struct zwlr_screencopy_frame_v1;

namespace qel::e2e {

// An output's frames through the compositor's screencopy protocol. With Damaged, each frame
// comes from the first output refresh that changed something since the frame before; the
// next request goes out as soon as a frame arrives, so frames drawn one after another while
// the caller looks at one are not missed. KWin has no screencopy: there the frames are its
// screenshots over D-Bus, one at a time (with Damaged, the next that differs).
class TScreenCopy {
 public:
  TScreenCopy(TTestClient& Client, wl_output* Output, bool Damaged);
  ~TScreenCopy();
  // The next frame, upright, as opaque ARGB; false after the deadline or on a failure (Error).
  bool Next(TArgbPicture& Shot, Clock::time_point Deadline, std::string& Error);

 private:
  struct TSlot;
  void Request(TSlot& Slot);
  bool NextScreenshot(TArgbPicture& Shot, Clock::time_point Deadline, std::string& Error);
  TTestClient& Client;
  wl_output* Output;
  TArgbPicture LastScreenshot;
  bool Damaged;
  std::unique_ptr<TSlot> Slots[2];
  long Sequence = 0;

  friend struct TSlotEvents;
};

// One frame of the named output (empty: the first), taken now.
bool CaptureOutput(TTestClient& Client, const std::string& OutputName, TArgbPicture& Shot, std::string& Error);

}  // namespace qel::e2e
