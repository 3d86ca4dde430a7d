#!/usr/bin/env bash
# Regenerates bench/RESULTS.md: builds the benchmarks in Release, runs every one of them with repetitions
# in random interleaved order on SDL's dummy drivers, then the running program itself (CPU time and
# frame pacing, bench/pacing.py), and writes the medians, the ratios against the targets and the machine
# they ran on.
#   scripts/bench-report.sh                      all of it (what `make bench` runs)
#   BENCH_REPETITIONS=5 scripts/bench-report.sh  fewer repetitions, for a quick look
#   scripts/bench-report.sh --pacing             only the frame's and the music's floor and the running
#                                                program: rewrites that one section of bench/RESULTS.md
#   PACING_SECONDS=30 PACING_ROUNDS=2            seconds per run of the program, runs per wait and screen
# The section on a busy machine comes from scripts/bench-pacing-load.sh and is kept as it stands.
set -euo pipefail
cd "$(dirname "$0")/.."

only_pacing=0
[ "${1:-}" = "--pacing" ] && only_pacing=1

scripts/install-deps.sh --bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDOVOZ1_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2

repetitions=${BENCH_REPETITIONS:-15}
bench=build-bench/bench/dovoz1_bench
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
run() {
    "$bench" --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true --benchmark_out_format=json "$@"
}
# The running program, 32- and 16-bit screens, its own wait and the old spinning one in turns. Each
# run first waits (up to two minutes) for other processes to leave the machine quiet.
pacing() {
    for bits in 32 16; do
        python3 bench/pacing.py --program build-bench/dovoz1 --hook build-bench/bench/bench_pacing_hook.so \
            --bits "$bits" --seconds "${PACING_SECONDS:-30}" --rounds "${PACING_ROUNDS:-2}" --wait own,spin \
            --quiet-wait 120 --json "build-bench/pacing-$bits.json"
    done
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
if [ "$only_pacing" = 1 ]; then
    run --benchmark_filter='BM_WholeFrame/|BM_MusicFrame' --benchmark_out=build-bench/bench-frame.json
    pacing
    python3 bench/report.py --update bench/RESULTS.md --frame build-bench/bench-frame.json \
        --pacing build-bench/pacing-32.json build-bench/pacing-16.json
    echo "rewrote the running program's section of bench/RESULTS.md"
    exit 0
fi
# Start-up first and on its own: whole processes are at the mercy of what earlier benchmarks leave
# behind (a heap of freed memory to reclaim, libraries pushed out of the page cache).
run --benchmark_filter='StartUp' --benchmark_out=build-bench/bench-startup.json
run --benchmark_filter='-StartUp' --benchmark_out=build-bench/bench.json
# The resize pair once more with glibc's own malloc thresholds (see bench/peers.cpp).
BENCH_DEFAULT_MALLOC=1 run --benchmark_filter='Resize|ZoomSurface' --benchmark_out=build-bench/bench-malloc.json
pacing
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 bench/report.py build-bench/bench.json build-bench/bench-malloc.json build-bench/bench-startup.json \
    --load-before "$load_before" --load-after "$load_after" --repetitions "$repetitions" \
    --pacing build-bench/pacing-32.json build-bench/pacing-16.json --previous bench/RESULTS.md \
    >bench/RESULTS.md.new
mv bench/RESULTS.md.new bench/RESULTS.md
echo "wrote bench/RESULTS.md"
