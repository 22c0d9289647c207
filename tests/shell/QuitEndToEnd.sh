#!/usr/bin/env bash
# Every way of quitting ends the process within a few seconds whatever windows of the program are
# open: under Xvfb and openbox, each case starts the program, opens a window and quits it by
# SIGTERM, by the close button (no tray here) or by Alt+F4 on the main window.
# Usage: QuitEndToEnd.sh BIN_DIR OUT_DIR (a screenshot of each case before the quit goes to OUT_DIR).
set -uo pipefail
bin=$1
out=$2
mkdir -p "$out"
source "$(dirname "$0")/../XvfbScript.sh"

use_fresh_user quit
mkdir -p "$work/songs"
export ZAVREO_UPDATE_HOST=127.0.0.1:9

start_xvfb
start_openbox

click() { xdotool mousemove --sync "$1" "$2" click 1; }
open_camera() {
  click 65 585
  sleep 5
}

# The tip is 273 pixels wide, or 273 x 206 for a short text.
tip_up() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$program" 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    ((WIDTH == 273)) && return 0
  done
  return 1
}
open_tip() {
  # 拍照 with the camera closed is refused in a tip.
  click 301 585
  for _ in $(seq 50); do tip_up && return 0; sleep 0.1; done
  return 1
}
open_photo() {
  open_camera
  click 301 585
  wait_for_window 拍照 100 >/dev/null
}
open_recording() {
  open_camera
  click 183 585
  sleep 3
  click 183 585
  wait_for_window 录制视频 100 >/dev/null
}
open_pad() {
  click 419 585
  wait_for_window 音效 100 >/dev/null
}
open_lyrics() {
  click 445 133
  wait_for_window Zavreo歌词 100 >/dev/null && wait_for_window 歌词控制 100 >/dev/null
}
open_search() {
  open_lyrics || return 1
  eval "$(xdotool getwindowgeometry --shell "$(wait_for_window 歌词控制 100)")"
  click $((X + 564)) $((Y + 25))
  wait_for_window 搜索歌词 100 >/dev/null
}
open_file_chooser() {
  # The picture tab's add button; Qt's file chooser speaks Chinese, its title is 打开.
  click 674 133
  sleep 0.5
  click 530 178
  wait_for_window 打开 100 >/dev/null
}

open_colour_chooser() {
  # The subtitle page's text colour, then the pop-up's "其他颜色..." row below the swatches.
  click 675 85
  sleep 0.3
  click 520 130
  sleep 0.3
  click 750 383
  sleep 0.5
  click 732 502
  wait_for_window 选择颜色 100 >/dev/null
}

quit_term() { kill -TERM "$program"; }
quit_close_button() {
  xdotool windowactivate --sync "$main" 2>/dev/null
  click 848 26
}
quit_alt_f4() {
  xdotool windowactivate --sync "$main" 2>/dev/null
  xdotool key --clearmodifiers alt+F4
}

run_case() {
  local window=$1 quit=$2
  # A fresh start each time: the last run's saved state (lyrics shown) stays out.
  rm -rf "$HOME/.config" "$HOME/Documents"
  "$bin/zavreo" >"$work/$window-$quit.log" 2>&1 &
  program=$!
  pids+=($program)
  main=$(wait_for_window Zavreo 100) || fail "$window/$quit: no main window"
  sleep 1
  "open_$window" || fail "$window/$quit: the window did not open"
  sleep 0.5
  import -display "$DISPLAY" -window root "$out/quit-$window.png"
  "quit_$quit"
  for _ in $(seq 80); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$program" 2>/dev/null; then
    kill -KILL "$program"
    fail "$window open: the program did not end within 8 s of quitting by $quit"
  fi
  wait "$program"
  rm -f "$work/$window-$quit.log"
  echo "$window open, quit by $quit: ended"
}

run_case tip term
run_case tip close_button
run_case photo term
run_case recording alt_f4
run_case pad term
run_case pad alt_f4
run_case lyrics term
run_case lyrics close_button
run_case search term
run_case file_chooser term
run_case colour_chooser term
echo "quit end-to-end: all cases passed"
