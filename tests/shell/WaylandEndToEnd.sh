#!/usr/bin/env bash
# The program in Wayland sessions. First a headless sway (as an ordinary user: as root, inside a
# user namespace that maps root to uid 1000), once natively on Wayland (only WAYLAND_DISPLAY set)
# and once through XWayland (DISPLAY set too). Each run checks the platform the program chose,
# the main window's size, the desktop lyrics and their bar (held inside the lyrics window
# natively; through XWayland sway centres both, as it places X windows itself) and that the bar
# answers, the pad's key 1 playing effect 1, the virtual camera's tip and its OK, the camera's
# frames in the shared frame, and a clean end on SIGTERM. Clicks go through sway's virtual
# pointer (wayland_pointer.py), keys through wtype, windows are read from `swaymsg -t get_tree`,
# and grim takes the screenshots. Then a headless mutter, where XWayland keeps the places X
# gives: the main window at the origin, the lyrics along the bottom with the bar above them and
# following them, both staying above the main window, the pad above it without taking the
# focus, a tip over it; read from the X side with xdotool and xprop.
# Usage: WaylandEndToEnd.sh BIN_DIR OUT_DIR
set -uo pipefail
bin=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
source "$here/../XvfbScript.sh"
for tool in sway swaymsg grim wtype Xwayland mutter dbus-daemon; do
  command -v "$tool" >/dev/null || fail "$tool is not installed"
done

use_fresh_user wayland
unset DISPLAY WAYLAND_DISPLAY
export ZAVREO_UPDATE_HOST=127.0.0.1:9
sink="audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=8000,channels=1"
export ZAVREO_AUDIO_SINK="$sink ! filesink location=$work/played.raw"
for n in 1 2; do
  gst-launch-1.0 -q filesrc location="$(ls "$bin"/yinxiao/$n*.mp3)" ! decodebin ! $sink ! \
    filesink location="$work/effect$n.raw" || fail "effect $n does not decode"
done

# sway, headless, with XWayland; sway will not run as root.
width=1920 height=1080
cat >"$work/sway.config" <<CONFIG
output HEADLESS-1 resolution ${width}x$height position 0 0
xwayland enable
exec env >$work/session.env
CONFIG
as_user=()
[[ $(id -u) != 0 ]] || as_user=(unshare --user --map-user=1000 --map-group=1000)
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  "${as_user[@]}" sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/session.env ]] && break; sleep 0.1; done
[[ -s $work/session.env ]] || fail "sway did not start"
SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)
export SWAYSOCK
session_wayland=$(sed -n 's/^WAYLAND_DISPLAY=//p' "$work/session.env")
session_x=$(sed -n 's/^DISPLAY=//p' "$work/session.env")
[[ -n $session_wayland && -n $session_x ]] || fail "no Wayland or X display in sway's session"

# The rectangle "x y w h" of the window named $1 (the first whose name matches), or of the
# program's window that is $1 pixels wide when $1 is a number; empty when none shows.
rect() {
  swaymsg -t get_tree | python3 -c '
import json, sys
want = sys.argv[1]
def walk(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from walk(child)
for node in walk(json.load(sys.stdin)):
    if node.get("type") not in ("con", "floating_con") or not node.get("visible"):
        continue
    r = node["rect"]
    if node.get("name") == want or (want.isdigit() and r["width"] == int(want) and node.get("pid") == int(sys.argv[2])):
        print(r["x"], r["y"], r["width"], r["height"])
        break' "$1" "${program:-0}"
}
wait_rect() {  # $1 as for rect, $2 tenths of a second
  local r
  for _ in $(seq "${2:-100}"); do
    r=$(rect "$1")
    [[ -n $r ]] && echo "$r" && return 0
    sleep 0.1
  done
  return 1
}
# A Wayland client of the session (the program's runs set their own environment).
wl() { WAYLAND_DISPLAY=$session_wayland "$@"; }
# XWayland takes a click from a pointer that has just appeared at the place the previous one
# left, unless that pointer was there a moment before: a pointer that only moves goes first.
click() {
  wl python3 "$here/wayland_pointer.py" "$width" "$height" move "$1" "$2" &&
    sleep 0.3 && wl python3 "$here/wayland_pointer.py" "$width" "$height" click "$1" "$2" ||
    fail "the virtual pointer did not click"
}
played() {  # whether effect $1 played whole into the sink
  for _ in $(seq 100); do cmp -s "$work/played.raw" "$work/effect$1.raw" && return 0; sleep 0.1; done
  return 1
}
# "has" or "does not have": whether the window named $1 has the focus.
focused() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def walk(node):
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from walk(child)
print("has" if any(n.get("name") == sys.argv[1] and n.get("focused") for n in walk(json.load(sys.stdin))) else "does not have")' "$1"
}
# "above" or "under": where the floating window named $1 lies against the one named $2.
stacked() {
  swaymsg -t get_tree | python3 -c '
import json, sys
def floating(node):
    yield from node.get("floating_nodes", [])
    for child in node.get("nodes", []):
        yield from floating(child)
names = [n.get("name") for n in floating(json.load(sys.stdin))]
print("above" if names.index(sys.argv[1]) > names.index(sys.argv[2]) else "under")' "$1" "$2"
}

run() {
  local mode=$1
  echo "--- $mode"
  rm -f "$work/played.raw"
  if [[ $mode == native ]]; then
    env -u DISPLAY WAYLAND_DISPLAY="$session_wayland" "$bin/zavreo" >"$work/$mode.log" 2>&1 &
  else
    env DISPLAY="$session_x" WAYLAND_DISPLAY="$session_wayland" "$bin/zavreo" >"$work/$mode.log" 2>&1 &
  fi
  program=$!
  pids+=($program)
  main=$(wait_rect Zavreo 300) || fail "$mode: no main window"
  read -r mx my mw mh <<<"$main"
  sleep 1
  local plugins
  plugins=$(grep -o 'libq[a-z-]*\.so' "/proc/$program/maps" | sort -u | tr '\n' ' ')
  if [[ $mode == native ]]; then
    [[ $plugins == *libqwayland-generic.so* && $plugins != *libqxcb.so* ]] ||
      fail "$mode: not on the Wayland platform: $plugins"
  else
    [[ $plugins == *libqxcb.so* && $plugins != *libqwayland-generic.so* ]] ||
      fail "$mode: not on the X11 platform: $plugins"
  fi
  [[ $mw == 870 && $mh == 620 ]] || fail "$mode: main window $mw x $mh"
  echo "$mode: main window at $mx,$my, $mw x $mh; plugins: $plugins"

  # The camera; without PipeWire or a loopback device a tip says that no virtual camera can be
  # offered, and its OK closes it.
  click $((mx + 65)) $((my + 585))
  camera_frames_flow "/dev/shm$ZAVREO_SHARED_FRAME" ||
    fail "$mode: the camera's frames are not in the shared frame"
  local tip
  tip=$(wait_rect 273 100) || fail "$mode: no tip about the virtual camera"
  read -r tx ty tw th <<<"$tip"
  # Under sway, XWayland routes a click by the X server's stacking, which follows a new window
  # a moment later: a click right away can reach the main window below.
  sleep 2
  wl grim "$out/$mode-tip.png"
  click $((tx + 140)) $((ty + th - 46))
  sleep 1
  [[ -z $(rect 273) ]] || fail "$mode: the tip's OK did not close it"
  echo "$mode: tip at $tx,$ty, $tw x $th, closed by its OK"

  # The desktop lyrics and their bar.
  click $((mx + 445)) $((my + 133))
  local lyrics bar
  lyrics=$(wait_rect Zavreo歌词 100) || fail "$mode: the desktop lyrics did not show"
  sleep 1
  read -r lx ly lw lh <<<"$lyrics"
  if [[ $mode == native ]]; then
    [[ -z $(rect 歌词控制) ]] || fail "$mode: the bar is a window of its own"
    # Two lines of the font (at least 120) below the bar's 60.
    ((lw == width && lh >= 180 && lh < 260)) || fail "$mode: lyrics window $lw x $lh"
    # The bar across the top of the window, centred, its own pixels there: its background
    # along the row a third of the way down, not the translucent band.
    bar="$((lx + (lw - 695) / 2)) $ly 695 60"
  else
    bar=$(wait_rect 歌词控制 20) || fail "$mode: the lyrics bar did not show"
    ((lw == width && lh >= 120 && lh < 200)) || fail "$mode: lyrics window $lw x $lh"
  fi
  read -r bx by bw bh <<<"$bar"
  ((bx == lx + (lw - bw) / 2)) || fail "$mode: bar $bar not centred on lyrics $lyrics"
  wl grim "$out/$mode-lyrics.png"
  echo "$mode: lyrics at $lx,$ly, $lw x $lh; bar at $bx,$by, $bw x $bh"
  # The bar answers: its close button (at its right end) hides it, the lyrics stay.
  click $((bx + bw - 20)) $((by + bh / 2))
  sleep 1
  [[ -n $(rect Zavreo歌词) ]] || fail "$mode: the bar's close button hid the lyrics"
  if [[ $mode == native ]]; then
    wl grim -g "$bx,$by ${bw}x$bh" "$work/bar-closed.png"
    # Gone from the top of the lyrics window; a click on the lines brings it back.
    crop() { convert "$out/$mode-lyrics.png" -crop "${bw}x$bh+$bx+$by" +repage "$1"; }
    crop "$work/bar-before.png"
    [[ $(compare -metric AE "$work/bar-before.png" "$work/bar-closed.png" null: 2>&1) -gt 1000 ]] ||
      fail "$mode: the bar's close button did not close it"
    click $((lx + lw / 2)) $((ly + lh - 20))
    sleep 1
    wl grim -g "$bx,$by ${bw}x$bh" "$work/bar-shown.png"
    [[ $(compare -metric AE "$work/bar-before.png" "$work/bar-shown.png" null: 2>&1) -lt 1000 ]] ||
      fail "$mode: a click on the lines did not bring the bar back"
  else
    [[ -z $(rect 歌词控制) ]] || fail "$mode: the bar's close button did not close it"
  fi
  # The main window's lyrics button hides them again.
  click $((mx + 445)) $((my + 133))
  sleep 1
  [[ -z $(rect Zavreo歌词) ]] || fail "$mode: the lyrics button did not hide the lyrics"

  # The pad, and its key 1.
  click $((mx + 419)) $((my + 585))
  local pad
  pad=$(wait_rect 音效 100) || fail "$mode: the pad did not show"
  read -r px py pw ph <<<"$pad"
  sleep 0.5
  wl grim "$out/$mode-pad.png"
  # The virtual keyboard first reaches the window that has the focus; then the key.
  wl wtype -s 500 1 || fail "wtype failed"
  played 1 || fail "$mode: key 1 did not play effect 1"
  echo "$mode: pad at ${pad// /,}, $(focused 音效) the focus; key 1 played effect 1"
  rm -f "$work/played.raw"
  "$bin/zavreo" --effect 2 || fail "$mode: zavreo --effect 2 ended with $?"
  played 2 || fail "$mode: zavreo --effect 2 did not play effect 2"
  click $((mx + 200)) $((my + 30))
  sleep 0.5
  echo "$mode: after a click on the main window the pad lies $(stacked 音效 Zavreo) it"

  # "全局快捷键" switched on: without a portal, natively the tip says to bind `zavreo --effect N`
  # and the switch goes back off; through XWayland the keys are grabbed, and the tip says they
  # come only while an X program has the focus.
  swaymsg -q '[title="^音效$"] focus'
  sleep 0.3
  click $((px + 36)) $((py + 109))
  tip=$(wait_rect 273 50) || fail "$mode: no tip after switching the global keys on"
  read -r tx ty tw th <<<"$tip"
  sleep 2
  click $((tx + 140)) $((ty + th - 46))
  local kept
  kept=$(cat "$HOME/.config/ZavreoZhuShou/Config/pad.lst")
  if [[ $mode == native ]]; then
    [[ $kept == '{"globalKeys":0}' ]] || fail "$mode: the global keys stayed on without a way to get them"
  else
    [[ $kept == '{"globalKeys":1}' ]] || fail "$mode: the global keys are not kept on"
    # An X program with the focus: the grab brings its digit to the pad.
    env DISPLAY="$session_x" xlogo -geometry 200x200 >/dev/null 2>&1 &
    pids+=($!)
    local other
    other=$(wait_rect xlogo 100) || fail "$mode: no xlogo"
    swaymsg -q '[title="^xlogo$"] focus'
    sleep 0.5
    rm -f "$work/played.raw"
    # wtype's keyboard brings a keymap of its own, which XWayland takes at its first key: the
    # grab follows the new key codes once told, so the key is pressed again after a moment.
    wl wtype -s 500 2 -s 1500 2 || fail "wtype failed"
    played 2 || fail "$mode: key 2 in an X program did not play effect 2"
    [[ $(focused xlogo) == has ]] || fail "$mode: the key moved the focus"
    echo "$mode: with xlogo focused, key 2 played effect 2 through the key grab"
  fi
  rm -f "$HOME/.config/ZavreoZhuShou/Config/pad.lst"

  # A second start ends at once; whether the compositor lets the running window come forward is
  # its choice (measured, not required).
  swaymsg -q '[title="^音效$"] focus'
  if [[ $mode == native ]]; then
    env -u DISPLAY WAYLAND_DISPLAY="$session_wayland" timeout 20 "$bin/zavreo" >/dev/null 2>&1
  else
    env DISPLAY="$session_x" WAYLAND_DISPLAY="$session_wayland" timeout 20 "$bin/zavreo" >/dev/null 2>&1
  fi
  local code=$?
  [[ $code == 0 ]] || fail "$mode: a second start ended with $code"
  sleep 1
  echo "$mode: after a second start the main window $(focused Zavreo) the focus"

  ends_cleanly_on_sigterm $program || fail "$mode: at the end"
  [[ ! -e /dev/shm$ZAVREO_SHARED_FRAME ]] || fail "$mode: the shared frame outlived the program"
  [[ -s $HOME/.config/ZavreoZhuShou/Config/config.lst ]] || fail "$mode: no config.lst"
  # The next desktop starts as a first start, not at the place this one remembered.
  rm -f "$HOME/.config/ZavreoZhuShou/Config/"{config,state}.lst
}

run native
run xwayland
# sway is done; mutter gets the machine.
kill "${pids[@]}" 2>/dev/null
wait 2>/dev/null
pids=()

# mutter, headless, with its own D-Bus session bus; XWayland with its own authority file.
echo "--- mutter"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$work/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -S $XDG_RUNTIME_DIR/bus ]] && break; sleep 0.05; done
"${as_user[@]}" mutter --headless --wayland --virtual-monitor ${width}x$height >"$work/mutter.log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do grep -qs 'Using public X11 display' "$work/mutter.log" && break; sleep 0.1; done
mutter_x=$(sed -n 's/.*Using public X11 display \(:[0-9]*\),.*/\1/p' "$work/mutter.log")
mutter_wayland=$(sed -n "s/.*Using Wayland display name '\(.*\)'.*/\1/p" "$work/mutter.log")
[[ -n $mutter_x && -n $mutter_wayland ]] || fail "mutter did not start with XWayland"
export DISPLAY=$mutter_x
for _ in $(seq 100); do
  XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -1)
  [[ -n $XAUTHORITY ]] && xprop -root >/dev/null 2>&1 && break
  sleep 0.1
done
export XAUTHORITY
geometry() {  # "x y w h" of X window $1
  eval "$(xdotool getwindowgeometry --shell "$1")"
  echo "$X $Y $WIDTH $HEIGHT"
}
WAYLAND_DISPLAY=$mutter_wayland "$bin/zavreo" >"$work/mutter-program.log" 2>&1 &
program=$!
pids+=($program)
window=$(wait_for_window Zavreo 300 $program) || fail "mutter: no main window"
sleep 1
grep -q libqxcb.so "/proc/$program/maps" || fail "mutter: not on the X11 platform"
[[ $(geometry "$window") == "0 0 870 620" ]] || fail "mutter: main window at $(geometry "$window")"
xdotool mousemove --sync 445 133 click 1
lyrics=$(wait_for_window Zavreo歌词 100) || fail "mutter: the desktop lyrics did not show"
bar=$(wait_for_window 歌词控制 50) || fail "mutter: the lyrics bar did not show"
sleep 1
read -r lx ly lw lh <<<"$(geometry "$lyrics")"
read -r bx by bw bh <<<"$(geometry "$bar")"
((lx == 0 && ly + lh == height && lw == width)) || fail "mutter: lyrics at $lx,$ly, $lw x $lh"
((by + bh == ly && bx == (lw - bw) / 2)) || fail "mutter: bar at $bx,$by above lyrics at $lx,$ly"
rm -f "$work/played.raw"
"$bin/zavreo" --effect 2 || fail "mutter: zavreo --effect 2 ended with $?"
played 2 || fail "mutter: zavreo --effect 2 did not play effect 2"
# A click on the main window leaves the lyrics and the bar above it.
xdotool mousemove --sync 200 100 click 1
sleep 0.5
above "$lyrics" "$window" && above "$bar" "$window" || fail "mutter: the lyrics went under the main window"
# Moved (as after a press on them), the lyrics take the bar along.
xdotool mousemove --sync 960 $((ly + 100)) click 1
xdotool windowmove --sync "$lyrics" 0 700
sleep 1
read -r lx ly lw lh <<<"$(geometry "$lyrics")"
read -r bx by bw bh <<<"$(geometry "$bar")"
((ly == 700 && by + bh == ly && bx == (lw - bw) / 2)) || fail "mutter: the bar did not follow the lyrics"
echo "mutter: main window at the origin; lyrics along the bottom, bar above and following them"
# The pad shows above the main window and leaves it the focus.
xdotool mousemove --sync 419 585 click 1
pad=$(wait_for_window 音效 100) || fail "mutter: the pad did not show"
sleep 0.5
above "$pad" "$window" || fail "mutter: the pad is under the main window"
[[ $(xdotool getactivewindow) == "$window" ]] || fail "mutter: the pad took the focus"
xdotool mousemove --sync 419 585 click 1
# 拍照 with no camera open: a tip over the main window, centred on it; its OK closes it.
xdotool mousemove --sync 301 585 click 1
tip=
for _ in $(seq 100); do
  for id in $(xdotool search --onlyvisible --pid $program 2>/dev/null); do
    read -r tx ty tw th <<<"$(geometry "$id")"
    ((tw == 273 && th >= 206)) && tip=$id && break
  done
  [[ -n $tip ]] && break
  sleep 0.1
done
[[ -n $tip ]] || fail "mutter: no tip"
sleep 0.5
read -r tx ty tw th <<<"$(geometry "$tip")"
above "$tip" "$window" || fail "mutter: the tip is under the main window"
((tx + tw / 2 - 435 <= 1 && 435 - tx - tw / 2 <= 1)) || fail "mutter: the tip at $tx,$ty is not centred on the window"
xdotool mousemove --sync $((tx + 140)) $((ty + th - 46)) click 1
sleep 0.5
xdotool search --onlyvisible --pid $program 2>/dev/null | grep -qx "$tip" && fail "mutter: the tip's OK did not close it"
echo "mutter: pad above the main window without the focus; tip centred over it, closed by its OK"
ends_cleanly_on_sigterm $program || fail "mutter: at the end"
echo "wayland end-to-end: all steps passed; screenshots in $out"
