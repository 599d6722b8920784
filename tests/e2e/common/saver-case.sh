# Sourced by the end-to-end scripts: one case's folder, the processes it starts, and the saver
# under test, with a time limit on every wait. The script sets case_name, E2E_WORK and QELWAVE
# before, and ends what it started by calling end_started from its exit trap.
work="$E2E_WORK/$case_name"
rm -rf "$work" && mkdir -p "$work"
pids=()
# A case stopped by a signal (a test's time limit) still runs its exit trap.
trap 'exit 143' TERM
trap 'exit 130' INT

# Ends every process the case started, by PID: politely, then after a second for good.
end_started() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  for p in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$p" 2>/dev/null || break; sleep 0.02; done
    kill -9 "$p" 2>/dev/null
  done
  return 0
}

fail() { echo "FAIL ($case_name): $*"; [ -f "$work/qelwave.log" ] && sed 's/^/  qelwave: /' "$work/qelwave.log"; exit 1; }
skip() { echo "SKIP ($case_name): $*"; exit 77; }
note() { echo "-- $*"; }

# Starts qelwave with the given arguments in the background; its PID is in $saver.
saver=
started=
start_saver() {
  started=$EPOCHREALTIME
  "$QELWAVE" "$@" >>"$work/qelwave.log" 2>&1 &  # one log for every start in the case
  saver=$!
  pids+=("$saver")
}

# Whether input sent by now reached the server within the saver's first second. The first
# second counts from the form's creation, after the program's start: input before 950 ms
# from the start is surely early. A machine so loaded that the window appears later leaves
# nothing to check about the first second.
within_first_second() {
  local now=$EPOCHREALTIME
  local ms=$(((${now/./} - ${started/./}) / 1000))
  ((ms < 950)) && return 0
  note "input only $ms ms after the start: the first-second check is skipped on this loaded machine"
  return 1
}

# Waits up to $2 ms for PID $1 to end; its exit status is then in $status.
status=
wait_exit() {
  local pid=$1 limit=$2 waited=0
  while kill -0 "$pid" 2>/dev/null; do
    ((waited >= limit)) && return 1
    sleep 0.02
    waited=$((waited + 20))
  done
  wait "$pid" 2>/dev/null  # no word from the shell about a job that was killed
  status=$?
  return 0
}

# Fails unless PID $1 is still running $2 ms from now.
still_running() {
  local pid=$1 ms=$2
  if wait_exit "$pid" "$ms"; then fail "$3 (ended with status $status)"; fi
  return 0
}

expect_exit() {  # PID LIMIT_MS STATUS WHAT
  wait_exit "$1" "$2" || fail "$4: still running after $2 ms"
  [ "$status" = "$3" ] || fail "$4: status $status, expected $3"
}
