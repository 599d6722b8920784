#!/usr/bin/env bash
# How much of the processor the Linux saver takes: qelwave runs in run mode on an Xvfb
# screen of the given size, and its processor time (user and system, all threads) is read
# from /proc over the seconds after the first wave has faded in. A figure, not a pass/fail test.
#   bench/x11/saver-cpu.sh [SAVER] [SECONDS] [WxH] [DISPLAY_NUMBER]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/xvfb.sh"
saver_exe=${1:-$root/build/native/saver/x11/qelwave}
seconds=${2:-15}
size=${3:-1920x1080}
display=${4:-162}
fade_in=15  # the desktop dissolves and the first wave rises in some 13 s
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
"$saver_exe" /s >"$work/saver.log" 2>&1 &
saver=$!
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
sleep "$fade_in"
kill -0 "$saver" 2>/dev/null || { echo "the saver ended early (see $work/saver.log)" >&2; exit 1; }
start=$(ticks "$saver") server_start=$(ticks "$xvfb") started=$(date +%s.%N)
sleep "$seconds"
end=$(ticks "$saver") server_end=$(ticks "$xvfb") ended=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v x=$((server_end - server_start)) -v hz="$hz" -v a="$started" -v b="$ended" -v size="$size" \
  'BEGIN { printf "qelwave at %s, steady wave: %.1f %% of one core over %.0f s (the X server showing its frames: %.1f %%)\n",
           size, 100 * t / hz / (b - a), b - a, 100 * x / hz / (b - a) }'
