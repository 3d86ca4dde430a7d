#!/usr/bin/env python3
"""The running intro as a whole: CPU time and frame pacing on SDL's dummy drivers.

Starts the real program (Release build) with bench/pacing_hook.c preloaded, which timestamps every
presented frame, lets it run, ends it with SIGTERM (it then plays its closing fade and exits) and
reports, over the frame loop only (from SETTLE seconds after the start to the signal):

- CPU: the process's CPU time per second of wall time, in % of one core, from the scheduler's
  per-thread run times (/proc/PID/task/*/schedstat, nanoseconds); split into the main thread (frame
  loop) and the rest (SDL's audio thread, which renders the music);
- the median frame interval, the 99th percentile of |interval - FRAME_MS|, the longest interval and how
  many went over 50 and 60 ms;
- the frame rate the program itself prints at exit.

Usage (the defaults are what `make bench` runs):
  pacing.py --program build-bench/dovoz1 --hook build-bench/bench/bench_pacing_hook.so
            [--seconds 30] [--bits 32|16] [--wait VARIANT] [--slack NS] [--busy N] [--nice K]
            [--rounds R] [--audio FILE] [--json OUT]
--wait picks the wait between frames (see pacing_hook.c): "own" (the program's), "spin" (the old
spinning wait), "sleep:N", "sleepspin:N", "sleepyield:N", "sleep2:N", each optionally followed by
"/slackN" (timer slack in ns) and "/sliceN" (time slice in µs); several, comma-separated, are
measured in turns (--rounds times each) so that they share the same moments of the machine. --busy
starts N CPU-bound processes beside the intro (at nice K) for the whole measurement. --audio writes
the music through SDL's disk driver and reports the longest silence after the opening fade."""

import argparse
import json
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

from intro_timing import FRAME_MS, MUSIC_RATE as AUDIO_RATE

FRAME_NS = FRAME_MS * 1_000_000
SETTLE_SECONDS = 5.0  # start-up, the opening fade and a margin


def task_times(pid):
    """Run time in ns of each live thread of pid: {tid: ns}."""
    times = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except OSError:
        return times
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                times[int(tid)] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return times


def machine_jiffies():
    """(busy, steal) clock ticks of the whole machine so far, from /proc/stat."""
    with open("/proc/stat") as f:
        fields = [int(v) for v in f.readline().split()[1:]]
    user, nice, system, idle, iowait, irq, softirq, steal = fields[:8]
    return user + nice + system + irq + softirq + steal, steal


def process_jiffies(pids):
    """CPU clock ticks used so far by the given processes (all their threads)."""
    total = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except (OSError, ValueError, IndexError):
            pass
    return total


def others_cores(seconds, exclude):
    """Cores' worth of CPU that processes other than `exclude` used over the next `seconds`."""
    tick = os.sysconf("SC_CLK_TCK")
    busy0, _ = machine_jiffies()
    ours0 = process_jiffies(exclude)
    time.sleep(seconds)
    busy1, _ = machine_jiffies()
    ours1 = process_jiffies(exclude)
    return max(0.0, ((busy1 - busy0) - (ours1 - ours0)) / tick / seconds)


def wait_for_quiet(limit_seconds, exclude, threshold=0.15):
    """Waits (at most limit_seconds) until other processes use less than `threshold` of a core."""
    deadline = time.monotonic() + limit_seconds
    while True:
        used = others_cores(3.0, exclude)
        if used < threshold or time.monotonic() >= deadline:
            return used
        print(f"pacing.py: other processes use {used:.2f} cores; waiting", file=sys.stderr, flush=True)
        time.sleep(7.0)


def percentile(values, share):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    index = min(len(ordered) - 1, max(0, int(round(share * (len(ordered) - 1)))))
    return ordered[index]


def longest_silence(path):
    """Longest run of all-zero stereo frames between the first and the last sound, in ms, and the
    seconds of sound the file holds."""
    with open(path, "rb") as f:
        data = f.read()
    frames = len(data) // 4
    words = memoryview(data)[: frames * 4].cast("I")  # one stereo frame per 32-bit word
    first = next((i for i in range(frames) if words[i]), None)
    if first is None:
        return float("nan"), frames / AUDIO_RATE
    last = next(i for i in range(frames - 1, -1, -1) if words[i])
    longest = run = 0
    for i in range(first, last + 1):
        if words[i]:
            run = 0
        else:
            run += 1
            if run > longest:
                longest = run
    return longest * 1000.0 / AUDIO_RATE, frames / AUDIO_RATE


def run_once(args, wait, audio_path=None, hogs=()):
    with tempfile.TemporaryDirectory(prefix="dovoz1-pacing-") as scratch:
        stamps_path = os.path.join(scratch, "stamps.txt")
        env = {k: v for k, v in os.environ.items() if not k.startswith(("SDL_", "BENCH_", "LD_PRELOAD"))}
        env.update({
            "SDL_VIDEODRIVER": "dummy",
            "SDL_AUDIODRIVER": "disk" if audio_path else "dummy",
            "HOME": scratch,
            "LD_PRELOAD": os.path.abspath(args.hook),
            "BENCH_PACING_OUT": stamps_path,
            "BENCH_PACING_BITS": str(args.bits),
        })
        if audio_path:
            env["SDL_DISKAUDIOFILE"] = audio_path
        # A variant is a wait, then optionally "/slackN" (timer slack, ns) and "/sliceN" (time slice, µs).
        base, *extras = wait.split("/")
        slack, slice_us = args.slack, args.slice_us
        for extra in extras:
            if extra.startswith("slack"):
                slack = int(extra[5:])
            elif extra.startswith("slice"):
                slice_us = int(extra[5:])
            else:
                sys.exit(f"pacing.py: unknown part '{extra}' of the wait '{wait}'")
        if base != "own":
            env["BENCH_WAIT"] = base
        if slack is not None:
            env["BENCH_TIMERSLACK_NS"] = str(slack)
        if slice_us is not None:
            env["BENCH_SLICE_US"] = str(slice_us)
        drop = None
        if os.geteuid() == 0 and not args.as_root:
            # Root's threads may raise their own priority (SDL's audio thread takes nice -20): run as a
            # user does.
            os.chmod(scratch, 0o777)

            def drop():
                os.setgroups([])
                os.setgid(65534)
                os.setuid(65534)
        with open(f"/proc/loadavg") as f:
            load = " ".join(f.read().split()[:3])
        started = time.monotonic()
        child = subprocess.Popen([os.path.abspath(args.program)], env=env, cwd=scratch,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                 preexec_fn=drop)
        time.sleep(SETTLE_SECONDS)
        window_start_ns = time.monotonic_ns()
        cpu_start = task_times(child.pid)
        machine_start, steal_start = machine_jiffies()
        ours_start = process_jiffies([child.pid, os.getpid()] + [h.pid for h in hogs])
        time.sleep(args.seconds)
        cpu_end = task_times(child.pid)
        machine_end, steal_end = machine_jiffies()
        ours_end = process_jiffies([child.pid, os.getpid()] + [h.pid for h in hogs])
        window_end_ns = time.monotonic_ns()
        child.send_signal(signal.SIGTERM)
        out, _ = child.communicate(timeout=60)
        wall = time.monotonic() - started
        if child.returncode != 0:
            sys.exit(f"pacing.py: the intro exited with status {child.returncode}")
        with open(stamps_path) as f:
            stamps = [int(line) for line in f if line.strip()]
        waits = []
        if os.path.exists(stamps_path + ".waits"):
            with open(stamps_path + ".waits") as f:
                waits = [tuple(int(v) for v in line.split()) for line in f if line.strip()]

    # Threads present at both ends; the main thread's id is the process id.
    window = (window_end_ns - window_start_ns) / 1e9
    main_ns = cpu_end.get(child.pid, 0) - cpu_start.get(child.pid, 0)
    other_ns = sum(cpu_end[t] - cpu_start.get(t, 0) for t in cpu_end if t != child.pid)
    inside = [t for t in stamps if window_start_ns <= t <= window_end_ns]
    intervals = [b - a for a, b in zip(inside, inside[1:])]
    # How far after its deadline each sleep (or replaced wait) ended; negative: before it.
    lateness = [end - deadline for deadline, end in waits if window_start_ns <= deadline <= window_end_ns]
    # A frame's own time: from its start (the deadline, or the wait's end when that was later) to its
    # present.
    work = []
    following = iter(inside)
    present = next(following, None)
    for deadline, end in waits:
        start = max(deadline, end)
        if not window_start_ns <= start <= window_end_ns:
            continue
        while present is not None and present < start:
            present = next(following, None)
        if present is None:
            break
        work.append(present - start)
    fps = float("nan")
    for line in out.splitlines():
        if line.strip().startswith("fps:"):
            fps = float(line.split(":")[1])
    tick = os.sysconf("SC_CLK_TCK")
    others = ((machine_end - machine_start) - (ours_end - ours_start)) / tick / window
    result = {
        "others_cores": max(0.0, others), "steal_cores": (steal_end - steal_start) / tick / window,
        "wait": wait, "bits": args.bits, "busy": args.busy, "nice": args.nice, "slack": args.slack,
        "slice_us": args.slice_us,
        "seconds": window, "load": load, "intervals": intervals, "lateness": lateness, "work": work,
        "cpu_main_ns": main_ns, "cpu_other_ns": other_ns, "fps": fps, "wall": wall,
    }
    return result


def summarise(runs):
    intervals = [i for r in runs for i in r["intervals"]]
    seconds = sum(r["seconds"] for r in runs)
    main = sum(r["cpu_main_ns"] for r in runs) / 1e9
    other = sum(r["cpu_other_ns"] for r in runs) / 1e9
    deviations = [abs(i - FRAME_NS) for i in intervals]
    fps = [r["fps"] for r in runs]
    lateness = [l for r in runs for l in r["lateness"]]
    work = [w for r in runs for w in r["work"]]
    return {
        "wait": runs[0]["wait"], "bits": runs[0]["bits"], "busy": runs[0]["busy"], "nice": runs[0]["nice"],
        "slack": runs[0]["slack"], "slice_us": runs[0]["slice_us"], "runs": len(runs), "seconds": round(seconds, 1),
        "frames": len(intervals),
        "cpu_percent": 100 * (main + other) / seconds,
        "cpu_main_percent": 100 * main / seconds,
        "cpu_other_percent": 100 * other / seconds,
        "median_ms": statistics.median(intervals) / 1e6 if intervals else float("nan"),
        "mean_ms": statistics.fmean(intervals) / 1e6 if intervals else float("nan"),
        "p99_dev_ms": percentile(deviations, 0.99) / 1e6,
        "p50_dev_ms": percentile(deviations, 0.50) / 1e6,
        "max_ms": max(intervals) / 1e6 if intervals else float("nan"),
        "over_50": sum(1 for i in intervals if i > 50_000_000),
        "over_60": sum(1 for i in intervals if i > 60_000_000),
        "wake_p50_ms": percentile(lateness, 0.50) / 1e6,
        "wake_p99_ms": percentile(lateness, 0.99) / 1e6,
        "wake_late_1ms": sum(1 for l in lateness if l >= 1_000_000) / max(1, len(lateness)),
        "work_p50_ms": percentile(work, 0.50) / 1e6,
        "work_p99_ms": percentile(work, 0.99) / 1e6,
        "fps_min": min(fps), "fps_max": max(fps),
        "load": [r["load"] for r in runs],
        "others_cores": max(r["others_cores"] for r in runs),
        "steal_cores": max(r["steal_cores"] for r in runs),
        "audio": [r.get("audio") for r in runs if r.get("audio")],
    }


def start_hogs(count, niceness):
    def lower():
        os.nice(niceness)
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"], preexec_fn=lower)
            for _ in range(count)]


def line(s):
    audio = ""
    if s["audio"]:
        gap = max(a["longest_silence_ms"] for a in s["audio"])
        audio = f" | silence {gap:.1f} ms"
    return (f"{s['wait']:>14} {s['bits']}-bit busy {s['busy']} nice {s['nice']:>2}"
            f"{'' if s['slack'] is None else ' slack ' + str(s['slack'])}"
            f"{'' if s['slice_us'] is None else ' slice ' + str(s['slice_us'])}: "
            f"CPU {s['cpu_percent']:5.1f} % (main {s['cpu_main_percent']:.1f}, other {s['cpu_other_percent']:.1f})"
            f" | median {s['median_ms']:.3f} ms, p99 |dev| {s['p99_dev_ms']:.3f} ms, max {s['max_ms']:.2f} ms,"
            f" >50 {s['over_50']}, >60 {s['over_60']} | fps {s['fps_min']:.3f}..{s['fps_max']:.3f}"
            f" | wake p50 {s['wake_p50_ms']:.3f} p99 {s['wake_p99_ms']:.3f} ms, {100 * s['wake_late_1ms']:.1f} % >= 1 ms late"
            f" | frame start to present p50 {s['work_p50_ms']:.3f} p99 {s['work_p99_ms']:.3f} ms"
            f" | {s['frames']} intervals, {s['seconds']} s, others' CPU up to {s['others_cores']:.2f} cores,"
            f" steal {s['steal_cores']:.2f}, load {'; '.join(s['load'])}{audio}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", default="build-bench/dovoz1")
    parser.add_argument("--hook", default="build-bench/bench/bench_pacing_hook.so")
    parser.add_argument("--seconds", type=float, default=30.0)
    parser.add_argument("--bits", type=int, choices=(32, 16), default=32)
    parser.add_argument("--wait", default="own")
    parser.add_argument("--slack", type=int)
    parser.add_argument("--busy", type=int, default=0)
    parser.add_argument("--nice", type=int, default=0)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--slice-us", type=int)
    parser.add_argument("--as-root", action="store_true",
                        help="keep root: by default a root caller runs the intro as nobody, as a user would")
    parser.add_argument("--audio", action="store_true")
    parser.add_argument("--quiet-wait", type=float, default=0.0,
                        help="before each run wait up to this many seconds for other processes to go quiet")
    parser.add_argument("--json")
    args = parser.parse_args()

    waits = args.wait.split(",")
    hogs = start_hogs(args.busy, args.nice)
    runs = {w: [] for w in waits}
    try:
        for _ in range(args.rounds):
            for wait in waits:
                audio_path = None
                if args.audio:
                    audio_path = tempfile.mktemp(prefix="dovoz1-pacing-", suffix=".raw")
                if args.quiet_wait > 0:
                    wait_for_quiet(args.quiet_wait, [os.getpid()] + [h.pid for h in hogs])
                result = run_once(args, wait, audio_path, hogs)
                if audio_path:
                    gap, sound = longest_silence(audio_path)
                    result["audio"] = {"longest_silence_ms": gap, "seconds_written": sound,
                                       "wall_seconds": result["wall"]}
                    os.unlink(audio_path)
                runs[wait].append(result)
                print(line(summarise([result])), file=sys.stderr, flush=True)
    finally:
        for hog in hogs:
            hog.kill()
            hog.wait()
    summaries = [summarise(r) for r in runs.values()]
    for s in summaries:
        print(line(s))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(summaries, f, indent=1)


if __name__ == "__main__":
    main()
