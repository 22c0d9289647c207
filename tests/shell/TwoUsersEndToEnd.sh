#!/usr/bin/env bash
# Two people on one computer, as a family or a studio has them: two fresh accounts run the
# program under one X display, both wanting the same shared frame. The first has it; the second
# gets a block of its own name, says so in a tip above its window, and its preview, recording and
# PipeWire camera show its own camera, never black. Neither can read, replace, shrink or remove
# the other's block. The first user removing the name finds it back at once; another block put at
# the name is told and not shown. A second start of the first user with another runtime folder
# raises the first instead of running beside it. A link planted at the name gives the program a
# block of its own, and the link is left alone. A configuration folder that cannot be written is
# said at the exit, and the exit waits for the tip's OK.
# Usage (as root; exits 77 otherwise): TwoUsersEndToEnd.sh BIN_DIR OUT_DIR
set -uo pipefail
[[ $(id -u) == 0 ]] || { echo "adding users takes root"; exit 77; }
bin=$(realpath "$1")
out=$2
mkdir -p "$out"
source "$(dirname "$0")/../XvfbScript.sh"
# A failure leaves a picture of the screen beside the others.
eval "report_$(declare -f fail)"
fail() {
  [[ -z ${DISPLAY:-} ]] || import -display "$DISPLAY" -window root "$out/failure.png" 2>/dev/null
  report_fail "$@"
}

# Accounts are machine-wide: one run of this at a time.
exec 8>/tmp/zavreo-two-users.lock
flock 8
users=(zvhard$$a zvhard$$b)
programs=()
finish() {
  for pid in "${programs[@]}"; do
    for child in $(pgrep -P "$pid" 2>/dev/null); do kill -KILL "$child" 2>/dev/null; done
    kill -KILL "$pid" 2>/dev/null
  done
  cleanup
  for user in "${users[@]}"; do
    if id "$user" >/dev/null 2>&1; then
      # Anything still running as an account this test made was started by this test.
      for pid in $(pgrep -u "$user"); do kill -KILL "$pid" 2>/dev/null; done
      for _ in $(seq 50); do pgrep -u "$user" >/dev/null || break; sleep 0.1; done
      find /tmp /dev/shm -maxdepth 1 -user "$user" -exec rm -rf {} +
      userdel -r "$user" 2>/dev/null
    fi
  done
}
trap finish EXIT

# The program where both accounts can run it.
chmod 755 "$work"
cp -a "$bin" "$work/bin"
chmod -R a+rX "$work/bin"
for user in "${users[@]}"; do
  useradd --create-home --shell /bin/bash "$user" || fail "cannot add the user $user"
  install -d -m 700 -o "$user" -g "$user" "/tmp/zvhard-run-$(id -u "$user")"
done
uid_a=$(id -u "${users[0]}")
uid_b=$(id -u "${users[1]}")
home_of() { getent passwd "$1" | cut -d: -f6; }
wanted=/zavreo-two-users-$$
export ZAVREO_SHARED_FRAME=$wanted

start_xvfb
start_openbox

# The command prefix (in $as) that runs a command as user $1 in a fresh login's environment,
# from their home, with a runtime folder of their own (${run_dir[$1]} to change it).
declare -A run_dir
user_command() {
  local user=$1
  local runtime=${run_dir[$user]:-/tmp/zvhard-run-$(id -u "$user")}
  as=(setpriv --reuid="$user" --regid="$user" --init-groups --reset-env
    env --chdir="$(home_of "$user")" HOME="$(home_of "$user")" DISPLAY="$DISPLAY"
    XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
    XDG_STATE_HOME="$runtime/state" ZAVREO_TEST_CAMERA=1 ZAVREO_SHARED_FRAME="$wanted"
    ZAVREO_UPDATE_HOST=127.0.0.1:9 ZAVREO_AUDIO_SINK="fakesink sync=true")
}
as_user() {
  user_command "$1"
  shift
  "${as[@]}" "$@"
}
# Starts the program as user $1, logging to $work/$2.log; its pid in $started.
start_program() {
  user_command "$1"
  "${as[@]}" "$work/bin/zavreo" >"$work/$2.log" 2>&1 8>&- &
  started=$!
  programs+=("$started")
  pids+=("$started")
}
# The visible main window of process $1.
window_of() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --all --onlyvisible --pid "$1" --name '^Zavreo$' 2>/dev/null | head -1)
    [[ -n $id ]] && echo "$id" && return 0
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# The tip of process $1 (273 pixels wide, at least 206 high), waiting up to $2 tenths of a second.
tip_of() {
  for _ in $(seq "${2:-50}"); do
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
      eval "$(xdotool getwindowgeometry --shell "$id")"
      [[ $WIDTH == 273 && $HEIGHT -ge 206 ]] && echo "$id" && return 0
    done
    sleep 0.1
  done
  return 1
}
press_ok() {  # the OK of tip $1, 46 pixels above its bottom however tall its text made it
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + 140)) $((Y + HEIGHT - 46)) click 1
}
click() {  # window $1 at $2,$3 of it, brought forward first
  xdotool windowactivate --sync "$1" 2>/dev/null
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}
# Whether the block /dev/shm$1 is owned by $2 with mode 600 and one frame long.
block_is() {
  [[ $(stat -c '%U %a %s' "/dev/shm$1" 2>/dev/null) == "$2 600 921600" ]]
}
# The stand-in's moving colour bars in a 640 x 480 BGR picture file ($2: bottom-up block or
# top-down picture), over a few looks a moment apart when $3 is "moving".
bars_in() {
  python3 - "$1" "$2" "${3:-}" <<'PY'
import sys, time
path, layout, moving = sys.argv[1], sys.argv[2], sys.argv[3] == "moving"
def pixel(frame, x, y):
    row = 479 - y if layout == "block" else y
    at = row * 1920 + x * 3
    return frame[at:at + 3]
def bars(frame):
    if len(frame) < 921600:
        return False
    columns = range(4, 640, 16)
    vertical = sum(max(abs(a - b) for a, b in zip(pixel(frame, x, 40), pixel(frame, x, 250))) <= 24
                   for x in columns)
    colours = {tuple(c // 64 for c in pixel(frame, x, 150)) for x in columns}
    return vertical >= len(columns) - 4 and len(colours) >= 4
seen = []
for _ in range(60):
    frame = open(path, "rb").read()
    if bars(frame):
        seen.append(frame)
        if not moving or (len(seen) >= 2 and seen[0] != seen[-1]):
            sys.exit(0)
    if layout != "block":
        break
    time.sleep(0.1)
sys.exit(f"{len(seen)} pictures with bars")
PY
}
# The preview area of window $1 as a top-down BGR picture in $2 (640 x 480, scaled up).
preview_of() {
  xdotool windowactivate --sync "$1" 2>/dev/null
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -display "$DISPLAY" -window root -crop "480x360+$X+$((Y + 190))" +repage \
    -resize '640x480!' -depth 8 bgr:"$2" 2>/dev/null
}

# ---- The first user has the wanted block; the second gets one of its own ----
start_program "${users[0]}" first
program_a=$started
window_a=$(window_of "$program_a") || fail "no window for ${users[0]}"
block_is "$wanted" "${users[0]}" || fail "the first user does not hold $wanted: $(stat -c '%U %a %s' "/dev/shm$wanted")"
tip_of "$program_a" 20 >/dev/null && fail "the first user was told something at the start"

# The second user has a PipeWire session of their own, where PipeWire is installed.
have_pipewire=
if command -v pipewire >/dev/null && command -v wireplumber >/dev/null && command -v pw-dump >/dev/null &&
  gst-inspect-1.0 pipewiresrc >/dev/null 2>&1; then
  runtime_b=/tmp/zvhard-run-$uid_b
  user_command "${users[1]}"
  "${as[@]}" dbus-daemon --session --nofork --nopidfile --address="unix:path=$runtime_b/bus" \
    >"$work/dbus-b.log" 2>&1 8>&- &
  pids+=($!)
  for _ in $(seq 100); do [[ -S $runtime_b/bus ]] && break; sleep 0.05; done
  "${as[@]}" pipewire >"$work/pipewire-b.log" 2>&1 8>&- &
  pids+=($!)
  for _ in $(seq 100); do [[ -S $runtime_b/pipewire-0 ]] && break; sleep 0.05; done
  "${as[@]}" wireplumber >"$work/wireplumber-b.log" 2>&1 8>&- &
  pids+=($!)
  have_pipewire=yes
fi

start_program "${users[1]}" second
program_b=$started
window_b=$(window_of "$program_b") || fail "no window for ${users[1]}"
own_b=$wanted-$uid_b
for _ in $(seq 50); do block_is "$own_b" "${users[1]}" && break; sleep 0.1; done
block_is "$own_b" "${users[1]}" || fail "the second user has no private block $own_b"
block_is "$wanted" "${users[0]}" || fail "the second start touched the first user's block"
tip_b=$(tip_of "$program_b") || fail "the second user was not told about the block of their own"
sleep 0.5
above "$tip_b" "$window_b" || fail "the tip lies beneath the main window: $(stacking | tr '\n' ' ')"
import -display "$DISPLAY" -window root "$out/second-user-tip.png"
press_ok "$tip_b"

# Both open their cameras; each block holds that user's moving bars.
click "$window_a" 65 585
click "$window_b" 65 585
bars_in "/dev/shm$wanted" block moving || fail "the first user's camera is not in $wanted"
bars_in "/dev/shm$own_b" block moving || fail "the second user's camera is not in $own_b"
preview_of "$window_b" "$work/preview-b.bgr"
bars_in "$work/preview-b.bgr" picture || fail "the second user's preview does not show their camera"
import -display "$DISPLAY" -window root "$out/second-user-camera.png"

# Neither can read, shrink, replace or remove the other's block.
for pair in "1 $wanted" "0 $own_b"; do
  read -r who block <<<"$pair"
  user=${users[$who]}
  as_user "$user" cat "/dev/shm$block" >/dev/null 2>&1 && fail "$user read /dev/shm$block"
  as_user "$user" truncate -s 0 "/dev/shm$block" 2>/dev/null && fail "$user shrank /dev/shm$block"
  as_user "$user" rm -f "/dev/shm$block" 2>/dev/null
  as_user "$user" sh -c "echo x >/tmp/zvhard-$$-$who && mv -f /tmp/zvhard-$$-$who /dev/shm$block" 2>/dev/null
  [[ $(stat -c %s "/dev/shm$block" 2>/dev/null) == 921600 ]] || fail "$user removed or replaced /dev/shm$block"
done

# Nor reach the other's lock files and sockets: they lie in a runtime folder of its user's alone.
for who in 0 1; do
  other=/tmp/zvhard-run-$(id -u "${users[$((1 - who))]}")
  [[ -e $other/ZavreoZhuShou.lock ]] || fail "no lock file in $other"
  as_user "${users[$who]}" ls "$other" >/dev/null 2>&1 && fail "${users[$who]} can look into $other"
  as_user "${users[$who]}" truncate -s 0 "$other/ZavreoZhuShou.lock" 2>/dev/null &&
    fail "${users[$who]} shrank the other's lock file"
done

# The second user's PipeWire camera serves their own picture.
if [[ -n $have_pipewire ]]; then
  for _ in $(seq 100); do
    as_user "${users[1]}" pw-dump 2>/dev/null | grep -q '"node.name": "zavreo-vcam"' && break
    sleep 0.1
  done
  node=$runtime_b/node.bgrx
  as_user "${users[1]}" timeout 20 gst-launch-1.0 -q pipewiresrc target-object=zavreo-vcam \
    num-buffers=10 ! video/x-raw,format=BGRx,width=640,height=480 ! filesink location="$node" \
    >"$work/reader-b.log" 2>&1 || fail "pipewiresrc could not read the second user's camera"
  python3 - "$node" "$work/node-b.bgr" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
last = data[-640 * 480 * 4:]
open(sys.argv[2], "wb").write(b"".join(last[i:i + 3] for i in range(0, len(last), 4)))
PY
  bars_in "$work/node-b.bgr" picture || fail "the second user's PipeWire camera does not serve their camera"
  echo "the second user's PipeWire camera serves their own picture"
fi

# The second user's recording is of their camera.
click "$window_b" 183 585
sleep 4
click "$window_b" 183 585
videos_b=$(home_of "${users[1]}")/Documents/ZavreoZhuShou/Video
for _ in $(seq 100); do ls "$videos_b"/*.mp4 >/dev/null 2>&1 && break; sleep 0.1; done
sleep 2
recording=$(ls "$videos_b"/*.mp4 2>/dev/null | head -1)
[[ -n $recording ]] || fail "no recording of the second user"
ffmpeg -v error -ss 1 -i "$recording" -frames:v 1 -f rawvideo -pix_fmt bgr24 "$work/recording-b.bgr" ||
  fail "the second user's recording cannot be decoded"
bars_in "$work/recording-b.bgr" picture || fail "the second user's recording is not of their camera"
dialog=$(xdotool search --all --onlyvisible --pid "$program_b" --name '^录制视频$' | head -1)
[[ -z $dialog ]] || click "$dialog" 239 257

# ---- The first user's name removed, then taken ----
as_user "${users[0]}" rm "/dev/shm$wanted" || fail "the owner could not remove the name"
for _ in $(seq 30); do block_is "$wanted" "${users[0]}" && break; sleep 0.1; done
block_is "$wanted" "${users[0]}" || fail "the removed name did not come back"
bars_in "/dev/shm$wanted" block moving || fail "the name came back without the camera's frames"
preview_of "$window_a" "$work/preview-a.bgr"
bars_in "$work/preview-a.bgr" picture || fail "the first user's preview went black after the name was removed"
as_user "${users[0]}" python3 -c '
import os, sys
os.unlink("/dev/shm" + sys.argv[1])
fd = os.open("/dev/shm" + sys.argv[1], os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o600)
os.write(fd, bytes([0, 255, 0]) * (640 * 480))
' "$wanted" || fail "could not put a green block at the name"
tip_a=$(tip_of "$program_a" 40) || fail "a block put at the name was not told"
python3 - "/dev/shm$wanted" <<'PY' || fail "the program wrote into the block that took its name"
import sys
assert open(sys.argv[1], "rb").read() == bytes([0, 255, 0]) * (640 * 480)
PY
press_ok "$tip_a"
preview_of "$window_a" "$work/preview-a.bgr"
bars_in "$work/preview-a.bgr" picture || fail "the first user's preview shows what took the name"
import -display "$DISPLAY" -window root "$out/name-taken.png"

# ---- The first user again, from another runtime folder: the first comes forward ----
xdotool windowminimize --sync "$window_a" 2>/dev/null
run_dir[${users[0]}]=/tmp/zvhard-other-$uid_a
install -d -m 700 -o "${users[0]}" -g "${users[0]}" "${run_dir[${users[0]}]}"
as_user "${users[0]}" timeout 20 "$work/bin/zavreo" >"$work/again.log" 2>&1 8>&-
code=$?
unset "run_dir[${users[0]}]"
[[ $code == 0 ]] || fail "the second start of the first user ended with $code"
kill -0 "$program_a" || fail "the first user's program ended"
for _ in $(seq 50); do
  xwininfo -id "$window_a" | grep -q 'Map State: IsViewable' && break
  sleep 0.1
done
xwininfo -id "$window_a" | grep -q 'Map State: IsViewable' || fail "the running copy did not come forward"

# Both end; each takes only its own block with it, not the one that took the name.
for program in "$program_a" "$program_b"; do
  kill -TERM "$program"
  for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$program" 2>/dev/null && fail "a program did not end on SIGTERM"
done
[[ ! -e /dev/shm$own_b ]] || fail "the second user's block outlived the program"
[[ $(stat -c %s "/dev/shm$wanted" 2>/dev/null) == 921600 ]] || fail "the exit removed the block that took the name"
rm -f "/dev/shm$wanted"

# ---- A link planted at the name by the second user ----
as_user "${users[1]}" ln -s /dev/null "/dev/shm$wanted" || fail "could not plant a link"
start_program "${users[0]}" planted
program_a=$started
window_a=$(window_of "$program_a") || fail "no window with a link at the name"
own_a=$wanted-$uid_a
block_is "$own_a" "${users[0]}" || fail "no private block $own_a beside the planted link"
tip_a=$(tip_of "$program_a") || fail "the block of its own was not told"
above "$tip_a" "$window_a" || fail "the tip lies beneath the main window"
press_ok "$tip_a"
click "$window_a" 65 585
bars_in "/dev/shm$own_a" block moving || fail "the camera is not in $own_a"
[[ -L /dev/shm$wanted && $(readlink "/dev/shm$wanted") == /dev/null ]] || fail "the planted link was touched"
kill -TERM "$program_a"
for _ in $(seq 100); do kill -0 "$program_a" 2>/dev/null || break; sleep 0.1; done
[[ ! -e /dev/shm$own_a && -L /dev/shm$wanted ]] || fail "the exit did not remove its own block alone"
rm -f "/dev/shm$wanted"

# ---- A configuration folder that cannot be written: said at the exit, which waits for OK ----
config_a=$(home_of "${users[0]}")/.config/ZavreoZhuShou/Config
chmod 500 "$config_a"
start_program "${users[0]}" readonly
program_a=$started
window_a=$(window_of "$program_a") || fail "no window with a read-only configuration folder"
sleep 1
click "$window_a" 848 26
tip_a=$(tip_of "$program_a" 50) || fail "nothing said about the settings that could not be saved"
sleep 1
kill -0 "$program_a" || fail "the program ended before its tip was read"
import -display "$DISPLAY" -window root "$out/not-saved.png"
for name in config.lst music.lst PicPath.lst; do
  grep -q "$config_a/$name" "$work/readonly.log" || fail "$name is not named as unsaved: $(cat "$work/readonly.log")"
done
press_ok "$tip_a"
for _ in $(seq 100); do kill -0 "$program_a" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_a" 2>/dev/null && fail "the tip's OK did not end the program"
chmod 700 "$config_a"
echo "two users: all steps passed"
