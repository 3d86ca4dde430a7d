#!/usr/bin/python3
"""The page's pacing and load in headless Chromium: a user's run of SECONDS, measured from the page.

  bench/web_pacing.py PAGE_DIR [--seconds 20]

Serves PAGE_DIR (make web's build-web/) on 127.0.0.1, clicks the start panel, waits out the opening fade
and then measures for SECONDS:
- frames a second: presented frames (the canvas's putImageData calls) over the measured time;
- frames behind: after every animation frame, how many frames of the FRAME_MS grid that started with
  the run's first frame were due by its time but not presented (0 is on time);
- the main thread's load: DevTools' TaskDuration and ScriptDuration over the measured time, in percent.
Prints one line per figure; exit status 1 when the page did not run.
"""
import argparse
import functools
import http.server
import json
import math
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

import websocket

from intro_timing import FRAME_MS

# Recorded in the page before anything of it runs: each present, and each animation frame with the
# number of presents made before it.
PROBE = """
window.probe = {presents: [], frames: []};
const put = CanvasRenderingContext2D.prototype.putImageData;
CanvasRenderingContext2D.prototype.putImageData = function (...args) {
  probe.presents.push(performance.now());
  return put.apply(this, args);
};
requestAnimationFrame(function tick() {
  probe.frames.push([performance.now(), probe.presents.length]);
  requestAnimationFrame(tick);
});
"""


class Page:
    def __init__(self, profile):
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        self.process = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--no-first-run", "--disable-gpu", "--mute-audio",
             "--autoplay-policy=no-user-gesture-required", "--user-data-dir=" + profile,
             "--window-size=1280,800", "--remote-debugging-port=%d" % port, "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(150):
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/json/list" % port) as reply:
                    targets = [t for t in json.load(reply) if t["type"] == "page"]
                if targets:
                    break
            except OSError:
                pass
            time.sleep(0.2)
        self.socket = websocket.create_connection(targets[0]["webSocketDebuggerUrl"], timeout=60)
        self.next_id = 0

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                return message.get("result", {})

    def evaluate(self, expression):
        return self.call("Runtime.evaluate", expression=expression, returnByValue=True)["result"].get("value")

    def metrics(self):
        return {m["name"]: m["value"] for m in self.call("Performance.getMetrics")["metrics"]}

    def close(self):
        self.socket.close()
        self.process.terminate()
        self.process.wait()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("page")
    parser.add_argument("--seconds", type=float, default=20.0)
    args = parser.parse_args()

    class Quiet(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(Quiet, directory=args.page)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    profile = tempfile.mkdtemp(prefix="dovoz1-pacing.")
    page = Page(profile)
    try:
        page.call("Page.enable")
        page.call("Performance.enable")
        page.call("Page.addScriptToEvaluateOnNewDocument", source=PROBE)
        page.call("Page.navigate", url="http://127.0.0.1:%d/index.html" % server.server_address[1])
        for _ in range(600):
            if page.evaluate("typeof Module === 'object' && !document.getElementById('start').hidden"):
                break
            time.sleep(0.1)
        for kind in ("mousePressed", "mouseReleased"):
            page.call("Input.dispatchMouseEvent", type=kind, x=640, y=400, button="left", clickCount=1)
        time.sleep(4)  # start-up and the opening fade
        before, started = page.metrics(), page.evaluate("performance.now()")
        time.sleep(args.seconds)
        after, ended = page.metrics(), page.evaluate("performance.now()")
        presents = page.evaluate("probe.presents")
        frames = page.evaluate("probe.frames")
    finally:
        page.close()
        server.shutdown()

    window = [p for p in presents if started <= p <= ended]
    if len(window) < 2:
        print("web-pacing: the page presented %d frames in the measured time" % len(window))
        return 1
    elapsed = (ended - started) / 1000.0
    span = (window[-1] - window[0]) / 1000.0
    print("frames a second: %.3f (%d frames from the first to the last in %.2f s)" %
          ((len(window) - 1) / span, len(window), span))
    # The grid: frame i is due at origin + i × FRAME_MS and never presented before, so origin is at most
    # the time of the animation frame that presented frame i less i frames, for every i; the latest such
    # millisecond is the grid the page kept.
    times = [t for t, _ in frames]
    origin = math.floor(min(max(t for t in times if t <= p) - i * FRAME_MS for i, p in enumerate(presents)))
    # The probe runs first in each animation frame, so what an animation frame presented shows in the
    # count the next one records.
    behind = []
    for (t, _), (_, shown) in zip(frames, frames[1:]):
        if started <= t <= ended:
            due = math.floor((t - origin) / FRAME_MS) + 1
            behind.append(due - shown)
    counts = {n: behind.count(n) for n in sorted(set(behind))}
    print("frames behind after each animation frame (due by its time, not presented): %s over %d "
          "animation frames" % (", ".join("%d: %d" % item for item in counts.items()), len(behind)))
    for name in ("TaskDuration", "ScriptDuration"):
        print("main thread %s: %.1f %%" % (name, 100 * (after[name] - before[name]) / elapsed))
    return 0


if __name__ == "__main__":
    sys.exit(main())
