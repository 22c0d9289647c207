#!/usr/bin/env python3
"""The timed part of the soak: drives the running program through xdotool on a fixed timetable
and samples it every five seconds.

Timetable (seconds from the start): a photo at 60k+20, the sound pad at 300k+40, a 60-second
recording from 600k+90 to 600k+150. Actions run one after another on this thread; a second thread
polls one row of the shared frame every 2 ms and keeps the longest time it stayed unchanged (the
stand-in camera's bars scroll, so every camera frame changes it).

Writes soak.csv (one row per sample), events.csv and summary.txt into --out; exits 1 when a goal
is missed: memory after the first ten minutes grows by 5 MB or more, threads or open files do
not come back to their level after a recording, a gap between frames over 200 ms.

The first recording may leave one socket pair open for good: looking up the microphone starts
GStreamer's sound device provider, which GStreamer keeps with its bus for the process's life.
"""

import argparse
import os
import subprocess
import sys
import threading
import time

PAGE_KB = os.sysconf("SC_PAGESIZE") // 1024
TICKS = os.sysconf("SC_CLK_TCK")
ROW = 1920


class FrameGaps(threading.Thread):
    """The longest wait between two changes of the shared frame since the last take()."""

    def __init__(self, path):
        super().__init__(daemon=True)
        self.path = path
        self.lock = threading.Lock()
        self.longest = 0.0
        self.frames = 0

    def run(self):
        fd = os.open(self.path, os.O_RDONLY)
        last = os.pread(fd, ROW, 240 * ROW)
        changed = time.monotonic()
        while True:
            time.sleep(0.002)
            row = os.pread(fd, ROW, 240 * ROW)
            now = time.monotonic()
            with self.lock:
                self.longest = max(self.longest, now - changed)
                if row != last:
                    last = row
                    changed = now
                    self.frames += 1

    def take(self):
        with self.lock:
            longest, frames = self.longest, self.frames
            self.longest, self.frames = 0.0, 0
        return longest, frames


def proc_sample(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    cpu = (int(fields[11]) + int(fields[12])) / TICKS
    status = dict(line.split(":", 1) for line in open(f"/proc/{pid}/status"))
    rss_kb = int(status["VmRSS"].split()[0])
    threads = int(status["Threads"])
    files = sockets = 0
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except OSError:  # closed between the listing and the look
            continue
        files += 1
        sockets += target.startswith("socket:")
    return cpu, rss_kb, threads, files, sockets


def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def find_window(title, tries=100):
    for _ in range(tries):
        ids = xdo("search", "--onlyvisible", "--name", f"^{title}$").split()
        if ids:
            return ids[0]
        time.sleep(0.1)
    return None


def geometry(window):
    values = dict(line.split("=") for line in xdo("getwindowgeometry", "--shell", window).split())
    return int(values["X"]), int(values["Y"])


def click(x, y, repeat=1):
    xdo("mousemove", "--sync", x, y, "click", "--repeat", repeat, "--delay", 80, 1)


def click_in(title, dx, dy, settle):
    """Clicks at (dx, dy) in the window titled `title` once it has shown and settled."""
    window = find_window(title)
    if window is None:
        return False
    time.sleep(settle)
    x, y = geometry(window)
    click(x + dx, y + dy)
    return True


def take_photo():
    click(301, 585)
    return "photo" if click_in("拍照", 296, 275, 0.5) else "photo: no dialog"


def play_pad():
    click(419, 585)
    if not click_in("音效", 127, 214, 0.3):  # the middle sound of the grid
        return "pad: no pad"
    time.sleep(2)
    click(419, 585)
    return "pad"


def start_recording():
    click(183, 585)
    return "record start"


def stop_recording():
    click(183, 585)
    return "record stop" if click_in("录制视频", 239, 257, 1) else "record stop: no dialog"


def timetable(seconds):
    events = []
    for t in range(20, seconds, 60):
        events.append((t, take_photo))
    for t in range(40, seconds, 300):
        events.append((t, play_pad))
    for t in range(90, seconds - 60, 600):
        events.append((t, start_recording))
        events.append((t + 60, stop_recording))
    return sorted(events, key=lambda e: e[0])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pid", type=int, required=True)
    parser.add_argument("--frame", required=True)
    parser.add_argument("--seconds", type=int, default=3600)
    parser.add_argument("--out", required=True)
    parser.add_argument("--home", required=True)
    args = parser.parse_args()

    gaps = FrameGaps(args.frame)
    gaps.start()
    events = timetable(args.seconds)
    start = time.monotonic()
    csv = open(os.path.join(args.out, "soak.csv"), "w", buffering=1)
    csv.write("seconds,rss_mb,cpu_percent,threads,open_files,longest_gap_ms,frames,sockets\n")
    log = open(os.path.join(args.out, "events.csv"), "w", buffering=1)
    log.write("seconds,event\n")
    rows = []
    last_cpu, last_time = proc_sample(args.pid)[0], start
    gaps.take()
    next_sample = 5
    while True:
        now = time.monotonic() - start
        if now >= next_sample:
            cpu, rss_kb, threads, files, sockets = proc_sample(args.pid)
            wall = time.monotonic()
            share = 100 * (cpu - last_cpu) / (wall - last_time)
            last_cpu, last_time = cpu, wall
            longest, frames = gaps.take()
            row = (next_sample, rss_kb / 1024, share, threads, files, longest * 1000, frames, sockets)
            rows.append(row)
            csv.write("%d,%.1f,%.1f,%d,%d,%.0f,%d,%d\n" % row)
            next_sample += 5
            if next_sample > args.seconds:
                break
        elif events and now >= events[0][0]:
            what = events.pop(0)[1]()
            log.write("%.0f,%s\n" % (now, what))
        else:
            time.sleep(0.05)

    summary = summarise(rows, args.out)
    with open(os.path.join(args.out, "summary.txt"), "w") as f:
        f.write("\n".join(summary[0]) + "\n")
    print("\n".join(summary[0]))
    return 0 if summary[1] else 1


def summarise(rows, out):
    lines = []
    ok = True
    settled = [r for r in rows if r[0] >= 600]
    if settled:
        first, last = settled[0][1], settled[-1][1]
        # Medians over a minute at each end, so one sample's spike does not decide.
        head = sorted(r[1] for r in settled[:12])[len(settled[:12]) // 2]
        tail = sorted(r[1] for r in settled[-12:])[len(settled[-12:]) // 2]
        growth = tail - head
        lines.append(f"resident memory after 10 min: {first:.1f} MB, at the end {last:.1f} MB, "
                     f"growth (medians of the first and last minute) {growth:+.1f} MB, "
                     f"peak {max(r[1] for r in rows):.1f} MB")
        ok &= growth < 5
    cpu = sorted(r[2] for r in rows[1:])
    if cpu:
        lines.append(f"processor: median {cpu[len(cpu) // 2]:.1f} % of one core, "
                     f"max {cpu[-1]:.1f} %")
    worst = max(rows, key=lambda r: r[5])
    lines.append(f"longest gap between shared frames: {worst[5]:.0f} ms (at {worst[0]} s); "
                 f"frames seen {sum(r[6] for r in rows)} in {rows[-1][0]} s")
    ok &= worst[5] <= 200
    events = [line.strip().split(",", 1) for line in open(os.path.join(out, "events.csv"))][1:]
    provider_kept = False
    for at, what in events:
        if what != "record start":
            continue
        at = float(at)
        before = [r for r in rows if at - 15 <= r[0] < at]
        after = [r for r in rows if at + 90 <= r[0] < at + 105]
        if not before or not after:
            continue
        t0, f0, s0 = (min(r[i] for r in before) for i in (3, 4, 7))
        t1, f1, s1 = (min(r[i] for r in after) for i in (3, 4, 7))
        kept = f1 - f0 if not provider_kept and 0 < f1 - f0 <= 2 and s1 - s0 == f1 - f0 else 0
        provider_kept |= kept > 0
        note = f" ({kept} sockets of the sound device provider, kept for good)" if kept else ""
        lines.append(f"recording at {at:.0f} s: threads {t0} -> {t1}, open files {f0} -> {f1}{note}")
        ok &= t1 <= t0 and f1 - kept <= f0
    failed = [e for e in events if ":" in e[1]]
    for at, what in failed:
        lines.append(f"action failed at {at} s: {what}")
    ok &= not failed
    lines.append("goals met" if ok else "GOALS MISSED")
    return lines, ok


if __name__ == "__main__":
    sys.exit(main())
