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
input_pid=
start_input() { start_input_of input "$@"; }
# The same through another of wlprobe's input commands (mutter-remote).
start_input_of() {
  rm -f "$work/input.fifo" "$work/input.txt"
  mkfifo "$work/input.fifo"
  "$WLPROBE" "$@" <"$work/input.fifo" >"$work/input.txt" 2>&1 &
  input_pid=$!
  pids+=($!)
  exec {input_in}>"$work/input.fifo"
  wait_line "$work/input.txt" 10000 '^ready' || fail "no virtual keyboard and pointer: $(cat "$work/input.txt")"
}
# The virtual keyboard and pointer removed: the seat has no devices.
stop_input() {
  exec {input_in}>&-
  input_in=
  wait_exit "$input_pid" 5000 || fail "the virtual input did not end"
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
    cat "$work/judged.txt" 2>/dev/null
    local now=$EPOCHREALTIME
    (((${now/./} - ${waited_from/./}) / 1000 >= $2)) && return 1
    sleep 0.1
  done
}

# The frame count the saver gives at its end (QEL_TEST_FRAME_COUNT): frames shown, and how
# many of them a GL device swapped into its surface through EGL; $1: all or none of them.
expect_frames_through_egl() {
  local lines shown egl
  lines=$(grep "frames shown, .* through EGL" "$work/qelwave.log") || fail "no count of the frames shown"
  note "$lines"
  # One line from each saver.
  read -r shown egl < <(echo "$lines" | awk '{ s += $2; e += $5 } END { print s, e }')
  ((shown > 0)) || fail "no frame shown"
  if [ "$1" = all ]; then
    ((egl == shown)) || fail "$((shown - egl)) of $shown frames were read back into shared memory, not swapped through EGL"
  else
    ((egl == 0)) || fail "$egl frames went through EGL on the software device"
  fi
}

# The saver's surface is up: the desktop picture is covered.
wait_saver() { probe covered 20000 || fail "the saver did not cover the output"; }

# The armed saver $saver: moves of 10 pixels on both axes keep it, 11 end it.
moves_of_10_keep_it_11_end_it() {
  send move 10 10
  still_running "$saver" 300 "a move of 10 pixels ended the saver"
  send move -10 10
  still_running "$saver" 300 "a move of 10 pixels ended the saver"
  send move 11 0
  expect_exit "$saver" 3000 0 "a move of 11 pixels"
}

# Headless sway with the test window over its output and the kept virtual keyboard and pointer.
sway_with_window() { start_sway; show_window; start_input 1920 1080; }

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

  first-frame-then-wave | renderer-gl)
    sway_with_window
    send at 0 0
    timeout 60 "$WLPROBE" first-frame "$work/first-frame.png" 20000 >"$work/first-frame.txt" 2>&1 &
    watcher=$!
    pids+=("$watcher")
    wait_line "$work/first-frame.txt" 10000 '^watching' || fail "no screencopy: $(cat "$work/first-frame.txt")"
    # On the GL device (llvmpipe here), which must start: --renderer gl insists.
    renderer=()
    [ "$case_name" = renderer-gl ] && renderer=(--renderer gl)
    QEL_TEST_FRAME_COUNT=1 start_saver "${renderer[@]}"
    wait "$watcher"
    watched=$?
    cat "$work/first-frame.txt"
    ((watched == 0)) || fail "the first frame is not the desktop picture"
    probe wave "$work" 30000 HEADLESS-1 || fail "no wave"
    send key Escape
    expect_exit "$saver" 3000 0 "Escape"
    expect_frames_through_egl "$([ "$case_name" = renderer-gl ] && echo all || echo none)"
    ;;

  frames-whole | frames-whole-held)
    # Through the desktop's dissolve, the first wave's fade-in and into the steady wave, with
    # the compositor's three buffers lent in turn: every frame, before it is attached, is the
    # same as the frame drawn whole. Held: the output refreshes 12 times a second and sway
    # composes at the last moment (max_render_time 1), so frame callbacks come late and a
    # buffer is held until the next one is composed: the buffers come back having missed frames.
    least=200
    if [ "$case_name" = frames-whole-held ]; then
      start_sway "output HEADLESS-1 mode --custom 1920x1080@12Hz max_render_time 1"
      show_window
      start_input 1920 1080
      least=100
      export WAYLAND_DEBUG=client
    else
      sway_with_window
    fi
    send at 0 0
    QEL_TEST_CHECK_PRESENTS=1 start_saver
    unset WAYLAND_DEBUG
    probe wave "$work" 30000 HEADLESS-1 || fail "no wave"
    # The fade-in ends some 13 s after the start: wait for that moment, not for a fixed time.
    until (($(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 )) >= 14000)); do sleep 0.1; done
    send key Escape
    expect_exit "$saver" 3000 0 "Escape"
    line=$(grep "frames checked against the frames drawn whole" "$work/qelwave.log") || fail "no count of the frames checked"
    read -r checked differed < <(echo "$line" | sed 's/[^0-9 ]//g')
    note "$line"
    ((checked >= least)) || fail "only $checked frames checked"
    ((differed == 0)) || fail "$differed of $checked frames differ from the frames drawn whole"
    if [ "$case_name" = frames-whole-held ]; then
      buffers=$(grep -o 'wl_surface@[0-9]*\.attach(wl_buffer@[0-9]*' "$work/qelwave.log" | sort -u | wc -l)
      note "$buffers buffers attached"
      ((buffers >= 3)) || fail "only $buffers buffers attached: the compositor held none longer"
    fi
    ;;

  keys)
    sway_with_window
    send at 0 0
    start_saver
    wait_saver
    send key a  # within the first second: ignored
    if within_first_second; then
      still_running "$saver" 300 "a key within the first second ended the saver"
    else
      # Armed by then, the saver may be ending by the key already: a signal in its last
      # moments meets the default handler again.
      kill -TERM "$saver" 2>/dev/null
      wait_exit "$saver" 3000 || fail "the saver did not end"
      start_saver
      wait_saver
    fi
    send key space  # never ends it
    still_running "$saver" 300 "Space ended the saver"
    sleep 1.2  # armed: the first second began before the saver covered the output
    send key space
    still_running "$saver" 300 "Space ended the saver once armed"
    send key a
    expect_exit "$saver" 3000 0 "a key once armed"
    # Escape at once, within the first second.
    start_saver
    wait_saver
    send key Escape
    expect_exit "$saver" 3000 0 "Escape within the first second"
    ;;

  mouse)
    sway_with_window
    send at 0 0
    start_saver
    wait_saver
    sleep 1.3  # armed: the first second began before the saver covered the output
    # The first move is compared with 0, 0, where the pointer rests.
    moves_of_10_keep_it_11_end_it
    ;;

  pointer-resting)
    # The pointer rests away from (0, 0): where the saver first learns it, whenever that is,
    # never ends it; moves after it do, merged within one dispatch.
    sway_with_window
    send at 600 400
    start_saver
    wait_saver
    until (($(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 )) >= 5000)); do sleep 0.1; done
    still_running "$saver" 0 "the pointer resting at (600, 400) ended the saver"
    # Four moves of 4 pixels in one dispatch are one of 16.
    send moves 4 4 0
    expect_exit "$saver" 3000 0 "a burst of small moves"
    # No pointer at the start; one added 2 s after it, over the saver: its enter is no move.
    stop_input
    WAYLAND_DEBUG=client start_saver
    wait_saver
    until (($(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 )) >= 2000)); do sleep 0.1; done
    start_input 1920 1080
    added=$EPOCHREALTIME
    wait_line "$work/qelwave.log" 5000 'wl_pointer@[0-9]*\.enter(' || fail "the saver's surface got no pointer enter"
    until (($(( (${EPOCHREALTIME/./} - ${added/./}) / 1000 )) >= 5000)); do sleep 0.1; done
    still_running "$saver" 0 "a pointer added 2 s after the start ended the saver"
    send key a
    expect_exit "$saver" 3000 0 "a key from a keyboard added after the start"
    ;;

  rotated)
    # An output turned by 90 degrees (1080 x 1920 as its user sees it): the first frame is the
    # desktop the right way up, drawn into buffers of the size shown.
    start_sway "output HEADLESS-1 transform 90"
    show_window
    start_input 1080 1920
    send at 0 0
    timeout 60 "$WLPROBE" first-frame "$work/first-frame.png" 20000 >"$work/first-frame.txt" 2>&1 &
    watcher=$!
    pids+=("$watcher")
    wait_line "$work/first-frame.txt" 10000 '^watching' || fail "the desktop is not upright: $(cat "$work/first-frame.txt")"
    WAYLAND_DEBUG=client start_saver
    wait "$watcher"
    watched=$?
    cat "$work/first-frame.txt"
    ((watched == 0)) || fail "the first frame is not the desktop picture upright"
    probe wave "$work" 30000 HEADLESS-1 || fail "no wave"
    sizes=$(awk -f "$here/attached-sizes.awk" "$work/qelwave.log")
    [[ $sizes =~ ^1080x1920\ [0-9]+\ [0-9]+$ ]] || fail "buffers shown (size, count): $(echo $sizes), not only 1080 x 1920"
    send key Escape
    expect_exit "$saver" 3000 0 "Escape"
    ;;

  resized)
    # The output resized once the saver has shown frames in all three of its buffers: from
    # then on it shows buffers of the new size only, never one of the old size again.
    start_sway
    WAYLAND_DEBUG=client start_saver --no-desktop
    sizes() { awk -f "$here/attached-sizes.awk" "$work/qelwave.log"; }
    for _ in $(seq 300); do read -r _ _ made <<<"$(sizes)"; ((${made:-0} >= 3)) && break; sleep 0.05; done
    ((${made:-0} >= 3)) || fail "the saver showed frames in $made buffers, not 3: $(sizes)"
    sway_command output HEADLESS-1 mode 1280x720
    for _ in $(seq 300); do (($(sizes | grep -c '^1280x720 [0-9][0-9]') > 0)) && break; sleep 0.05; done
    note "buffers shown (size, frames, buffers): $(echo $(sizes))"
    [[ $(echo $(sizes)) =~ ^1920x1080\ [0-9]+\ 3\ 1280x720\ [0-9]{2,}\ [0-9]+$ ]] ||
      fail "not the old size's buffers, then only the new size's"
    kill -TERM "$saver"
    expect_exit "$saver" 5000 0 "SIGTERM"
    ;;

  output-hidden-removed)
    # A sway inside sway, its two outputs windows of the outer one. Closing the second's
    # window takes that output away: its saver ends by itself with status 3, which lets the
    # first run on (any other end would end the first too). Hiding the first's window stops
    # its frame callbacks: the saver shows a frame a second at most, and a key still ends it.
    start_sway
    start_nested_sway 2
    start_input 1920 1080
    WAYLAND_DEBUG=client start_saver
    probe wave "$work" 40000 WL-1 WL-2 || fail "not both outputs show a wave"
    child=$(ps -o pid= --ppid "$saver" | tr -d ' ')
    [ -n "$child" ] || fail "no saver for the second output"
    timeout 10 swaymsg -s "$outer_swaysock" '[title="wlroots - WL-2"] kill' >/dev/null || fail "WL-2 was not closed"
    wait_exit "$child" 5000 || fail "the second output's saver still runs after its output went"
    still_running "$saver" 2000 "the first output's saver ended with the second output"
    timeout 10 swaymsg -s "$outer_swaysock" workspace 2 >/dev/null || fail "WL-1 was not hidden"
    commits() { grep -c 'wl_surface@[0-9]*\.commit()' "$work/qelwave.log"; }
    sleep 0.2  # a frame the compositor already asked for
    before=$(commits)
    sleep 5
    hidden=$(($(commits) - before))
    note "$hidden frames committed in 5 s while the output was hidden"
    ((hidden <= 6)) || fail "$hidden frames in 5 s on a hidden output"
    send key a
    expect_exit "$saver" 3000 0 "a key while the output is hidden"
    ;;

  two-outputs)
    start_sway "output HEADLESS-2 mode 1920x1080 position 1920 0"
    sway_command create_output
    for _ in $(seq 100); do swaymsg -s "$SWAYSOCK" -t get_outputs | grep -q HEADLESS-2 && break; sleep 0.05; done
    show_window
    start_input 3840 1080
    send at 0 0
    start_saver
    probe wave "$work" 40000 HEADLESS-1 HEADLESS-2 || fail "not both outputs show a wave of their own"
    send key a
    expect_exit "$saver" 3000 0 "a key"
    probe uncovered 5000 HEADLESS-1 HEADLESS-2 || fail "a saver stayed on the screen"
    ;;

  background)
    start_sway 'for_window [app_id="qel-e2e-floating"] floating enable, resize set 800 600, move position 400 200'
    show_window qel-e2e-floating
    start_input 1920 1080
    send at 1900 1060
    start_saver --background
    probe behind 400 200 800 600 "$work" 30000 || fail "the window is not above a moving wave"
    send key a  # input is ignored
    still_running "$saver" 300 "a key ended the background"
    kill -TERM "$saver"
    expect_exit "$saver" 3000 0 "SIGTERM"
    ;;

  config)
    sway_with_window
    send at 1900 1060
    start_saver --config
    probe panel "$work/panel.png" 20000 >"$work/panel.txt" || fail "the panel did not appear"
    read -r x y w h <"$work/panel.txt"
    note "the panel at $x,$y, $w x $h"
    [ "$w $h" = "401 282" ] || fail "the panel is $w x $h, not 401 x 282"
    # The pointer never closes the panel; the button does.
    send at $((x + 20)) $((y + 20))
    send at $((x + 300)) $((y + 200))
    still_running "$saver" 500 "pointer movement closed the panel"
    send at $((x + 8 + 152 + 37)) $((y + 8 + 216 + 12))
    send click
    expect_exit "$saver" 3000 0 "a click on close"
    # The button has the focus: Enter presses it.
    start_saver /c
    probe panel "$work/panel-again.png" 20000 >/dev/null || fail "the panel did not appear again"
    send key Return
    expect_exit "$saver" 3000 0 "Enter on close"
    ;;

  compositor-loss)
    start_sway
    show_window
    start_saver
    wait_saver
    kill -KILL "$compositor"
    wait_exit "$compositor" 5000 || fail "sway did not end"
    lost=$EPOCHREALTIME
    wait_exit "$saver" 1000 || fail "the saver still runs a second after the compositor was killed"
    now=$EPOCHREALTIME
    note "the saver ended $(((${now/./} - ${lost/./}) / 1000)) ms after the compositor, status $status"
    ((status == 1)) || fail "the saver ended with status $status, not 1, when the compositor was lost"
    [ -s "$work/qelwave.log" ] || fail "the saver said nothing about the lost compositor"
    ;;

  weston-fallback)
    start_weston
    wait_weston_shot "$work/desktop.png" 10000 '! judge black' || fail "weston showed no desktop"
    start_saver
    # No screencopy: the saver starts from black, over the whole output, panel and all. The
    # black lasts over 3.3 s; where screenshots come further apart than that on a loaded
    # machine, it may fall between two of them and leaves nothing to check.
    shot_file="$work/black.png"
    desktop_taken=$EPOCHREALTIME
    saver_started=$desktop_taken
    while :; do
      taking=$EPOCHREALTIME
      weston_shot "$shot_file" || fail "weston's screenshooter wrote no picture"
      taken=$EPOCHREALTIME
      judge black && break
      cat "$work/judged.txt"
      if "$WLPROBE" judge "$shot_file" same "$work/desktop.png" >/dev/null; then
        desktop_taken=$taking
        (((${taken/./} - ${saver_started/./}) / 1000 < 40000)) || fail "the saver did not cover the output"
        continue
      fi
      apart=$(((${taken/./} - ${desktop_taken/./}) / 1000))
      ((apart >= 3300)) || fail "the saver did not start from black over the whole output"
      note "screenshots $apart ms apart: the black start is not checked on this loaded machine"
      break
    done
    cat "$work/judged.txt"
    wait_weston_shot "$work/wave.png" 40000 'judge wave' || fail "no wave: $(cat "$work/judged.txt")"
    cat "$work/judged.txt"
    kill -TERM "$saver"
    expect_exit "$saver" 3000 0 "SIGTERM"
    ;;

  device-failure)
    # A device that cannot be made: the message box as a window of its own over the desktop,
    # modal until the user or the compositor closes it; then the saver ends with status 1.
    sway_with_window
    box_up() {
      QEL_TEST_FAIL_CREATE_DEVICE=1 start_saver
      probe panel "$work/message-box-$1.png" 20000 >"$work/box.txt" || fail "no message box: $(cat "$work/box.txt")"
      read -r x y w h <"$work/box.txt"
      ((w > 107 && w < 400 && h == 99)) || fail "the message box is $w x $h, not 99 high and as wide as its text"
      swaymsg -s "$SWAYSOCK" -t get_tree | grep -q '"name": "QEL Wave"' || fail "no window titled QEL Wave"
      still_running "$saver" 300 "the message box did not wait for the user"
    }
    box_up enter
    send key Return
    expect_exit "$saver" 3000 1 "Enter on the message box"
    box_up escape
    send key Escape
    expect_exit "$saver" 3000 1 "Escape on the message box"
    box_up click
    # The OK button: centred, 12 pixels above the box's bottom, 23 high.
    send at $((x + w / 2)) $((y + h - 12 - 11))
    send click
    expect_exit "$saver" 3000 1 "a click on OK"
    box_up close
    sway_command '[title="QEL Wave"] kill'
    expect_exit "$saver" 3000 1 "the compositor closing the message box"
    grep -q "Failed to initialize Glow device!" "$work/qelwave.log" &&
      fail "the message went to standard error although the box showed it"
    ;;

  requests-scale-2)
    # What the saver asks of sway at scale 2, from its protocol log: buffers of the output's
    # 1920 x 1080 pixels shown at the 960 x 540 logical size, partial damage in buffer
    # coordinates, and no frame committed before the compositor asked for it.
    start_sway "output HEADLESS-1 scale 2"
    WAYLAND_DEBUG=client start_saver
    log=$work/qelwave.log
    sum() { awk -v W=1920 -v H=1080 -f "$here/surface-requests.awk" "$log"; }
    for _ in $(seq 600); do read -r _ commits _ _ _ partial _ <<<"$(sum)"; ((commits >= 150 && partial >= 20)) && break; sleep 0.05; done
    note "$(sum)"
    read -r _ commits _ early _ partial _ outside _ right _ bottom <<<"$(sum)"
    ((commits >= 150)) || fail "only $commits frames committed in 30 s"
    ((early == 0)) || fail "$early frames committed before the compositor's frame callback"
    ((partial >= 20 && outside == 0)) || fail "damage: $partial partial rectangles, $outside outside the buffer"
    ((right > 960 || bottom > 540)) || fail "the damage stays within the logical size: not in buffer coordinates"
    grep -E 'create_buffer\(new id wl_buffer@[0-9]+, 0, ' "$log" | grep -vq ', 0, 1920, 1080, 7680, 1)' &&
      fail "a buffer of another size than the output's pixels"
    grep -q 'set_destination(960, 540)' "$log" || fail "the viewport does not show the frames at the logical size"
    grep -q 'wl_surface@[0-9]*\.damage(' "$log" && fail "damage in surface coordinates"
    kill -TERM "$saver"
    expect_exit "$saver" 5000 0 "SIGTERM"
    ;;

  kwin)
    # One 1920 x 1080 output, one KWin for every check. The saver takes the desktop picture through
    # KWin's screenshot interface only where its own desktop entry is installed; otherwise, and
    # with --no-desktop, it starts from black.
    start_kwin
    show_window
    start_input 1920 1080
    send at 0 0
    start_black() {  # OPTION WHAT
      start_saver "$1"
      wait_saver
      probe shot "$work/black-$1.png" || fail "no screenshot"
      "$WLPROBE" judge "$work/black-$1.png" black >"$work/judged.txt" || fail "$2: $(cat "$work/judged.txt")"
      kill -TERM "$saver"
      expect_exit "$saver" 5000 0 "SIGTERM"
    }
    start_black --fps "without its desktop entry the saver did not start from black"
    grep -q "KWin does not let this program take the desktop picture" "$work/qelwave.log" ||
      fail "the saver did not say why it started from black"
    sed "s|@QEL_HACK@|$QELWAVE|" "$here/../../../saver/x11/qelwave-kde.desktop.in" >"$kwin_apps_dir/qelwave.desktop"
    kwin_apps_changed
    : >"$work/qelwave.log"
    timeout 60 "$WLPROBE" first-frame "$work/first-frame.png" 20000 >"$work/first-frame.txt" 2>&1 &
    watcher=$!
    pids+=("$watcher")
    wait_line "$work/first-frame.txt" 10000 '^watching' || fail "no screenshots: $(cat "$work/first-frame.txt")"
    start_saver
    wait "$watcher"
    watched=$?
    cat "$work/first-frame.txt"
    ((watched == 0)) || fail "the first frame is not the desktop picture"
    [ -s "$work/qelwave.log" ] && fail "the saver complained: $(cat "$work/qelwave.log")"
    output=$(probe outputs | head -n 1)
    probe wave "$work" 30000 "$output" || fail "no wave"
    send key Escape
    expect_exit "$saver" 3000 0 "Escape"
    start_black --no-desktop "with --no-desktop the saver did not start from black"
    start_saver
    wait_saver
    sleep 1.2  # armed: the first second began before the saver covered the output
    send key a
    expect_exit "$saver" 3000 0 "a key once armed"
    start_saver
    wait_saver
    sleep 1.3
    moves_of_10_keep_it_11_end_it
    ;;

  kwin-fractional | kwin-fractional-gl)
    # Two outputs at scale 1.25: 2400 x 1350 pixels each, 1920 x 1080 logical. What the savers
    # ask of the compositor is read from their protocol log; on the GL device the buffers are
    # EGL's, sized as the saver sizes its wl_egl_window.
    start_kwin --output-count 2 --scale 1.25
    renderer=()
    [ "$case_name" = kwin-fractional-gl ] && renderer=(--renderer gl)
    QEL_TEST_FRAME_COUNT=1 WAYLAND_DEBUG=client start_saver "${renderer[@]}"
    log=$work/qelwave.log
    shown() { grep -c 'wl_surface@[0-9]*\.attach(wl_buffer' "$log"; }
    for _ in $(seq 600); do (($(shown) >= 20)) && break; sleep 0.05; done
    (($(shown) >= 20)) || fail "the savers showed $(shown) frames in 30 s"
    kill -0 "$saver" 2>/dev/null || fail "the saver ended"
    sizes=$(grep -o 'create_buffer(new id wl_buffer@[0-9]*, 0, [0-9]*, [0-9]*' "$log" | awk '{print $(NF-1) $NF}' | sort | uniq -c)
    note "buffers made (count, width, height): $(echo $sizes)"
    # XRGB8888, as wl_shm names it or (EGL's buffers) by its four-character code.
    grep -qE 'create_buffer\(.*, 0, 2400, 1350, 9600, (1|808669784)\)' "$log" || fail "no buffer of the outputs' 2400 x 1350 pixels"
    grep -E 'create_buffer\(.*, 0, [0-9]+, [0-9]+' "$log" | grep -vE ', 0, (2400, 1350|1920, 1080), ' &&
      fail "buffers of another size than the outputs' pixels"
    (($(grep -c 'set_destination(1920, 1080)' "$log") >= 2)) || fail "not both savers show at the logical size"
    grep -q 'set_buffer_scale' "$log" && fail "a buffer scale set on top of the fractional scale"
    kill -TERM "$saver"
    expect_exit "$saver" 5000 0 "SIGTERM"
    expect_frames_through_egl "$([ "$case_name" = kwin-fractional-gl ] && echo all || echo none)"
    if [ "$case_name" = kwin-fractional ]; then
      # The pointer rests at the first output's centre when the surfaces map: KWin's first enter,
      # whenever it comes, is no move. Both outputs covered, each by a wave of its own; a key ends both.
      mv "$work/qelwave.log" "$work/qelwave-protocol.log"
      start_input 3840 1080
      send at 960 540
      start_saver
      outputs=($(probe outputs))
      ((${#outputs[@]} == 2)) || fail "KWin has the outputs ${outputs[*]}"
      probe wave "$work" 40000 "${outputs[@]}" || fail "not both outputs show a wave of their own"
      until (($(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 )) >= 5000)); do
        kill -0 "$saver" 2>/dev/null || break
        sleep 0.1
      done
      still_running "$saver" 100 "the saver ended with the pointer resting, no input at all"
      send key a
      expect_exit "$saver" 3000 0 "a key"
      probe uncovered 10000 "${outputs[@]}" || fail "a saver stayed on the screen"
    fi
    ;;

  mutter)
    # GNOME's mutter, headless: no layer shell, no screencopy. The saver covers the monitor with a
    # full-screen toplevel and starts from black; screenshots come from a screen cast through
    # PipeWire (1-3 s each), input from a remote-desktop session.
    start_mutter
    start_input_of mutter-remote
    node=$(sed -n 's/^node //p' "$work/input.txt")
    mutter_shot() {
      timeout 20 gst-launch-1.0 -q pipewiresrc path="$node" num-buffers=1 ! videoconvert ! pngenc ! \
        filesink location="$1" >/dev/null 2>&1 && [ -s "$1" ]
    }
    mutter_shot "$work/desktop.png" || fail "no screenshot of mutter"
    # The pointer rests away from 0, 0 as the window maps.
    send at 600 400
    start_saver
    # The black lasts over 3.3 s; where screenshots come further apart than that, it may fall
    # between two of them and leaves nothing to check.
    shot_file=$work/black.png
    desktop_taken=$EPOCHREALTIME
    while :; do
      taking=$EPOCHREALTIME
      mutter_shot "$shot_file" || fail "no screenshot of mutter"
      taken=$EPOCHREALTIME
      judge black && break
      cat "$work/judged.txt"
      if "$WLPROBE" judge "$shot_file" same "$work/desktop.png" >/dev/null; then
        desktop_taken=$taking
        (((${taken/./} - ${started/./}) / 1000 < 40000)) || fail "the saver did not cover the monitor"
        continue
      fi
      apart=$(((${taken/./} - ${desktop_taken/./}) / 1000))
      ((apart >= 3300)) || fail "the saver did not start from black over the whole monitor"
      note "screenshots $apart ms apart: the black start is not checked on this loaded machine"
      break
    done
    cat "$work/judged.txt"
    shot_file=$work/wave.png
    until mutter_shot "$shot_file" && judge wave; do
      (((${EPOCHREALTIME/./} - ${started/./}) / 1000 < 60000)) || fail "no wave: $(cat "$work/judged.txt")"
    done
    cat "$work/judged.txt"
    until (($(( (${EPOCHREALTIME/./} - ${started/./}) / 1000 )) >= 5000)); do sleep 0.1; done
    still_running "$saver" 100 "the saver ended with the pointer resting, no input at all"
    send key Escape
    expect_exit "$saver" 3000 0 "Escape"
    ;;

  unserved)
    # WAYLAND_DISPLAY names no compositor: the saver says so and how to run it on X11, and
    # does not go to X11 by itself.
    new_runtime_dir
    XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=wayland-none DISPLAY=:0 start_saver
    expect_exit "$saver" 10000 1 "no compositor at WAYLAND_DISPLAY"
    grep -q 'wayland-none' "$work/qelwave.log" && grep -q -- '--x11' "$work/qelwave.log" ||
      fail "the message names neither the compositor nor --x11: $(cat "$work/qelwave.log")"
    ;;

  *)
    echo "unknown case '$case_name'"
    exit 2
    ;;
esac
if grep -qE "Sanitizer|runtime error" "$work/qelwave.log" 2>/dev/null; then fail "a sanitizer report"; fi
echo "PASS ($case_name)"
