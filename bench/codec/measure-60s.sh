#!/usr/bin/env bash
# A 60-second recording measured by hand: face-feeder's scene in a private shared frame and its
# voice played into a private PulseAudio null sink whose monitor is the microphone; then the
# picture count, the streams' starts and ends, the spacing of the pictures and the processor
# share, read back with ffprobe. With PERF=FILE the recording runs under `perf record -g`.
# Usage: bench/codec/measure-60s.sh BUILD_DIR [SECONDS] [LIBRARY]
set -euo pipefail
build=$(realpath "$1")
seconds=${2:-60}
library=${3:-$build/bin/libFlashX.so}
work=$(mktemp -d)
export HOME=$work XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work
export ZAVREO_SHARED_FRAME=/zavreo-measure-$$ PULSE_SERVER=unix:$work/native
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-level=error \
  "--load=module-null-sink sink_name=measure sink_properties=device.description=MeasureSink" \
  "--load=module-native-protocol-unix auth-anonymous=1 socket=$work/native" &
pulse=$!
sleep 1
setsid sh -c "exec '$build/bench/face-feeder' $ZAVREO_SHARED_FRAME $((seconds + 5)) |
  pacat --raw --device=measure --rate=44100 --channels=2 --format=s16le" &
feeder=$!
trap 'kill -- -$feeder $pulse 2>/dev/null; rm -f /dev/shm$ZAVREO_SHARED_FRAME; rm -rf "$work"' EXIT
sleep 1
record=("$build/tests/flashx-record" "$work/m.mp4" "Monitor of MeasureSink" "$seconds" "$library")
if [[ -n ${PERF:-} ]]; then
  perf record -q -g -F 499 -o "$PERF" -- "${record[@]}" >/dev/null
else
  /usr/bin/time -f "processor: %P of one core, %e s" "${record[@]}" >/dev/null
fi
ffprobe -v error -show_entries stream=codec_name,profile,width,height,nb_frames,start_time,duration \
  -of compact "$work/m.mp4"
ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 "$work/m.mp4" |
  sort -n | awk 'NR > 1 { d = $1 - p; if (d > mx) mx = d; if (mn == "" || d < mn) mn = d }
                 { p = $1 } END { print "picture spacing: min", mn, "max", mx }'
ffmpeg -v error -i "$work/m.mp4" -f null - && echo "decoding: no errors"
