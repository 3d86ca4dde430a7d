#!/usr/bin/env bash
# Regenerates bench/RESULTS.md: builds the benchmarks in Release, runs every one of them with repetitions
# in random interleaved order on SDL's dummy drivers, and writes the medians, the ratios against the
# targets and the machine they ran on.
#   scripts/bench-report.sh                      all of it (what `make bench` runs)
#   BENCH_REPETITIONS=5 scripts/bench-report.sh  fewer repetitions, for a quick look
set -euo pipefail
cd "$(dirname "$0")/.."

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

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# Start-up first and on its own: whole processes are at the mercy of what earlier benchmarks leave
# behind (a heap of freed memory to reclaim, libraries pushed out of the page cache).
run --benchmark_filter='StartUp' --benchmark_out=build-bench/bench-startup.json
run --benchmark_filter='-StartUp' --benchmark_out=build-bench/bench.json
# The resize pair once more with glibc's own malloc thresholds (see bench/peers.cpp).
BENCH_DEFAULT_MALLOC=1 run --benchmark_filter='Resize|ZoomSurface' --benchmark_out=build-bench/bench-malloc.json
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

python3 bench/report.py build-bench/bench.json build-bench/bench-malloc.json build-bench/bench-startup.json \
    --load-before "$load_before" --load-after "$load_after" --repetitions "$repetitions" >bench/RESULTS.md.new
mv bench/RESULTS.md.new bench/RESULTS.md
echo "wrote bench/RESULTS.md"
