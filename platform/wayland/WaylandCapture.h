#pragma once
#include <wayland-client.h>

#include "framework/Bitmap.h"

struct zwlr_screencopy_manager_v1;

namespace qel::wl {

// What one output shows now, through the compositor's screencopy protocol, into the top-left
// corner of a 32-bit bitmap: in any shm format the compositor offers that ConvertCapture
// reads, upright. Waits at most TimeoutMs; false when the capture fails or takes longer.
bool CaptureOutput(wl_display* Display, wl_shm* Shm, zwlr_screencopy_manager_v1* Manager, wl_output* Output,
                   int TimeoutMs, TBitmap& Bitmap);

}  // namespace qel::wl
