#!/usr/bin/env bash
# Runs the Release program for a long stretch and checks that it stays steady: resident memory, frame
# rate, gaps in the music, and a clean end on SIGTERM. Not part of `make test`.
#   scripts/soak.sh [--minutes M] [--mode dummy|x|both]
# Modes: dummy — SDL's dummy video and audio drivers; x — a private Xvfb with the evilwm window manager,
# the music written by SDL's disk audio driver (both by default, one after the other; 30 minutes each by
# default). The program is built in build-release; each mode's files stay in build-release/soak-MODE/.
# Every 10 s the resident memory is sampled; every present is timestamped by bench/startup_hook.c
# (preloaded); after M minutes (and 5 s, so that the last minute is whole) the program gets SIGTERM.
# Targets: memory growth after the first minute under 256 KiB; every whole minute 24.9 to 25.05 frames
# a second; no silence longer than 50 ms between the music's first and last sound (x mode); exit status
# 0 with the statistics printed. Needs the packages of scripts/install-deps.sh --soak.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

minutes=30
mode=both
while [ $# -gt 0 ]; do
    case $1 in
        --minutes) minutes=$2; shift 2 ;;
        --mode) mode=$2; shift 2 ;;
        *) echo "usage: scripts/soak.sh [--minutes M] [--mode dummy|x|both]"; exit 2 ;;
    esac
done
case $mode in dummy | x | both) ;; *) echo "unknown mode $mode"; exit 2 ;; esac

build="build-release"
[ -f "$build/build.ninja" ] ||
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null || exit 1
cmake --build "$build" --target dovoz1 >/dev/null || exit 1
hook="$build/present_hook.so"
if [ ! -f "$hook" ] || [ bench/startup_hook.c -nt "$hook" ]; then
    # shellcheck disable=SC2046
    cc -O2 -shared -fPIC -o "$hook" bench/startup_hook.c $(pkg-config --cflags sdl) -ldl || exit 1
fi
program=$(realpath "$build/dovoz1")
hook=$(realpath "$hook")
seconds=$((minutes * 60))

source scripts/x-session.sh
trap stop_x_session EXIT

# One soak run; writes rss.txt (seconds, KiB), presents.txt (ns), out.txt, err.txt, status.txt and, in
# the x mode, audio.raw into the folder.
soak() {
    local kind=$1 dir=$2
    rm -rf "$dir"
    mkdir -p "$dir"
    local env=(BENCH_PRESENTS_FD=3 LD_PRELOAD="$hook")
    if [ "$kind" = dummy ]; then
        env+=(SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy)
    else
        start_x_session "$dir" || return 1
        env+=(SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw")
    fi
    (cd "$dir" && exec env "${env[@]}" "$program" 3>presents.txt >out.txt 2>err.txt) &
    local pid=$! started=$SECONDS
    : >"$dir/rss.txt"
    while kill -0 "$pid" 2>/dev/null && [ $((SECONDS - started)) -lt $((seconds + 5)) ]; do
        awk -v t=$((SECONDS - started)) '/^VmRSS:/ { print t, $2 }' "/proc/$pid/status" >>"$dir/rss.txt" 2>/dev/null
        sleep 10
    done
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid"
    echo $? >"$dir/status.txt"
    if [ "$kind" = x ]; then stop_x_session; fi
}

# Reads one run's files, prints the figures and a PASS or FAIL per target; fails when any target does.
report() {
    python3 - "$1" "$2" "$minutes" <<'EOF'
import os, re, sys
sys.path.insert(0, "bench")
from intro_timing import MUSIC_RATE

folder, kind, minutes = sys.argv[1], sys.argv[2], int(sys.argv[3])
def read(name):
    path = os.path.join(folder, name)
    return open(path).read() if os.path.exists(path) else ""

failed = False
def verdict(ok, text):
    global failed
    failed |= not ok
    print(f"  {'PASS' if ok else 'FAIL'}  {text}")

print(f"== {kind}: {folder}")
rss = [tuple(map(int, line.split())) for line in read("rss.txt").splitlines() if line.strip()]
print("  resident memory (s: KiB): " + ", ".join(f"{t}: {k}" for t, k in rss))
after = [k for t, k in rss if t >= 60]
if len(after) >= 2:
    growth = after[-1] - after[0]
    verdict(growth < 256, f"memory growth after the first minute {growth} KiB (most {max(after) - after[0]} KiB above it), under 256 KiB")
else:
    verdict(False, "memory growth: too few samples after the first minute")

presents = [int(line) for line in read("presents.txt").split()]
if presents:
    start = presents[0]
    counts = [0] * minutes
    for ns in presents:
        minute = (ns - start) // 60_000_000_000
        if minute < minutes:
            counts[minute] += 1
    rates = [c / 60 for c in counts]
    print("  frames a second, minute by minute: " + ", ".join(f"{r:.3f}" for r in rates))
    verdict(all(24.9 <= r <= 25.05 for r in rates), f"every minute 24.9..25.05 fps (lowest {min(rates):.3f}, highest {max(rates):.3f})")
else:
    verdict(False, "no presents recorded")

if kind == "x":
    path = os.path.join(folder, "audio.raw")
    size = os.path.getsize(path) if os.path.exists(path) else 0
    longest = current = 0
    first = last = None
    position = 0
    zero_run = re.compile(rb"\x00+")
    with open(path, "rb") if size else open(os.devnull, "rb") as audio:
        while chunk := audio.read(1 << 22):
            # Runs of zero bytes; a silent stretch is a run between the first and the last sound.
            end = 0
            for match in zero_run.finditer(chunk):
                if match.start() > end:  # sound before this run
                    if first is None:
                        first = position + end
                    elif current:
                        longest = max(longest, current)
                    current = 0
                    last = position + match.start()
                current += match.end() - match.start()
                end = match.end()
            if end < len(chunk):
                if first is None:
                    first = position + end
                elif current:
                    longest = max(longest, current)
                current = 0
                last = position + len(chunk)
            position += len(chunk)
    bytes_per_ms = MUSIC_RATE * 4 / 1000  # 16-bit stereo
    if first is None:
        verdict(False, "the recording holds no sound")
    else:
        print(f"  recording: {size / bytes_per_ms / 1000:.1f} s, music from {first / bytes_per_ms / 1000:.2f} s to {last / bytes_per_ms / 1000:.2f} s")
        verdict(longest / bytes_per_ms <= 50, f"longest silence while the music plays {longest / bytes_per_ms:.1f} ms, at most 50 ms")

status = read("status.txt").strip()
statistics = [line.strip() for line in read("out.txt").splitlines() if re.match(r"\s*(frames|MAX_FPS|fps):", line)]
print("  statistics: " + "; ".join(statistics))
verdict(status == "0" and len(statistics) == 3, f"exit status {status} after SIGTERM, with the statistics")
sys.exit(1 if failed else 0)
EOF
}

result=0
for kind in dummy x; do
    [ "$mode" = both ] || [ "$mode" = "$kind" ] || continue
    dir=$(realpath -m "$build/soak-$kind")
    echo "soak ($kind) for $minutes min ..."
    soak "$kind" "$dir" || result=1
    report "$dir" "$kind" || result=1
done
exit $result
