#!/usr/bin/env bash
# The program as a user meets it, under Xvfb with a fresh home: the window titled "Zavreo" comes
# up, the open camera is a PipeWire camera where PipeWire is installed (a tip says otherwise), a
# second start exits and brings the first forward, the quit signal runs the exit command and
# config.lst is written in its one-line format and the shared frame removed (also when the signal
# comes while the update question waits). An update server that
# never answers holds the window back a few seconds at most, and without a tray the close button
# ends the program, saving. The record button makes a playable recording. A tip shown while the
# desktop lyrics are up lies above them. Also: without
# libFlashX.so the program says so and ends with code 0.
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
music='{"list":[{"isopen":true,"listname":"默认列表","musiclist":[{"path":"'$work'/songs/夜曲.mp3"},{"path":"'$work'/songs/晴天.mp3"}],"musicnum":2},{"isopen":false,"listname":"翻唱","musicnum":0}],"num":2}'
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
node_listed() { pw-dump 2>/dev/null | grep -q '"node.name": "zavreo-vcam"'; }
# The node shows once the virtual camera's copy has connected; a busy machine takes a moment.
node_shows() {
  for _ in $(seq 50); do node_listed && return 0; sleep 0.1; done
  return 1
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
# The sound-effect button shows the pad above the main window.
xdotool mousemove --sync 419 585 click 1
pad=$(wait_for_window 音效 200) || fail "the sound-effect pad did not show"
sleep 0.5
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
# 8 s, longer than a decoration's pause between two runs; a closed decoration may take up to 3 s
# more to leave the frame on a busy machine.
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
    settled = next((i for i, count in enumerate(broken) if count < 8), len(broken))
    assert settled <= 15 and max(broken[settled:]) < 8, "the picture still carries a decoration"
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
# The effects tab and each of its pages.
xdotool mousemove --sync 675 85 click 1
sleep 0.3
for page in 1:130 2:166 3:200 4:235; do
  xdotool mousemove --sync 520 "${page#*:}" click 1
  sleep 0.3
  import -display "$DISPLAY" -window root "$out/effects-page-${page%%:*}.png" || fail "no screenshot"
done
# Closing both decoration tags (the right quarter of the first tag, twice) takes them off.
xdotool mousemove --sync 650 407 click 1
sleep 0.3
xdotool mousemove --sync 650 407 click 1
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
# and brings up the recording dialog.
videos=$HOME/Documents/ZavreoZhuShou/Video
xdotool mousemove --sync 183 585 click 1
sleep 4
import -display "$DISPLAY" -window root "$out/recording.png" || fail "no screenshot"
xdotool mousemove --sync 183 585 click 1
dialog=$(wait_for_window 录制视频 100) || fail "no recording dialog after the stop click"
sleep 2
import -display "$DISPLAY" -window root "$out/recording-dialog.png" || fail "no screenshot"
recording=$(ls "$videos"/*.mp4 2>/dev/null | head -1)
[[ -n $recording ]] || fail "no recording in $videos"
probe=$(ffprobe -v error -select_streams v -count_frames \
  -show_entries stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$recording")
[[ $probe =~ ^h264,640,480,([0-9]+)$ ]] && ((BASH_REMATCH[1] >= 20)) ||
  fail "the recording is not 640 x 480 H.264 of some seconds: $probe"
# Its 确定 hides the dialog.
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove --sync $((X + 239)) $((Y + 257)) click 1
sleep 0.5
xdotool search --onlyvisible --name '^录制视频$' >/dev/null && fail "确定 did not hide the recording dialog"

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
import -display "$DISPLAY" -window root "$out/lyrics.png" || fail "no screenshot"
# A dialog of the program opened while the lyrics show lies above them and their bar in the
# window manager's stacking order (bottom first); closed, the lyrics go back on top.
lyricsBar=$(wait_for_window 歌词控制 10) || fail "the lyrics bar is gone"
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
kill -TERM $first
for _ in $(seq 300); do kill -0 $first 2>/dev/null || break; sleep 0.1; done
kill -0 $first 2>/dev/null && fail "the program did not end on SIGTERM"
wait $first
code=$?
[[ $code == 0 ]] || fail "the program ended with $code"
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

printf '%s\n' "$music" | cmp -s - "$config/music.lst" || fail "music.lst not written back as it was read"

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
xdotool mousemove --sync 848 26 click 1
for _ in $(seq 100); do kill -0 $silent 2>/dev/null || break; sleep 0.1; done
kill -0 $silent 2>/dev/null && fail "the close button did not end the program without a tray"
wait $silent
[[ -s $config/config.lst ]] || fail "closing without a tray saved nothing"

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
