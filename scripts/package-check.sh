#!/usr/bin/env bash
# Installs the Debian package with apt, as a user would, and runs the installed program on a private X
# server: it must start, play its music (SDL's disk driver writes what it plays) and end with status 0
# and its statistics when Escape is pressed. Changes the system: meant for a fresh root (make
# test-fresh, or a throw-away machine).
#   scripts/package-check.sh [BUILD_FOLDER]   (default build; make package-check builds the package first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
deb=$(ls -t "$build"/dovoz1_*_"$(dpkg --print-architecture)".deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "package-check: no package in $build: run make package first" >&2; exit 1; }
deb=$(realpath "$deb")

scripts/install-deps.sh --check
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "package-check: installing $deb"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "$deb" >/dev/null
program=/usr/games/dovoz1
[ -x "$program" ] || { echo "package-check: the package installed no $program" >&2; exit 1; }
if ldd "$program" | grep -q 'not found'; then
    echo "package-check: the installed program cannot load its libraries:" >&2
    ldd "$program" >&2
    exit 1
fi

source scripts/x-session.sh
work=$(mktemp -d)
intro=
cleanup() {
    if [ -n "$intro" ]; then kill -KILL "$intro" 2>/dev/null || true; fi
    stop_x_session
    rm -rf "$work"
}
trap cleanup EXIT
start_x_session "$work"

(cd "$work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" exec "$program" >"$work/out" 2>"$work/err") &
intro=$!
# The opening fade takes 2.5 s; a few seconds of the intro after it, then Escape and the closing fade.
for _ in $(seq 100); do
    grep -q 'video init ok' "$work/out" 2>/dev/null && break
    kill -0 "$intro" 2>/dev/null || break
    sleep 0.1
done
sleep 5
xdotool key Escape
for _ in $(seq 150); do
    kill -0 "$intro" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$intro" 2>/dev/null; then
    echo "package-check: the program did not end within 15 s of Escape" >&2
    exit 1
fi
status=0
wait "$intro" || status=$?
intro=

frames=$(sed -n 's/^ frames: \([0-9]*\)$/\1/p' "$work/out")
fps=$(sed -n 's/^ fps: \([0-9.]*\)$/\1/p' "$work/out")
# Any byte other than zero: the music played (the fades alone would write silence).
heard=0
size=$(stat -c %s "$work/audio.raw" 2>/dev/null || echo 0)
[ "$size" -gt 0 ] && ! cmp -s -n "$size" "$work/audio.raw" /dev/zero && heard=1
if [ "$status" -ne 0 ] || [ -z "$frames" ] || [ "$frames" -eq 0 ] || [ "$heard" -eq 0 ]; then
    echo "package-check: FAILED (exit status $status, frames ${frames:-none}, music $([ "$heard" -eq 0 ] && echo silent || echo heard))" >&2
    echo "--- standard output" >&2
    cat "$work/out" >&2
    echo "--- standard error" >&2
    cat "$work/err" >&2
    exit 1
fi
echo "package-check: passed: $(dpkg-query -W -f='${Package} ${Version}' dovoz1) installed with apt," \
    "ran $frames frames at $fps fps with its music, exit status 0"
