#!/usr/bin/env bash
# An hour of the program under its heaviest load, run by hand (not in CI): under Xvfb with the
# stand-in camera and every effect on, a playlist playing through (local lyric files, one song's
# lyrics from the lyrics server), a 60-second recording every ten minutes, a photo every minute
# and a sound from the pad every five. Every five seconds soak.py samples resident memory,
# processor share, threads, open files and the longest gap between two shared frames.
# Writes OUT_DIR/soak.csv, OUT_DIR/events.csv, OUT_DIR/soak.png and OUT_DIR/summary.txt.
# Usage: bench/soak/soak.sh BIN_DIR OUT_DIR [SECONDS]   (SECONDS defaults to 3600)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$here/../..
out=$(mkdir -p "$2" && cd "$2" && pwd)
seconds=${3:-3600}
source "$root/tests/XvfbScript.sh"

# The program runs from a copy, so rebuilding during the hour does not pull files from under it.
cp -a "$1" "$work/bin" || fail "cannot copy $1"
bin=$work/bin
mkdir -p "$work/home" "$work/run" "$work/songs" "$work/lrc"
chmod 700 "$work/run"
export HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_RUNTIME_PATH=$work/run
export ZAVREO_SHARED_FRAME=/zavreo-soak-$$ ZAVREO_TEST_CAMERA=1 ZAVREO_UPDATE_HOST=127.0.0.1:9
unset XDG_CONFIG_HOME QT_QPA_PLATFORM
config=$HOME/.config/ZavreoZhuShou/Config
lyrics=$HOME/Documents/ZavreoZhuShou/Lyrics

# A private sound server: music and pad play into its null sink, whose monitor is the microphone.
export PULSE_SERVER=unix:$work/run/native ZAVREO_AUDIO_SINK=pulsesink
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-level=error \
  "--load=module-null-sink sink_name=soak sink_properties=device.description=SoakSink" \
  "--load=module-native-protocol-unix auth-anonymous=1 socket=$work/run/native" \
  >"$work/pulse.log" 2>&1 &
pids+=($!)

# Four songs of two and a half minutes; the first (named "Gaobai1" in its ID3 tag) gets its
# lyrics from the lyrics server, the other three have lyric files of their own.
songs=()
for song in 1:告白:660 2:夜曲:330 3:晴天:440 4:稻香:550; do
  IFS=: read -r n name hz <<<"$song"
  ffmpeg -v error -y -f lavfi -i "sine=frequency=$hz:duration=150" -c:a libmp3lame -write_id3v1 1 \
    -metadata title="Gaobai$n" -metadata artist=Soak "$work/songs/$name.mp3" </dev/null ||
    fail "ffmpeg could not make a song"
  songs+=("$work/songs/$name.mp3")
  lrc=$( (printf '[ti:Gaobai%s]\n[ar:Soak]\n' "$n"
    for t in $(seq 0 5 145); do printf '[%02d:%02d.00]%s 第%d句歌词\n' $((t / 60)) $((t % 60)) "$name" $((t / 5 + 1)); done))
  if ((n == 1)); then
    printf '%s\n' "$lrc" >"$work/lrc/Soak - Gaobai1.lrc"
  else
    mkdir -p "$lyrics"
    printf '%s\n' "$lrc" >"$lyrics/$name.lrc"
  fi
done
python3 "$root/tools/lyricsd/lyricsd.py" --root "$work/lrc" --port-file "$work/lyricsd.port" \
  >"$work/lyricsd.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/lyricsd.port ]] && break; sleep 0.1; done
[[ -s $work/lyricsd.port ]] || fail "the lyrics server did not start"
export ZAVREO_LYRICS_HOST=127.0.0.1:$(cat "$work/lyricsd.port")

# Everything on: a scrolling subtitle, the three beauty switches at their strongest, the five colour presets, the
# five decorations, and the desktop lyrics shown.
mkdir -p "$config"
printf '%s\n' '{"Deco":[{"1":1,"2":1,"3":1,"4":1,"5":1}],"Filter":[{"1":1,"2":1,"3":1,"4":1,"5":1}],"Text":[{"bkcolor":8421504,"bkdegree":1,"color":16777215,"direction":2,"font":1,"isChose":1,"pos":2,"size":2,"text":"一小时的压力测试 soak"}],"White":[{"MeiBai":100,"MoPi":100,"ShouShen":100,"isMeiBai":1,"isMoPi":1,"isShouShen":1}],"m_Lyric":[{"FontSize":50,"colorNum":3,"isDouble":0,"isShow":1}]}' \
  >"$config/config.lst"
python3 - "$config/music.lst" "${songs[@]}" <<'PY'
import json, sys
songs = [{"path": p} for p in sys.argv[2:]]
listed = {"list": [{"isopen": True, "listname": "默认列表", "musiclist": songs, "musicnum": len(songs)}], "num": 1}
open(sys.argv[1], "w", encoding="utf-8").write(json.dumps(listed, separators=(",", ":"), ensure_ascii=False) + "\n")
PY

start_xvfb
start_openbox

"$bin/zavreo" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
window=$(wait_for_window Zavreo) || fail "no window titled Zavreo"
sleep 1
# The camera on; on the songs tab a double click on the first song plays the list through.
xdotool mousemove --sync 65 585 click 1
sleep 4
[[ -e /dev/shm$ZAVREO_SHARED_FRAME ]] || fail "no shared frame after opening the camera"
# The tip about the missing virtual camera: its OK button, 46 pixels above its bottom however
# tall its text made it, closes it.
for id in $(xdotool search --onlyvisible --pid $program 2>/dev/null); do
  eval "$(xdotool getwindowgeometry --shell "$id")"
  if [[ $WIDTH == 273 && $HEIGHT -ge 206 ]]; then
    xdotool mousemove --sync $((X + 140)) $((Y + HEIGHT - 46)) click 1
    sleep 0.3
  fi
done
xdotool mousemove --sync 360 169 click 1
sleep 0.5
xdotool mousemove --sync 120 245 click --repeat 2 --delay 80 1
sleep 2
# Back to the broadcast tab, whose buttons the timetable clicks.
xdotool mousemove --sync 120 169 click 1
sleep 1
import -display "$DISPLAY" -window root "$out/start.png"

python3 "$here/soak.py" --pid "$program" --frame "/dev/shm$ZAVREO_SHARED_FRAME" --seconds "$seconds" \
  --out "$out" --home "$HOME"
driven=$?
import -display "$DISPLAY" -window root "$out/end.png"

kill -TERM $program
for _ in $(seq 300); do kill -0 $program 2>/dev/null || break; sleep 0.1; done
kill -0 $program 2>/dev/null && fail "the program did not end on SIGTERM"
wait $program
code=$?
echo "program ended with $code" | tee -a "$out/summary.txt"
cp "$work/program.log" "$out/program.log"

# Every recording and photo must be whole, and the server's lyrics saved.
bad=0
if [[ -s $lyrics/告白.lrc ]]; then
  echo "lyrics from the server saved: $(wc -l <"$lyrics/告白.lrc") lines" | tee -a "$out/summary.txt"
else
  echo "no lyrics from the server" | tee -a "$out/summary.txt"
  bad=1
fi
for video in "$HOME/Documents/ZavreoZhuShou/Video/"*.mp4; do
  [[ -e $video ]] || continue
  probe=$(ffprobe -v error -show_entries format=duration:stream=codec_name,width,height -of csv=p=0 "$video" | tr '\n' ' ')
  errors=$(ffmpeg -v error -i "$video" -f null - 2>&1 | wc -l)
  echo "recording $(basename "$video"): $probe decode errors $errors" | tee -a "$out/summary.txt"
  [[ $probe == *h264,640,480* && $errors == 0 ]] || bad=1
done
photos=0
for photo in "$HOME/Documents/ZavreoZhuShou/Pic/"*.jpg; do
  [[ -e $photo ]] || continue
  ((photos++))
  [[ $(identify -regard-warnings -format '%m %wx%h' "$photo" 2>/dev/null) == "JPEG 640x480" ]] ||
    { echo "bad photo $(basename "$photo")" | tee -a "$out/summary.txt"; bad=1; }
done
echo "photos: $photos" | tee -a "$out/summary.txt"

gnuplot -e "dir='$out'" "$here/soak.gp" || echo "no plot (gnuplot missing?)"
((driven == 0 && code == 0 && bad == 0)) || exit 1
