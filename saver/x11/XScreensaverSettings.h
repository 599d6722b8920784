#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qel {

// Where xscreensaver installs its defaults; QEL_XSCREENSAVER_APP_DEFAULTS names another file
// (tests).
inline constexpr const char* XScreensaverAppDefaults = "/etc/X11/app-defaults/XScreenSaver";

// The value of xscreensaver's grabDesktopImages in the text of one of its files: the
// user's ~/.xscreensaver ("grabDesktopImages: False") or the app-defaults file
// ("*grabDesktopImages: False"). Empty when the file does not set it or is malformed (a NUL
// byte, a value that is not a boolean): the next source decides then.
std::optional<bool> GrabDesktopImagesIn(std::string_view Text);

// Whether xscreensaver lets its hacks show the desktop, read where xscreensaver reads it:
// HOME's .xscreensaver (no HOME: skipped), then the app-defaults file, else its default, true.
// A file that is missing, unreadable or larger than 1 MiB is skipped.
bool XScreensaverGrabsDesktop(const char* Home, const std::string& AppDefaults);

}  // namespace qel
