#!/usr/bin/env bash
# A 60-second recording measured by hand: a moving picture in a private shared frame, a private
# PulseAudio null sink's monitor as the microphone, then the picture count, the two streams'
# ends, the spacing of the pictures and the processor share, read back with ffprobe.
# Usage: bench/codec/measure-60s.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$1
seconds=${2:-60}
work=$(mktemp -d)
export HOME=$work XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work
export ZAVREO_SHARED_FRAME=/zavreo-measure-$$ PULSE_SERVER=unix:$work/native
pulseaudio --daemonize=no --exit-idle-time=-1 -n --use-pid-file=no --log-level=error \
  "--load=module-null-sink sink_name=measure sink_properties=device.description=MeasureSink" \
  "--load=module-native-protocol-unix auth-anonymous=1 socket=$work/native" &
pulse=$!
python3 - "$ZAVREO_SHARED_FRAME" "$((seconds + 5))" <<'PY' &
import mmap, os, sys, time
size = 640 * 480 * 3
fd = os.open("/dev/shm" + sys.argv[1], os.O_CREAT | os.O_RDWR, 0o600)
os.ftruncate(fd, size)
block = mmap.mmap(fd, size)
scene = bytes(((i * 7 + (i // 1920) * 3) ^ (i >> 9)) & 255 for i in range(size * 2))
end = time.time() + float(sys.argv[2])
k = 0
while time.time() < end:
    offset = (k * 8 % 480) * 1920
    block[:] = scene[offset:offset + size]
    k += 1
    time.sleep(0.1)
PY
feeder=$!
trap 'kill $pulse $feeder 2>/dev/null; rm -f /dev/shm$ZAVREO_SHARED_FRAME; rm -rf "$work"' EXIT
sleep 1
/usr/bin/time -f "processor: %P of one core, %e s" \
  "$build/tests/flashx-record" "$work/m.mp4" "Monitor of MeasureSink" "$seconds" >/dev/null
ffprobe -v error -show_entries stream=codec_name,profile,width,height,nb_frames,start_time,duration \
  -of compact "$work/m.mp4"
ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 "$work/m.mp4" |
  sort -n | awk 'NR > 1 { d = $1 - p; if (d > mx) mx = d; if (mn == "" || d < mn) mn = d }
                 { p = $1 } END { print "picture spacing: min", mn, "max", mx }'
ffmpeg -v error -i "$work/m.mp4" -f null - && echo "decoding: no errors"
