# Sourced by the Wayland end-to-end tests and benchmarks: headless compositors of their own.
# The caller defines fail MESSAGE, skip MESSAGE and note MESSAGE, an array pids whose processes its exit
# trap ends by PID, and $work (a folder for logs), and calls end_compositors from that trap.
#
#   start_sway [CONFIG_LINES]   headless sway, one 1920x1080 output HEADLESS-1 (more lines
#                               of configuration may follow); $SWAYSOCK for swaymsg
#   start_nested_sway N         after start_sway: a sway inside it with N outputs WL-1 ...
#                               (windows of the first one, which can hide or close them);
#                               the first one's socket and IPC in $outer_display, $outer_swaysock
#   start_weston                headless weston, 1920x1080, with its screenshooter allowed
#   start_kwin [ARGS]           KWin's virtual back end, 1920x1080 (see there)
#   start_mutter                GNOME's mutter, headless, one 1920x1080 monitor, with PipeWire for
#                               its screen casts
# Either exports WAYLAND_DISPLAY and XDG_RUNTIME_DIR for the clients and leaves the
# compositor's PID in $compositor. Each compositor gets a runtime folder of its own under
# /tmp, so its socket's name cannot collide with another test's running at the same time.
runtime_dirs=()
sessions=()

end_compositors() {
  local d p
  for p in "${sessions[@]}"; do
    for _ in $(seq 100); do kill -0 "$p" 2>/dev/null || break; sleep 0.02; done
    kill "$p" 2>/dev/null
  done
  for d in "${runtime_dirs[@]}"; do rm -rf "$d"; done
  return 0
}

# A runtime folder of mode 0700 in $runtime, owned by USER (uid) if given.
new_runtime_dir() {
  runtime=$(mktemp -d /tmp/qel-wayland.XXXXXX) || fail "no runtime folder"
  runtime_dirs+=("$runtime")
  chmod 0700 "$runtime"
  [ -n "${1:-}" ] && chown "$1:$1" "$runtime"
  return 0
}

# Waits up to 10 s for the compositor $compositor to open its socket in $runtime.
wait_wayland_socket() {
  local what=$1 s
  for _ in $(seq 200); do
    kill -0 "$compositor" 2>/dev/null || fail "$what ended at start (see $work/$what.log)"
    for s in "$runtime"/wayland-*; do
      if [ -S "$s" ]; then
        export XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=${s##*/}
        unset DISPLAY
        return 0
      fi
    done
    sleep 0.05
  done
  fail "$what opened no socket in 10 s"
}

# Runs sway on the back end given (headless, wayland) with the configuration lines given.
run_sway() {
  type -P sway >/dev/null && type -P swaymsg >/dev/null || skip "sway is not installed"
  local backend=$1 log=$2 extra=()
  # sway refuses to run as root: as root, it runs as nobody.
  local as_user=() uid=
  if [ "$(id -u)" = 0 ]; then
    uid=65534
    as_user=(setpriv --reuid=$uid --regid=$uid --clear-groups)
  fi
  new_runtime_dir "$uid"
  cat >"$runtime/sway.conf" <<CONF
xwayland disable
default_border none
default_floating_border none
${3:-}
CONF
  [ "$backend" = wayland ] && extra=(WAYLAND_DISPLAY="$outer_display" WLR_WL_OUTPUTS="$4")
  # setpriv and env exec, so the PID is sway's own.
  (cd "$runtime" && exec env -i PATH=/usr/bin:/bin HOME="$runtime" XDG_RUNTIME_DIR="$runtime" \
    WLR_BACKENDS=$backend WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "${extra[@]}" \
    "${as_user[@]}" sway -c "$runtime/sway.conf") >"$work/$log.log" 2>&1 &
  compositor=$!
  pids+=("$compositor")
  wait_wayland_socket "$log"
  local s
  for _ in $(seq 100); do
    for s in "$runtime"/sway-ipc.*.sock; do
      if [ -S "$s" ] && timeout 5 swaymsg -s "$s" -t get_version >/dev/null 2>&1; then
        export SWAYSOCK=$s
        note "$log on $WAYLAND_DISPLAY in $runtime"
        return 0
      fi
    done
    kill -0 "$compositor" 2>/dev/null || fail "$log ended at start (see $work/$log.log)"
    sleep 0.1
  done
  fail "$log did not answer on its IPC socket in 10 s"
}

start_sway() { run_sway headless sway "output HEADLESS-1 mode 1920x1080 position 0 0
${1:-}"; }

start_nested_sway() {
  outer_display=$runtime/$WAYLAND_DISPLAY
  outer_swaysock=$SWAYSOCK
  run_sway wayland nested-sway "" "$1"
}

sway_command() { timeout 10 swaymsg -s "$SWAYSOCK" "$@" >/dev/null || fail "swaymsg $* failed"; }

start_weston() {
  type -P weston >/dev/null || skip "weston is not installed"
  new_runtime_dir
  # No fade of the desktop at start and no zoom of new windows: a screenshot shows either the
  # desktop or what a client drew, never a blend of the two.
  printf '[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n' >"$runtime/weston.ini"
  XDG_RUNTIME_DIR=$runtime weston --config="$runtime/weston.ini" --backend=headless-backend.so --use-pixman \
    --width=1920 --height=1080 --idle-time=0 --debug >"$work/weston.log" 2>&1 &
  compositor=$!
  pids+=("$compositor")
  wait_wayland_socket weston
  note "weston on $WAYLAND_DISPLAY in $runtime"
}

# KWin's virtual back end (KDE Plasma's compositor), in a D-Bus session of its own, with the
# arguments given (--output-count 2 --scale 1.25 ...). The installed kwin_wayland carries a file
# capability that cannot be used here: a copy without it runs, under the same file name.
# $WLPROBE, where set, may take KWin's screenshots and use its fake input (a desktop file names it); so may
# the programs whose desktop files the array kwin_apps lists. DBUS_SESSION_BUS_ADDRESS is the
# session's; kwin_apps_changed makes KWin read the desktop files in $kwin_apps_dir again.
kwin_apps=()
start_kwin() {
  type -P kwin_wayland >/dev/null && type -P dbus-run-session >/dev/null || skip "KWin (kwin-wayland) is not installed"
  new_runtime_dir
  kwin_apps_dir=$runtime/home/.local/share/applications
  mkdir -p "$runtime/bin" "$kwin_apps_dir"
  cp "$(type -P kwin_wayland)" "$runtime/bin/kwin_wayland" || fail "cannot copy kwin_wayland"
  [ -n "${WLPROBE:-}" ] &&
    printf '[Desktop Entry]\nType=Application\nName=wlprobe\nExec=%s\nNoDisplay=true\n%s\n%s\n' "$WLPROBE" \
      X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input \
      >"$kwin_apps_dir/wlprobe.desktop"
  local f
  for f in "${kwin_apps[@]}"; do cp "$f" "$kwin_apps_dir/" || fail "cannot install $f for KWin"; done
  (cd "$runtime" && exec env -i PATH=/usr/bin:/bin HOME="$runtime/home" XDG_RUNTIME_DIR="$runtime" \
    dbus-run-session -- sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >bus.new && mv bus.new bus
      kbuildsycoca5 --noincremental >/dev/null 2>&1; echo $$ >kwin.pid; exec "$0" "$@"' \
    "$runtime/bin/kwin_wayland" --virtual --width 1920 --height 1080 --socket wayland-kwin "$@") >"$work/kwin.log" 2>&1 &
  sessions+=($!)  # ends its bus by itself once KWin has ended
  for _ in $(seq 200); do [ -s "$runtime/kwin.pid" ] && break; sleep 0.05; done
  compositor=$(cat "$runtime/kwin.pid" 2>/dev/null) || fail "KWin did not start (see $work/kwin.log)"
  pids+=("$compositor")
  export DBUS_SESSION_BUS_ADDRESS=$(cat "$runtime/bus")
  wait_wayland_socket kwin
  # KWin's screenshot interface answers once its scene is up.
  for _ in $(seq 100); do
    timeout 5 dbus-send --session --print-reply --dest=org.kde.KWin /org/kde/KWin/ScreenShot2 \
      org.freedesktop.DBus.Properties.Get string:org.kde.KWin.ScreenShot2 string:Version >/dev/null 2>&1 && break
    kill -0 "$compositor" 2>/dev/null || fail "KWin ended at start (see $work/kwin.log)"
    sleep 0.1
  done
  note "KWin on $WAYLAND_DISPLAY in $runtime"
}

kwin_apps_changed() {
  env -i PATH=/usr/bin:/bin HOME="$runtime/home" XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    timeout 30 kbuildsycoca5 --noincremental >/dev/null 2>&1 || fail "kbuildsycoca5 failed"
}

# mutter, headless, in a D-Bus session of its own with PipeWire and WirePlumber beside it (its
# screen casts go through them); DBUS_SESSION_BUS_ADDRESS is the session's.
start_mutter() {
  type -P mutter >/dev/null && type -P dbus-run-session >/dev/null || skip "mutter is not installed"
  type -P pipewire >/dev/null && type -P wireplumber >/dev/null && type -P gst-launch-1.0 >/dev/null ||
    skip "PipeWire or GStreamer (pipewire, wireplumber, gstreamer1.0-pipewire, gstreamer1.0-tools) is not installed"
  new_runtime_dir
  mkdir -p "$runtime/home"
  (cd "$runtime" && exec env -i PATH=/usr/bin:/bin HOME="$runtime/home" XDG_RUNTIME_DIR="$runtime" \
    dbus-run-session -- sh -c 'echo "$DBUS_SESSION_BUS_ADDRESS" >bus.new && mv bus.new bus
      pipewire & echo $! >pipewire.pid; wireplumber & echo $! >wireplumber.pid
      echo $$ >mutter.pid; exec mutter --wayland --headless --no-x11 --wayland-display=wayland-mutter \
        --virtual-monitor 1920x1080') >"$work/mutter.log" 2>&1 &
  sessions+=($!)
  local f
  for _ in $(seq 200); do [ -s "$runtime/mutter.pid" ] && break; sleep 0.05; done
  for f in pipewire wireplumber mutter; do
    [ -s "$runtime/$f.pid" ] || fail "mutter did not start (see $work/mutter.log)"
    pids+=("$(cat "$runtime/$f.pid")")
  done
  compositor=$(cat "$runtime/mutter.pid")
  export DBUS_SESSION_BUS_ADDRESS=$(cat "$runtime/bus")
  wait_wayland_socket mutter
  for _ in $(seq 100); do
    timeout 5 dbus-send --session --print-reply --dest=org.gnome.Mutter.ScreenCast /org/gnome/Mutter/ScreenCast \
      org.freedesktop.DBus.Properties.Get string:org.gnome.Mutter.ScreenCast string:Version >/dev/null 2>&1 && break
    kill -0 "$compositor" 2>/dev/null || fail "mutter ended at start (see $work/mutter.log)"
    sleep 0.1
  done
  note "mutter on $WAYLAND_DISPLAY in $runtime"
}
