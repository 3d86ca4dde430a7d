#!/usr/bin/env bash
# Runs the installed program (/usr/games/dovoz1, from the Debian package) as a user would, on a private
# X server with SDL's disk audio driver: it must start, play its music (the disk driver writes what it
# plays) and end with status 0 and its statistics when Escape is pressed. Prints one line saying so,
# or what went wrong and the program's output.
#   scripts/installed-run.sh [PROGRAM]   (default /usr/games/dovoz1)
# Used by scripts/package-check.sh after it installs the package, and by the package's autopkgtest
# (debian/tests/control). Needs the private X server of scripts/install-deps.sh --check.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-/usr/games/dovoz1}
name=${INSTALLED_RUN_NAME:-installed-run}
[ -x "$program" ] || { echo "$name: no program at $program: is the package installed?" >&2; exit 1; }
if ldd "$program" | grep -q 'not found'; then
    echo "$name: the installed program cannot load its libraries:" >&2
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
    echo "$name: the program did not end within 15 s of Escape" >&2
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
    echo "$name: FAILED (exit status $status, frames ${frames:-none}, music $([ "$heard" -eq 0 ] && echo silent || echo heard))" >&2
    echo "--- standard output" >&2
    cat "$work/out" >&2
    echo "--- standard error" >&2
    cat "$work/err" >&2
    exit 1
fi
package=$(dpkg-query -S "$program" 2>/dev/null | cut -d: -f1 || true)
echo "$name: passed: ${package:+$(dpkg-query -W -f='${Package} ${Version}' "$package") installed, }$program ran" \
    "$frames frames at $fps fps with its music, exit status 0"
