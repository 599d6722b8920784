#!/usr/bin/env bash
# How much of the processor the Linux saver takes over a whole wave: qelwave runs in run mode
# on an Xvfb screen of the given size with a fixed seed (the desktop dissolves, the first wave
# fades in, moves, fades out and the next fades in), and its processor time (user and system,
# all threads), the X server's and the frames shown are read over the run. A figure, not a
# pass/fail test. QEL_BENCH_LABEL names the saver in the line printed (bench/gl/saver-cpu.sh).
#   bench/x11/saver-cpu.sh [SAVER] [SECONDS] [WxH] [DISPLAY_NUMBER] [SEED]
# Seed 2 gives a first wave of 42 s: 90 s hold both fades and the next wave's rise.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/xvfb.sh"
saver_exe=${1:-$root/build/native/saver/x11/qelwave}
seconds=${2:-90}
size=${3:-1920x1080}
display=${4:-}
seed=${5:-2}
if [ -z "$display" ]; then
  display=162
  while [ -e "/tmp/.X11-unix/X$display" ] && [ "$display" -lt 199 ]; do display=$((display + 1)); done
fi
work=$root/build/native/bench-saver-cpu
mkdir -p "$work"
export DISPLAY=:$display
xvfb= saver=
cleanup() {
  [ -n "$saver" ] && kill "$saver" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  true
}
trap cleanup EXIT
start_xvfb "$display" "$size" "$work/xvfb.log"
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
server_start=$(ticks "$xvfb") started=$(date +%s.%N)
QEL_TEST_SEED=$seed QEL_TEST_FRAME_COUNT=1 "$saver_exe" /s 2>"$work/saver.log" &
saver=$!
sleep "$seconds"
kill -0 "$saver" 2>/dev/null || { echo "the saver ended early (see $work/saver.log)" >&2; exit 1; }
used=$(ticks "$saver") server_end=$(ticks "$xvfb") ended=$(date +%s.%N)
kill "$saver"
for _ in $(seq 100); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
saver=
frames=$(grep -o '[0-9]* frames shown' "$work/saver.log" | grep -o '^[0-9]*' || true)
[ -n "$frames" ] || { echo "the saver did not say how many frames it showed (see $work/saver.log)" >&2; exit 1; }
hz=$(getconf CLK_TCK)
awk -v t="$used" -v x=$((server_end - server_start)) -v hz="$hz" -v a="$started" -v b="$ended" -v size="$size" -v f="$frames" \
  -v label="${QEL_BENCH_LABEL:-saver}" \
  'BEGIN { printf "%s %s: %.1f%% of one core (saver), %.1f%% (X server), %.0f frames/s\n",
           label, size, 100 * t / hz / (b - a), 100 * x / hz / (b - a), f / (b - a) }'
