#!/usr/bin/env bash
# qelwave.scr end to end under Wine on the run's Xvfb, driven with xdotool and checked from
# screenshots (ImageMagick) and exit codes.
#   saver.sh SCR OUTDIR CASE     CASE: run | early-key | no-window | config | no-d3d9
# Needs the Wine session's environment (DISPLAY, QEL_WINEPREFIX). Every wait has a limit;
# the saver is killed by its PID when a check fails.
set -uo pipefail
scr=$1 out=$2 case=$3
export WINEPREFIX=$QEL_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="${QEL_DLL_OVERRIDES:-mscoree,mshtml=}"
mkdir -p "$out"
pid=
fail() { echo "FAIL ($case): $*" >&2; exit 1; }
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null; sleep 0.5; kill -9 "$pid" 2>/dev/null
  fi
}
trap cleanup EXIT

# Polls a command until it succeeds, for at most $1 seconds.
wait_for() {
  local limit=$1; shift
  local end=$(( $(date +%s%N) + limit * 1000000000 ))
  until "$@"; do
    [ "$(date +%s%N)" -lt "$end" ] || return 1
    sleep 0.05
  done
}

# Windows of the saver that are on the screen, as "ID WIDTHxHEIGHT+X+Y" (Wine's 1 x 1 helper
# windows left out).
saver_windows() {
  xwininfo -root -tree 2>/dev/null | awk '/"qelwave.scr"/ { print $1, $(NF-1) }' | while read -r id geo; do
    case $geo in 1x1+*) continue ;; esac
    xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' && echo "$id $geo"
  done
}
has_window() { [ -n "$(saver_windows)" ]; }
running() { kill -0 "$pid" 2>/dev/null; }
ended() { ! running; }

start() {
  xdotool mousemove 0 0  # the pointer rests where the saver's first motion event cannot end it
  wine "$scr" "$@" >"$out/$case.log" 2>&1 &
  pid=$!
}
# Waits for the saver's end; its exit status goes to $status.
finish() {
  wait_for "$1" ended || fail "still running after $1 s"
  wait "$pid"; status=$?
  pid=
}

# A desktop a person recognises: a wallpaper gradient and two windows with title bars.
desktop=$out/desktop.png
make_desktop() {
  local size
  size=$(xdpyinfo 2>/dev/null | awk '/dimensions:/ { print $2 }')
  [ -n "$size" ] || size=$(xwininfo -root | awk '/-geometry/ { sub(/\+.*/, "", $2); print $2 }')
  convert -size "$size" gradient:'#2a6f97-#e9c46a' \
    -fill '#f4f4f4' -stroke '#303030' -draw 'rectangle 120,100 820,560' \
    -fill '#1d4e89' -draw 'rectangle 120,100 820,130' \
    -fill '#ffffff' -stroke none -draw 'rectangle 900,300 1500,800' \
    -fill '#7a1d1d' -draw 'rectangle 900,300 1500,330' \
    -fill '#202020' -draw 'rectangle 150,160 600,170' -draw 'rectangle 150,190 700,200' -draw 'rectangle 150,220 520,230' \
    -depth 8 "$desktop"
  display -window root "$desktop" 2>/dev/null
  # display's status says nothing; the screen does.
  import -window root "$out/root.png"
  [ "$(compare -metric AE "$desktop" "$out/root.png" null: 2>&1)" = 0 ] || fail "the desktop picture did not reach the root window"
}

# Pixels of two pictures that differ by more than the given fuzz (a percentage).
differing() { compare -metric AE -fuzz "$3" "$1" "$2" null: 2>&1 | awk '{ printf "%d", $1 }'; }
pixels() { identify -format '%w %h' "$1" | awk '{ printf "%d", $1 * $2 }'; }

case $case in
run)
  make_desktop
  start /s
  wait_for 60 has_window || fail "no window"
  # The first frames show the desktop as it was (dimmed by at most a few per cent while it
  # dissolves, and quantised to 16 bits a pixel); before the first frame the window may be black.
  first=$out/run-first.png
  for _ in $(seq 40); do
    import -window root "$first"
    [ "$(identify -format '%[fx:mean>0.02]' "$first")" = 1 ] && break
  done
  total=$(pixels "$desktop")
  near=$(( total - $(differing "$desktop" "$first" 12%) ))
  echo "first frame: $near of $total pixels within 12 % of the desktop"
  [ $(( near * 100 )) -ge $(( total * 98 )) ] || fail "the first frame is not the desktop"
  sleep 6
  later=$out/run-wave.png
  import -window root "$later"
  near=$(( total - $(differing "$desktop" "$later" 12%) ))
  echo "after 6 s: $near of $total pixels within 12 % of the desktop"
  [ $(( near * 100 )) -le $(( total * 50 )) ] || fail "the desktop has not dissolved into the wave"
  running || fail "ended by itself"
  xdotool key Escape
  finish 10
  [ "$status" = 0 ] || fail "Escape: exit status $status"
  ;;
early-key)
  # The saver's first second starts before its window shows, and on a busy machine the window
  # may show only after it: a key sent later than 0.8 s after the launch proves nothing either
  # way. Up to six tries; a key sent in time that ends the saver fails the case, and six late
  # windows skip it (exit 77).
  for attempt in 1 2 3 4 5 6; do
    launched=$(date +%s%N)
    start /s
    wait_for 60 has_window || fail "no window"
    xdotool key a  # within the first second: ignored
    sent_ms=$(( ($(date +%s%N) - launched) / 1000000 ))
    sleep 1.5
    running && break
    finish 10
    [ "$sent_ms" -le 800 ] && fail "a key $sent_ms ms after the launch ended the saver"
    echo "attempt $attempt: the window showed late, the key went $sent_ms ms after the launch"
    [ "$attempt" = 6 ] && { echo "SKIP (early-key): every window showed too late for the key"; exit 77; }
  done
  xdotool key a
  finish 10
  [ "$status" = 0 ] || fail "exit status $status"
  ;;
no-window)
  for args in "/p 1234" "" "/s:1" "x"; do
    start $args
    seen=
    end=$(( $(date +%s) + 30 ))
    while running && [ "$(date +%s)" -lt "$end" ]; do
      has_window && seen=yes
      sleep 0.05
    done
    finish 1
    [ -z "$seen" ] || fail "'$args' showed a window"
    [ "$status" = 0 ] || fail "'$args': exit status $status"
    echo "'$args': ended without a window"
  done
  ;;
config)
  start /c
  wait_for 60 has_window || fail "no window"
  read -r id geo < <(saver_windows)
  sleep 0.5
  import -window root "$out/config.png"
  # Wine draws the frame: border 3, caption 19, around the 401 x 282 client area.
  w=${geo%%x*} rest=${geo#*x} h=${rest%%+*}
  x=$(echo "$geo" | cut -d+ -f2) y=$(echo "$geo" | cut -d+ -f3)
  [ "$w" -ge 401 ] && [ "$h" -ge 282 ] && [ "$w" -le 420 ] && [ "$h" -le 320 ] || fail "window $geo"
  # The whole window, frame included, stands in the middle of the screen.
  read -r sw sh < <(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
  echo "window $geo on ${sw}x$sh"
  [ $(( (sw - w) / 2 - x )) -ge -1 ] && [ $(( (sw - w) / 2 - x )) -le 1 ] &&
    [ $(( (sh - h) / 2 - y )) -ge -1 ] && [ $(( (sh - h) / 2 - y )) -le 1 ] || fail "window $geo not centred on ${sw}x$sh"
  cx=$(( x + (w - 401) / 2 )) cy=$(( y + h - 282 - (w - 401) / 2 ))
  convert "$out/config.png" -crop 401x282+$cx+$cy +repage "$out/config-client.png"
  # Dark text where the labels stand: "QEL Wave" and "No Options - Sorry!".
  for label in 120,24,160,37 112,160,180,24; do
    IFS=, read -r lx ly lw lh <<<"$label"
    dark=$(convert "$out/config-client.png" -crop ${lw}x${lh}+$lx+$ly -threshold 30% -negate -format '%[fx:mean*w*h]' info:)
    echo "label at $lx,$ly: $dark dark pixels"
    [ "${dark%.*}" -ge 40 ] || fail "no text at $lx,$ly"
  done
  # Moving the mouse never closes the panel.
  xdotool mousemove $(( cx + 20 )) $(( cy + 20 )); xdotool mousemove $(( cx + 300 )) $(( cy + 200 ))
  sleep 1.5
  running || fail "mouse movement ended the configuration panel"
  xdotool mousemove $(( cx + 8 + 152 + 37 )) $(( cy + 8 + 216 + 12 )) click 1
  finish 10
  [ "$status" = 0 ] || fail "close: exit status $status"
  ;;
no-d3d9)
  export WINEDLLOVERRIDES="mscoree,mshtml=;d3d9=d"
  start /s
  wait_for 60 has_window || fail "no message box"
  sleep 0.5
  import -window root "$out/no-d3d9.png"
  saver_windows
  [ "$(saver_windows | wc -l)" = 1 ] || fail "more than the message box on the screen"
  read -r id geo < <(saver_windows)
  case $geo in 1920x1080*) fail "the saver's window is on the screen" ;; esac
  xdotool key Return
  finish 10
  echo "exit status $status after OK"
  has_window && fail "a window is left"
  ;;
*) fail "unknown case" ;;
esac
echo "ok ($case)"
