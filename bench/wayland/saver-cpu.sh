#!/usr/bin/env bash
# How much of the processor the Linux saver takes under Wayland: qelwave runs over the one
# 1920x1080 output of a headless sway of its own, and its processor time (user and system,
# all threads) and the compositor's are read from /proc over the seconds after the first wave
# has faded in. A figure, not a pass/fail test; beside bench/x11/saver-cpu.sh.
#   bench/wayland/saver-cpu.sh [SAVER] [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
saver_exe=${1:-$root/build/native/saver/x11/qelwave}
seconds=${2:-10}
fade_in=15  # the desktop dissolves and the first wave rises in some 13 s
work=$(mktemp -d /tmp/qelwave-bench-wayland.XXXXXX)
pids=()
fail() { echo "saver-cpu: $*" >&2; exit 1; }
skip() { echo "saver-cpu: skipped: $*" >&2; exit 0; }
note() { echo "saver-cpu: $*" >&2; }
source "$root/tests/e2e/wayland/compositors.sh"
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  end_compositors
  rm -rf "$work"
}
trap cleanup EXIT
start_sway
"$saver_exe" --wayland >"$work/saver.log" 2>&1 &
saver=$!
pids+=("$saver")
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
sleep "$fade_in"
kill -0 "$saver" 2>/dev/null || fail "the saver ended early: $(cat "$work/saver.log")"
start=$(ticks "$saver") server_start=$(ticks "$compositor") started=$(date +%s.%N)
sleep "$seconds"
end=$(ticks "$saver") server_end=$(ticks "$compositor") ended=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v x=$((server_end - server_start)) -v hz="$hz" -v a="$started" -v b="$ended" \
  'BEGIN { printf "qelwave at 1920x1080 under headless sway, steady wave: %.1f %% of one core over %.0f s (the compositor showing its frames: %.1f %%)\n",
           100 * t / hz / (b - a), b - a, 100 * x / hz / (b - a) }'
