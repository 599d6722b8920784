#!/usr/bin/env bash
# End-to-end tests of qelwave under headless Wayland compositors of their own (sway, weston):
# driven through a virtual keyboard and pointer, read back through screencopy (wlprobe) or
# weston's screenshooter, and by exit statuses. Every wait has a time limit; what a case
# starts is ended by its PID when the case ends, passing or not.
#
# usage: qelwave-wayland-e2e.sh CASE
# environment: QELWAVE, WLPROBE (the programs), E2E_WORK (a folder for screenshots and logs)
set -u
case_name=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../common/saver-case.sh"
source "$here/compositors.sh"

cleanup() {
  [ -n "${input_in:-}" ] && exec {input_in}>&-
  end_started
  end_compositors
}
trap cleanup EXIT

probe() { timeout 120 "$WLPROBE" "$@"; }

# Waits up to $2 ms for the file $1 to hold a line matching $3.
wait_line() {
  local waited=0
  until grep -q "$3" "$1" 2>/dev/null; do
    ((waited >= $2)) && return 1
    sleep 0.02
    waited=$((waited + 20))
  done
}

# The test's own window with the desktop picture, shown before anything else starts.
show_window() {
  "$WLPROBE" window "$@" >"$work/window.txt" 2>&1 &
  pids+=($!)
  wait_line "$work/window.txt" 10000 '^shown' || fail "the test window was not shown"
}

# A virtual keyboard and pointer, kept for the whole case; `send COMMAND` hands them one
# command and waits for the compositor to have taken it.
input_in=
start_input() {
  mkfifo "$work/input.fifo"
  "$WLPROBE" input "$@" <"$work/input.fifo" >"$work/input.txt" 2>&1 &
  pids+=($!)
  exec {input_in}>"$work/input.fifo"
  wait_line "$work/input.txt" 10000 '^ready' || fail "no virtual keyboard and pointer: $(cat "$work/input.txt")"
}
send() {
  local answers
  answers=$(grep -c '^ok' "$work/input.txt")
  echo "$*" >&"$input_in"
  local waited=0
  until (($(grep -c '^ok' "$work/input.txt") > answers)); do
    grep -q '^error' "$work/input.txt" && fail "input '$*': $(grep '^error' "$work/input.txt")"
    ((waited >= 10000)) && fail "input '$*' was not taken in 10 s"
    sleep 0.02
    waited=$((waited + 20))
  done
}

# Weston's screenshooter writes its picture into the folder it runs in, named by the time.
weston_shot() {
  local dir="$work/shooting" shot
  rm -rf "$dir" && mkdir "$dir"
  (cd "$dir" && timeout 10 weston-screenshooter >/dev/null 2>&1)
  shot=$(ls "$dir"/*.png 2>/dev/null | head -n 1)
  [ -n "$shot" ] && mv "$shot" "$1"
}
judge() { "$WLPROBE" judge "$shot_file" "$1" >"$work/judged.txt"; }

# Takes screenshots of weston into FILE until CHECK (a command) passes, for up to MS ms.
wait_weston_shot() {
  local waited_from=$EPOCHREALTIME
  shot_file=$1
  while :; do
    weston_shot "$shot_file" && eval "$3" && return 0
    local now=$EPOCHREALTIME
    (((${now/./} - ${waited_from/./}) / 1000 >= $2)) && return 1
    sleep 0.1
  done
}

case "$case_name" in
  harness)
    # The tools the other cases stand on: an unprivileged headless sway, the test window
    # filling its output, a second output, virtual input, and weston with its screenshooter.
    start_sway "output HEADLESS-2 mode 1280x720 position 1920 0"
    show_window
    probe uncovered 5000 HEADLESS-1 || fail "the test window's picture is not on the screen"
    sway_command create_output
    for _ in $(seq 100); do swaymsg -s "$SWAYSOCK" -t get_outputs | grep -q HEADLESS-2 && break; sleep 0.05; done
    probe shot "$work/second-output.png" HEADLESS-2 || fail "no second output"
    start_input 3200 1080
    send key a
    send move 11 0
    send at 1900 700
    probe shot "$work/sway.png" HEADLESS-1
    start_weston
    wait_weston_shot "$work/weston-desktop.png" 10000 '! judge black' || fail "weston showed no desktop"
    grep -q '^1920x1080:' "$work/judged.txt" || fail "weston's screenshot: $(cat "$work/judged.txt")"
    ;;


  *)
    echo "unknown case '$case_name'"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
