#pragma once
#include <string>

#include "framework/Bitmap.h"

namespace qel::wl {

// What KWin shows on the named output, through its screenshot interface on the session bus, into
// a 32-bit bitmap of exactly the output's size. False where KWin is not there, refuses or answers
// with pixels this program does not take (said on standard error but for KWin's absence).
bool CaptureKWinScreen(const std::string& Output, int TimeoutMs, TBitmap& Bitmap);

}  // namespace qel::wl
