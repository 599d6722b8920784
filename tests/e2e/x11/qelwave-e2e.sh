#!/usr/bin/env bash
# End-to-end tests of qelwave on a fresh Xvfb of their own: driven with xdotool, read back
# with x11probe (MIT-SHM screenshots) and exit statuses. Every wait has a time limit; what a
# case starts is killed by its PID when the case ends, passing or not.
#
# usage: qelwave-e2e.sh CASE
# environment: QELWAVE, X11PROBE (the programs), E2E_DISPLAY (first display number to try),
#              E2E_WORK (a folder for screenshots and logs)
set -u
case_name=$1
source "$(dirname "$0")/../common/saver-case.sh"
trap end_started EXIT

# A display of our own: the first free number from E2E_DISPLAY on, within 140 ... 159.
xvfb_pid=
start_xvfb() {
  local size=$1 n
  for n in $(seq "$E2E_DISPLAY" 159) $(seq 140 $((E2E_DISPLAY - 1))); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "$size" -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    for _ in $(seq 100); do
      kill -0 "$xvfb_pid" 2>/dev/null || break
      # The server that answers must be ours: another test may have taken the number first.
      if timeout 5 xdpyinfo -display ":$n" >/dev/null 2>&1; then
        [ "$(tr -d ' ' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ] || break
        export DISPLAY=":$n"
        note "Xvfb on $DISPLAY ($size)"
        return 0
      fi
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null
  done
  fail "no Xvfb could be started"
}

probe() { timeout 60 "$X11PROBE" "$@"; }
xdotool_path=$(type -P xdotool) || fail "xdotool is not installed"
xdotool() { timeout 10 "$xdotool_path" "$@"; }

# The run-mode window is up: the saver's own window covers the screen.
wait_saver_window() {
  probe find "QEL Wave" 20000 >"$work/window.txt" || fail "the saver's window did not appear"
}

# The screen of 3840 x 1080 as two monitors side by side, "left" (with the screen's output)
# and "right".
split_screen() {
  timeout 10 xrandr --setmonitor left 1920/508x1080/286+0+0 screen >/dev/null || fail "could not make a monitor"
  add_right_monitor
}
add_right_monitor() {  # [*]: as the primary monitor
  timeout 10 xrandr --setmonitor "${1:-}right" 1920/508x1080/286+1920+0 none >/dev/null || fail "could not make a monitor"
}

# Milliseconds since $1 (a value of $EPOCHREALTIME).
ms_since() { echo $(((${EPOCHREALTIME/./} - ${1/./}) / 1000)); }

# Waits up to 20 s until N windows of the saver are up; their "X Y W H" are then in $work/windows.txt.
wait_saver_windows() {
  local n=$1 id since=$EPOCHREALTIME
  while (($(ms_since "$since") < 20000)); do
    if [ "$(xdotool search --onlyvisible --name '^QEL Wave$' 2>/dev/null | wc -l)" = "$n" ]; then
      for id in $(xdotool search --onlyvisible --name '^QEL Wave$'); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        echo "$X $Y $WIDTH $HEIGHT"
      done | sort -n >"$work/windows.txt"
      return 0
    fi
    sleep 0.05
  done
  fail "not $n windows of the saver"
}

# The saver that the one with PID $1 started for the other monitor.
other_saver() {
  local p since=$EPOCHREALTIME
  while (($(ms_since "$since") < 5000)); do
    p=$(pgrep -P "$1" | head -n 1)
    [ -n "$p" ] && { echo "$p"; return 0; }
    sleep 0.05
  done
  fail "the saver started no other"
}

# Fails unless PID $1 ends within $2 ms and the screen is left without a window.
ends_with_no_window() {
  wait_gone "$1" "$2" || fail "$3: still running after $2 ms"
  [ "$(probe windows)" = 0 ] || fail "$3: a window was left on the screen"
}

# Waits up to $2 ms for a process that is not this shell's child to end (a zombie that
# nobody reaps has ended too).
wait_gone() {
  local waited=0
  while kill -0 "$1" 2>/dev/null && [ "$(cut -d ' ' -f 3 "/proc/$1/stat" 2>/dev/null)" != Z ]; do
    ((waited >= $2)) && return 1
    sleep 0.02
    waited=$((waited + 20))
  done
  return 0
}

case "$case_name" in
  first-frame-then-wave | first-frame-no-shm | renderer-gl)
    start_xvfb 800x600x24
    probe paint-root || fail "could not paint the root window"
    xdotool mousemove 0 0
    [ "$case_name" = first-frame-no-shm ] && export QEL_TEST_NO_SHM=1
    # On the GL device (llvmpipe here), which must start: --renderer gl insists.
    renderer=()
    [ "$case_name" = renderer-gl ] && renderer=(--renderer gl)
    start_saver "${renderer[@]}"
    probe first-frame "$work/first-frame.png" 20000 || fail "the first frame is not the desktop picture"
    if [ "$case_name" != first-frame-no-shm ]; then
      probe wave "$work/wave.png" 30000 || fail "no wave"
    fi
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape"
    ;;

  renderer-auto)
    # llvmpipe is the only GL driver here: the automatic choice is the software device, as the
    # saver says on standard error with --fps.
    start_xvfb 640x480x24
    xdotool mousemove 0 0
    QEL_RENDERER=auto start_saver --fps
    wait_saver_window
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape"
    line=$(grep "drawing with" "$work/qelwave.log") || fail "no word of the device chosen"
    note "$line"
    [[ "$line" == *"drawing with soft (llvmpipe"* ]] || fail "auto chose otherwise on llvmpipe: $line"
    ;;

  renderer-gl-no-egl)
    # Without an EGL driver, --renderer gl ends at once with the reason, status 1, and no window.
    start_xvfb 640x480x24
    __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent start_saver --renderer gl
    wait_exit "$saver" 10000 || fail "the saver did not end"
    [ "$status" = 1 ] || fail "status $status, expected 1"
    grep -q "the GL device cannot start" "$work/qelwave.log" || fail "no message: $(cat "$work/qelwave.log")"
    [ "$(probe windows)" = 0 ] || fail "a window was shown"
    # auto there draws with the software device.
    __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent start_saver --renderer auto --fps
    wait_saver_window
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape"
    ;;

  presents-in-part)
    # Through the desktop's dissolve, the first wave's fade-in and into the steady wave, every
    # frame sent in part is then sent whole: the screen must be the same after both.
    start_xvfb 640x480x24
    probe paint-root || fail "could not paint the root window"
    xdotool mousemove 0 0
    QEL_TEST_CHECK_PRESENTS=1 start_saver
    probe wave "$work/wave.png" 30000 || fail "no wave"
    sleep 6  # the fade-in ends some 13 s after the start
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape"
    line=$(grep "presents checked" "$work/qelwave.log") || fail "no count of the presents checked"
    read -r checked in_part differed < <(echo "$line" | sed 's/[^0-9 ]//g')
    note "$line"
    ((checked >= 20)) || fail "only $checked presents checked"
    ((in_part > 0)) || fail "no frame was sent in part"
    ((differed == 0)) || fail "$differed frames sent in part differ from the whole frames"
    line=$(grep "frames checked against the frames drawn whole" "$work/qelwave.log") || fail "no count of the frames checked"
    read -r checked differed < <(echo "$line" | sed 's/[^0-9 ]//g')
    note "$line"
    ((checked >= 20 && differed == 0)) || fail "$differed of $checked frames differ from the frames drawn whole"
    ;;

  keys)
    start_xvfb 640x480x24
    xdotool mousemove 0 0
    start_saver
    wait_saver_window
    xdotool key a  # within the first second: ignored
    if within_first_second; then
      still_running "$saver" 300 "a key within the first second ended the saver"
    else
      kill -TERM "$saver"
      expect_exit "$saver" 3000 0 "SIGTERM"
      start_saver
      wait_saver_window
    fi
    xdotool key space  # never ends it
    still_running "$saver" 300 "Space ended the saver"
    sleep 1.2  # armed: the first second began before the window appeared
    xdotool key space
    still_running "$saver" 300 "Space ended the saver once armed"
    xdotool key a
    expect_exit "$saver" 3000 0 "a key once armed"
    # Escape at once, within the first second.
    start_saver
    wait_saver_window
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape within the first second"
    ;;

  mouse)
    start_xvfb 640x480x24
    # Within the first second a move is only recorded.
    xdotool mousemove 100 100
    start_saver
    wait_saver_window
    xdotool mousemove 300 300
    if within_first_second; then
      still_running "$saver" 300 "a mouse move within the first second ended the saver"
      kill -TERM "$saver"
      expect_exit "$saver" 3000 0 "SIGTERM"
    else
      # Armed by then, the saver may be ending by the move already: a signal in its last
      # moments meets the default handler again.
      kill -TERM "$saver" 2>/dev/null
      wait_exit "$saver" 3000 || fail "the saver did not end"
    fi
    # Once armed, moves of 10 pixels on both axes keep it, 11 end it. The first move is
    # compared with (0, 0), where the pointer rests.
    xdotool mousemove 0 0
    start_saver
    wait_saver_window
    sleep 1.3  # armed: the first second began before the window appeared
    xdotool mousemove 10 10
    still_running "$saver" 300 "a move of 10 pixels ended the saver"
    xdotool mousemove 0 20
    still_running "$saver" 300 "a move of 10 pixels ended the saver"
    xdotool mousemove 11 20
    expect_exit "$saver" 3000 0 "a move of 11 pixels"
    ;;

  mouse-resting)
    # The pointer rests away from the corner when the window maps: where it rests is recorded,
    # never compared with (0, 0). Another client holds the pointer meanwhile (an open menu), so
    # that the saver's window hears of the pointer only once it is let go, after the first
    # second, as it enters the window.
    start_xvfb 800x600x24
    xdotool mousemove 600 400
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" timeout 60 "$X11PROBE" hold-pointer 1800 \
      >"$work/hold.txt" &
    holder=$!
    pids+=("$holder")
    for _ in $(seq 100); do grep -q ready "$work/hold.txt" && break; sleep 0.05; done
    grep -q ready "$work/hold.txt" || fail "the pointer could not be held"
    start_saver
    wait_saver_window
    wait_exit "$holder" 20000 || fail "the pointer was not let go"
    (($(ms_since "$started") > 1000)) || fail "the pointer was let go within the first second"
    still_running "$saver" 500 "the pointer resting at (600, 400) ended the saver"
    xdotool mousemove 610 410
    still_running "$saver" 300 "a move of 10 pixels from where the pointer rested ended the saver"
    xdotool mousemove 621 410
    expect_exit "$saver" 3000 0 "a move of 11 pixels"
    ;;

  no-window-modes)
    start_xvfb 640x480x24
    # Signalled straight, not through timeout: a watcher left behind by a killed timeout would
    # hold the test's output open. It is killed by its PID at the end in any case. A sanitized
    # watcher ended by the signal was seen to spin for good in its leak check at exit; it is a
    # probe, not the program under test, so it makes no leak check.
    ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$X11PROBE" watch-maps >"$work/maps.txt" &
    watcher=$!
    pids+=("$watcher")
    for _ in $(seq 100); do grep -q ready "$work/maps.txt" && break; sleep 0.05; done
    grep -q ready "$work/maps.txt" || fail "the map watcher did not start"
    for mode in /p "/p 1234" /s:1 /P x; do
      # shellcheck disable=SC2086
      start_saver $mode
      expect_exit "$saver" 5000 0 "$mode"
    done
    kill -TERM "$watcher"
    wait_exit "$watcher" 15000 || fail "the map watcher did not end"
    maps=$(tail -n 1 "$work/maps.txt")
    [ "$maps" = 0 ] || fail "$maps window(s) were mapped"
    ;;

  config)
    start_xvfb 800x600x24
    xdotool mousemove 0 0
    start_saver --config
    probe find "QEL Wave" 20000 >"$work/window.txt" || fail "the panel did not appear"
    read -r x y w h <"$work/window.txt"
    [ "$w $h" = "401 282" ] || fail "the panel's window is $w x $h, not 401 x 282"
    sleep 0.3  # the first paint
    probe shot "$work/panel.png"
    # The mouse never closes the panel; the button does.
    xdotool mousemove $((x + 20)) $((y + 20)) mousemove $((x + 300)) $((y + 200))
    still_running "$saver" 500 "mouse movement closed the panel"
    xdotool mousemove $((x + 8 + 152 + 37)) $((y + 8 + 216 + 12)) click 1
    expect_exit "$saver" 3000 0 "a click on close"
    # The button has the focus: Enter presses it (the pointer over the window gives it the keys).
    start_saver /c
    probe find "QEL Wave" 20000 >/dev/null || fail "the panel did not appear again"
    xdotool key Return
    expect_exit "$saver" 3000 0 "Enter on close"
    ;;

  window-id)
    start_xvfb 640x480x24
    timeout 120 "$X11PROBE" window 40 30 320 240 >"$work/host.txt" &
    host=$!
    pids+=("$host")
    for _ in $(seq 100); do [ -s "$work/host.txt" ] && break; sleep 0.05; done
    id=$(head -n 1 "$work/host.txt")
    [ -n "$id" ] || fail "no host window"
    start_saver --window-id "$id"
    probe drawn "$id" 20000 || fail "--window-id did not draw into the window"
    xdotool windowsize "$id" 400 300
    probe drawn "$id" 20000 || fail "the saver did not follow the window's new size"
    probe shot "$work/window-id.png"
    [ "$(probe windows)" = 1 ] || fail "the saver made a window of its own"
    kill -TERM "$saver"
    expect_exit "$saver" 3000 0 "SIGTERM"
    # --root through the host's variable; destroying the window ends the saver. The window
    # still shows the last saver's frame: cleared, only the new saver's own frame counts.
    probe clear "$id"
    XSCREENSAVER_WINDOW=$(printf '0x%x' "$id") start_saver --root
    probe drawn "$id" 20000 || fail "--root did not draw into XSCREENSAVER_WINDOW"
    probe destroy "$id"
    expect_exit "$saver" 3000 0 "the window's destruction"
    start_saver --window-id "$id"
    expect_exit "$saver" 3000 1 "a window that does not exist"
    grep -q "no window" "$work/qelwave.log" || fail "no message for a window that does not exist"
    ;;

  hack-host-24 | hack-host-16 | hack-private | hack-host-gl)
    # As under xscreensaver: a host window that carries the desktop it covered, the user's
    # grabDesktopImages setting in ~/.xscreensaver and the installed defaults of our own.
    # 16 bits with an odd width: every frame converted, rows padded to whole words.
    depth=24
    [ "$case_name" = hack-host-16 ] && depth=16
    # xscreensaver starts a hack with fixed arguments: its environment chooses the device.
    [ "$case_name" = hack-host-gl ] && export QEL_RENDERER=gl
    start_xvfb "640x480x$depth"
    home="$work/home"
    mkdir -p "$home"
    export HOME="$home" QEL_XSCREENSAVER_APP_DEFAULTS="$work/XScreenSaver"
    printf '*grabDesktopImages:\tFalse\n' >"$QEL_XSCREENSAVER_APP_DEFAULTS"
    want=black
    if [ "$case_name" != hack-private ]; then
      printf 'mode:\t\trandom\ngrabDesktopImages:\tTrue\n' >"$home/.xscreensaver"
      want=desktop
    fi
    timeout 120 "$X11PROBE" window 40 30 321 240 shot >"$work/host.txt" &
    host=$!
    pids+=("$host")
    for _ in $(seq 100); do [ -s "$work/host.txt" ] && break; sleep 0.05; done
    id=$(head -n 1 "$work/host.txt")
    [ -n "$id" ] || fail "no host window"
    # The watch begins before the saver: its first frame may be on screen for 10 ms only.
    "$X11PROBE" window-first-frame "$id" "$want" "$work/first-frame.png" 20000 >"$work/first-frame.txt" &
    watcher=$!
    pids+=("$watcher")
    for _ in $(seq 200); do grep -q ready "$work/first-frame.txt" && break; sleep 0.05; done
    grep -q ready "$work/first-frame.txt" || fail "the first-frame watch did not start"
    XSCREENSAVER_WINDOW=$id start_saver --root
    wait_exit "$watcher" 25000 || fail "the first-frame watch did not end"
    sed -n 2p "$work/first-frame.txt"
    [ "$status" = 0 ] || fail "the first frame is not the $want"
    probe grab || fail "the hack holds a grab"
    # Over the desktop the frame is bright all over, so a part left undrawn shows (over black
    # the gaps between the ribbons may be black).
    if [ "$want" = desktop ]; then
      xdotool windowsize "$id" 321 300
      probe drawn "$id" 20000
      drawn=$?
      probe shot "$work/host-window.png"
      [ "$drawn" = 0 ] || fail "the saver did not follow the window's new height"
    fi
    # The host ends its hack by destroying the window: no error is worth a line then.
    probe destroy "$id"
    expect_exit "$saver" 3000 0 "the window's destruction"
    ! grep -q "X error" "$work/qelwave.log" || fail "X errors printed for the host's window going"
    ;;

  device-failure)
    start_xvfb 640x480x24
    xdotool mousemove 0 0
    QEL_TEST_FAIL_CREATE_DEVICE=1 start_saver
    probe find "QEL Wave" 20000 >"$work/box.txt" || fail "no message box"
    sleep 0.3  # the first paint
    probe shot "$work/message-box.png"
    read -r x y w h <"$work/box.txt"
    ((w < 400 && h < 200)) || fail "the message box is $w x $h: the saver's window instead?"
    xdotool key Return
    wait_exit "$saver" 3000 || fail "Enter did not dismiss the message box"
    [ "$status" != 0 ] || fail "a failed start ended with status 0"
    [ "$(probe windows)" = 0 ] || fail "a window was left on the screen"
    ;;

  display-loss)
    start_xvfb 640x480x24
    start_saver
    wait_saver_window
    kill "$xvfb_pid"
    wait_exit "$saver" 5000 || fail "the saver hangs on a lost display"
    [ "$status" = 1 ] || fail "status $status on a lost display, expected 1"
    ;;

  two-monitors)
    start_xvfb 3840x1080x24
    probe paint-root || fail "could not paint the root window"
    split_screen
    xdotool mousemove 0 0
    start_saver
    # Each half first shows the desktop it showed, then a wave of its own.
    probe first-frame "$work/left-first-frame.png" 20000 0 1920 >"$work/left.txt" &
    left=$!
    probe first-frame "$work/right-first-frame.png" 20000 1920 1920 >"$work/right.txt" &
    right=$!
    wait "$left" || fail "the left monitor's first frame is not its desktop: $(cat "$work/left.txt")"
    wait "$right" || fail "the right monitor's first frame is not its desktop: $(cat "$work/right.txt")"
    wait_saver_windows 2
    [ "$(cat "$work/windows.txt" | tr '\n' ' ')" = "0 0 1920 1080 1920 0 1920 1080 " ] ||
      fail "the windows do not cover one monitor each: $(cat "$work/windows.txt")"
    probe wave "$work/left-wave.png" 30000 0 1920 || fail "no wave on the left monitor"
    probe wave "$work/right-wave.png" 30000 1920 1920 || fail "no wave on the right monitor"
    # Two waves of one colour differ only where their ribbons run, and little while they rise:
    # look again until the ribbons have risen before calling them the same.
    apart_from=$EPOCHREALTIME
    until probe apart 0 1920 1920; do
      (($(ms_since "$apart_from") < 15000)) || fail "the two monitors show the same wave"
      sleep 0.5
    done
    probe shot "$work/two-waves.png"
    # The saver on the primary monitor alone takes the input: none of them met another's grab.
    ! grep -q "could not grab" "$work/qelwave.log" || fail "the savers fought over the keyboard: $(cat "$work/qelwave.log")"
    other=$(other_saver "$saver")
    pids+=("$other")
    xdotool key a  # armed long since: the waves came after the first second
    expect_exit "$saver" 3000 0 "a key"
    ends_with_no_window "$other" 3000 "a key"
    ;;

  two-monitors-end-together)
    start_xvfb 3840x1080x24
    split_screen
    xdotool mousemove 0 0
    # The second saver killed: the first ends too.
    start_saver
    wait_saver_windows 2
    other=$(other_saver "$saver")
    pids+=("$other")
    kill -TERM "$other"
    expect_exit "$saver" 3000 0 "the other saver's end"
    [ "$(probe windows)" = 0 ] || fail "a window was left after the other saver's end"
    # The first saver killed outright: the second notices.
    start_saver
    wait_saver_windows 2
    other=$(other_saver "$saver")
    pids+=("$other")
    kill -KILL "$saver"
    ends_with_no_window "$other" 3000 "the first saver killed"
    # A monitor that goes away takes its saver along; the other runs on.
    start_saver
    wait_saver_windows 2
    other=$(other_saver "$saver")
    pids+=("$other")
    timeout 10 xrandr --delmonitor right >/dev/null || fail "could not delete a monitor"
    wait_gone "$other" 3000 || fail "the saver of a monitor that went away still runs"
    still_running "$saver" 300 "the saver of the monitor that stayed ended"
    [ "$(probe windows)" = 1 ] || fail "not one window for the one monitor left"
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape"
    # --primary-only: the primary monitor only, as with one monitor; XRandR's primary one
    # rather than the first.
    add_right_monitor '*'
    start_saver --primary-only
    wait_saver_windows 1
    [ "$(cat "$work/windows.txt")" = "1920 0 1920 1080" ] || fail "--primary-only covers $(cat "$work/windows.txt")"
    xdotool key Escape
    expect_exit "$saver" 3000 0 "Escape with --primary-only"
    ;;

  motion-burst)
    # X11 delivers every motion event; the saver takes the newest of those waiting, as one
    # move, like Windows: a quick move made of small steps ends it.
    start_xvfb 640x480x24
    xdotool mousemove 0 0
    start_saver
    wait_saver_window
    sleep 1.3  # armed: the first second began before the window appeared
    xdotool mousemove 10 0
    still_running "$saver" 300 "a single move of 10 pixels ended the saver"
    burst=()
    for _ in $(seq 60); do burst+=(mousemove_relative 5 0); done
    xdotool "${burst[@]}"  # 300 pixels in 60 steps of 5, within a few ms
    expect_exit "$saver" 3000 0 "a burst of 60 moves of 5 pixels"
    ;;

  *)
    echo "unknown case '$case_name'"
    exit 2
    ;;
esac
echo "PASS ($case_name)"
