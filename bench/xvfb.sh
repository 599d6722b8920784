# Sourced by the benchmarks that run a saver on a screen of their own. start_xvfb DISPLAY WxH
# LOG starts Xvfb on that display number and size and waits for it; $xvfb is its PID, for the
# caller's exit trap to end.
start_xvfb() {
  local display=$1 size=$2 log=$3
  [ -e "/tmp/.X11-unix/X$display" ] && { echo "display :$display is taken" >&2; exit 1; }
  Xvfb ":$display" -screen 0 "${size}x24" -noreset -nolisten tcp >"$log" 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}
