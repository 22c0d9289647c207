# Sourced by the scripts that drive the program under Xvfb: a work folder, the background
# processes ended on exit, `fail` (printing the work folder's logs) and `start_xvfb`.
# KEEP_E2E=1 keeps the work folder for a look afterwards.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [[ -z ${ZAVREO_SHARED_FRAME:-} ]] || rm -f "/dev/shm$ZAVREO_SHARED_FRAME"
  [[ -n ${KEEP_E2E:-} ]] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do
    [[ -e $log ]] && echo "--- $log" && cat "$log"
  done
  exit 1
}
# Xvfb picks a free display itself, so no other server on this machine is mistaken for ours.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
  DISPLAY=:$(head -1 "$work/display")
  [[ $DISPLAY != : ]] || fail "Xvfb did not start"
  export DISPLAY
}
