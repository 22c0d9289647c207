#!/usr/bin/env bash
# The Debian package as a user meets it: its desktop entry, AppStream metadata and the package
# itself pass their checkers; apt installs it; a freshly added ordinary user starts
# /usr/bin/zavreo from their home under Xvfb with the stand-in camera (--version and the manual
# page answer first; no update server is asked); the window comes up under
# the desktop entry's window class, and the camera's moving colour bars reach the shared frame;
# SIGTERM ends it and leaves config.lst in that user's home; started again in a session with
# PipeWire, the open camera is a PipeWire node; nothing new in the package's folders. Purging leaves none of the package's files; the user is removed again.
# Usage (as root): InstallTest.sh PACKAGE.deb
set -uo pipefail
deb=$(realpath "$1")
source "$(dirname "$0")/../XvfbScript.sh"
[[ $(id -u) == 0 ]] || fail "installing a package takes root"

# One run at a time on this machine: the package and dpkg's database are shared.
exec 8>/tmp/zavreo-install-test.lock
flock 8
user=zvtest$$
added=
finish() {
  cleanup
  if dpkg-query -W -f='${Status}' zavreo 2>/dev/null | grep -q installed; then
    apt-get -o DPkg::Lock::Timeout=300 purge -y -qq zavreo >/dev/null 2>&1
  fi
  [[ -z $added ]] || remove_user
}
# The user with their home and what they left in the shared folders (a fresh login has no
# runtime folder, so the single-instance lock lives in /tmp).
remove_user() {
  find /tmp /dev/shm -maxdepth 1 -user "$user" -exec rm -rf {} +
  userdel -r "$user" 2>/dev/null
}
trap finish EXIT

# The packaged files, checked by the tools the desktop and the archive use.
mkdir -p "$work/root"
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb cannot unpack $deb"
desktop=("$work"/root/usr/share/applications/*.desktop)
metainfo=("$work"/root/usr/share/metainfo/*.metainfo.xml)
[[ ${#desktop[@]} == 1 && -f ${desktop[0]} ]] || fail "not one desktop entry"
[[ ${#metainfo[@]} == 1 && -f ${metainfo[0]} ]] || fail "not one metainfo file"
desktop-file-validate "${desktop[0]}" || fail "desktop-file-validate: ${desktop[0]}"
appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli: ${metainfo[0]}"
id=$(basename "${desktop[0]}" .desktop)
for size in 16 32 48 64 128 256; do
  icon=$work/root/usr/share/icons/hicolor/${size}x$size/apps/$id.png
  [[ $(identify -format '%m %wx%h' "$icon" 2>/dev/null) == "PNG ${size}x$size" ]] ||
    fail "no $size pixel icon $id.png"
done
# Every resource the build drew is installed (the build folder holds the package's programs too).
bin=$(dirname "$deb")/bin
if [[ -d $bin ]]; then
  (cd "$bin" && find . -type f \( -name '*.png' -o -name '*.jpg' -o -name '*.bmp' -o -name '*.mp3' \) |
    sort) >"$work/built.txt"
  (cd "$work/root/usr/share/zavreo" && find . -type f | sort) >"$work/packaged.txt"
  diff "$work/built.txt" "$work/packaged.txt" >"$work/resources.log" || fail "resources differ"
fi
# lintian's errors fail the run; its warnings are listed.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  fail "lintian reports errors"
cat "$work/lintian.log"

export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=300 purge -y -qq zavreo >/dev/null 2>&1
# The recommended loopback module (a DKMS build) and video server are left out here.
apt-get -o DPkg::Lock::Timeout=300 install -y -qq --no-install-recommends "$deb" \
  >"$work/apt.log" 2>&1 || fail "apt-get cannot install $deb"
dpkg -L zavreo >"$work/files.txt"

useradd --create-home --shell /bin/bash "$user" || fail "cannot add the user $user"
added=1
home=$(getent passwd "$user" | cut -d: -f6)

start_xvfb
export ZAVREO_SHARED_FRAME=/zavreo-install-$$
# The command line answers from /usr/bin, as the manual page says.
[[ $(setpriv --reuid="$user" --regid="$user" --init-groups --reset-env /usr/bin/zavreo --version) == \
  "zavreo $(dpkg-query -W -f='${Version}' zavreo)" ]] || fail "zavreo --version"
zcat "$work/root/usr/share/man/man1/zavreo.1.gz" | grep -qF '.BI \-\-effect " N' ||
  fail "the manual page has no --effect"
# The packaged program asks no update server: one listens, and counts who calls.
python3 -c 'import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True)
while True:
    s.accept(); print("called", flush=True)' >"$work/update-server.log" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/update-server.log ]] && break; sleep 0.1; done
launched=$(date +%s%N)
# From the user's home, with the environment a fresh login has: no runtime folder, no
# configuration.
(cd "$home" && exec setpriv --reuid="$user" --regid="$user" --init-groups --reset-env \
  env DISPLAY="$DISPLAY" ZAVREO_TEST_CAMERA=1 ZAVREO_SHARED_FRAME="$ZAVREO_SHARED_FRAME" \
  ZAVREO_UPDATE_HOST=127.0.0.1:$(head -1 "$work/update-server.log") /usr/bin/zavreo) \
  >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
window=$(wait_for_window Zavreo 300 $program) || fail "no window titled Zavreo (ended: $(kill -0 $program 2>/dev/null && echo no || echo yes))"
echo "window up $((($(date +%s%N) - launched) / 1000000)) ms after the start"
[[ $(stat -c %U "/proc/$program") == "$user" ]] || fail "the program does not run as $user"
# The window's class (the second WM_CLASS string, which xprop prints octal-escaped) is the one
# the desktop entry names, so the desktop groups the window under the entry.
entry_class=$(grep '^StartupWMClass=' "${desktop[0]}" | cut -d= -f2-)
window_class=$(xprop -id "$window" WM_CLASS | sed -E 's/.*, "(.*)"$/\1/; s/\\([0-7]{3})/\\0\1/g')
window_class=$(printf '%b' "$window_class")
[[ -n $entry_class && $window_class == "$entry_class" ]] ||
  fail "window class '$window_class' is not the entry's '$entry_class'"

# Until a camera opens, the shared frame holds the placeholder picture, read from the installed
# resource folder: its exact pixels, bottom row first.
convert /usr/share/zavreo/test.png -flip -depth 8 bgr:"$work/placeholder.bgr" ||
  fail "no placeholder picture in /usr/share/zavreo"
cmp -s "$work/placeholder.bgr" "/dev/shm$ZAVREO_SHARED_FRAME" ||
  fail "the shared frame is not the installed placeholder picture"
# The camera button opens the stand-in camera; its frames reach the shared frame.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --sync $((X + 65)) $((Y + 585)) click 1
camera_frames_flow "/dev/shm$ZAVREO_SHARED_FRAME" || fail "the camera's frames are not in the shared frame"
import -display "$DISPLAY" -window root "$work/installed.png" 2>/dev/null
[[ -n ${KEEP_E2E:-} ]] && echo "screenshot: $work/installed.png"

ends_cleanly_on_sigterm $program || fail "at the end"
config=$home/.config/ZavreoZhuShou/Config/config.lst
[[ -s $config && $(stat -c %U "$config") == "$user" ]] || fail "no config.lst of $user in $config"
! grep -q called "$work/update-server.log" && [[ ! -e $(dirname "$config")/ZavreoConfig.dat ]] ||
  fail "the packaged program asked the update server"

# In a desktop session with PipeWire (its own D-Bus bus, PipeWire and WirePlumber, run by the
# user in their runtime folder), the virtual camera is a PipeWire camera served by the installed
# virtual camera program from the program's start, and the node goes with the program.
if command -v pipewire >/dev/null && command -v wireplumber >/dev/null && command -v pw-dump >/dev/null; then
  runtime=/tmp/zavreo-install-run-$$
  install -d -m 700 -o "$user" -g "$user" "$runtime"
  as_user=(setpriv --reuid="$user" --regid="$user" --init-groups --reset-env env HOME="$home"
    DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
    XDG_STATE_HOME="$runtime/state" ZAVREO_TEST_CAMERA=1 ZAVREO_SHARED_FRAME="$ZAVREO_SHARED_FRAME"
    ZAVREO_UPDATE_HOST=127.0.0.1:9)
  # The services do not inherit the one-run-at-a-time lock (descriptor 8).
  session=()
  "${as_user[@]}" dbus-daemon --session --nofork --nopidfile --address="unix:path=$runtime/bus" >"$work/dbus.log" 2>&1 8>&- &
  session+=($!)
  for _ in $(seq 100); do [[ -S $runtime/bus ]] && break; sleep 0.05; done
  "${as_user[@]}" pipewire >"$work/pipewire.log" 2>&1 8>&- &
  session+=($!)
  for _ in $(seq 100); do [[ -S $runtime/pipewire-0 ]] && break; sleep 0.05; done
  "${as_user[@]}" wireplumber >"$work/wireplumber.log" 2>&1 8>&- &
  session+=($!)
  pids+=("${session[@]}")
  # The whole listing first: grep -q ending early would leave pw-dump to SIGPIPE (pipefail).
  node_listed() { [[ $("${as_user[@]}" pw-dump 2>/dev/null) == *'"node.name": "zavreo-vcam"'* ]]; }
  (cd "$home" && exec "${as_user[@]}" /usr/bin/zavreo) >"$work/session.log" 2>&1 &
  program=$!
  pids+=($program)
  window=$(wait_for_window Zavreo 300 $program) || fail "no window in the PipeWire session"
  for _ in $(seq 100); do node_listed && break; sleep 0.1; done
  node_listed || fail "the installed program's virtual camera is no PipeWire node before the camera opens"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove --sync $((X + 65)) $((Y + 585)) click 1
  sleep 1
  node_listed || fail "the installed program's open camera is no PipeWire node"
  vcam=$(pgrep -P $program -x zavreo-vcam)
  [[ -n $vcam && $(stat -c %U "/proc/$vcam") == "$user" ]] ||
    fail "the program's own virtual camera program does not run as $user"
  ends_cleanly_on_sigterm $program || fail "in the PipeWire session"
  for _ in $(seq 50); do node_listed || break; sleep 0.1; done
  node_listed && fail "the PipeWire node outlived the program"
  kill "${session[@]}" 2>/dev/null
  wait "${session[@]}" 2>/dev/null
  echo "PipeWire camera served by the installed program"
fi

# Nothing written into the package's folders: its files as shipped, no others beside them.
dpkg --verify zavreo >"$work/verify.log" 2>&1 && [[ ! -s $work/verify.log ]] ||
  fail "the package's files changed"
for folder in /usr/lib/zavreo /usr/share/zavreo; do
  find "$folder" | sort | comm -23 - <(sort "$work/files.txt") >"$work/extra.log"
  [[ ! -s $work/extra.log ]] || fail "files the package does not own in $folder"
done

apt-get -o DPkg::Lock::Timeout=300 purge -y -qq zavreo >"$work/purge.log" 2>&1 || fail "cannot purge"
# Files are gone; folders remain only where another package owns them or keeps files in them.
while read -r path; do
  if [[ -d $path && ! -L $path ]]; then
    dpkg-query -S "$path" >/dev/null 2>&1 || [[ -n $(ls -A "$path") ]] || echo "$path"
  elif [[ -e $path || -L $path ]]; then
    echo "$path"
  fi
done < <(grep -vx "/." "$work/files.txt") >"$work/left.log"
[[ ! -s $work/left.log ]] || fail "purging left the package's files"
remove_user || fail "cannot remove the user $user"
added=
echo "package install: all steps passed"
