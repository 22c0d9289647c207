#!/usr/bin/env bash
# The desktop lyrics as a user sees them, under Xvfb with a compositor (xcompmgr) so that the
# window's translucency is real: progress 0, 500 and 1000, two lines, locked, and the search
# dialog listing the lyrics server's results. The pictures land in OUT_DIR; the highlight must
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

differ() {
  local pixels
  pixels=$(compare -metric AE "$out/$1.png" "$out/$2.png" null: 2>&1)
  [[ ${pixels%% *} -gt $3 ]] || fail "$1 and $2 look the same ($pixels pixels differ)"
}
differ progress-0 progress-500 500
differ progress-500 progress-1000 500
# Only the lock button changes its picture.
differ progress-1000 locked 50
echo "lyrics screenshots in $out"
