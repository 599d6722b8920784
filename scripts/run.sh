#!/usr/bin/env bash
# Runs the screensaver: installs the Debian packages and builds the Linux programs. With a
# display (WAYLAND_DISPLAY or DISPLAY set) it starts the saver full screen (Escape, a key after
# the first second or a mouse move ends it; Space brings the next wave). Without one it renders a preview with
# wave-render, the same program on a virtual clock: an animated PNG of the first ten seconds
# and four full-size frames, in preview/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null

if { [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${DISPLAY:-}" ]; } && [ -f saver/x11/CMakeLists.txt ]; then
  cmake --build --preset native --target qelwave
  # qelwave itself chooses: Wayland where the compositor answers, X11 otherwise.
  echo "Starting the screensaver on ${WAYLAND_DISPLAY:-$DISPLAY}: Escape ends it."
  exec build/native/saver/x11/qelwave /s
fi

cmake --build --preset native --target wave-render
echo
echo "No display: rendering a preview of the screensaver instead (seed ${SEED:-1}) ..."
mkdir -p preview
render=build/native/tools/wave-render/wave-render
"$render" --seed "${SEED:-1}" --size 640x360 --animate preview/wave.png --fps 25 --seconds 10
"$render" --seed "${SEED:-1}" --size 1280x720 --at 0,3000,7000,20000 --out preview
echo
echo "The animated PNG plays in any web browser. The frames: the desktop as the saver found it"
echo "(0 ms), the desktop sinking into the dark (3000), the first wave just fully risen (7000)"
echo "and the same wave later on (20000)."
