"""Opens the camera page in a real browser and judges what the page saw of the virtual camera.

    BrowserCamera.py chromium|firefox URL LOG_FOLDER

Chromium is driven over the DevTools protocol on a pipe (--remote-debugging-pipe), Firefox over
Marionette on a local port: both need nothing beyond Python. The browser runs headless with a
fresh profile in LOG_FOLDER, reaches PipeWire cameras through the desktop's camera portal, and
takes camera permission without asking. Two fresh browsers open the camera, one as it chooses
and one asking for 30 frames a second. Prints each figure; the exit status is the number of
failed checks."""

import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time

from TestPicture import BLOCK, CORNERS, STEP

LABEL = "Zavreo直播助手"
SECONDS = 10  # the frame count's span
PAGE_TIMEOUT = 90


class Chromium:
    # Without these a headless browser on a closed network keeps trying to reach its services.
    QUIET = ["--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--disable-default-apps",
             "--no-default-browser-check"]

    def __init__(self, logs):
        commands_read, self._commands = os.pipe()
        self._replies, replies_write = os.pipe()
        profile = tempfile.mkdtemp(prefix="chromium-", dir=logs)
        args = ["chromium", "--headless", "--enable-features=WebRtcPipeWireCamera",
                "--use-fake-ui-for-media-stream", "--user-data-dir=" + profile,
                "--remote-debugging-pipe"] + self.QUIET
        # As root the sandbox refuses to start.
        if os.geteuid() == 0:
            args.append("--no-sandbox")

        def protocol_descriptors():
            os.dup2(commands_read, 3)
            os.dup2(replies_write, 4)

        with open(os.path.join(logs, "chromium.log"), "ab") as log:
            self._process = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log,
                                             stderr=subprocess.STDOUT, pass_fds=(3, 4),
                                             preexec_fn=protocol_descriptors)
        os.close(commands_read)
        os.close(replies_write)
        self._pending = b""
        self._id = 0
        self._session = None

    def _call(self, method, params=None, session=True):
        self._id += 1
        message = {"id": self._id, "method": method, "params": params or {}}
        if session and self._session:
            message["sessionId"] = self._session
        os.write(self._commands, json.dumps(message).encode() + b"\0")
        while True:
            reply = self._next()
            if reply.get("id") == self._id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply["result"]

    def _next(self):
        while b"\0" not in self._pending:
            chunk = os.read(self._replies, 1 << 16)
            if not chunk:
                raise RuntimeError("chromium closed its protocol pipe")
            self._pending += chunk
        message, self._pending = self._pending.split(b"\0", 1)
        return json.loads(message)

    def run(self, url, expression):
        target = self._call("Target.createTarget", {"url": url})["targetId"]
        self._session = self._call("Target.attachToTarget",
                                   {"targetId": target, "flatten": True})["sessionId"]
        # The target starts on a blank page: wait for ours.
        for _ in range(100):
            ready = self._call("Runtime.evaluate", {"expression": f"location.href == {json.dumps(url)} "
                                                    "&& document.readyState == 'complete'",
                                                    "returnByValue": True})
            if ready["result"].get("value"):
                break
            time.sleep(0.1)
        answer = self._call("Runtime.evaluate", {"expression": expression, "awaitPromise": True,
                                                 "returnByValue": True, "timeout": PAGE_TIMEOUT * 1000})
        if "exceptionDetails" in answer:
            raise RuntimeError(json.dumps(answer["exceptionDetails"]))
        return answer["result"]["value"]

    def close(self):
        try:
            self._session = None
            self._call("Browser.close", session=False)
            self._process.wait(timeout=10)
        except Exception:
            self._process.kill()
            self._process.wait()


class Firefox:
    def __init__(self, logs):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        profile = tempfile.mkdtemp(prefix="firefox-", dir=logs)
        prefs = {
            "marionette.port": port,
            "media.webrtc.camera.allow-pipewire": True,
            # Camera permission without a question, real devices rather than fake ones.
            "media.navigator.permission.disabled": True,
            "media.navigator.streams.fake": False,
            # Quiet on a closed network.
            "app.update.enabled": False, "browser.shell.checkDefaultBrowser": False,
            "datareporting.policy.dataSubmissionEnabled": False,
            "toolkit.telemetry.enabled": False, "network.captive-portal-service.enabled": False,
            "browser.safebrowsing.update.enabled": False, "extensions.update.enabled": False,
            "network.connectivity-service.enabled": False, "browser.startup.page": 0,
            # The page's progress in the log.
            "devtools.console.stdout.content": True,
        }
        with open(os.path.join(profile, "user.js"), "w") as out:
            for name, value in prefs.items():
                out.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        with open(os.path.join(logs, "firefox.log"), "ab") as log:
            self._process = subprocess.Popen(
                ["firefox-esr", "--headless", "--marionette", "--no-remote", "--profile", profile],
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        self._id = 0
        until = time.monotonic() + 60
        while True:
            try:
                self._socket = socket.create_connection(("127.0.0.1", port), timeout=PAGE_TIMEOUT)
                break
            except OSError:
                if time.monotonic() > until or self._process.poll() is not None:
                    raise RuntimeError("firefox's Marionette port never opened")
                time.sleep(0.2)
        self._file = self._socket.makefile("rb")
        self._read()  # the greeting
        self._call("WebDriver:NewSession", {"capabilities": {}})
        self._call("WebDriver:SetTimeouts", {"script": PAGE_TIMEOUT * 1000})

    def _read(self):
        length = b""
        while not length.endswith(b":"):
            byte = self._file.read(1)
            if not byte:
                raise RuntimeError("firefox closed its Marionette connection")
            length += byte
        return json.loads(self._file.read(int(length[:-1])))

    def _call(self, command, params):
        self._id += 1
        body = json.dumps([0, self._id, command, params]).encode()
        self._socket.sendall(str(len(body)).encode() + b":" + body)
        while True:
            reply = self._read()
            if isinstance(reply, list) and reply[0] == 1 and reply[1] == self._id:
                if reply[2]:
                    raise RuntimeError(f"{command}: {reply[2]}")
                return reply[3]

    def run(self, url, expression):
        self._call("WebDriver:Navigate", {"url": url})
        script = f"const done = arguments[arguments.length - 1]; ({expression}).then(done);"
        return self._call("WebDriver:ExecuteAsyncScript", {"script": script, "args": []})["value"]

    def close(self):
        try:
            self._call("Marionette:Quit", {})
            self._process.wait(timeout=10)
        except Exception:
            self._process.kill()
            self._process.wait()


def judge(browser, chosen_report, thirty_report):
    """Prints the figures; the failed checks."""
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print(f"{browser}: FAIL {what}")

    for report in (chosen_report, thirty_report):
        labels = report.get("labels", [])
        print(f"{browser}: cameras listed {labels}")
        check(LABEL in labels, f"{LABEL} not listed")
    def opened(report, what):
        """The page's measure of the camera it opened `what`, or None when it got none."""
        result = report.get("result") or {}
        if "error" in result or not result:
            check(False, f"{what}: no camera: {result.get('error')}")
            return None
        check(result["label"] == LABEL, f"{what}: another camera opened")
        return result

    chosen = opened(chosen_report, "as the browser chooses")
    if chosen:
        print(f"{browser}: opened '{chosen['label']}' {chosen['videoWidth']}x{chosen['videoHeight']}, "
              f"{chosen['fps']:.1f} frames a second ({chosen['frames']} over {chosen['seconds']:.1f} s), "
              f"settings {json.dumps(chosen['settings'], sort_keys=True)}")
        check((chosen["videoWidth"], chosen["videoHeight"]) == (640, 480), "not 640 x 480")
        check(chosen["seconds"] >= SECONDS - 1 and chosen["fps"] >= 14,
              "fewer than 14 frames a second")
        for name, ((x, y), want) in CORNERS.items():
            seen = chosen["probes"][name]
            print(f"{browser}: {name} ({x},{y}) seen {seen}, written {list(want)}")
            check(max(abs(a - b) for a, b in zip(seen, want)) <= 48,
                  f"{name} is not {want}: upside down, mirrored or with red and blue swapped")
        moving = chosen["moving"]
        print(f"{browser}: the moving block's middle over 1.5 s: {moving}")
        # Half a block right of a multiple of the step, give or take the chroma's blur.
        on_step = all(x >= 0 and abs((x - BLOCK // 2 + STEP // 2) % STEP - STEP // 2) <= 2
                      for x in moving)
        check(on_step and len(set(moving)) >= 3, "the block does not move as written")
    thirty = opened(thirty_report, "asking 30 frames a second")
    if thirty:
        print(f"{browser}: asking 30 frames a second: '{thirty['label']}' "
              f"{thirty['videoWidth']}x{thirty['videoHeight']}, {thirty['fps']:.1f} frames a "
              f"second, settings frame rate {thirty['settings'].get('frameRate')}")
        check(thirty["fps"] >= 24, "asking 30 frames a second gave fewer than 24")
    return failures


def capture_crashed(log, since):
    """Whether the browser's own camera code aborted on a check of its own after byte `since` of
    its log (libwebrtc's PipeWire capture in Chromium and Firefox now and then trips its race
    checker, with any PipeWire camera node)."""
    with open(log, "rb") as text:
        text.seek(since)
        added = text.read()
    return b"Fatal error in" in added and b"video_capture" in added


def run(browser, url, logs, expression):
    """A fresh browser runs `expression` on the page; its answer. When the browser's camera code
    aborted, once more in another fresh browser."""
    log = os.path.join(logs, f"{browser}.log")
    for attempt in (1, 2):
        since = os.path.getsize(log) if os.path.exists(log) else 0
        driver = None
        signal.alarm(PAGE_TIMEOUT + 30)  # a browser that hangs ends the wait as well
        try:
            driver = {"chromium": Chromium, "firefox": Firefox}[browser](logs)
            answer = driver.run(url, expression)
        except Exception as error:
            answer = {"result": {"error": f"the page did not answer: {error}"}}
        finally:
            signal.alarm(0)
            if driver is not None:
                driver.close()
        if attempt == 1 and "error" in answer.get("result", {}) and capture_crashed(log, since):
            print(f"{browser}: its camera code aborted ({answer['result']['error']}); "
                  "once more in a fresh browser")
            continue
        return answer


def on_alarm(signum, frame):
    raise TimeoutError(f"no answer within {PAGE_TIMEOUT + 30} s")


def main():
    browser, url, logs = sys.argv[1:4]
    signal.signal(signal.SIGALRM, on_alarm)
    os.makedirs(logs, exist_ok=True)
    started = time.monotonic()
    label = json.dumps(LABEL)
    chosen = run(browser, url, logs, f"measureCamera({label}, {SECONDS})")
    thirty = run(browser, url, logs, f"measureThirty({label})")
    failures = judge(browser, chosen, thirty)
    print(f"{browser}: {len(failures)} failed checks, {time.monotonic() - started:.1f} s")
    return len(failures)


if __name__ == "__main__":
    sys.exit(main())
