#!/usr/bin/env bash
# The desktop lyrics as a user sees them, under Xvfb with a compositor (xcompmgr) so that the
# window's translucency is real: progress 0, 500 and 1000, two lines, locked, one and two lines at
# the largest font (whole, inside the screen), and the search dialog listing the lyrics server's
# results. The pictures land in OUT_DIR; the highlight must
# change the picture at each step. Usage: Screenshots.sh SHOWCASE LYRICSD OUT_DIR
set -uo pipefail
showcase=$1
lyricsd=$2
out=$3
mkdir -p "$out"
source "$(dirname "$0")/../XvfbScript.sh"
start_xvfb

mkdir -p "$work/songs"
for i in $(seq 0 9); do
  printf '[ti:晴天 %d]\n[ar:歌手%d]\n[00:01.00]故事的小黄花\n[03:2%d.00]完\n' "$i" "$i" "$i" \
    >"$work/songs/$i.lrc"
done
python3 "$lyricsd" --root "$work/songs" --port-file "$work/port" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
export ZAVREO_LYRICS_HOST=127.0.0.1:$(cat "$work/port")
unset QT_QPA_PLATFORM

# A compositor per picture: xcompmgr keeps the last picture of a window whose program ended, and
# would lay the next one over it. Its empty desktop is grey, so the translucency shows.
shoot() {
  local name=$1
  shift
  xcompmgr >/dev/null 2>&1 &
  local compositor=$!
  sleep 0.3
  "$showcase" "$@" >"$work/$name.log" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do grep -q ready "$work/$name.log" && break; sleep 0.1; done
  grep -q ready "$work/$name.log" || fail "$name: the showcase did not get ready"
  import -display "$DISPLAY" -window root "$out/$name.png" || fail "$name: no screenshot"
  kill "$pid" "$compositor"
  wait "$pid" "$compositor" 2>/dev/null
}

shoot progress-0 0
shoot progress-500 500
shoot progress-1000 1000
shoot two-lines 300 double
shoot locked 1000 locked
shoot search search 晴天
shoot largest-one-line 600 largest
shoot largest-two-lines 600 double largest

differ() {
  local pixels
  pixels=$(compare -metric AE "$out/$1.png" "$out/$2.png" null: 2>&1)
  [[ ${pixels%% *} -gt $3 ]] || fail "$1 and $2 look the same ($pixels pixels differ)"
}
differ progress-0 progress-500 500
differ progress-500 progress-1000 500
# Only the lock button changes its picture.
differ progress-1000 locked 50

# At the largest font two lines stand whole in the window: its first and last rows show only the
# grey desktop (no letter, outline or shadow cut off), and the window lies inside the screen.
whole_in_window() {
  local name=$1
  "$showcase" 600 double largest >"$work/$name-geometry.log" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do grep -q ready "$work/$name-geometry.log" && break; sleep 0.1; done
  local id
  id=$(xdotool search --onlyvisible --name '^Zavreo歌词$' | head -1)
  [[ -n $id ]] || fail "$name: no lyrics window"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  kill "$pid"
  wait "$pid" 2>/dev/null
  ((X >= 0 && Y >= 0 && X + WIDTH <= 1280 && Y + HEIGHT <= 800)) ||
    fail "$name: the lyrics window at $X,$Y ${WIDTH}x$HEIGHT leaves the screen"
  ((HEIGHT > 120)) || fail "$name: the lyrics window did not grow for two large lines"
  local row colours
  for row in "$Y" $((Y + HEIGHT - 1)); do
    colours=$(convert "$out/$name.png" -crop "1280x1+0+$row" +repage -unique-colors txt:- | grep -vc '^#')
    ((colours == 1)) || fail "$name: row $row of the lyrics window shows text ($colours colours)"
  done
  echo "$name: the window at $X,$Y ${WIDTH}x$HEIGHT holds both lines whole"
}
whole_in_window largest-two-lines

# Without a compositor the window takes the shape of its text: around the letters the desktop
# shows (a solid colour here, an ImageMagick backdrop standing in for the desktop), not a black
# band across the screen. A compositor starting gives the translucent window back, its end the
# shape again. The band is the screen's bottom 120 rows.
root_colour='#208040'
convert -size 1x1 "xc:$root_colour" "$work/root.png"
display -backdrop -background "$root_colour" -geometry +0+0 "$work/root.png" 2>/dev/null &
pids+=($!)
sleep 1
# Prints the share of the band's pixels showing the desktop's colour.
desktop_share() {
  convert "$1" -crop 1280x120+0+680 +repage -fuzz 3% -fill white -opaque "$root_colour" \
    -fill black +opaque white -colorspace gray -format '%[fx:mean]' info:
}
# Prints the band's strongest red (0..255): the text's full colour, or less when translucent.
strongest_red() {
  convert "$1" -crop 1280x120+0+680 +repage -channel R -separate -format '%[fx:round(maxima*255)]' info:
}
"$showcase" 500 >"$work/shape.log" 2>&1 &
shape=$!
pids+=($shape)
for _ in $(seq 100); do grep -q ready "$work/shape.log" && break; sleep 0.1; done
grep -q ready "$work/shape.log" || fail "shape: the showcase did not get ready"
import -display "$DISPLAY" -window root "$out/shaped.png" || fail "no screenshot"
share=$(desktop_share "$out/shaped.png")
echo "without a compositor: desktop in $share of the band"
python3 -c "import sys; sys.exit(not 0.6 < $share < 0.99)" ||
  fail "the lyrics window is not shaped to its text without a compositor ($share)"
(($(strongest_red "$out/shaped.png") > 230)) || fail "without a compositor the text is drawn dimmed"
xcompmgr >/dev/null 2>&1 &
compositor=$!
sleep 2.5
import -display "$DISPLAY" -window root "$out/shaped-composited.png" || fail "no screenshot"
red=$(strongest_red "$out/shaped-composited.png")
((red < 160)) || fail "the lyrics did not turn translucent when a compositor started (red $red)"
kill "$compositor"
wait "$compositor" 2>/dev/null
sleep 2.5
import -display "$DISPLAY" -window root "$out/shaped-again.png" || fail "no screenshot"
share=$(desktop_share "$out/shaped-again.png")
python3 -c "import sys; sys.exit(not 0.6 < $share < 0.99)" ||
  fail "the lyrics window did not take its text's shape again when the compositor ended ($share)"

# Under a window manager, dragging the lyrics window by a letter takes the bar along, and
# dragging the bar takes the window along.
start_openbox
sleep 0.5
lyrics=$(xdotool search --onlyvisible --name '^Zavreo歌词$' | head -1)
bar=$(xdotool search --onlyvisible --name '^歌词控制$' | head -1)
[[ -n $lyrics && -n $bar ]] || fail "no lyrics window or bar"
together() {
  local wx wy ww bx by bw bh
  eval "$(xdotool getwindowgeometry --shell "$lyrics")"
  wx=$X wy=$Y ww=$WIDTH
  eval "$(xdotool getwindowgeometry --shell "$bar")"
  bx=$X by=$Y bw=$WIDTH bh=$HEIGHT
  ((bx == wx + (ww - bw) / 2 && by + bh == wy)) ||
    fail "$1: the bar at $bx,$by (${bw}x$bh) is not on the window at $wx,$wy (width $ww)"
  echo "$1: the window at $wx,$wy, the bar on it"
}
drag() {
  xdotool mousemove --sync "$1" "$2" mousedown 1
  for step in 1 2 3 4 5 6 7 8 9 10; do
    xdotool mousemove --sync $(($1 + $3 * step / 10)) $(($2 + $4 * step / 10))
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.8
}
# A letter's pixel: the first one in the band's middle row not showing the desktop.
letter=$(convert "$out/shaped-again.png" -crop 1280x1+0+740 +repage -fuzz 25% -fill black \
  -opaque "$root_colour" txt:- | awk -F'[,:]' '!/black|#000000/ && NR > 1 { print $1; exit }')
[[ -n $letter ]] || fail "no letter in the lyrics band"
drag "$((letter + 2))" 740 60 -200
eval "$(xdotool getwindowgeometry --shell "$lyrics")"
((Y < 600)) || fail "the lyrics window did not move with the drag (at $X,$Y)"
together "window dragged"
eval "$(xdotool getwindowgeometry --shell "$bar")"
drag $((X + 3)) $((Y + 3)) -40 -100
together "bar dragged"
echo "lyrics screenshots in $out"
