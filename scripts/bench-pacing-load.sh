#!/usr/bin/env bash
# The running intro beside CPU-bound processes: one and two of them, at nice 0 and niced (nice 10, what
# `nice` gives), the intro's own wait and the old spinning wait measured in turns in the same session,
# each for ROUNDS × SECONDS (default 3 × 60 s: three minutes per wait and condition, about half an hour
# in all). The music goes through SDL's disk driver and each recording is searched for its longest
# silence. Rewrites the busy-machine section of bench/RESULTS.md; not part of `make test` or `make bench`.
#   scripts/bench-pacing-load.sh [ROUNDS [SECONDS]]
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=${1:-3}
seconds=${2:-60}
scripts/install-deps.sh --bench
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DDOVOZ1_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j2

results=()
for busy in 1 2; do
    for nice in 0 10; do
        out=build-bench/pacing-load-$busy-$nice.json
        python3 bench/pacing.py --program build-bench/dovoz1 --hook build-bench/bench/bench_pacing_hook.so \
            --busy "$busy" --nice "$nice" --wait own,spin --rounds "$rounds" --seconds "$seconds" --audio \
            --json "$out"
        results+=("$out")
    done
done
python3 bench/report.py --update bench/RESULTS.md --pacing-load "${results[@]}"
echo "rewrote the busy-machine section of bench/RESULTS.md"
