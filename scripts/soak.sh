#!/usr/bin/env bash
# Runs the screensaver at 320 x 240 on the manual clock for HOURS simulated hours (a decimal,
# e.g. 24 or 0.5) and prints the frames drawn, the waves made, the live Direct3D objects and
# the resident memory after the first simulated minute and at the end; fails when the objects
# or the memory did not stay flat.
# Usage: soak.sh HOURS   Environment: SOAK_BUILD (default build/native), built if missing.
set -euo pipefail
hours=${1:?usage: soak.sh HOURS}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SOAK_BUILD:-$root/build/native}
minutes=$(awk -v h="$hours" 'BEGIN { if (h !~ /^[0-9]*\.?[0-9]+$/) exit 1; m = int(h * 60 + 0.5); print (m < 1 ? 1 : m) }') ||
  { echo "soak.sh: HOURS must be a positive number" >&2; exit 2; }
if [ ! -x "$build/tools/soak/wave-soak" ]; then
  cmake --build "$build" --target wave-soak >/dev/null
fi
# Under AddressSanitizer freed memory waits in a quarantine (256 MiB by default) and would read
# as growth; a small one keeps the resident figure the program's own.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=1}
echo "soak: $hours simulated hours ($minutes min) at 320x240, $(basename "$build") build"
start=$(date +%s)
"$build/tools/soak/wave-soak" "$minutes"
echo "soak: $(( $(date +%s) - start )) s of real time"
