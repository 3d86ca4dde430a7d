#!/usr/bin/env bash
# Runs the package's autopkgtest (debian/tests/control) with autopkgtest's null runner, on this system:
# autopkgtest installs the binary package that `make package` built, with the test's dependencies
# (a private X server), and runs the test on the installed program. Changes the system (installs
# packages): meant for a fresh root (scripts/test-fresh.sh make autopkgtest) or a throw-away machine.
#   scripts/autopkgtest.sh [BUILD_FOLDER]   (default build; make autopkgtest builds the package first)
# autopkgtest's own log and results go to BUILD_FOLDER/autopkgtest/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
changes=$(ls "$build"/debian-package/dovoz1_*_"$(dpkg --print-architecture)".changes 2>/dev/null | head -n 1)
[ -n "$changes" ] || { echo "autopkgtest: no .changes in $build/debian-package: run make package first" >&2; exit 1; }
out="$build/autopkgtest"
rm -rf "$out"
# The .changes names the source package (its tests) and the binary packages to install.
status=0
autopkgtest --output-dir "$out" "$changes" -- null || status=$?
echo "autopkgtest: $(tr '\n' ';' <"$out/summary" 2>/dev/null | sed 's/;$//') (exit status $status; log: $out/log)"
exit "$status"
