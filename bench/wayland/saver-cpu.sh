#!/usr/bin/env bash
# How much of the processor the saver takes on Wayland: qelwave runs in run mode over the one
# 1920x1080 output of a headless sway of its own, and its processor time (user and system, all
# threads) is read from /proc over the seconds after the first wave has faded in, beside the
# compositor's. With kwin-1.25, over the two outputs at scale 1.25 (2400x1350 pixels each) of
# KWin's virtual back end instead: the figure is per output, the mean of the two savers. A figure,
# not a pass/fail test; bench/x11/saver-cpu.sh gives the same on Xvfb.
#   bench/wayland/saver-cpu.sh [SAVER] [SECONDS] [sway|kwin-1.25]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
saver_exe=${1:-$root/build/native/saver/x11/qelwave}
seconds=${2:-10}
compositor_kind=${3:-sway}
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
if [ "$compositor_kind" = kwin-1.25 ]; then
  start_kwin --output-count 2 --scale 1.25
  where="2400x1350 (two outputs at scale 1.25) on KWin's virtual back end"
else
  start_sway
  where="1920x1080 on headless sway"
fi
"$saver_exe" /s >"$work/saver.log" 2>&1 &
saver=$!
pids+=("$saver")
# The saver and the savers it started for the other outputs.
savers() { echo "$saver" $(cat "/proc/$saver/task/$saver/children" 2>/dev/null); }
ticks() { local p t=0; for p in "$@"; do t=$((t + $(awk '{ print $14 + $15 }' "/proc/$p/stat"))); done; echo $t; }
sleep "$fade_in"
kill -0 "$saver" 2>/dev/null || fail "the saver ended early (see $work/saver.log)"
measured=($(savers))
start=$(ticks "${measured[@]}") server_start=$(ticks "$compositor") started=$(date +%s.%N)
sleep "$seconds"
end=$(ticks "${measured[@]}") server_end=$(ticks "$compositor") ended=$(date +%s.%N)
hz=$(getconf CLK_TCK)
awk -v t=$((end - start)) -v n=${#measured[@]} -v x=$((server_end - server_start)) -v hz="$hz" -v a="$started" \
  -v b="$ended" -v where="$where" \
  'BEGIN { printf "qelwave at %s, steady wave: %.1f %% of one core per output over %.0f s (%d savers; the compositor showing their frames: %.1f %%)\n",
           where, 100 * t / n / hz / (b - a), b - a, n, 100 * x / hz / (b - a) }'
