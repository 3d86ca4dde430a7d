#!/usr/bin/python3
"""make web-test: the page in build-web/ served on 127.0.0.1 and driven in headless Chromium.

  web_test.py PAGE_DIR CAPTURE_DIR SHOT.png

CAPTURE_DIR holds the native capture of the same run (dovoz1-capture --seconds 3 --seed 1 --keys
"1:b,2:space"). Checks, in two page loads:
  1. the page's test run (the capture's virtual run: its clock, seed and keys, music rendered per frame):
     every frame has the capture's pixels, the music is within 1 per sample of audio.wav, and the page
     reported no error;
  2. the page as a user has it: a click starts it with sound, space and b, then q ends it with the
     closing fade; 25 frames a second (24.5 at least), no error, a screenshot in SHOT.png;
  3. a browser without Web Audio: the intro's start-up failure is shown on the page.
Prints the measurements; exit status 1 on a failed check.
"""
import base64
import functools
import hashlib
import http.server
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import struct
import urllib.request
import zlib

import websocket

LOOP_FRAMES = 75  # the capture's 3 seconds
TEST_SCRIPT = "test=3&seed=1&keys=1:b,2:space"  # the capture's options
FADE_FRAMES = 62
WIDTH, HEIGHT = 320, 200
PAGE_LIMIT = 4 * 1024 * 1024
# As the program's own test asks: an idle machine gives 24.96 to 24.98, one loaded beyond its two cores
# 24.8 (the page's timers fire later); a broken frame wait loses whole frames.
MIN_FPS = 24.5

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message, flush=True)
    if not condition:
        failures.append(message)


def png_rgb(path):
    """The pixels of an 8-bit RGB, non-interlaced PNG (what dovoz1-capture writes) as bytes."""
    with open(path, "rb") as file:
        data = file.read()
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour == 2 and interlace == 0, path
    raw = zlib.decompress(idat)
    stride = width * 3
    rows = bytearray()
    previous = bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = row[x - 3] if x >= 3 else 0
            up = previous[x]
            corner = previous[x - 3] if x >= 3 else 0
            if kind == 1:
                row[x] = (row[x] + left) & 0xFF
            elif kind == 2:
                row[x] = (row[x] + up) & 0xFF
            elif kind == 3:
                row[x] = (row[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                guess = left + up - corner
                pa, pb, pc = abs(guess - left), abs(guess - up), abs(guess - corner)
                near = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                row[x] = (row[x] + near) & 0xFF
        rows += row
        previous = row
    return bytes(rows)


def wav_samples(path):
    """The 16-bit samples of a PCM WAV file."""
    with open(path, "rb") as file:
        data = file.read()
    position = 12
    while position < len(data):
        kind, length = struct.unpack("<4sI", data[position:position + 8])
        if kind == b"data":
            body = data[position + 8:position + 8 + length]
            return struct.unpack("<%dh" % (len(body) // 2), body)
        position += 8 + length
    raise ValueError("no data chunk in " + path)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm",
                      ".js": "text/javascript"}

    def log_message(self, *args):
        pass


class Browser:
    """Headless Chromium on a private profile, spoken to through the DevTools protocol."""

    def __init__(self, profile):
        port = free_port()
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--no-first-run", "--no-default-browser-check",
             "--disable-gpu", "--mute-audio", "--user-data-dir=" + profile, "--window-size=1280,800",
             "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=%d" % port, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while True:
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port) as reply:
                    targets = [t for t in json.load(reply) if t["type"] == "page"]
                if targets:
                    break
            except OSError:
                pass
            if time.time() > deadline:
                raise RuntimeError("Chromium did not start")
            time.sleep(0.2)
        self.socket = websocket.create_connection(targets[0]["webSocketDebuggerUrl"], timeout=60)
        self.next_id = 0
        self.events = []
        self.call("Runtime.enable")
        self.call("Page.enable")
        self.call("Log.enable")

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            self.events.append(message)

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            raise RuntimeError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def wait_for(self, expression, seconds, step=0.05):
        deadline = time.time() + seconds
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(step)
        return None

    def click(self, x, y):
        for kind in ("mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button="left", clickCount=1)

    def press(self, key):
        names = {" ": ("Space", 32, " "), "b": ("KeyB", 66, "b"), "q": ("KeyQ", 81, "q")}
        code, virtual, text = names[key]
        self.call("Input.dispatchKeyEvent", type="keyDown", key=key, code=code, windowsVirtualKeyCode=virtual,
                  nativeVirtualKeyCode=virtual, text=text)
        self.call("Input.dispatchKeyEvent", type="keyUp", key=key, code=code, windowsVirtualKeyCode=virtual,
                  nativeVirtualKeyCode=virtual)

    def problems(self):
        """Exceptions and console errors the page reported since the last look."""
        found = []
        for event in self.events:
            method = event.get("method")
            if method == "Runtime.exceptionThrown":
                found.append(event["params"]["exceptionDetails"].get("text", "exception"))
            elif method == "Runtime.consoleAPICalled" and event["params"]["type"] == "error":
                found.append(" ".join(str(a.get("value", "")) for a in event["params"]["args"]))
            elif method == "Log.entryAdded" and event["params"]["entry"]["level"] == "error":
                found.append(event["params"]["entry"]["text"])
        self.events = []
        return found

    def close(self):
        self.socket.close()
        self.process.terminate()
        self.process.wait()


def test_run(browser, base, capture):
    """The capture's run in the page, compared frame by frame and sample by sample."""
    browser.call("Page.navigate", url="%s/index.html?%s" % (base, TEST_SCRIPT))
    check(browser.wait_for("typeof Module === 'object' && !document.getElementById('start').hidden", 60),
          "test run: the page loads and offers to start")
    browser.click(640, 400)
    browser.wait_for("Module.ended !== null", 300, step=0.1)
    check(browser.evaluate("Module.ended") == 0, "test run: the intro ends normally after b, space and Escape")

    expected = sorted(name for name in os.listdir(capture) if name.startswith("frame_"))
    count = browser.evaluate("Module.frames.length")
    check(count == len(expected) == 2 * FADE_FRAMES + LOOP_FRAMES,
          "test run: %s frames, the capture %d" % (count, len(expected)))
    hashes = browser.evaluate("""Promise.all(Module.frames.map(f => crypto.subtle.digest('SHA-256', f)
        .then(d => Array.from(new Uint8Array(d), b => b.toString(16).padStart(2, '0')).join(''))))""")
    differing = []
    for index, name in enumerate(expected[:count]):
        native = png_rgb(os.path.join(capture, name))
        if hashlib.sha256(native).hexdigest() != hashes[index]:
            page = base64.b64decode(browser.evaluate(
                "btoa(String.fromCharCode.apply(null, Array.from(Module.frames[%d])))" % index))
            pixels = sum(1 for p in range(0, len(native), 3) if native[p:p + 3] != page[p:p + 3])
            differing.append("%s (%d pixels)" % (name, pixels))
    check(count and not differing, "test run: every frame has the capture's pixels%s" %
          ("" if not differing else "; differing: " + ", ".join(differing[:8])))

    audio = base64.b64decode(browser.evaluate("""(() => {
        const all = new Int16Array(Module.audio.reduce((n, a) => n + a.length, 0));
        let at = 0;
        for (const a of Module.audio) { all.set(a, at); at += a.length; }
        const bytes = new Uint8Array(all.buffer);
        let text = '';
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return btoa(text);
    })()"""))
    page_samples = struct.unpack("<%dh" % (len(audio) // 2), audio)
    native_samples = wav_samples(os.path.join(capture, "audio.wav"))
    largest = max((abs(a - b) for a, b in zip(page_samples, native_samples)), default=None)
    loud = max((abs(s) for s in native_samples), default=0)
    check(len(page_samples) == len(native_samples) and loud > 1000 and largest is not None and largest <= 1,
          "test run: %d samples of music, the capture %d, largest difference %s (loudest sample %d)" %
          (len(page_samples), len(native_samples), largest, loud))
    errors = browser.evaluate("Module.errors.slice()") + browser.problems()
    check(not errors, "test run: no error reported" + ("" if not errors else ": " + "; ".join(errors)))


def user_run(browser, base, screenshot):
    """The page as a user has it: click, music, keys, quit, statistics."""
    browser.call("Page.navigate", url=base + "/index.html")
    check(browser.wait_for("typeof Module === 'object' && !document.getElementById('start').hidden", 60),
          "user run: the page loads and offers to start")
    browser.click(640, 400)
    sound = browser.wait_for("""Module.SDL2 && Module.SDL2.audioContext
        && Module.SDL2.audioContext.state === 'running' ? Module.SDL2.audioContext.sampleRate : 0""", 10)
    check(bool(sound), "user run: the click starts the sound (audio context running at %s Hz)" % sound)
    time.sleep(5)  # past the opening fade (62 frames)
    browser.press(" ")
    time.sleep(1)
    browser.press("b")
    time.sleep(6)
    shot = browser.call("Page.captureScreenshot", format="png")
    with open(screenshot, "wb") as file:
        file.write(base64.b64decode(shot["data"]))
    corner = browser.evaluate("""(() => {
        const r = Module.canvas.getBoundingClientRect();
        return [r.width, r.height, innerWidth, innerHeight];
    })()""")
    check(corner[0] == corner[2] and corner[1] == corner[3], "user run: the canvas fills the %dx%d window"
          % (corner[2], corner[3]))
    browser.press("q")
    ended = browser.wait_for("Module.ended !== null", 10)
    check(ended and browser.evaluate("Module.ended") == 0, "user run: q ends the intro with its closing fade")
    output = "\n".join(browser.evaluate("Module.output"))
    fps = None
    frames = None
    for line in output.splitlines():
        if line.strip().startswith("fps:"):
            fps = float(line.split(":")[1])
        if line.strip().startswith("frames:"):
            frames = int(line.split(":")[1])
    check(fps is not None and fps >= MIN_FPS, "user run: %s frames at %s frames a second (at least %.1f)"
          % (frames, fps, MIN_FPS))
    errors = browser.evaluate("Module.errors.slice()") + browser.problems()
    check(not errors, "user run: no error reported" + ("" if not errors else ": " + "; ".join(errors)))


def no_audio_run(browser, base):
    """A browser without Web Audio: the player cannot start, and the page says so."""
    script = browser.call("Page.addScriptToEvaluateOnNewDocument",
                          source="delete window.AudioContext; delete window.webkitAudioContext;")
    try:
        browser.call("Page.navigate", url=base + "/index.html")
        check(browser.wait_for("typeof Module === 'object' && !document.getElementById('start').hidden", 60),
              "no Web Audio: the page loads and offers to start")
        browser.click(640, 400)
        shown = browser.wait_for("""!document.getElementById('error').hidden
            && document.getElementById('error').textContent""", 10)
        check(shown and "can't initialize player!" in shown and browser.evaluate("Module.ended") == 1,
              "no Web Audio: the page shows %r and the intro ends with status 1" % shown)
        browser.problems()
    finally:
        browser.call("Page.removeScriptToEvaluateOnNewDocument", identifier=script["identifier"])


def main():
    page, capture, screenshot = sys.argv[1:4]
    sizes = {name: os.path.getsize(os.path.join(page, name)) for name in ("index.html", "index.js", "index.wasm", "icon.png")}
    total = sum(sizes.values())
    check(total < PAGE_LIMIT, "the page's download: %d bytes (%s)" %
          (total, ", ".join("%s %d" % item for item in sizes.items())))

    port = free_port()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                             functools.partial(QuietHandler, directory=page))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="dovoz1-chromium.")
    browser = Browser(profile)
    try:
        base = "http://127.0.0.1:%d" % port
        test_run(browser, base, capture)
        user_run(browser, base, screenshot)
        no_audio_run(browser, base)
    finally:
        browser.close()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)
    print("web-test: %d checks failed" % len(failures) if failures else "web-test: all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
