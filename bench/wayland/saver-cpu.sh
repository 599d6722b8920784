#!/usr/bin/env bash
# How much of the processor the saver takes on Wayland: qelwave runs in run mode over the one
# 1920x1080 output of a headless sway of its own, and its processor time (user and system, all
# threads) is read from /proc over the seconds after the first wave has faded in, beside the
# compositor's. A figure, not a pass/fail test; bench/x11/saver-cpu.sh gives the same on Xvfb.
#   bench/wayland/saver-cpu.sh [SAVER] [SECONDS]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
saver_exe=${1:-$root/build/native/saver/x11/qelwave}
seconds=${2:-10}
fade_in=15  # the desktop dissolves and the first wave rises in some 13 s
work=$root/build/native/bench-saver-cpu-wayland
mkdir -p "$work"
pids=()
fail() { echo "$*" >&2; exit 1; }
skip() { fail "$@"; }
note() { :; }
source "$root/tests/e2e/wayland/compositors.sh"
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  end_compositors
}
trap cleanup EXIT
start_sway
"$saver_exe" /s >"$work/saver.log" 2>&1 &
saver=$!
pids+=("$saver")
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
sleep "$fade_in"
kill -0 "$saver" 2>/dev/null || fail "the saver ended early (see $work/saver.log)"
start=$(ticks "$saver") server_start=$(ticks "$compositor") started=$(date +%s.%N)
sleep "$seconds"
end=$(ticks "$saver") server_end=$(ticks "$compositor") ended=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v x=$((server_end - server_start)) -v hz="$hz" -v a="$started" -v b="$ended" \
  'BEGIN { printf "qelwave at 1920x1080 on headless sway, steady wave: %.1f %% of one core over %.0f s (the compositor showing its frames: %.1f %%)\n",
           100 * t / hz / (b - a), b - a, 100 * x / hz / (b - a) }'
