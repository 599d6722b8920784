#pragma once

namespace qel::e2e {

// A remote-desktop session of GNOME's mutter, over the session bus, for tests without wlroots'
// virtual devices: a screen cast of the primary monitor (its PipeWire node printed as "node N",
// for screenshots through gst-launch's pipewiresrc) and input into it. Prints "ready", then reads
// the commands of RunVirtualInput from stdin (key NAME, move DX DY, at X Y; no click) and answers
// each with "ok" or "error: ...". The session lasts until the end of the input. The exit status.
int RunMutterRemote();

}  // namespace qel::e2e
