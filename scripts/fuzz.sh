#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) in build-fuzz and runs them, one process at a
# time on a single core.
#   scripts/fuzz.sh smoke [SECONDS] [TARGET...]  each target SECONDS (default 25) from the committed corpus,
#                                               the regression inputs and the seeds (sample pictures in
#                                               tests/data/images, data/); the committed
#                                               corpus is left alone
#   scripts/fuzz.sh long [SECONDS] [TARGET...]   each target SECONDS (default 900) on a corpus kept in
#                                               build-fuzz/corpus, then minimised into tests/fuzz/corpus
#   scripts/fuzz.sh coverage [TARGET...]         edges each target's corpus reaches in the sources it aims at
#   scripts/fuzz.sh build
# A crash, leak, sanitizer report or failed check fails the run; the input is kept in
# build-fuzz/artifacts/ (copy it to tests/fuzz/regressions/TARGET/ once fixed).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${FUZZ_BUILD:-build-fuzz}
testdata=tests/data/images

command=${1:-smoke}
shift || true

build_targets() {
    [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -C tests/fuzz/config.cmake >/dev/null
    cmake --build "$build" --target fuzz_all
}

# Per target: largest input, memory ceilings, dictionary. The loader takes no picture of more than
# IMAGE_PIXELS_MAX (2048 x 2048) pixels in any format, and no surface it makes or converts to takes more
# than 4 bytes a pixel (a padded 8-bit row included): 16 MiB and a few bytes. libpng's row buffers stay
# below that. So no single allocation of an accepted picture reaches 17 MiB; one that does means a size
# check is missing or comes after the allocation (the targets also check every picture against the
# ceiling). TGA pixels are stored raw, so a TGA of max_len bytes cannot even come near the ceiling.
options_for() {
    case $1 in
        binfile) echo "-max_len=4096" ;;
        module) echo "-max_len=65536" ;;
        image) echo "-max_len=16384 -malloc_limit_mb=17 -dict=tests/fuzz/images.dict" ;;
        tga) echo "-max_len=32768 -malloc_limit_mb=16 -dict=tests/fuzz/images.dict" ;;
        *) echo "" ;;
    esac
}

# What each target aims at, for the coverage summary.
sources_for() {
    case $1 in
        binfile) echo "io/binfile.cpp" ;;
        module) echo "music/bassmod.cpp" ;;
        image) echo "display/sdlptc_imageloader.cpp" ;;
        tga) echo "display/sdlptc_imageloader.cpp" ;;
    esac
}

# Seeds beyond the committed corpus: the sample pictures and the files in data/, copied into one folder
# per target (the sample folders also hold reference dumps and licences). Prints the folder, if any.
seeds_for() {
    local target=$1 dir="$build/seeds/$1" sources=() patterns=()
    case $target in
        image)
            sources=("$testdata/pngsuite" "$testdata/bmp" "$testdata/tga" data)
            patterns=(-name '*.png' -o -name '*.bmp' -o -name '*.tga')
            ;;
        tga)
            sources=("$testdata/tga")
            patterns=(-name '*.tga')
            ;;
        module)
            sources=(data)
            patterns=(-name '*.mod')
            ;;
        *) return 0 ;;
    esac
    rm -rf "$dir"
    mkdir -p "$dir"
    for source in "${sources[@]}"; do
        [ -d "$source" ] && find "$source" -type f \( "${patterns[@]}" \) -exec cp {} "$dir/" \;
    done
    echo "$dir"
}

targets_from_args() {
    if [ $# -gt 0 ]; then
        echo "$@"
    else
        tr '\n' ' ' <"$build/fuzz_targets.txt"
    fi
}

# Prints the last status line of a libFuzzer log: executions, coverage, corpus.
summary() {
    grep -E '^#[0-9]+' "$1" | tail -n1 || true
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$1" | tr '\n' ' ' || true
    echo
}

run_target() {  # target seconds corpus-dir extra-input-dirs...
    local target=$1 seconds=$2 corpus=$3
    shift 3
    local log="$build/logs/$target.log"
    mkdir -p "$build/logs" "$build/artifacts"
    local inputs=()
    for dir in "$@"; do [ -d "$dir" ] && inputs+=("$dir"); done
    echo "== fuzz_$target for ${seconds} s"
    # shellcheck disable=SC2046
    if "$build/tests/fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" $(options_for "$target") \
        "$corpus" "${inputs[@]}" >"$log" 2>&1; then
        summary "$log"
        return 0
    fi
    echo "fuzz_$target FAILED; the input is in $build/artifacts/. Report:"
    grep -vE '^#[0-9]+ +(NEW|REDUCE|pulse|RELOAD)' "$log" | tail -n 80
    return 1
}

smoke() {
    local seconds=${1:-25}
    shift || true
    build_targets
    local failed=0 target work seeds
    for target in $(targets_from_args "$@"); do
        work=$(mktemp -d)
        seeds=$(seeds_for "$target")
        run_target "$target" "$seconds" "$work" "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target" \
            ${seeds:+"$seeds"} || failed=1
        rm -rf "$work"
    done
    return $failed
}

# Keeps only the inputs that reach new edges (hit counts aside, which keeps the committed corpus small),
# and only files of at most max_len bytes.
minimise() {
    local target=$1
    local merged
    merged=$(mktemp -d)
    mkdir -p "tests/fuzz/corpus/$target"
    # shellcheck disable=SC2046
    "$build/tests/fuzz_$target" -merge=1 -use_counters=0 $(options_for "$target") "$merged" \
        "tests/fuzz/corpus/$target" "$build/corpus/$target" >"$build/logs/$target.merge.log" 2>&1
    rm -rf "tests/fuzz/corpus/$target"
    mkdir -p "tests/fuzz/corpus/$target"
    cp "$merged"/* "tests/fuzz/corpus/$target/" 2>/dev/null || true
    rm -rf "$merged"
    echo "   corpus: $(find "tests/fuzz/corpus/$target" -type f | wc -l) files, $(du -sh "tests/fuzz/corpus/$target" | cut -f1)"
}

long() {
    local seconds=${1:-900}
    shift || true
    build_targets
    local failed=0 target seeds
    for target in $(targets_from_args "$@"); do
        mkdir -p "$build/corpus/$target"
        seeds=$(seeds_for "$target")
        if run_target "$target" "$seconds" "$build/corpus/$target" "tests/fuzz/corpus/$target" \
            "tests/fuzz/regressions/$target" ${seeds:+"$seeds"}; then
            minimise "$target"
        else
            failed=1
        fi
    done
    return $failed
}

# Edges reached per source file by replaying the committed corpus, from libFuzzer's coverage listing.
coverage() {
    build_targets
    local target
    for target in $(targets_from_args "$@"); do
        local log="$build/logs/$target.coverage.log" inputs=()
        mkdir -p "$build/logs"
        for dir in "tests/fuzz/corpus/$target" "tests/fuzz/regressions/$target"; do
            [ -d "$dir" ] && inputs+=("$dir")
        done
        # shellcheck disable=SC2046
        "$build/tests/fuzz_$target" -runs=0 -print_coverage=1 $(options_for "$target") \
            "${inputs[@]}" >"$log" 2>&1 || true
        for source in $(sources_for "$target"); do
            awk -v file="$source" '
                /^(UN)?COVERED_FUNC:/ && index($0, file) {
                    split($0, parts, "edges: "); split(parts[2], counts, "[/ ]");
                    covered += counts[1]; total += counts[2]; functions++ }
                /^UNCOVERED_FUNC:/ && index($0, file) { uncovered++ }
                END { if (total) printf "fuzz_%s: %s: %d of %d edges (%.0f%%), %d of %d functions entered\n",
                      target, file, covered, total, 100 * covered / total, functions - uncovered, functions }
            ' target="$target" "$log"
        done
    done
}

case $command in
    build) build_targets ;;
    smoke) smoke "$@" ;;
    long) long "$@" ;;
    coverage) coverage "$@" ;;
    *)
        echo "usage: scripts/fuzz.sh build | smoke [SECONDS] [TARGET...] | long [SECONDS] [TARGET...] | coverage [TARGET...]"
        exit 2
        ;;
esac
