# Sourced by the scripts that drive the program under Xvfb: a work folder, the background
# processes ended on exit, `fail` (printing the work folder's logs), `start_xvfb` and the helpers below.
# KEEP_E2E=1 keeps the work folder for a look afterwards.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  [[ -z ${ZAVREO_SHARED_FRAME:-} ]] || rm -f "/dev/shm$ZAVREO_SHARED_FRAME" "/dev/shm$ZAVREO_SHARED_FRAME-$(id -u)-hd"
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
# A window manager, so that minimising, raising and closing behave as on a desktop. Fails when
# it ends or has not taken over the screen within 30 s, rather than leaving the script to fail
# later on a window that behaves as without one.
start_openbox() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  local openbox=$!
  pids+=($openbox)
  for _ in $(seq 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 $openbox 2>/dev/null || fail "openbox ended at its start"
    sleep 0.1
  done
  fail "openbox did not take over the screen within 30 s"
}
# Waits up to $2 tenths of a second (default 300) for a visible window titled exactly $1 and
# prints its id; fails (status 1) when none shows, or as soon as the process $3 (if given) ends.
wait_for_window() {
  local id
  for _ in $(seq "${2:-300}"); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [[ -n $id ]] && echo "$id" && return 0
    [[ -z ${3:-} ]] || kill -0 "$3" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# The client windows in the window manager's stacking order, bottom first, one decimal id a line.
stacking() {
  xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/, /\n/g' | while read -r id; do
    printf '%d\n' "$id"
  done
}
# Whether window $1 lies above window $2.
above() {
  local order upper lower
  order=$(stacking)
  upper=$(grep -nx "$1" <<<"$order" | cut -d: -f1)
  lower=$(grep -nx "$2" <<<"$order" | cut -d: -f1)
  [[ -n $upper && -n $lower ]] && ((upper > lower))
}
# Where PipeWire is installed: a private D-Bus session bus, PipeWire and WirePlumber in
# $XDG_RUNTIME_DIR (which must be set), as a desktop session has them. Status 1 where they are
# not installed.
start_pipewire_session() {
  command -v pipewire >/dev/null && command -v wireplumber >/dev/null &&
    command -v dbus-daemon >/dev/null && gst-inspect-1.0 pipewiresrc >/dev/null 2>&1 || return 1
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus XDG_STATE_HOME=$work/state
  unset PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR
  dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/dbus.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -S $XDG_RUNTIME_DIR/bus ]] && break; sleep 0.05; done
  pipewire >"$work/pipewire.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] && break; sleep 0.05; done
  wireplumber >"$work/wireplumber.log" 2>&1 &
  pids+=($!)
  [[ -S $XDG_RUNTIME_DIR/pipewire-0 ]] || fail "the private PipeWire did not start"
}
# The desktop's camera portal, through which browsers reach PipeWire cameras: xdg-desktop-portal
# with the GTK backend (which needs the display) in the session that start_pipewire_session made,
# and the permission store saying yes for programs without an application id (unsandboxed
# programs), so that nobody is asked. Status 1 where the portal is not installed.
start_camera_portal() {
  local portal=/usr/libexec/xdg-desktop-portal
  [[ -x $portal && -x /usr/libexec/xdg-desktop-portal-gtk ]] || return 1
  # Newer portals pick their backends from this file; older ones take any that is installed.
  mkdir -p "${XDG_CONFIG_HOME:-$HOME/.config}/xdg-desktop-portal"
  printf '[preferred]\ndefault=gtk\n' >"${XDG_CONFIG_HOME:-$HOME/.config}/xdg-desktop-portal/portals.conf"
  "$portal" >"$work/portal.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
      --object-path /org/freedesktop/impl/portal/PermissionStore \
      --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
      devices true camera "" "['yes']" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "the portal's permission store did not answer"
}
# A fresh user for the program: an empty home and a private runtime folder in the work folder,
# the stand-in camera, music played into no device, and the shared frame named after $1.
use_fresh_user() {
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  export HOME=$work/home XDG_RUNTIME_DIR=$work/run ZAVREO_SHARED_FRAME=/zavreo-$1-$$
  export ZAVREO_AUDIO_SINK="fakesink sync=true" ZAVREO_TEST_CAMERA=1
  unset XDG_CONFIG_HOME QT_QPA_PLATFORM
}
# Whether the stand-in camera's moving colour bars reach the shared frame $1 within 15 s.
camera_frames_flow() {
  python3 - "$1" <<'PY'
import sys, time
def pixel(frame, x, y):  # y as seen; rows are stored bottom first
    at = (479 - y) * 1920 + x * 3
    return frame[at:at + 3]
def bars(frame):  # colour bars: one colour down each column of the upper part, several colours
    columns = range(4, 640, 16)
    vertical = sum(max(abs(a - b) for a, b in zip(pixel(frame, x, 40), pixel(frame, x, 250))) <= 24
                   for x in columns)
    colours = {tuple(c // 64 for c in pixel(frame, x, 150)) for x in columns}
    return vertical >= len(columns) - 4 and len(colours) >= 4
seen = []
for _ in range(150):
    frame = open(sys.argv[1], "rb").read()
    if bars(frame):
        seen.append(frame)
        # The bars scroll sideways: two frames a moment apart differ.
        if len(seen) >= 2 and seen[0] != seen[-1]:
            sys.exit(0)
    time.sleep(0.1)
sys.exit(f"{len(seen)} frames with bars, all alike" if seen else "no colour bars")
PY
}
# Sends SIGTERM to program $1 and waits up to 30 s for its end; status 0 only for an end with 0,
# else a line on standard error says what happened.
ends_cleanly_on_sigterm() {
  kill -TERM "$1"
  for _ in $(seq 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$1" 2>/dev/null; then
    echo "the program did not end on SIGTERM" >&2
    return 1
  fi
  local code=0
  wait "$1" || code=$?
  ((code == 0)) || { echo "the program ended with $code" >&2; return 1; }
}
