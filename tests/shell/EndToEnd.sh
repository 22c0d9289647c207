#!/usr/bin/env bash
# The program as a user meets it, under Xvfb with a fresh home: the window titled "Zavreo" comes
# up, the virtual camera is a PipeWire camera from start to exit where PipeWire is installed,
# showing the placeholder before the camera opens (a tip says otherwise once a picture shows), a
# second start exits and brings the first forward, the quit signal runs the exit command and
# config.lst is written in its one-line format and the shared frame removed (also when the signal
# comes while the update question waits). An update server that
# never answers holds the window back a few seconds at most, and without a tray the close button
# ends the program, saving. The record button makes a playable recording, private to the user,
# with its elapsed time on the button while it runs; a stop click while it starts is honoured. A
# tip shown while the desktop lyrics are up lies above them. The music panel's search finds a song
# by its tags and selects it for the play button, whose lyrics come from the file beside it; the
# lyric search starts with that song's title and says what it found; the volume, mute, play mode,
# camera size and window place come back at the next start (quit, start, compare). The tool
# windows stay out of the task bar and the pager, every window has the program's icon, and the
# menus are shot for a look. Also: without libFlashX.so the program says so and ends with code 0.
# Usage: EndToEnd.sh BIN_DIR OUT_DIR (the screenshots go to OUT_DIR).
set -uo pipefail
bin=$1
out=$2
mkdir -p "$out"
source "$(dirname "$0")/../XvfbScript.sh"

# A real update server on 127.0.0.1 that names the running release.
mkdir -p "$work/www/zv-helper/Config"
printf '{"isMustUpdate":0,"updatetime":17}\n' >"$work/www/zv-helper/Config/ZavreoConfig.dat"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/www" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done

use_fresh_user e2e
export ZAVREO_UPDATE_HOST=127.0.0.1:$port
# The same server stands in for the lyrics server, which knows no song.
mkdir -p "$work/www/lyrics"
printf '{"status":404}\n' >"$work/www/lyrics/query.do"
export ZAVREO_LYRICS_HOST=127.0.0.1:$port
config=$HOME/.config/ZavreoZhuShou/Config

start_xvfb
start_openbox

# Saved effects: an opaque subtitle band at the bottom, whitening (its position out of range),
# the sweet colour preset and two decorations, all restored at the start.
mkdir -p "$config"
printf '%s\n' '{"Deco":[{"1":0,"2":1,"3":0,"4":1,"5":0}],"Filter":[{"1":0,"2":1,"3":0,"4":0,"5":0}],"Text":[{"bkcolor":8421504,"bkdegree":2,"color":16777215,"direction":0,"font":1,"isChose":1,"pos":2,"size":2,"text":"E2E字幕"}],"White":[{"MeiBai":60,"MoPi":50,"ShouShen":150,"isMeiBai":1,"isMoPi":0,"isShouShen":0}]}' >"$config/config.lst"

# Playlists from an earlier run: an open default list with two songs and a closed second list.
mkdir -p "$config" "$work/songs"
for name in 夜曲 晴天; do
  ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=30 -c:a libmp3lame \
    "$work/songs/$name.mp3" </dev/null || fail "ffmpeg could not make a song"
done
# A song in the closed list that only its tags name, with its lyrics beside it.
ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=30 -c:a libmp3lame \
  -metadata title="Rice Field" -metadata artist="Jay Chou" "$work/songs/track03.mp3" </dev/null ||
  fail "ffmpeg could not make a tagged song"
printf '[00:01.00]放在歌曲旁边的歌词文件里面的第一行歌词\n[00:03.00]第二行\n' >"$work/songs/track03.LRC"
music='{"list":[{"isopen":true,"listname":"默认列表","musiclist":[{"path":"'$work'/songs/夜曲.mp3"},{"path":"'$work'/songs/晴天.mp3"}],"musicnum":2},{"isopen":false,"listname":"翻唱","musiclist":[{"path":"'$work'/songs/track03.mp3"}],"musicnum":1}],"num":2}'
printf '%s\n' "$music" >"$config/music.lst"
# Local lyrics for the second song, which the songs view plays below.
mkdir -p "$HOME/Documents/ZavreoZhuShou/Lyrics"
printf '[ti:晴天]\n[00:00.00]故事的小黄花\n[00:02.00]从出生那年就飘着\n[00:30.00]结束\n' \
  >"$HOME/Documents/ZavreoZhuShou/Lyrics/晴天.lrc"
# Real photographs in the picture list, one of them gone since it was saved.
pics=$work/图片
mkdir -p "$pics"
cp "$(dirname "$0")/../engine/data/astronaut_640x480.png" "$pics/"
for photo in chelsea.png coffee.png rocket.jpg hubble_deep_field.jpg motorcycle_left.png; do
  cp "/usr/lib/python3/dist-packages/skimage/data/$photo" "$pics/" 2>/dev/null
done
# A phone photo held sideways: stored red above blue, its Exif orientation 6 turns it upright as
# blue left of red.
convert -size 200x50 xc:red \( -size 200x50 xc:blue \) -append -quality 95 "$work/sideways.jpg"
python3 - "$work/sideways.jpg" "$pics/sideways.jpg" <<'PY'
import struct, sys
jpeg = open(sys.argv[1], "rb").read()
tiff = b"II*\0" + struct.pack("<IH", 8, 1) + struct.pack("<HHIHH", 0x0112, 3, 1, 6, 0) + struct.pack("<I", 0)
payload = b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload + jpeg[2:])
PY
python3 - "$pics" "$config/PicPath.lst" <<'PY'
import json, os, sys
paths = sorted(os.path.join(sys.argv[1], name) for name in os.listdir(sys.argv[1]))
listed = paths + [os.path.join(sys.argv[1], "gone.jpg")]
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write(json.dumps({"list": listed, "num": len(listed)}, separators=(",", ":"), ensure_ascii=False) + "\n")
PY

# Where PipeWire is installed, the session has its own D-Bus bus, PipeWire and WirePlumber, so
# the virtual camera becomes a PipeWire camera; elsewhere the program says none can be offered.
have_pipewire=
start_pipewire_session && have_pipewire=yes
# The whole listing first: grep -q ending early would leave pw-dump to SIGPIPE, which pipefail
# counts as a failure.
node_listed() { [[ $(pw-dump 2>/dev/null) == *'"node.name": "zavreo-vcam"'* ]]; }
# The node shows once the virtual camera's copy has connected; a busy machine takes a moment.
node_shows() {
  for _ in $(seq 50); do node_listed && return 0; sleep 0.1; done
  return 1
}

# The node's last of five pictures (BGRx, top row first) is the shared frame, byte for byte.
node_matches_frame() {
  timeout 20 gst-launch-1.0 -q pipewiresrc target-object=zavreo-vcam num-buffers=5 ! \
    video/x-raw,format=BGRx,width=640,height=480 ! filesink location="$work/still.bgrx" \
    >"$work/still-reader.log" 2>&1 || return 1
  python3 - "$work/still.bgrx" "/dev/shm$ZAVREO_SHARED_FRAME" <<'PY'
import sys
data, shared = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
size = 640 * 480 * 4
frame = data[-size:]
rows = [shared[(479 - y) * 1920:(480 - y) * 1920] for y in range(480)]
seen = b"".join(frame[y * 2560:(y + 1) * 2560][x * 4:x * 4 + 3] for y in range(480) for x in range(640))
assert len(data) == 5 * size and seen == b"".join(rows), "not the shared frame"
PY
}

launched=$(date +%s%N)
"$bin/zavreo" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
window=$(wait_for_window Zavreo) || fail "no window titled Zavreo"
echo "window up $((($(date +%s%N) - launched) / 1000000)) ms after the start"
sleep 1
import -display "$DISPLAY" -window root "$out/main-window.png" || fail "no screenshot"
cmp -s "$config/ZavreoConfig.dat" "$work/www/zv-helper/Config/ZavreoConfig.dat" ||
  fail "the update description was not downloaded"
# With PipeWire the virtual camera is a PipeWire camera from the start, before any camera opens,
# showing the shared frame (the placeholder picture) upright.
if [[ -n $have_pipewire ]]; then
  node_shows || fail "no PipeWire camera before the camera opens"
  node_matches_frame || fail "the PipeWire camera does not show the placeholder"
fi
# The sound-effect button shows the pad above the main window.
xdotool mousemove --sync 419 585 click 1
pad=$(wait_for_window 音效 200) || fail "the sound-effect pad did not show"
sleep 0.5
# Tool windows: out of the task bar and the pager, with the program's icon like the main window.
off_taskbar() {
  local state
  state=$(xprop -id "$1" _NET_WM_STATE)
  [[ $state == *_NET_WM_STATE_SKIP_TASKBAR* && $state == *_NET_WM_STATE_SKIP_PAGER* ]] ||
    fail "$2 is in the task bar or the pager: $state"
  [[ $(xprop -id "$1" _NET_WM_ICON | md5sum) == $(xprop -id "$window" _NET_WM_ICON | md5sum) ]] ||
    fail "$2 does not have the program's icon"
}
off_taskbar "$pad" "the sound-effect pad"
[[ $(xprop -id "$window" _NET_WM_STATE) != *SKIP_TASKBAR* ]] || fail "the main window left the task bar"
icons=$(xprop -id "$window" _NET_WM_ICON)
[[ $icons == *"Icon (48 x 48)"* ]] || fail "the main window has no icon"
import -display "$DISPLAY" -window root "$out/sound-pad.png" || fail "no screenshot"
xdotool mousemove --sync 419 585 click 1
# The camera button opens the stand-in camera; its picture fills the preview.
xdotool mousemove --sync 65 585 click 1
sleep 6
import -display "$DISPLAY" -window root "$out/camera.png" || fail "no screenshot"
# The restored effects are in the shared frame: the subtitle's grey band along the bottom, and
# decorations over the colour bars, whose columns are otherwise one colour from top to bottom.
frame_check() {
  python3 - "/dev/shm$ZAVREO_SHARED_FRAME" "$1" <<'PY'
import sys, time
path, want = sys.argv[1], sys.argv[2]
def grab():
    return open(path, "rb").read()
def pixel(frame, x, y):  # y as seen; rows are stored bottom first
    at = (479 - y) * 1920 + x * 3
    return frame[at:at + 3]
band_rows, broken = [], []
# 8 s, longer than a decoration's pause between two runs; a closed decoration may take up to 4 s
# to leave the frame on a busy machine.
for _ in range(40 if want == "decorated" else 55):
    frame = grab()
    band_rows.append(sum(all(abs(c - 128) <= 2 for c in pixel(frame, x, 477)) for x in range(640)))
    count = 0
    for x in range(0, 640, 2):
        top = pixel(frame, x, 70)
        if any(max(abs(a - b) for a, b in zip(top, pixel(frame, x, y))) > 40 for y in range(80, 311, 10)):
            count += 1
    broken.append(count)
    time.sleep(0.2)
print(f"band pixels per row {min(band_rows)}..{max(band_rows)}; columns broken {min(broken)}..{max(broken)}")
assert min(band_rows) > 400, "no subtitle band"
if want == "decorated":
    assert max(broken) > 40, "no decoration over the picture"
else:
    # Gone for good: a fading decoration may leave a frame almost clean before its last ones.
    settled = max((i + 1 for i, count in enumerate(broken) if count >= 8), default=0)
    assert settled <= 20, "the picture still carries a decoration"
PY
}
frame_check decorated || fail "the restored effects are not in the shared frame"
# Without PipeWire (and no loopback device here) a tip says that no virtual camera can be offered,
# standing over the panel: its OK button, 46 pixels above its bottom however tall a long text
# made it, closes it. With PipeWire no tip shows and the open camera is a PipeWire node.
tips=0
for id in $(xdotool search --onlyvisible --pid $first 2>/dev/null); do
  eval "$(xdotool getwindowgeometry --shell "$id")"
  if [[ $WIDTH == 273 && $HEIGHT -ge 206 ]]; then
    tips=$((tips + 1))
    import -display "$DISPLAY" -window root "$out/vcam-tip.png"
    xdotool mousemove --sync $((X + 140)) $((Y + HEIGHT - 46)) click 1
    sleep 0.3
    xdotool search --onlyvisible --pid $first 2>/dev/null | grep -qx "$id" && fail "the tip's OK did not close it"
  fi
done
if [[ -n $have_pipewire ]]; then
  ((tips == 0)) || fail "a tip showed while the PipeWire camera is served"
  node_shows || fail "no PipeWire node for the open camera"
else
  ((tips == 1)) || fail "not one tip without a virtual camera: $tips"
fi
# 输出大小 1280 x 720 (the size after 640 x 480 in the list): the camera reopens at that size, the
# effects run at it, and the virtual camera's picture is the large frame beside the shared frame,
# which keeps 640 x 480 and the same picture. The subtitle band and the decorations lie at the same
# places in both; a photo has the large size. Back at 640 x 480 the large frame is gone.
choose_size() {  # $1: Down for the next size of the list, Up for the one before
  xdotool mousemove --sync 667 218 click 1
  sleep 0.5
  xdotool key "$1" Return
}
choose_size Down
sleep 5
import -display "$DISPLAY" -window root "$out/camera-1280x720.png" || fail "no screenshot"
python3 - "/dev/shm$ZAVREO_SHARED_FRAME" <<'PY' || fail "the large frame is not the 1280 x 720 picture"
import os, struct, sys, time
small_path, large_path = sys.argv[1], f"{sys.argv[1]}-{os.geteuid()}-hd"
header = open(large_path, "rb").read(64)
width, height, stride = struct.unpack("<III", header[12:24])
assert header[:8] == b"ZVLARGE1" and header[24:28] == b"BGR3", header[:28]
assert (width, height, stride) == (1280, 720, 3840), (width, height, stride)
assert struct.unpack("<II", header[28:36]) == (1, 30), header[28:36]
def pixel(frame, w, h, x, y):  # y as seen; rows are stored bottom first
    at = (h - 1 - y) * w * 3 + x * 3
    return frame[at:at + 3]
def grey(p):
    return all(abs(c - 128) <= 2 for c in p)
def band_top(frame, w, h):  # the band's first row as seen, in the right column free of text
    y = h - 1
    while y > 0 and grey(pixel(frame, w, h, w - 6, y - 1)):
        y -= 1
    return y
tops, broken = [], []
for _ in range(40):
    large = open(large_path, "rb").read()[64:]
    small = open(small_path, "rb").read()
    assert len(large) == 1280 * 720 * 3 and len(small) == 640 * 480 * 3
    tops.append((band_top(small, 640, 480) / 480, band_top(large, 1280, 720) / 720))
    count = 0
    for x in range(0, 1280, 4):
        top = pixel(large, 1280, 720, x, 105)
        if any(max(abs(a - b) for a, b in zip(top, pixel(large, 1280, 720, x, y))) > 40
               for y in range(120, 466, 15)):
            count += 1
    broken.append(count)
    time.sleep(0.2)
print(f"band tops {tops[-1]}; columns broken {min(broken)}..{max(broken)}")
assert all(abs(a - b) < 0.01 and a < 0.95 for a, b in tops), f"the bands differ: {tops}"
assert sum(grey(pixel(large, 1280, 720, x, 717)) for x in range(1280)) > 800, "no band at the bottom"
assert max(broken) > 40, "no decoration over the large picture"
PY
xdotool mousemove --sync 301 585 click 1
photoDialog=$(wait_for_window 拍照 100) || fail "the photo dialog did not show at 1280 x 720"
largePhoto=("$HOME/Documents/ZavreoZhuShou/Pic/"*)
[[ ${#largePhoto[@]} == 1 && $(identify -format '%m %wx%h' "${largePhoto[0]}") == "JPEG 1280x720" ]] ||
  fail "the photo at 1280 x 720 is no 1280 x 720 JPEG: ${largePhoto[*]}"
rm -f "${largePhoto[0]}"
eval "$(xdotool getwindowgeometry --shell "$photoDialog")"
xdotool mousemove --sync $((X + 296)) $((Y + 275)) click 1
choose_size Up
sleep 4
[[ -e /dev/shm$ZAVREO_SHARED_FRAME-$(id -u)-hd ]] && fail "the large frame stayed at 640 x 480"
frame_check decorated || fail "the effects are not in the shared frame back at 640 x 480"
# The effects tab and each of its pages.
xdotool mousemove --sync 675 85 click 1
sleep 0.3
for page in 1:130 2:166 3:200 4:235; do
  xdotool mousemove --sync 520 "${page#*:}" click 1
  sleep 0.3
  import -display "$DISPLAY" -window root "$out/effects-page-${page%%:*}.png" || fail "no screenshot"
done
# Closing both decoration tags (the right quarter of the first tag, twice) takes them off. Each
# click waits for the tags to change: on a busy machine the second tag may come under the pointer
# later than a fixed pause.
tags_row() {
  import -display "$DISPLAY" -window root -crop 180x30+575+392 +repage rgb:- 2>/dev/null | md5sum
}
close_first_tag() {
  xdotool mousemove --sync 650 407
  sleep 0.3
  local before
  before=$(tags_row)
  xdotool click 1
  for _ in $(seq 50); do
    [[ $(tags_row) != "$before" ]] && return 0
    sleep 0.1
  done
  return 1
}
close_first_tag || fail "a click on the first decoration tag's close box did not close it"
close_first_tag || fail "a click on the second decoration tag's close box did not close it"
sleep 0.5
import -display "$DISPLAY" -window root "$out/effects-closed.png" || fail "no screenshot"
frame_check plain || fail "closing the decoration tags left them on"
# A PipeWire client sees the picture upright: the stand-in's bars over the upper two thirds, the
# subtitle's grey band along the bottom.
if [[ -n $have_pipewire ]]; then
  timeout 20 gst-launch-1.0 -q pipewiresrc target-object=zavreo-vcam num-buffers=30 ! \
    video/x-raw,format=BGRx,width=640,height=480 ! filesink location="$work/node.bgrx" \
    >"$work/reader.log" 2>&1 || fail "pipewiresrc could not read the node"
  python3 - "$work/node.bgrx" <<'PY' || fail "the node's picture is not the upright shared frame"
import sys
data = open(sys.argv[1], "rb").read()
size = 640 * 480 * 4
assert len(data) == 30 * size, f"{len(data) / size} frames"
frame = data[-size:]
def at(x, y):
    i = (y * 640 + x) * 4
    return frame[i:i + 3]
def near(a, b):
    return all(abs(p - q) <= 24 for p, q in zip(a, b))
columns = range(4, 636, 8)
vertical = sum(near(at(x, 20), at(x, 250)) for x in columns)
band = sum(all(abs(c - 128) <= 2 for c in at(x, 477)) for x in range(640))
assert vertical >= len(columns) - 4, f"bars not vertical: {vertical} of {len(columns)}"
assert band > 400, f"no subtitle band at the bottom: {band}"
PY

fi
# Back to the 视频 panel, with the decorations off.
xdotool mousemove --sync 545 85 click 1
sleep 0.5
import -display "$DISPLAY" -window root "$out/camera-undecorated.png" || fail "no screenshot"
# The preview shows the stand-in's colour bars upright: its left part (the tip may cover the right)
# has vertical bars over the upper two thirds, and another pattern below them.
convert "$out/camera-undecorated.png" -crop 280x360+0+190 +repage -depth 8 rgb:"$work/preview.rgb" ||
  fail "no preview pixels"
python3 - "$work/preview.rgb" <<'PY' || fail "the preview does not show the camera's bars upright"
import sys
data = open(sys.argv[1], "rb").read()
width, height = 280, 360
def at(x, y):
    i = (y * width + x) * 3
    return data[i:i + 3]
def near(a, b):
    return all(abs(p - q) <= 24 for p, q in zip(a, b))
columns = range(4, width - 4, 8)
vertical = sum(near(at(x, 15), at(x, 220)) for x in columns)
below = sum(not near(at(x, 15), at(x, 330)) for x in columns)
colours = {tuple(c // 64 for c in at(x, 120)) for x in columns}
assert vertical >= len(columns) - 2, f"bars not vertical: {vertical} of {len(columns)}"
assert below >= len(columns) // 3, f"nothing else below the bars: {below}"
assert len(colours) >= 3, f"not the bars: {colours}"
PY
# 拍照 saves the running camera's picture in the photo folder and shows it in the photo dialog.
xdotool mousemove --sync 301 585 click 1
photoDialog=$(wait_for_window 拍照 100) || fail "the photo dialog did not show"
sleep 0.5
import -display "$DISPLAY" -window root "$out/photo-dialog.png" || fail "no screenshot"
photos=("$HOME/Documents/ZavreoZhuShou/Pic/"*)
[[ ${#photos[@]} == 1 && $(basename "${photos[0]}") =~ ^[0-9]{4}(_[0-9]{1,2}){5}_[0-9]+\.jpg$ ]] ||
  fail "not one photo named by its time: ${photos[*]}"
[[ $(identify -format '%m %wx%h' "${photos[0]}") == "JPEG 640x480" ]] || fail "the photo is no 640 x 480 JPEG"
eval "$(xdotool getwindowgeometry --shell "$photoDialog")"
xdotool mousemove --sync $((X + 296)) $((Y + 275)) click 1
# The picture tab shows the listed photographs; the slideshow starts at the one clicked.
xdotool mousemove --sync 674 133 click 1
sleep 1.5
import -display "$DISPLAY" -window root "$out/display-pictures.png" || fail "no screenshot"
# The sideways photo is the last in the grid, upright: blue on the left, red on the right.
cell=$(python3 -c 'import os, sys; names = sorted(os.listdir(sys.argv[1])); print(names.index("sideways.jpg"))' "$pics")
cellX=$((490 + cell % 4 * 91)) cellY=$((215 + cell / 4 * 95))
for probe in "$((cellX + 10)) $((cellY + 42)) blue" "$((cellX + 75)) $((cellY + 42)) red"; do
  read -r x y colour <<<"$probe"
  seen=$(convert "$out/display-pictures.png" -format "%[fx:p{$x,$y}.r>0.7]%[fx:p{$x,$y}.b>0.7]" info:)
  [[ ($colour == blue && $seen == 01) || ($colour == red && $seen == 10) ]] ||
    fail "the sideways photo is not shown upright ($x,$y: $seen)"
done
xdotool mousemove --sync 623 257 click 1
xdotool mousemove --sync 814 178 click 1
sleep 1.5
import -display "$DISPLAY" -window root "$out/slideshow.png" || fail "no screenshot"
xdotool mousemove --sync 550 133 click 1
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Position: 0,0' <<<"$geometry" || fail "window not at the origin: $geometry"
grep -q 'Geometry: 870x620' <<<"$geometry" || fail "window not 870 x 620: $geometry"

# The record button records the camera's picture into the video folder; the second click stops it
# and brings up the recording dialog. While it records, the elapsed time shows in red along the
# button's bottom edge, a new figure each second; it is gone after the stop.
videos=$HOME/Documents/ZavreoZhuShou/Video
clock_pixels() {  # the red pixels of the record button's bottom strip in screenshot $1
  convert "$1" -crop 110x16+128+596 +repage -depth 8 rgb:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
print(sum(1 for i in range(0, len(data), 3) if data[i] > 200 and data[i + 1] < 150 and data[i + 2] < 150))'
}
xdotool mousemove --sync 183 585 click 1
sleep 4
xdotool mousemove --sync 700 400
sleep 0.3
import -display "$DISPLAY" -window root "$out/recording.png" || fail "no screenshot"
sleep 1.1
import -display "$DISPLAY" -window root "$work/recording-later.png" || fail "no screenshot"
(($(clock_pixels "$out/recording.png") > 20)) || fail "no elapsed time on the record button"
convert "$out/recording.png" -crop 110x16+128+596 +repage "$work/clock-1.png"
convert "$work/recording-later.png" -crop 110x16+128+596 +repage "$work/clock-2.png"
cmp -s "$work/clock-1.png" "$work/clock-2.png" && fail "the elapsed time did not move on"
xdotool mousemove --sync 183 585 click 1
dialog=$(wait_for_window 录制视频 100) || fail "no recording dialog after the stop click"
sleep 2
import -display "$DISPLAY" -window root "$out/recording-dialog.png" || fail "no screenshot"
(($(clock_pixels "$out/recording-dialog.png") == 0)) || fail "the elapsed time stayed after the stop"
recording=$(ls "$videos"/*.mp4 2>/dev/null | head -1)
[[ -n $recording ]] || fail "no recording in $videos"
# The user's alone: the file 0600 in 0700 folders.
[[ $(stat -c %a "$recording" "$videos" "$(dirname "$videos")" | tr '\n' ' ') == "600 700 700 " ]] ||
  fail "the recording is readable by others: $(stat -c '%a %n' "$recording" "$videos")"
probe=$(ffprobe -v error -select_streams v -count_frames \
  -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$recording")
[[ $probe =~ ^h264,640,480,([0-9]+)$ ]] && ((BASH_REMATCH[1] >= 20)) ||
  fail "the recording is not 640 x 480 H.264 of some seconds: $probe"
# Its 确定 hides the dialog.
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove --sync $((X + 239)) $((Y + 257)) click 1
sleep 0.5
xdotool search --onlyvisible --name '^录制视频$' >/dev/null && fail "确定 did not hide the recording dialog"
# A stop click while the recording is still starting is honoured: two quick clicks make a second,
# short recording beside the first and bring the dialog up again; the button comes back to rest.
xdotool mousemove --sync 183 585 click 1
sleep 0.2
xdotool mousemove --sync 183 585 click 1
dialog=$(wait_for_window 录制视频 100) || fail "the stop click during the start was ignored"
quick=
for _ in $(seq 50); do
  quick=$(ls -t "$videos"/*.mp4 | grep -vxF "$recording" | head -1)
  [[ -n $quick ]] && ffprobe -v error -select_streams v -count_frames -show_entries \
    stream=nb_read_frames -of csv=p=0 "$quick" 2>/dev/null | grep -qE '^[1-9][0-9]*$' && break
  quick=
  sleep 0.2
done
[[ -n $quick ]] || fail "no playable second recording after a quick start and stop"
[[ -f $recording ]] || fail "the second recording replaced the first"
import -display "$DISPLAY" -window root "$work/quick-stop.png" || fail "no screenshot"
(($(clock_pixels "$work/quick-stop.png") == 0)) || fail "still recording after the quick stop"
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove --sync $((X + 239)) $((Y + 257)) click 1
sleep 0.5

# The music panel's search: "RICE" is only in the tags of the song in the closed list 翻唱; Enter
# searches, the songs view shows it selected, and the play button plays it.
xdotool mousemove --sync 805 85 click 1
sleep 0.3
xdotool mousemove --sync 560 143 click 1
xdotool type --delay 50 RICE
xdotool key Return
sleep 0.8
import -display "$DISPLAY" -window root "$out/search-found.png" || fail "no screenshot"
xdotool mousemove --sync 80 128 click 1
playing_file() {
  for _ in $(seq 50); do
    ls -l "/proc/$first/fd" 2>/dev/null | grep -q "$1" && return 0
    sleep 0.1
  done
  return 1
}
playing_file track03.mp3 || fail "the play button did not play the song the search found"
# Its lyrics come from track03.LRC beside it: without a compositor the window takes the shape of
# the long first line (the "not found" line is half as wide).
xdotool mousemove --sync 445 133 click 1
lyrics=$(wait_for_window Zavreo歌词 100) || fail "the desktop lyrics did not show"
sleep 1
import -display "$DISPLAY" -window root "$out/lyrics-beside-song.png" || fail "no screenshot"
shape=$(xwininfo -id "$lyrics" -shape | sed -n 's/.*Window shape extents: *\([0-9]*\)x.*/\1/p')
((shape > 900)) || fail "the lyrics beside the song are not shown (text ${shape:-?} pixels wide)"
# The lyric search from the bar starts with the playing song's title in its field and says what
# its search came to (the server here knows no lyrics). Text is told by its anti-aliased colours.
colours_in() {
  convert "$1" -crop "$2" +repage -unique-colors txt:- | grep -vc '^#'
}
eval "$(xdotool getwindowgeometry --shell "$(wait_for_window 歌词控制 10)")"
xdotool mousemove --sync $((X + 572)) $((Y + 29)) click 1
search=$(wait_for_window 搜索歌词 50) || fail "the lyric search did not open from the bar"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$search")"
import -display "$DISPLAY" -window root "$work/lyric-search-open.png" || fail "no screenshot"
(($(colours_in "$work/lyric-search-open.png" "230x20+$((X + 94))+$((Y + 83))") > 8)) ||
  fail "the lyric search's title field is empty although a song plays"
(($(colours_in "$work/lyric-search-open.png" "500x20+$((X + 19))+$((Y + 113))") <= 2)) ||
  fail "the lyric search says something before it searched"
xdotool mousemove --sync $((X + 611)) $((Y + 92)) click 1
sleep 1.5
import -display "$DISPLAY" -window root "$out/lyric-search.png" || fail "no screenshot"
(($(colours_in "$out/lyric-search.png" "500x20+$((X + 19))+$((Y + 113))") > 8)) ||
  fail "the lyric search did not say what its search came to"
xdotool mousemove --sync $((X + 517)) $((Y + 487)) click 1
sleep 0.3
xdotool search --onlyvisible --name '^搜索歌词$' >/dev/null && fail "取消 did not close the lyric search"
xdotool mousemove --sync 445 133 click 1
sleep 0.3
# The play-mode menu (single loop chosen by the keyboard) and the list menu, shot for a look; a
# click on the volume slider and the mute button.
xdotool mousemove --sync 425 205 click 1
sleep 0.5
import -display "$DISPLAY" -window root "$out/menu-play-mode.png" || fail "no screenshot"
xdotool key Down Down Return
sleep 0.3
xdotool mousemove --sync 450 205 click 1
sleep 0.5
import -display "$DISPLAY" -window root "$out/menu-list.png" || fail "no screenshot"
xdotool key Escape
sleep 0.3
xdotool mousemove --sync 300 133 click 1
xdotool mousemove --sync 228 136 click 1
sleep 0.3

# The songs tab shows the playlists; a double click on the second song plays it.
xdotool mousemove --sync 360 169 click 1
sleep 0.5
xdotool mousemove --sync 120 265 click --repeat 2 --delay 80 1
sleep 2.5
import -display "$DISPLAY" -window root "$out/songs-view.png" || fail "no screenshot"

# The lyrics button shows the desktop lyrics and their control bar; a second click hides them.
xdotool mousemove --sync 445 133 click 1
lyrics=$(wait_for_window Zavreo歌词 100) || fail "the desktop lyrics did not show"
xdotool search --onlyvisible --name '^歌词控制$' >/dev/null || fail "the lyrics bar did not show"
sleep 0.5
# Shown a second time: still out of the task bar.
off_taskbar "$lyrics" "the desktop lyrics"
off_taskbar "$(wait_for_window 歌词控制 10)" "the lyrics bar"
import -display "$DISPLAY" -window root "$out/lyrics.png" || fail "no screenshot"
# A dialog of the program opened while the lyrics show lies above them and their bar in the
# window manager's stacking order (bottom first); closed, the lyrics go back on top.
lyricsBar=$(wait_for_window 歌词控制 10) || fail "the lyrics bar is gone"
# The PipeWire camera stays while the camera is closed.
[[ -z $have_pipewire ]] || node_listed || fail "the PipeWire camera left when the camera closed"
# 拍照 on the 我的直播 page, with the camera closed since the slideshow, brings up the tip.
xdotool mousemove --sync 120 169 click 1
sleep 0.3
xdotool mousemove --sync 301 585 click 1
tip=
for _ in $(seq 100); do
  for id in $(xdotool search --onlyvisible --pid $first 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    [[ $WIDTH == 273 && $HEIGHT -ge 206 ]] && tip=$id
  done
  [[ -n $tip ]] && break
  sleep 0.1
done
[[ -n $tip ]] || fail "no tip over the lyrics"
sleep 0.5
above "$tip" "$lyrics" && above "$tip" "$lyricsBar" ||
  fail "the tip lies under the desktop lyrics: $(stacking | tr '\n' ' ')"
import -display "$DISPLAY" -window root "$out/tip-over-lyrics.png" || fail "no screenshot"
eval "$(xdotool getwindowgeometry --shell "$tip")"
xdotool mousemove --sync $((X + 140)) $((Y + HEIGHT - 46)) click 1
xdotool windowactivate --sync "$window"
sleep 0.5
above "$lyrics" "$window" && above "$lyricsBar" "$window" ||
  fail "the desktop lyrics did not go back above the main window: $(stacking | tr '\n' ' ')"
xdotool mousemove --sync 360 169 click 1
sleep 0.3
xdotool mousemove --sync 445 133 click 1
sleep 0.5
xdotool search --onlyvisible --name '^Zavreo歌词$' >/dev/null && fail "the desktop lyrics did not hide"

# Minimised, the window comes forward again when a second start ends at once.
xdotool mousemove --sync 812 26 click 1
sleep 0.5
xwininfo -id "$window" | grep -q 'Map State: IsUnMapped' || fail "the minimise button left the window shown"
timeout 20 "$bin/zavreo" >"$work/second.log" 2>&1
code=$?
[[ $code == 0 ]] || fail "second instance ended with $code"
kill -0 $first 2>/dev/null || fail "the first instance ended"
shown=$(wait_for_window Zavreo 200) || fail "the first instance did not come forward"
xwininfo -id "$window" | grep -q 'Map State: IsViewable' || fail "the first window is not shown again"

# The session's quit request runs the tray's exit command.
# Moved by the window manager: the place to come back to.
xdotool windowmove --sync "$window" 137 91
sleep 0.5
ends_cleanly_on_sigterm $first || fail "at the end"
[[ ! -e /dev/shm$ZAVREO_SHARED_FRAME ]] || fail "the shared frame outlived the program"
if [[ -n $have_pipewire ]]; then
  for _ in $(seq 50); do node_listed || break; sleep 0.1; done
  node_listed && fail "the PipeWire node outlived the program"
fi
# Every group saved in one line, members in byte order, Chinese text raw, clamped values pulled in.
expected='{"Deco":[{"1":0,"2":0,"3":0,"4":0,"5":0}],"Filter":[{"1":0,"2":1,"3":0,"4":0,"5":0}],'
expected+='"Text":[{"bkcolor":8421504,"bkdegree":2,"color":16777215,"direction":0,"font":1,"isChose":1,'
expected+='"pos":2,"size":2,"text":"E2E字幕"}],"White":[{"MeiBai":60,"MoPi":50,"ShouShen":100,'
expected+='"isMeiBai":1,"isMoPi":0,"isShouShen":0}],"m_Lyric":[{"FontSize":50,"colorNum":3,"isDouble":0,'
expected+='"isShow":0}]}'
printf '%s\n' "$expected" | cmp - "$config/config.lst" ||
  fail "config.lst is not the expected line: $(cat "$config/config.lst")"
# The exit rewrote the picture list without the vanished picture, in its exact layout.
python3 - "$pics" "$config/PicPath.lst" <<'PY' || fail "PicPath.lst is not the expected line"
import json, os, sys
paths = sorted(os.path.join(sys.argv[1], name) for name in os.listdir(sys.argv[1]))
expected = '{"list":' + json.dumps(paths, separators=(",", ":"), ensure_ascii=False) + ',"num":%d}\n' % len(paths)
assert open(sys.argv[2], "rb").read() == expected.encode("utf-8"), open(sys.argv[2], "rb").read()
PY

# Written back as it was read, but for 翻唱, which the search opened.
printf '%s\n' "${music/\"isopen\":false,\"listname\":\"翻唱\"/\"isopen\":true,\"listname\":\"翻唱\"}" |
  cmp -s - "$config/music.lst" || fail "music.lst not written back as expected: $(cat "$config/music.lst")"
# The state beside config.lst: what the clicks above set, the camera's size and the window's place.
python3 - "$config/state.lst" <<'PY' || fail "state.lst does not hold the run's state: $(cat "$config/state.lst")"
import json, sys
state = json.loads(open(sys.argv[1], encoding="utf-8").readline())
assert state["muted"] is True and state["playMode"] == 1 and state["volume"] != 500, state
assert (state["cameraWidth"], state["cameraHeight"]) == (640, 480), state
assert (state["windowX"], state["windowY"]) == (137, 91), state
PY
cp "$config/state.lst" "$work/state-first.lst"

# The session's quit request while the update question waits ends the start without saving, and
# the shared frame goes with it.
printf '{"isMustUpdate":0,"updatetime":99}\n' >"$work/www/zv-helper/Config/ZavreoConfig.dat"
rm -f "$config/config.lst"
"$bin/zavreo" >"$work/question.log" 2>&1 &
asking=$!
pids+=($asking)
question=$(wait_for_window Zavreo直播助手更新提示 150) || fail "no update question"
[[ -e /dev/shm$ZAVREO_SHARED_FRAME ]] || fail "no shared frame while the update question waits"
kill -TERM $asking
for _ in $(seq 100); do kill -0 $asking 2>/dev/null || break; sleep 0.1; done
kill -0 $asking 2>/dev/null && fail "SIGTERM did not end the program during the update question"
wait $asking
code=$?
[[ $code == 0 ]] || fail "SIGTERM during the update question ended the program with $code"
[[ ! -e /dev/shm$ZAVREO_SHARED_FRAME ]] || fail "the shared frame outlived SIGTERM during the update question"
[[ ! -e $config/config.lst ]] || fail "settings written during the update question"
printf '{"isMustUpdate":0,"updatetime":17}\n' >"$work/www/zv-helper/Config/ZavreoConfig.dat"
# The newer release's description stays in the configuration folder; the later starts must not ask.
rm -f "$config/ZavreoConfig.dat"

# An update server that accepts and never answers holds the window back a few seconds at most;
# without a tray (as here) the close button ends the program, saving like the tray's "退出".
python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(8)
print(s.getsockname()[1], flush=True); time.sleep(120)' >"$work/silent.port" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/silent.port ]] && break; sleep 0.1; done
rm -f "$config/config.lst"
launched=$(date +%s%N)
ZAVREO_UPDATE_HOST=127.0.0.1:$(head -1 "$work/silent.port") "$bin/zavreo" >"$work/silent.log" 2>&1 &
silent=$!
pids+=($silent)
window=
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^Zavreo$' 2>/dev/null | head -1)
  [[ -n $window ]] && break
  sleep 0.1
done
waited=$((($(date +%s%N) - launched) / 1000000))
[[ -n $window ]] || fail "no window with a silent update server"
((waited < 6000)) || fail "a silent update server held the window back ${waited} ms"
echo "window up $waited ms after the start with a silent update server"
sleep 1
# Where the last run left it.
geometry=$(xdotool getwindowgeometry "$window")
grep -q 'Position: 137,91' <<<"$geometry" || fail "the window did not come back to its place: $geometry"
xdotool mousemove --sync $((137 + 848)) $((91 + 26)) click 1
for _ in $(seq 100); do kill -0 $silent 2>/dev/null || break; sleep 0.1; done
kill -0 $silent 2>/dev/null && fail "the close button did not end the program without a tray"
wait $silent
[[ -s $config/config.lst ]] || fail "closing without a tray saved nothing"
# Started again from it, the run ended with the same state: every value came back.
cmp "$work/state-first.lst" "$config/state.lst" ||
  fail "the state did not come back: $(cat "$work/state-first.lst") then $(cat "$config/state.lst")"

# Without the recorder library the program tells so on standard output and ends with 0.
mkdir -p "$work/bare"
cp "$bin/zavreo" "$work/bare/"
for lib in "$bin"/lib*.so*; do
  [[ $(basename "$lib") == libFlashX.so ]] || cp "$lib" "$work/bare/"
done
rm -f "$config/config.lst"
QT_QPA_PLATFORM=offscreen timeout 30 "$work/bare/zavreo" >"$work/bare.log" 2>/dev/null
code=$?
[[ $code == 0 ]] || fail "without libFlashX.so the program ended with $code"
grep -q '加载动态库失败！' "$work/bare.log" || fail "no message without libFlashX.so"
[[ ! -e $config/config.lst ]] || fail "settings written without libFlashX.so"
echo "end-to-end: all steps passed; screenshot $out/main-window.png"
