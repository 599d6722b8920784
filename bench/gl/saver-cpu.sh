#!/usr/bin/env bash
# The processor time of the saver on the GL device, as bench/x11/saver-cpu.sh measures it,
# at 1920x1080 and 3840x2160. Under Mesa's no-op driver (GALLIUM_NOOP=1: every GL call taken,
# nothing drawn) what remains is the program, GL's state tracker and the driver's front end:
# what a user with a GPU pays on the processor. With "llvmpipe" the frames are drawn on the
# processor too (for completeness).
#   bench/gl/saver-cpu.sh [noop|llvmpipe] [SECONDS] [SAVER]
# Prints "saver gl WxH: S% of one core (saver), X% (X server), F frames/s" for each size.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
driver=${1:-noop}
seconds=${2:-90}
saver_exe=${3:-$root/build/native/saver/x11/qelwave}
case "$driver" in
  noop) export GALLIUM_NOOP=1 label="saver gl" ;;
  llvmpipe) unset GALLIUM_NOOP; label="saver gl (llvmpipe)" ;;
  *) echo "usage: bench/gl/saver-cpu.sh [noop|llvmpipe] [SECONDS] [SAVER]" >&2; exit 2 ;;
esac
for size in 1920x1080 3840x2160; do
  QEL_RENDERER=gl QEL_BENCH_LABEL=$label bash "$root/bench/x11/saver-cpu.sh" "$saver_exe" "$seconds" "$size"
done
