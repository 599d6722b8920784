#pragma once
#include <chrono>
#include <string>

#include "platform/wayland/kwin/ScreenImage.h"

typedef struct DBusMessage DBusMessage;

namespace qel::kwin {

enum class TShotResult {
  Taken,
  Unavailable,  // no session bus, or no KWin on it
  Refused,      // KWin does not let this program take screenshots (no installed desktop file names it)
  Failed,       // anything else, said in Error
};

// What KWin shows on the output of that name, at the output's own pixels, through its
// org.kde.KWin.ScreenShot2 interface on the session bus ($DBUS_SESSION_BUS_ADDRESS only: no bus is
// started for it). WantWidth x WantHeight, where not 0, is the size the caller expects; another
// one is an error. Waits at most TimeoutMs in all.
TShotResult CaptureScreen(const std::string& Output, int WantWidth, int WantHeight, int TimeoutMs, TScreenImage& Image,
                          std::string& Error);

// The fields of a screenshot's reply (one a{sv}); false with Error where the reply is not of that
// shape or a field the pixels depend on is of another type.
bool ShotFieldsOf(DBusMessage* Reply, TShotFields& Fields, std::string& Error);

// Reads Bytes bytes from the pipe Fd until Deadline; false with Error where the pipe ends sooner
// or the time is up. Data grows with what arrives, never ahead of it.
bool ReadPipe(int Fd, std::size_t Bytes, std::chrono::steady_clock::time_point Deadline,
              std::vector<std::uint8_t>& Data, std::string& Error);

}  // namespace qel::kwin
