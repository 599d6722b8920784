#!/usr/bin/env bash
# The frame rate qelwave.scr reaches under Wine on Xvfb: the saver runs in run mode on a
# screen of the given size for a number of seconds and Wine's Direct3D reports the rate of
# presented frames (WINEDEBUG=fps) once a second. A figure, not a pass/fail test.
#   bench/win32/saver-fps.sh [SCR] [SECONDS] [WxH] [DISPLAY_NUMBER]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/bench/xvfb.sh"
scr=${1:-$root/build/mingw/saver/win32/qelwave.scr}
seconds=${2:-10}
size=${3:-1920x1080}
display=${4:-161}
work=$root/build/mingw/bench-saver-fps
mkdir -p "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=:$display
xvfb= saver=
cleanup() {
  [ -n "$saver" ] && kill "$saver" 2>/dev/null
  timeout 20 wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  true
}
trap cleanup EXIT
start_xvfb "$display" "$size" "$work/xvfb.log"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || true
fi
timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
xdotool mousemove 0 0
WINEDEBUG=fps wine "$scr" /s >"$work/fps.log" 2>&1 &
saver=$!
sleep "$seconds"
xdotool key Escape
for _ in $(seq 100); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
saver=
# Lines like "wined3d_cs_exec_present ... @ approx 97.25fps", one a second (the same figure
# comes again from wglSwapBuffers: counted once); the first second holds the start-up.
rates=$(grep 'wined3d_cs_exec_present' "$work/fps.log" | grep -o 'approx [0-9.]*fps' | grep -o '[0-9.]*' || true)
[ -n "$rates" ] || { echo "no frame rate reported (see $work/fps.log)" >&2; exit 1; }
echo "$rates" | awk -v size="$size" -v secs="$seconds" '
  NR > 1 { n++; sum += $1; if (min == "" || $1 < min) min = $1; if ($1 > max) max = $1 }
  END { if (n) printf "qelwave.scr under Wine at %s: %.1f fps mean over %d s (min %.1f, max %.1f)\n", size, sum / n, n, min, max }'
