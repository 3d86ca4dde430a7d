#!/usr/bin/env bash
# Makes docs/screenshot.png from a real run: starts dovoz1 on a private X server (Xvfb with evilwm),
# lets the opening fade pass, pops the sprite up (b), saves a screenshot (s), quits (Escape), and scales
# the saved 320x200 screenshot.bmp by 2 with nearest-neighbour pixels.
#   scripts/make-screenshot.sh [program] [output.png]
# Defaults: build/dovoz1 and docs/screenshot.png. Needs the test tools (scripts/install-deps.sh --test).
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/dovoz1}")
output=${2:-docs/screenshot.png}
[ -x "$program" ] || { echo "no program at $program: build it first (make build)" >&2; exit 1; }

source scripts/x-session.sh
work=$(mktemp -d)
intro=
cleanup() {
    if [ -n "$intro" ]; then kill "$intro" 2>/dev/null || true; fi
    stop_x_session
    rm -rf "$work"
}
trap cleanup EXIT
start_x_session "$work" 1280x800x24

(cd "$work" && SDL_AUDIODRIVER=dummy exec "$program" >/dev/null) &
intro=$!
key() { sleep "$1"; xdotool key "$2"; }
key 4.5 b       # the opening fade takes 2.48 s; the sprite then stays for 4 s
key 3.0 s       # by now the title page has typed its first words
key 0.5 Escape
wait "$intro"
intro=

[ -f "$work/screenshot.bmp" ] || { echo "the run saved no screenshot" >&2; exit 1; }
mkdir -p "$(dirname "$output")"
convert "$work/screenshot.bmp" -filter point -resize 200% -strip "$output"
echo "wrote $output"
