#!/usr/bin/env bash
# Runs the best of the screensaver that exists today: installs the Debian packages, builds
# the Linux programs and runs wave-render, the screensaver's real main form in run mode on
# a virtual clock, printing the wave model's state for a few simulated seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target wave-render
echo
echo "This is what runs today: the wave model and the screensaver's modes and timing, without"
echo "a window. Drawing and the full-screen saver come in a later version."
echo
build/native/tools/wave-render/wave-render --seed "${SEED:-1}" --seconds "${SECONDS_TO_RUN:-8}"
