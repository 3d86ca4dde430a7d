#!/usr/bin/env bash
# Runs the sanitizer build of the program (headless: SDL's dummy drivers) once for each allocation of
# its start-up and first frames, refusing that one allocation (tests/sanitize/fail_allocation.cpp,
# preloaded). Every run must end normally (exit 0) or with one of the program's own messages and exit
# status 1: a crash, a hang, a sanitizer report or a silent exit 1 fails the sweep. A crash whose report
# ends inside a system library (SDL 2 does not survive some of its own allocations failing) is listed
# apart and fails the sweep only with --strict: the program cannot mend it.
#   scripts/alloc-fail.sh [--frames K] [--step S] [--from N] [--to N] [--strict] [--no-build] [BUILD_DIR]
# K presents (default 70: the opening fade and 8 frames of the intro) end the counted stretch; the
# program is then asked to quit (SIGTERM), which it reads as a quit key. Every
# Sth allocation from N on is refused (default: all of them, 1 to the count of the stretch). The
# failing runs' output is kept in BUILD_DIR/alloc-fail/. The sanitizer suite runs a sampled sweep
# (every 25th allocation) of the build it belongs to, with --no-build.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

frames=70
step=1
from=1
to=0
strict=0
make=1
build="build-sanitize"
while [ $# -gt 0 ]; do
    case $1 in
        --frames) frames=$2; shift 2 ;;
        --step) step=$2; shift 2 ;;
        --from) from=$2; shift 2 ;;
        --to) to=$2; shift 2 ;;
        --strict) strict=1; shift ;;
        --no-build) make=0; shift ;;
        -*) echo "usage: scripts/alloc-fail.sh [--frames K] [--step S] [--from N] [--to N] [--strict] [--no-build] [BUILD_DIR]"; exit 2 ;;
        *) build=$1; shift ;;
    esac
done

if [ "$make" -eq 1 ]; then
    [ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -C tests/sanitize/config.cmake >/dev/null
    cmake --build "$build" --target dovoz1 fail_allocation >/dev/null || exit 1
fi
program=$(realpath "$build/dovoz1")
hook=$(realpath "$build/tests/fail_allocation.so")
out=$(realpath -m "$build/alloc-fail")
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Leaks count as findings; a refused allocation must come back as null, not as the sanitizer's abort.
# Full stacks, so that the leak suppressions match (see tests/sanitize/leak_run.sh); a hang is ended with
# SIGABRT, so that the sanitizer prints where it was.
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1:verify_asan_link_order=0:fast_unwind_on_malloc=0:handle_abort=1"
cat tests/sanitize/lsan.supp tests/sanitize/alloc_fail.supp >"$work/leaks.supp"
export LSAN_OPTIONS="suppressions=$work/leaks.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
# The fades run on the program's clock; eight times as fast, they take a fraction of each run.
export ALLOC_FAIL_FRAMES=$frames ALLOC_FAIL_CLOCK=8

# One run refusing allocation $1 (0: none); prints its exit status. Output in $work/out and $work/err.
run() {
    (cd "$work" && exec timeout -s ABRT -k 5 30 env ALLOC_FAIL_AT="$1" LD_PRELOAD="$hook" "$program" \
        >"$work/out" 2>"$work/err")
    echo $?
}

# The library a sanitizer report puts the fault in: its first frame outside the sanitizer runtime and
# the C library (whose string functions the caller drives), when that frame is in a system library
# rather than in the program; nothing otherwise.
faulty_library() {
    awk '/^ *#[0-9]+ 0x/ && !/libsanitizer|\/libc\.so|\/libc-|nptl\/|sysdeps\// {
             if (match($0, /\((\/usr)?\/lib\/[^)+]*/)) {
                 path = substr($0, RSTART + 1, RLENGTH - 1); n = split(path, parts, "/"); print parts[n]
             }
             exit
         }' "$1"
}

status=$(run 0)
count=$(sed -n 's/^alloc-fail: \([0-9]*\) allocations before present.*/\1/p' "$work/err" | head -n1)
if [ "$status" -ne 0 ] || [ -z "$count" ]; then
    echo "the run without a refusal did not reach present $frames cleanly (exit $status):"
    cat "$work/err"
    exit 1
fi
[ "$to" -gt 0 ] && [ "$to" -lt "$count" ] || to=$count
echo "$count allocations up to present $frames; refusing each of $from..$to, step $step"

declare -A outcomes
failed=0
runs=0
for ((n = from; n <= to; n += step)); do
    status=$(run "$n")
    runs=$((runs + 1))
    reached=$(grep -c '^alloc-fail: refused' "$work/err")
    # The program's own messages: the start-up failures and the checked allocators' error line.
    message=$(grep -E "^can't .*!$|memory .* error: " "$work/err" | head -n1)
    verdict=""
    library=""
    grep -q 'ERROR: AddressSanitizer' "$work/err" && library=$(faulty_library "$work/err")
    hung=0
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then hung=1; fi
    if [ -n "$library" ]; then
        outcome="$([ "$hung" -eq 1 ] && echo hang || echo crash) inside $library"
        [ "$strict" -eq 1 ] && verdict=$outcome
        cp "$work/err" "$out/$n.err"
    elif [ "$hung" -eq 1 ]; then
        verdict="hang"
    elif grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$work/err"; then
        verdict="sanitizer report"
    elif [ "$status" -eq 0 ]; then
        outcome="exit 0"
    elif [ "$status" -eq 1 ] && [ -n "$message" ]; then
        outcome="exit 1: $(sed -E 's/, file: .*//; s/\(-?[0-9]+ bytes\)/(N bytes)/' <<<"$message")"
    else
        verdict="exit $status without a message of the program"
    fi
    if [ "$reached" -eq 0 ] && [ -z "$verdict" ]; then
        outcome="not reached (the run allocated less)"
    fi
    if [ -n "$verdict" ]; then
        failed=$((failed + 1))
        cp "$work/err" "$out/$n.err"
        cp "$work/out" "$out/$n.out"
        echo "allocation $n: $verdict (output in $out/$n.err)"
    else
        outcomes[$outcome]=$((${outcomes[$outcome]:-0} + 1))
    fi
done

echo "$runs runs, $failed failed; outcomes of the others:"
for outcome in "${!outcomes[@]}"; do printf '%6d  %s\n' "${outcomes[$outcome]}" "$outcome"; done | sort -rn
[ "$failed" -eq 0 ]
