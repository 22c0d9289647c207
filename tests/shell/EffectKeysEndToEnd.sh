#!/usr/bin/env bash
# The command line and the pad's global effect keys under Xvfb with a fresh home: --version,
# --help and a mistake answer without a running copy and without raising one; `zavreo --effect N`
# plays effect N in the running program (or says none runs); with "全局快捷键" switched on, a
# digit pressed while another X program has the focus plays its effect, switched off it does not,
# and the choice is kept for the next start. What plays is seen through a file sink, byte for byte
# against the effect file decoded alike.
# Usage: EffectKeysEndToEnd.sh BIN_DIR
set -uo pipefail
bin=$1
source "$(dirname "$0")/../XvfbScript.sh"

use_fresh_user keys
unset WAYLAND_DISPLAY
export ZAVREO_UPDATE_HOST=127.0.0.1:9
sink="audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=8000,channels=1"
export ZAVREO_AUDIO_SINK="$sink ! filesink location=$work/played.raw"
for n in 1 2 3 5; do
  gst-launch-1.0 -q filesrc location="$(ls "$bin"/yinxiao/$n*.mp3)" ! decodebin ! $sink ! \
    filesink location="$work/effect$n.raw" || fail "effect $n does not decode"
done
# Waits until effect $1 has played whole into the sink.
played() {
  for _ in $(seq 100); do cmp -s "$work/played.raw" "$work/effect$1.raw" && return 0; sleep 0.1; done
  return 1
}
# Nothing plays within two seconds.
silent() {
  sleep 2
  [[ ! -e $work/played.raw ]]
}

start_xvfb
start_openbox

# Without a running copy.
[[ $("$bin/zavreo" --version) == "zavreo 17" ]] || fail "--version"
"$bin/zavreo" --effect 4 2>"$work/none.err"
code=$?
[[ $code == 1 ]] && grep -q '没有在运行' "$work/none.err" || fail "--effect without a copy: $code $(cat "$work/none.err")"
"$bin/zavreo" --bogus >"$work/bogus.out" 2>"$work/bogus.err"
code=$?
[[ $code == 2 && ! -s $work/bogus.out ]] && grep -q '^用法：zavreo' "$work/bogus.err" ||
  fail "an unknown option ended with $code"

"$bin/zavreo" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
window=$(wait_for_window Zavreo 300 $program) || fail "no window titled Zavreo"
sleep 1
"$bin/zavreo" --effect 2 || fail "--effect 2 ended with $?"
played 2 || fail "effect 2 did not play"

# Minimised, the window stays so while --help and --version answer.
xdotool windowminimize --sync "$window"
[[ $("$bin/zavreo" --help | head -1) == "用法：zavreo [选项]" ]] || fail "--help"
"$bin/zavreo" --version >/dev/null || fail "--version while running"
sleep 1
xwininfo -id "$window" | grep -q 'Map State: IsUnMapped' || fail "--help or --version raised the window"
xdotool windowactivate --sync "$window"

# Another X program with the focus.
xlogo -geometry 200x200+900+100 >/dev/null 2>&1 &
pids+=($!)
other=$(wait_for_window xlogo 100) || fail "no xlogo"
focus_other() {
  xdotool windowactivate --sync "$other" 2>/dev/null
  [[ $(xdotool getactivewindow) == "$other" ]] || fail "xlogo does not have the focus"
}

# The pad with "全局快捷键" switched on.
xdotool mousemove --sync 419 585 click 1
pad=$(wait_for_window 音效 200) || fail "the sound-effect pad did not show"
eval "$(xdotool getwindowgeometry --shell "$pad")"
switch_global() {
  xdotool mousemove --sync $((X + 36)) $((Y + 109)) click 1
  sleep 0.5
}
switch_global
[[ $(cat "$HOME/.config/ZavreoZhuShou/Config/pad.lst") == '{"globalKeys":1}' ]] ||
  fail "pad.lst does not keep the switch on"
rm -f "$work/played.raw"
focus_other
xdotool key 1
played 1 || fail "a digit pressed in another program did not play its effect"
[[ $(xdotool getactivewindow) == "$other" ]] || fail "the key moved the focus"

# Switched off, the digit stays with the program that has the focus.
switch_global
[[ $(cat "$HOME/.config/ZavreoZhuShou/Config/pad.lst") == '{"globalKeys":0}' ]] ||
  fail "pad.lst does not keep the switch off"
rm -f "$work/played.raw"
focus_other
xdotool key 3
silent || fail "switched off, a digit in another program still played"

# Switched on again, the choice outlives the program: the next start takes the keys as soon as
# the pad shows.
switch_global
ends_cleanly_on_sigterm $program || fail "at the first end"
"$bin/zavreo" >"$work/again.log" 2>&1 &
program=$!
pids+=($program)
wait_for_window Zavreo 300 $program >/dev/null || fail "no window at the second start"
sleep 1
xdotool mousemove --sync 419 585 click 1
wait_for_window 音效 200 >/dev/null || fail "the pad did not show at the second start"
rm -f "$work/played.raw"
focus_other
xdotool key 5
played 5 || fail "the kept switch did not take the keys at the next start"
# The pad hidden, the keys go back.
xdotool windowactivate --sync "$(wait_for_window Zavreo)"
xdotool mousemove --sync 419 585 click 1
sleep 0.5
rm -f "$work/played.raw"
focus_other
xdotool key 5
silent || fail "with the pad hidden a digit in another program still played"
ends_cleanly_on_sigterm $program || fail "at the second end"
echo "effect keys end-to-end: all steps passed"
