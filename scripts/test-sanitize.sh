#!/usr/bin/env bash
# Builds the program and all tests under AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer in their own build folder, and runs the tests there (all but the timed
# user-level runs).
#   scripts/test-sanitize.sh [BUILD_DIR]     (default build-sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}

[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -C tests/sanitize/config.cmake
cmake --build "$build"

# allocator_may_return_null: out-of-memory tests need a failed malloc to come back as null, as it does
# without the sanitizer. fast_unwind_on_malloc=0: full stacks through libraries built without frame
# pointers (SDL), so that each leak suppression matches only what it names.
# verify_asan_link_order=0: the program tests preload a library of their own.
export ASAN_OPTIONS="allocator_may_return_null=1:fast_unwind_on_malloc=0:verify_asan_link_order=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# With full stacks, Mesa's llvmpipe (its JIT registers unwind tables under libgcc's lock) would hang the
# program tests that draw through GL; softpipe draws the same without a JIT.
export GALLIUM_DRIVER=softpipe
# The user-level runs on Xvfb (label e2e) hold the program to its frame rate, fade timing, screen contents
# and Debian package, which a sanitized build cannot meet; the leak run covers the program on X instead.
cd "$build" && ctest --output-on-failure -j2 --label-exclude e2e
