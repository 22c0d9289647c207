#!/usr/bin/env bash
# A real browser takes the virtual camera as a web page meets it: in a private desktop session
# (D-Bus, PipeWire, WirePlumber, the camera portal, a display for the portal's dialogs) the
# virtual camera program serves a known moving test picture; the browser lists "Zavreo直播助手",
# opens it from a page on 127.0.0.1 and the page's pixels are judged (BrowserCamera.py).
# Usage: BrowserCamera.sh BIN_DIR chromium|firefox
set -uo pipefail
bin=$1
browser=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../XvfbScript.sh"
started=$(date +%s%N)

use_fresh_user "browser-$browser"
start_xvfb
start_pipewire_session || fail "PipeWire is not installed"
start_camera_portal || fail "the camera portal is not installed"

python3 "$here/TestPicture.py" "$ZAVREO_SHARED_FRAME" &
pids+=($!)
"$bin/zavreo-vcam" >"$work/vcam.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [[ $(pw-dump 2>/dev/null) == *'"node.name": "zavreo-vcam"'* ]] && break
  sleep 0.1
done

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$here" >"$work/http.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done

PYTHONDONTWRITEBYTECODE=1 python3 "$here/BrowserCamera.py" "$browser" \
  "http://127.0.0.1:$port/camera.html" "$work" || fail "$browser did not see the camera as written"
echo "$browser camera test: all checks passed in $((($(date +%s%N) - started) / 1000000)) ms"
